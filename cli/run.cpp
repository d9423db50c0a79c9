#include "run.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <new>
#include <numeric>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <QStringList>

#include "cp1251.h"
#include "razmnozhator/memorybudget.h"
#include "output.h"
#include "progress.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/restriction.h"

namespace razmnozhator::cli {

namespace {

const char *const programName = "razmnozhator-cli";

QString tr(const char *text)
{
    return QCoreApplication::translate("razmnozhator-cli", text);
}

// Ends the run with a status and a message for standard error.
class Failure : public std::exception
{
public:
    Failure(int exitStatus, QString text)
        : status(exitStatus)
        , message(std::move(text))
    {
    }
    const char *what() const noexcept override { return "razmnozhator-cli failure"; }

    int status;
    QString message;
};

enum class Encoding { Utf8, Cp1251 };

struct Options
{
    std::optional<QString> templateText;
    QString inputFile;
    QString outputFile;
    Encoding encoding = Encoding::Utf8;
    bool null = false;
    bool count = false;
    bool stats = false;
    std::optional<unsigned> seed;
    RestrictRules rules;
    bool lengthBounds = false;
};

// The command line as QCommandLineParser sees it; kept in one place so that
// --help lists exactly what is parsed.
struct CommandLine
{
    QCommandLineParser parser;
    QCommandLineOption templateOption { QStringList { "e", "template" },
        tr("Expand TEXT instead of reading a template."), "TEXT" };
    QCommandLineOption encodingOption { QStringLiteral("encoding"),
        tr("Encoding of the template read from FILE or standard input and of the variants written: utf-8 "
           "(default) or cp1251."),
        "NAME", "utf-8" };
    QCommandLineOption outputOption { QStringList { "o", "output" },
        tr("Write to FILE instead of standard output. A regular file is replaced only when the whole output "
           "has been written; a device or a FIFO is written directly."),
        "FILE" };
    QCommandLineOption nullOption { QStringList { "0", "null" },
        tr("End each variant with a NUL byte instead of a line feed.") };
    QCommandLineOption countOption { QStringLiteral("count"), tr("Print the exact number of variants and stop.") };
    QCommandLineOption statsOption { QStringLiteral("stats"),
        tr("Print the number of variants, the size of the output in bytes (line ends included) and the length "
           "of the longest variant in characters, and stop.") };
    QCommandLineOption minLengthOption { QStringLiteral("min-length"),
        tr("Keep only variants of at least N characters."), "N" };
    QCommandLineOption maxLengthOption { QStringLiteral("max-length"),
        tr("Keep only variants of at most N characters."), "N" };
    QCommandLineOption shuffleOption { QStringLiteral("shuffle"),
        tr("Shuffle the kept variants before --max-count cuts them (holds them all in memory).") };
    QCommandLineOption maxCountOption { QStringLiteral("max-count"), tr("Write at most N variants."), "N" };
    QCommandLineOption seedOption { QStringLiteral("seed"),
        tr("Seed the shuffle's random generator with N; without it every run shuffles alike."), "N" };
    QCommandLineOption helpOption;
    QCommandLineOption versionOption;

    CommandLine()
        : helpOption(parser.addHelpOption())
        , versionOption(parser.addVersionOption())
    {
        parser.setApplicationDescription(tr("Writes every variant of a template, one per line.\n"
                                            "\"[a|b|c]\" chooses one of a, b and c; \"{sep|x|y|z}\" joins every "
                                            "ordered pair of two different items with sep; groups nest."));
        for (const QCommandLineOption *option :
            { &templateOption, &encodingOption, &outputOption, &nullOption, &countOption, &statsOption,
                &minLengthOption, &maxLengthOption, &shuffleOption, &maxCountOption, &seedOption })
            parser.addOption(*option);
        parser.addPositionalArgument(QStringLiteral("FILE"),
            tr("The template; standard input when absent or \"-\". Line breaks in it are removed."),
            QStringLiteral("[FILE]"));
    }

