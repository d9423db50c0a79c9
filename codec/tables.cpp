#include "tables.h"

#include <algorithm>
#include <map>
#include <vector>

#include <QCoreApplication>
#include <QFileInfo>

namespace razmnozhator::tables {

namespace {

constexpr const char *formats[] = { "lines", "tsv", "csv", "xlsx" };

// How a platform names the field that a preset rules: numbered among the
// fields of the same name, or with a number of its own.
struct FieldName
{
    const char *preset;
    const char *name;
    bool numbered;
};

constexpr FieldName platformNames[] = {
    { "direct-title", "Заголовок", true },
    { "direct-title2", "Заголовок 2", false },
    { "direct-text", "Текст", false },
    { "direct-display-link", "Отображаемая ссылка", false },
    { "google-headline", "Headline", true },
    { "google-description", "Description", true },
    { "google-path", "Path", true },
};

} // namespace

QString nameOf(Format format)
{
    return QLatin1String(formats[static_cast<int>(format)]);
}

std::optional<Format> formatNamed(QStringView name)
{
    for (int i = 0; i < int(std::size(formats)); ++i) {
        if (name.compare(QLatin1String(formats[i]), Qt::CaseInsensitive) == 0)
            return Format(i);
    }
    return std::nullopt;
}

QStringList formatNames()
{
    QStringList names;
    for (const char *name : formats)
        names << QLatin1String(name);
    return names;
}

Format formatOfFileName(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    const std::optional<Format> format = formatNamed(suffix);
    return format && *format != Format::Lines ? *format : Format::Lines;
}

QStringList fieldNames(std::span<const QString> presets)
{
    QStringList names;
    std::map<QString, int> numbers;
    for (const QString &preset : presets) {
        const auto platform = std::find_if(std::begin(platformNames), std::end(platformNames),
            [&](const FieldName &field) { return preset == QLatin1String(field.preset); });
        const QString name = platform == std::end(platformNames) ? QString() : QString::fromUtf8(platform->name);
        if (name.isEmpty())
            names << QCoreApplication::translate("MainWindow", "Поле %1").arg(names.size() + 1);
        else if (platform->numbered)
            names << QStringLiteral("%1 %2").arg(name).arg(++numbers[name]);
        else
            names << name;
    }
    return names;
}

QStringList fieldNames(int fieldCount)
{
    const std::vector<QString> none(static_cast<std::size_t>(std::max(fieldCount, 0)));
    return fieldNames(std::span<const QString>(none));
}

std::string preamble(Format format, const QStringList &header)
{
    const QByteArray names = header.join(u'\t').toUtf8();
    const std::string_view tabSeparated(names.constData(), static_cast<std::size_t>(names.size()));
    std::string text;
    if (format == Format::Csv) {
        text = byteOrderMark;
        appendCsvRow(text, tabSeparated);
    } else if (format == Format::Tsv) {
        text = tabSeparated;
        text += '\n';
    }
    return text;
}

void appendCsvRow(std::string &out, std::string_view tabSeparated)
{
    // A row of one empty field is written as one, not as an empty line that
    // a reader may take for no row at all.
    if (tabSeparated.empty()) {
        out += "\"\"\r\n";
        return;
    }
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = std::min(tabSeparated.find('\t', begin), tabSeparated.size());
        const std::string_view field = tabSeparated.substr(begin, end - begin);
        if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
            out += field;
        } else {
            out += '"';
            for (const char c : field) {
                if (c == '"')
                    out += '"';
                out += c;
            }
            out += '"';
        }
        if (end == tabSeparated.size())
            break;
        out += ',';
        begin = end + 1;
    }
    out += "\r\n";
}

} // namespace razmnozhator::tables
