#include "input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <optional>

#include <QFile>
#include <QLocale>

#include "cp1251.h"
#include "failure.h"
#include "figures.h"
#include "filenames.h"
#include "options.h"
#include "razmnozhator/fields.h"
#include "razmnozhator/memorybudget.h"

#include <fcntl.h>

namespace razmnozhator::cli {

namespace {

constexpr qint64 chunkSize = qint64(1) << 20;
// Holding a template costs its bytes as read, as UTF-16 text twice (read and
// joined) and as CP1251 bytes, before the engine compiles it.
constexpr std::uint64_t readCostPerByte = 6;

// Reads in chunks and stops with a message once the template could no longer
// be held, so that an endless input (/dev/zero, a pipe that never closes)
// fails cleanly instead of exhausting memory.
template <typename ReadChunk> QByteArray readLimited(const QString &name, ReadChunk readChunk)
{
    const std::uint64_t limit = figures::usableMemory(availableMemory()) / readCostPerByte;
    QByteArray data;
    for (;;) {
        const qsizetype before = data.size();
        data.resize(before + chunkSize);
        const qint64 got = readChunk(data.data() + before, chunkSize);
        data.resize(before + std::max<qint64>(got, 0));
        if (got <= 0)
            return data;
        if (std::uint64_t(data.size()) > limit)
            throw Failure(UsageFailure,
                tr("%1: the template is too big for the memory available: %2 read so far, room for %3")
                    .arg(name, figures::formatDataSize(static_cast<long>(data.size()), QLocale::c()),
                        figures::formatDataSize(limit, QLocale::c())));
    }
}

QByteArray readStream(std::istream &in)
{
    const QString name = QStringLiteral("-");
    QByteArray data = readLimited(name, [&in](char *buffer, qint64 size) -> qint64 {
        errno = 0;
        in.read(buffer, size);
        if (in.bad()) {
            const int error = errno;
            throw Failure(UsageFailure,
                error ? tr("cannot read the template from standard input: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(error)))
                      : tr("cannot read the template from standard input"));
        }
        return in.gcount();
    });
    return data;
}

QByteArray readFile(const QString &fileName)
{
    // Opened by its bytes: a name that is not UTF-8 must still name this file.
    const QString name = filenames::printable(fileName);
    int fd = -1;
    do {
        fd = ::open(filenames::toNative(fileName).constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw Failure(
            UsageFailure, tr("cannot read \"%1\": %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))));
    QFile file;
    file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    const auto fail = [&] { return Failure(UsageFailure, tr("cannot read \"%1\": %2").arg(name, file.errorString())); };
    QByteArray data = readLimited(name, [&](char *buffer, qint64 size) {
        const qint64 got = file.read(buffer, size);
        if (got < 0)
            throw fail();
        return got;
    });
    return data;
}

QString byteText(unsigned byte)
{
    return QString::number(byte, 16).toUpper().rightJustified(2, u'0');
}

QString decodeUtf8(QByteArray bytes, const QString &name)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const std::optional<std::size_t> invalid
        = cp1251::firstInvalidUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (invalid) {
        const QString before = QString::fromUtf8(bytes.constData(), static_cast<qsizetype>(*invalid));
        throw Failure(UsageFailure,
            tr("%1: the template is not valid UTF-8 (byte 0x%2); use --encoding cp1251 for a CP1251 file")
                .arg(placeText(name, cp1251::positionIn(before, before.size())))
                .arg(byteText(static_cast<unsigned char>(bytes.at(static_cast<qsizetype>(*invalid))))));
    }
    return QString::fromUtf8(bytes);
}

} // namespace

TemplateInput readTemplate(const Options &options, std::istream &in)
{
    if (options.templateText)
        return { *options.templateText, QStringLiteral("-e") };

    const bool standardInput = options.inputFile.isEmpty() || options.inputFile == QLatin1String("-");
    const QString name = standardInput ? QStringLiteral("-") : filenames::printable(options.inputFile);
    QByteArray bytes = standardInput ? readStream(in) : readFile(options.inputFile);
    if (options.encoding == Encoding::Cp1251)
        return { cp1251::decode(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))), name };
    return { decodeUtf8(std::move(bytes), name), name };
}

cp1251::TemplateText templateText(const TemplateInput &input)
{
    cp1251::TemplateText text = cp1251::TemplateText::fromText(input.text);
    if (!text.problem())
        return text;

    const cp1251::TextProblem &problem = *text.problem();
    const QString place = placeText(input.name, problem.position);
    if (problem.kind == cp1251::TextProblem::Kind::Nul)
        throw Failure(TemplateFailure, tr("%1: the template contains a NUL character").arg(place));
    if (filenames::isEscapedByte(problem.codePoint))
        throw Failure(UsageFailure,
            tr("%1: the template is not valid UTF-8 (byte 0x%2)")
                .arg(place)
                .arg(byteText(filenames::escapedByte(problem.codePoint))));
    throw Failure(TemplateFailure,
        tr("%1: the character %2 cannot be written in CP1251").arg(place, cp1251::describe(problem.codePoint)));
}

QString placeText(const QString &name, const cp1251::TextPosition &position)
{
    return QStringLiteral("%1:%2:%3").arg(name).arg(position.line).arg(position.column);
}

namespace {

std::string toUtf8(std::string_view cp1251Bytes)
{
    const QByteArray utf8 = cp1251::decode(cp1251Bytes).toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

} // namespace

std::optional<CompiledTemplate> compileTemplate(const TemplateInput &input, Encoding encoding, const LengthRule &rule)
{
    const cp1251::TemplateText text = templateText(input);
    const std::string &bytes = text.bytes();
    if (bytes.empty())
        return std::nullopt;
    try {
        CompiledTemplate compiled = CompiledTemplate::compile(bytes, rule);
        // ASCII is the same in both encodings: a copy of the compiled form
        // with its literals recoded would only double its memory.
        const bool ascii = std::all_of(
            bytes.begin(), bytes.end(), [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
        if (encoding == Encoding::Utf8 && !ascii)
            return compiled.withLiteralsMapped(toUtf8);
        return compiled;
    } catch (const TemplateError &error) {
        throw Failure(TemplateFailure,
            tr("%1: %2").arg(placeText(input.name, text.positionOf(error.offset())), QString::fromUtf8(error.what())));
    }
}

std::uint64_t templateFields(const TemplateInput &input)
{
    const cp1251::TemplateText text = templateText(input);
    try {
        return fieldCount(text.bytes());
    } catch (const FieldCountError &error) {
        throw Failure(TemplateFailure,
            tr("%1: the choices of this group hold %2 and %3 fields; every row of a table needs the same number "
               "of fields")
                .arg(placeText(input.name, text.positionOf(error.offset())))
                .arg(error.fields())
                .arg(error.otherFields()));
    } catch (const TemplateError &error) {
        throw Failure(TemplateFailure,
            tr("%1: %2").arg(placeText(input.name, text.positionOf(error.offset())), QString::fromUtf8(error.what())));
    }
}

} // namespace razmnozhator::cli