    QString helpText() const
    {
        QString text = parser.helpText();
        // The parser names the program after argv[0], which may be any path.
        text.replace(0, text.indexOf(u'\n'), tr("Usage: %1 [options] [FILE]").arg(QLatin1String(programName)));
        text += tr("\nExit status:\n"
                   "  0  success\n"
                   "  1  template error: unbalanced brackets, or a character that CP1251 cannot hold\n"
                   "  2  usage error: bad option or number, unreadable input, or a shuffle too big for memory\n"
                   "  3  output error: the output cannot be created or written\n");
        return text;
    }
};

std::uint32_t parseNumber(const CommandLine &commandLine, const QCommandLineOption &option)
{
    const QString value = commandLine.parser.value(option);
    bool ok = false;
    const uint number = value.toUInt(&ok, 10);
    if (!ok)
        throw Failure(UsageFailure,
            tr("invalid number for --%1: \"%2\" (expected 0 to 4294967295)").arg(option.names().constLast(), value));
    return number;
}

Options parseOptions(const CommandLine &commandLine)
{
    const QCommandLineParser &parser = commandLine.parser;
    Options options;
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        throw Failure(UsageFailure, tr("only one template file can be given"));
    if (parser.isSet(commandLine.templateOption)) {
        if (!files.isEmpty())
            throw Failure(UsageFailure, tr("give the template either with --template or as FILE, not both"));
        options.templateText = parser.value(commandLine.templateOption);
    } else if (!files.isEmpty()) {
        options.inputFile = files.constFirst();
    }

    const QString encoding = parser.value(commandLine.encodingOption).toLower();
    if (encoding == QLatin1String("utf-8") || encoding == QLatin1String("utf8"))
        options.encoding = Encoding::Utf8;
    else if (encoding == QLatin1String("cp1251") || encoding == QLatin1String("windows-1251"))
        options.encoding = Encoding::Cp1251;
    else
        throw Failure(UsageFailure,
            tr("unknown encoding \"%1\" (expected utf-8 or cp1251)").arg(parser.value(commandLine.encodingOption)));

    options.outputFile = parser.value(commandLine.outputOption);
    if (options.outputFile == QLatin1String("-"))
        options.outputFile.clear();
    options.null = parser.isSet(commandLine.nullOption);
    options.count = parser.isSet(commandLine.countOption);
    options.stats = parser.isSet(commandLine.statsOption);

    if (parser.isSet(commandLine.minLengthOption))
        options.rules.minLength = parseNumber(commandLine, commandLine.minLengthOption);
    if (parser.isSet(commandLine.maxLengthOption))
        options.rules.maxLength = parseNumber(commandLine, commandLine.maxLengthOption);
    if (parser.isSet(commandLine.maxCountOption))
        options.rules.maxCount = parseNumber(commandLine, commandLine.maxCountOption);
    if (parser.isSet(commandLine.seedOption))
        options.seed = parseNumber(commandLine, commandLine.seedOption);
    options.rules.shuffle = parser.isSet(commandLine.shuffleOption);
    options.lengthBounds = parser.isSet(commandLine.minLengthOption) || parser.isSet(commandLine.maxLengthOption);

    if (options.count && options.stats)
        throw Failure(UsageFailure, tr("use either --count or --stats, not both"));
    const bool restricting = options.lengthBounds || options.rules.shuffle || parser.isSet(commandLine.maxCountOption);
    if ((options.count || options.stats) && restricting)
        throw Failure(UsageFailure,
            tr("--count and --stats describe the whole template; they cannot be combined with --min-length, "
               "--max-length, --shuffle or --max-count"));
    return options;
}

// The index of the character that starts at utf16Index, a surrogate pair counting once.
qsizetype characterIndex(const QString &text, qsizetype utf16Index)
{
    qsizetype characters = 0;
    for (qsizetype i = 0; i < utf16Index; ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++characters;
    }
    return characters;
}

QByteArray readAll(std::istream &in)
{
    QByteArray data;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        data.append(chunk, in.gcount());
    if (in.bad())
        throw Failure(UsageFailure, tr("cannot read the template from standard input"));
    return data;
}

QString readTemplate(const Options &options, std::istream &in)
{
    if (options.templateText)
        return *options.templateText;

    QByteArray bytes;
    if (options.inputFile.isEmpty() || options.inputFile == QLatin1String("-")) {
        bytes = readAll(in);
    } else {
        QFile file(options.inputFile);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure(UsageFailure, tr("cannot read \"%1\": %2").arg(options.inputFile, file.errorString()));
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw Failure(UsageFailure, tr("cannot read \"%1\": %2").arg(options.inputFile, file.errorString()));
    }

    if (options.encoding == Encoding::Cp1251)
        return cp1251::decode(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));

    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        const qsizetype at = characterIndex(text, text.indexOf(QChar(QChar::ReplacementCharacter)));
        throw Failure(UsageFailure,
            tr("the template is not valid UTF-8 (character %1); use --encoding cp1251 for a CP1251 file").arg(at + 1));
    }
    return text;
}

// Line breaks join the lines directly, as in the window's editor: a template
// file expands as the same text typed there.
std::string templateBytes(QString text)
{
    text.remove(QStringLiteral("\r\n"));
    text.remove(u'\n');
    cp1251::EncodeResult encoded = cp1251::encode(text);
    if (encoded.unencodable) {
        const cp1251::UnencodableCharacter &character = *encoded.unencodable;
        throw Failure(TemplateFailure,
            tr("the character %1 at column %2 cannot be written in CP1251")
                .arg(cp1251::describe(character.codePoint))
                .arg(character.characterIndex + 1));
    }
    return std::move(encoded.bytes);
}

