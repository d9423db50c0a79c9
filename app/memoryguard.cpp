#include "memoryguard.h"

#include <array>
#include <string>

#include <QCoreApplication>

namespace memoryguard {

namespace {

// Measured with the list filled in bulk: a list item with its private data and
// its one display value takes about 230 bytes besides the text, the pointer
// list passed to the widget another 24 while it is filled, and the lines'
// end offsets 8; the rest is margin for the allocator.
constexpr unsigned long perVariant = 280;
// One byte of the line in the lines, two as a UTF-16 character in the item.
constexpr unsigned long perByte = 3;

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString superscript(unsigned long exponent)
{
    static constexpr std::array<char16_t, 10> digits = { u'⁰', u'¹', u'²', u'³', u'⁴', u'⁵', u'⁶', u'⁷', u'⁸', u'⁹' };
    QString text = QString::number(exponent);
    for (QChar &c : text)
        c = QChar(digits[static_cast<std::size_t>(c.digitValue())]);
    return text;
}

} // namespace

mpz_class memoryNeeded(const mpz_class &count, const mpz_class &totalBytes)
{
    return count * perVariant + totalBytes * perByte;
}

bool fits(const mpz_class &needed, std::uint64_t available)
{
    const std::uint64_t usable = available - available / 8;
    return mpz_class(std::to_string(usable)) >= needed;
}

QString formatCount(const mpz_class &count)
{
    const std::string digits = count.get_str();
    if (digits.size() <= 15)
        return QString::fromStdString(digits);
    return tr("≈ %1,%2·10%3")
        .arg(QChar::fromLatin1(digits[0]))
        .arg(QString::fromStdString(digits.substr(1, 2)))
        .arg(superscript(static_cast<unsigned long>(digits.size() - 1)));
}

QString formatBytes(const mpz_class &bytes)
{
    static const std::array<const char *, 6> units = {
        QT_TRANSLATE_NOOP("MainWindow", "КБ"),
        QT_TRANSLATE_NOOP("MainWindow", "МБ"),
        QT_TRANSLATE_NOOP("MainWindow", "ГБ"),
        QT_TRANSLATE_NOOP("MainWindow", "ТБ"),
        QT_TRANSLATE_NOOP("MainWindow", "ПБ"),
        QT_TRANSLATE_NOOP("MainWindow", "ЭБ"),
    };
    if (bytes < 1024)
        return tr("%1 байт").arg(QString::fromStdString(bytes.get_str()));

    std::size_t unit = 0;
    mpz_class scale = 1024;
    while (unit + 1 < units.size() && bytes >= scale * 1024) {
        scale *= 1024;
        ++unit;
    }
    const mpz_class whole = bytes / scale;
    const mpz_class tenths = (bytes % scale) * 10 / scale;
    const QString number = whole.get_str().size() <= 15
        ? QStringLiteral("%1,%2").arg(QString::fromStdString(whole.get_str()), QString::fromStdString(tenths.get_str()))
        : formatCount(whole);
    return tr("%1 %2").arg(number, tr(units[unit]));
}

} // namespace memoryguard
