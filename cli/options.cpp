#include "options.h"

#include <algorithm>
#include <utility>

#include <QStringList>

#include "failure.h"
#include "run.h"

namespace razmnozhator::cli {

QString CommandLine::helpText() const
{
    QString text = parser.helpText();
    // The parser names the program after argv[0], which may be any path.
    text.replace(0, text.indexOf(u'\n'), tr("Usage: %1 [options] [FILE]").arg(QLatin1String(programName)));
    text += tr("\nExit status:\n"
               "  0  success\n"
               "  1  template error: unbalanced brackets, a NUL character, or a character that CP1251 cannot "
               "hold\n"
               "  2  usage error: bad option or number, unreadable or invalid input, or not enough memory\n"
               "  3  output error: the output cannot be created or written\n");
    return text;
}

namespace {

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

// A whole number of any size, at least `least`.
mpz_class parseBigNumber(const CommandLine &commandLine, const QCommandLineOption &option, unsigned least)
{
    const QString value = commandLine.parser.value(option);
    const bool digits
        = !value.isEmpty() && std::all_of(value.begin(), value.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const mpz_class number = digits ? mpz_class(value.toStdString()) : mpz_class(-1);
    if (number < least)
        throw Failure(UsageFailure,
            tr("invalid number for --%1: \"%2\" (expected a whole number from %3 up)")
                .arg(option.names().constLast(), value)
                .arg(least));
    return number;
}

Options::Shard parseShard(const CommandLine &commandLine)
{
    const QString value = commandLine.parser.value(commandLine.shardOption);
    const QStringList parts = value.split(u'/');
    bool indexOk = false;
    bool countOk = false;
    Options::Shard shard;
    if (parts.size() == 2) {
        shard.index = parts[0].toULongLong(&indexOk, 10);
        shard.count = parts[1].toULongLong(&countOk, 10);
    }
    if (!indexOk || !countOk || shard.index < 1 || shard.index > shard.count)
        throw Failure(UsageFailure, tr("invalid slice for --shard: \"%1\" (expected K/N with 1 <= K <= N)").arg(value));
    return shard;
}

} // namespace

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
    if (parser.isSet(commandLine.outputOption) && options.outputFile.isEmpty())
        throw Failure(UsageFailure, tr("the output file name is empty; use \"-\" for standard output"));
    if (options.outputFile == QLatin1String("-"))
        options.outputFile.clear();
    options.terminator = parser.isSet(commandLine.nullOption) ? '\0' : '\n';
    options.printCount = parser.isSet(commandLine.countOption);
    options.printStatistics = parser.isSet(commandLine.statsOption);

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
    options.capped = parser.isSet(commandLine.maxCountOption);
    if (parser.isSet(commandLine.nthOption))
        options.nth = parseBigNumber(commandLine, commandLine.nthOption, 1);
    if (parser.isSet(commandLine.sampleOption))
        options.sampleSize = parseBigNumber(commandLine, commandLine.sampleOption, 0);
    options.sampleInOrder = parser.isSet(commandLine.inOrderOption);
    options.diverse = parser.isSet(commandLine.diverseOption);
    if (parser.isSet(commandLine.shardOption))
        options.shard = parseShard(commandLine);

    if (options.rules.minLength > options.rules.maxLength)
        throw Failure(UsageFailure,
            tr("--min-length %1 is above --max-length %2: no variant could be kept")
                .arg(options.rules.minLength)
                .arg(options.rules.maxLength));
    // Each of these decides what is written; they do not mix.
    const std::pair<bool, const char *> modes[]
        = { { options.printCount, "--count" }, { options.printStatistics, "--stats" },
              { options.rules.shuffle, "--shuffle" }, { options.nth.has_value(), "--nth" },
              { options.sampleSize.has_value(), "--sample" }, { options.shard.has_value(), "--shard" } };
    QStringList given;
    for (const auto &[set, name] : modes) {
        if (set)
            given << QLatin1String(name);
    }
    if (given.size() > 1)
        throw Failure(UsageFailure,
            tr("use only one of %1 and %2")
                .arg(given.mid(0, given.size() - 1).join(QLatin1String(", ")), given.last()));
    const bool exact = options.printCount || options.printStatistics || options.nth || options.sampleSize;
    if (options.capped && exact)
        throw Failure(UsageFailure, tr("--max-count cannot be combined with %1").arg(given.constFirst()));
    if (options.seed && !options.rules.shuffle && !options.sampleSize)
        throw Failure(
            UsageFailure, tr("--seed only seeds --shuffle and --sample; give one of them too, or leave out --seed"));
    if (options.sampleInOrder && !options.sampleSize)
        throw Failure(UsageFailure, tr("--in-order orders a --sample; give --sample too"));
    if (options.diverse && !options.sampleSize)
        throw Failure(UsageFailure, tr("--diverse chooses a --sample; give --sample N too"));
    return options;
}

} // namespace razmnozhator::cli