std::string toUtf8(std::string_view cp1251Bytes)
{
    const QByteArray utf8 = cp1251::decode(cp1251Bytes).toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

// A length in characters: CP1251 has one byte per character, and in UTF-8
// every character has exactly one byte that is not a continuation byte.
std::size_t characterCount(std::string_view variant, Encoding encoding)
{
    if (encoding == Encoding::Cp1251)
        return variant.size();
    return static_cast<std::size_t>(std::count_if(
        variant.begin(), variant.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
}

std::unique_ptr<OutputSink> openSink(const Options &options, std::ostream &out, const RunEnvironment &environment)
{
    if (options.outputFile.isEmpty())
        return streamSink(out, environment.outputIsTerminal);
    return openFileSink(options.outputFile);
}

void writeText(OutputSink &sink, const std::string &text)
{
    sink.write(text.data(), text.size());
    sink.finish();
}

mpz_class minimum(const mpz_class &a, const mpz_class &b)
{
    return a < b ? a : b;
}

QString memorySize(const mpz_class &bytes)
{
    if (bytes.fits_slong_p())
        return QLocale::c().formattedDataSize(bytes.get_si());
    return tr("%1 bytes").arg(QString::fromStdString(bytes.get_str()));
}

Failure tooBigToShuffle(const mpz_class &count, const mpz_class &needed, const mpz_class &limit)
{
    return Failure(UsageFailure,
        tr("--shuffle must hold all %1 variants in memory, about %2, more than the %3 available; "
           "leave out --shuffle to stream them, or narrow the template")
            .arg(QString::fromStdString(count.get_str()), memorySize(needed), memorySize(limit)));
}

// Each held variant costs its bytes, its end offset in the list and its place
// in the shuffled order.
constexpr unsigned long heldCostPerVariant = sizeof(std::uint64_t) + sizeof(std::size_t);

// Without --shuffle nothing is held: variants are filtered and written as they
// are enumerated, and enumeration stops at --max-count.
void writeStreaming(const CompiledTemplate &output, const Options &options, VariantWriter &writer, Progress &progress,
    const mpz_class &count)
{
    const RestrictRules &rules = options.rules;
    const double total = count.get_d();
    std::uint64_t visited = 0;
    std::uint64_t written = 0;
    Enumerator enumerator(output);
    while (written < rules.maxCount && enumerator.next()) {
        const std::string_view variant = enumerator.current();
        if (!options.lengthBounds || lengthAllowed(characterCount(variant, options.encoding), rules)) {
            writer.put(variant);
            ++written;
        }
        if ((++visited & 0xFFFF) == 0)
            progress.update(written, std::max(double(visited) / total, double(written) / rules.maxCount));
    }
}

mpz_class memoryToHold(const CompiledTemplate &output, const mpz_class &count)
{
    return output.totalBytes() + count * heldCostPerVariant;
}

Failure tooBigToShuffle(const CompiledTemplate &output, const mpz_class &count)
{
    return tooBigToShuffle(count, memoryToHold(output, count), static_cast<unsigned long>(availableMemory()));
}

VariantList holdVariants(const CompiledTemplate &output, const Options &options, const mpz_class &count)
{
    const mpz_class limit = static_cast<unsigned long>(availableMemory());
    const mpz_class needed = memoryToHold(output, count);
    if (!options.lengthBounds) {
        if (needed > limit)
            throw tooBigToShuffle(count, needed, limit);
        return output.expand();
    }

    // The bounds may drop most variants; only the survivors are held, and
    // holding stops as soon as they would not fit after all.
    const bool mayOverflow = needed > limit;
    const std::size_t budget = mayOverflow ? limit.get_ui() : SIZE_MAX;
    VariantList held;
    Enumerator enumerator(output);
    while (enumerator.next()) {
        const std::string_view variant = enumerator.current();
        if (!lengthAllowed(characterCount(variant, options.encoding), options.rules))
            continue;
        held.push_back(variant);
        if (mayOverflow && held.memoryUsage() + held.size() * sizeof(std::size_t) > budget)
            throw tooBigToShuffle(count, needed, limit);
    }
    return held;
}

// The kept variants and the order in which the shuffle puts them.
struct Shuffled
{
    VariantList held;
    std::vector<std::size_t> order;
};

Shuffled holdShuffled(const CompiledTemplate &output, const Options &options, const mpz_class &count)
{
    Shuffled shuffled;
    try {
        shuffled.held = holdVariants(output, options, count);
        shuffled.order.resize(shuffled.held.size());
    } catch (const std::bad_alloc &) {
        throw tooBigToShuffle(output, count);
    } catch (const std::length_error &) {
        throw tooBigToShuffle(output, count);
    }
    std::iota(shuffled.order.begin(), shuffled.order.end(), std::size_t(0));
    if (options.seed)
        std::srand(*options.seed);
    shuffleWithRand(shuffled.order);
    shuffled.order.resize(std::min<std::size_t>(shuffled.order.size(), options.rules.maxCount));
    return shuffled;
}

void writeShuffled(const Shuffled &shuffled, VariantWriter &writer, Progress &progress)
{
    const std::size_t kept = shuffled.order.size();
    for (std::size_t i = 0; i < kept; ++i) {
        writer.put(shuffled.held[shuffled.order[i]]);
        if ((i & 0xFFFF) == 0xFFFF)
            progress.update(i + 1, double(i + 1) / double(kept));
    }
}

int expand(
    const Options &options, std::istream &in, std::ostream &out, std::ostream &err, const RunEnvironment &environment)
{
    const std::string bytes = templateBytes(readTemplate(options, in));

    // An empty template has no variants at all (the window ignores it too),
    // rather than the single empty variant that the grammar would give.
    std::optional<CompiledTemplate> compiled;
    if (!bytes.empty()) {
        try {
            compiled = CompiledTemplate::compile(bytes);
        } catch (const TemplateError &error) {
            throw Failure(
                TemplateFailure, tr("%1 at column %2").arg(QString::fromUtf8(error.what())).arg(error.offset() + 1));
        }
    }

    std::optional<CompiledTemplate> output;
    if (compiled)
        output = options.encoding == Encoding::Utf8 ? compiled->withLiteralsMapped(toUtf8) : *compiled;
    const mpz_class count = compiled ? compiled->count() : mpz_class(0);

    // A shuffle that cannot be held is refused before the output is touched.
    std::optional<Shuffled> shuffled;
    if (compiled && options.rules.shuffle)
        shuffled = holdShuffled(*output, options, count);

    const std::unique_ptr<OutputSink> sink = openSink(options, out, environment);
    if (options.count) {
        writeText(*sink, count.get_str() + '\n');
        return Success;
    }
    if (options.stats) {
        const mpz_class bytesWritten = compiled ? output->totalBytes() + count : mpz_class(0);
        const std::size_t longest = compiled ? compiled->maxLength() : 0;
        writeText(*sink,
            tr("variants: %1\nbytes: %2\nlongest: %3\n")
                .arg(QString::fromStdString(count.get_str()), QString::fromStdString(bytesWritten.get_str()))
                .arg(longest)
                .toStdString());
        return Success;
    }

    VariantWriter writer(*sink, options.null ? '\0' : '\n');
    if (compiled) {
        QString totalText;
        if (shuffled)
            totalText = QString::number(shuffled->order.size());
        else if (!options.lengthBounds)
            totalText = QString::fromStdString(minimum(count, mpz_class(options.rules.maxCount)).get_str());
        Progress progress(
            err, environment.errorIsTerminal && !sink->isTerminal(), environment.progressDelay, totalText);
        if (shuffled)
            writeShuffled(*shuffled, writer, progress);
        else
            writeStreaming(*output, options, writer, progress, count);
        progress.finish();
    }
    writer.finish();
    return Success;
}

} // namespace

int run(
    const QStringList &args, std::istream &in, std::ostream &out, std::ostream &err, const RunEnvironment &environment)
{
    QCoreApplication::setApplicationName(QLatin1String(programName));
    QCoreApplication::setApplicationVersion(QStringLiteral(RAZMNOZHATOR_VERSION));

    const auto report = [&err](const QString &message) {
        err << programName << ": " << message.toStdString() << '\n' << std::flush;
    };

    CommandLine commandLine;
    if (!commandLine.parser.parse(args)) {
        report(commandLine.parser.errorText());
        err << tr("Try \"%1 --help\" for more information.").arg(QLatin1String(programName)).toStdString() << '\n';
        return UsageFailure;
    }
    if (commandLine.parser.isSet(commandLine.helpOption) || commandLine.parser.isSet(QStringLiteral("help-all"))) {
        out << commandLine.helpText().toStdString() << std::flush;
        return Success;
    }
    if (commandLine.parser.isSet(commandLine.versionOption)) {
        out << programName << ' ' << RAZMNOZHATOR_VERSION << '\n' << std::flush;
        return Success;
    }

    Options options;
    try {
        options = parseOptions(commandLine);
    } catch (const Failure &failure) {
        report(failure.message);
        err << tr("Try \"%1 --help\" for more information.").arg(QLatin1String(programName)).toStdString() << '\n';
        return failure.status;
    }

    try {
        return expand(options, in, out, err, environment);
    } catch (const Failure &failure) {
        report(failure.message);
        return failure.status;
    } catch (const OutputError &error) {
        report(error.message());
        return OutputFailure;
    }
}

} // namespace razmnozhator::cli
