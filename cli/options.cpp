#include "options.h"

#include <algorithm>
#include <string>
#include <utility>
#include <variant>

#include <QStringList>

#include "failure.h"

namespace razmnozhator::cli {

QString CommandLine::presetHelp()
{
    QStringList fields;
    for (const lengthrules::Preset &preset : lengthrules::presets())
        fields << QStringLiteral("%1 (%2)").arg(QLatin1String(preset.name), QLatin1String(preset.parts));
    return tr("Keep the variants that fit an ad platform's field: %1. --min-length, --max-length and --length-rule "
              "given as well replace that part of the preset.")
        .arg(fields.join(QLatin1String(", ")));
}

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
               "  3  output error: the output cannot be created or written\n"
               "\nOrder of operations:\n"
               "  1  --min-length and --max-length (or --preset) decide which variants are kept, their lengths "
               "counted by --length-rule.\n"
               "  2  One choice among the kept ones: all of them in template order, --nth, --sample (with or "
               "without --diverse) or --shuffle.\n"
               "  3  --max-count cuts what the choice gives (listing and --shuffle).\n"
               "  4  --shard slices what is left (listing, --shuffle, and --sample with --seed).\n"
               "  --count and --stats give the figures of the kept variants instead.\n");
    return text;
}

namespace {

// Every number on the command line is written alike: decimal digits only, no
// sign, no spaces, of any size; each option then says which it takes.
std::optional<mpz_class> decimal(const QString &text)
{
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return mpz_class(text.toStdString());
}

const mpz_class &uint64Max()
{
    static const mpz_class max(std::to_string(UINT64_MAX));
    return max;
}

class NumberReader
{
public:
    explicit NumberReader(const CommandLine &commandLine)
        : commandLine_(commandLine)
    {
    }

    // 0 to 4294967295.
    std::uint32_t small(const QCommandLineOption &option) const
    {
        const QString value = commandLine_.parser.value(option);
        const std::optional<mpz_class> number = decimal(value);
        if (!number || *number > UINT32_MAX)
            throw Failure(UsageFailure,
                tr("invalid number for --%1: \"%2\" (expected 0 to 4294967295)")
                    .arg(option.names().constLast(), value));
        return static_cast<std::uint32_t>(number->get_ui());
    }

    // Any size, at least `least`.
    mpz_class whole(const QCommandLineOption &option, unsigned least) const
    {
        const QString value = commandLine_.parser.value(option);
        const std::optional<mpz_class> number = decimal(value);
        if (!number || *number < least)
            throw Failure(UsageFailure,
                tr("invalid number for --%1: \"%2\" (expected a whole number from %3 up)")
                    .arg(option.names().constLast(), value)
                    .arg(least));
        return *number;
    }

    Slice slice() const
    {
        const QString value = commandLine_.parser.value(commandLine_.shardOption);
        const QStringList parts = value.split(u'/');
        const std::optional<mpz_class> index = parts.size() == 2 ? decimal(parts[0]) : std::nullopt;
        const std::optional<mpz_class> count = parts.size() == 2 ? decimal(parts[1]) : std::nullopt;
        if (!index || !count || *index < 1 || *index > *count)
            throw Failure(
                UsageFailure, tr("invalid slice for --shard: \"%1\" (expected K/N with 1 <= K <= N)").arg(value));
        if (*count > uint64Max())
            throw Failure(UsageFailure,
                tr("invalid slice for --shard: \"%1\" (N may be at most %2)").arg(value, QString::number(UINT64_MAX)));
        return Slice { *index, *count };
    }

private:
    const CommandLine &commandLine_;
};

// A name that names none of the choices an option takes.
Failure unknownName(const char *what, const QString &name, const QStringList &names)
{
    return Failure(UsageFailure,
        tr("unknown %1 \"%2\" (expected one of %3)").arg(QLatin1String(what), name, names.join(QLatin1String(", "))));
}

QString optionName(const QCommandLineOption &option)
{
    return QStringLiteral("--") + option.names().constLast();
}

// The one option that decides what is written, if any. Besides it only
// --shard may be given, and only to slice what listing, --shuffle and
// --sample write.
const QCommandLineOption *chosenMode(const CommandLine &commandLine)
{
    const QCommandLineOption *modes[] = { &commandLine.countOption, &commandLine.statsOption,
        &commandLine.shuffleOption, &commandLine.nthOption, &commandLine.sampleOption, &commandLine.shardOption };
    const QCommandLineParser &parser = commandLine.parser;
    const bool sliceable = !parser.isSet(commandLine.countOption) && !parser.isSet(commandLine.statsOption)
        && !parser.isSet(commandLine.nthOption);
    QStringList given;
    const QCommandLineOption *chosen = nullptr;
    for (const QCommandLineOption *mode : modes) {
        if (!parser.isSet(*mode) || (mode == &commandLine.shardOption && sliceable && chosen))
            continue;
        given << optionName(*mode);
        if (!chosen)
            chosen = mode;
    }
    if (given.size() > 1)
        throw Failure(UsageFailure,
            tr("use only one of %1 and %2")
                .arg(given.mid(0, given.size() - 1).join(QLatin1String(", ")), given.last()));
    return chosen;
}

Choice parseChoice(const CommandLine &commandLine, const NumberReader &numbers)
{
    const QCommandLineParser &parser = commandLine.parser;
    const QCommandLineOption *mode = chosenMode(commandLine);
    const auto is = [mode](const QCommandLineOption &option) { return mode == &option; };
    std::optional<std::uint64_t> maxCount;
    if (parser.isSet(commandLine.maxCountOption))
        maxCount = numbers.small(commandLine.maxCountOption);
    std::optional<std::uint32_t> seed;
    if (parser.isSet(commandLine.seedOption))
        seed = numbers.small(commandLine.seedOption);

    const bool exact = is(commandLine.countOption) || is(commandLine.statsOption) || is(commandLine.nthOption)
        || is(commandLine.sampleOption);
    if (maxCount && exact)
        throw Failure(UsageFailure, tr("--max-count cannot be combined with %1").arg(optionName(*mode)));
    if (seed && !is(commandLine.shuffleOption) && !is(commandLine.sampleOption))
        throw Failure(
            UsageFailure, tr("--seed only seeds --shuffle and --sample; give one of them too, or leave out --seed"));
    const bool inOrder = parser.isSet(commandLine.inOrderOption);
    if (inOrder && !is(commandLine.sampleOption))
        throw Failure(UsageFailure, tr("--in-order orders a --sample; give --sample too"));
    const bool diverse = parser.isSet(commandLine.diverseOption);
    if (diverse && !is(commandLine.sampleOption))
        throw Failure(UsageFailure, tr("--diverse chooses a --sample; give --sample N too"));
    if (is(commandLine.sampleOption) && parser.isSet(commandLine.shardOption) && !seed)
        throw Failure(UsageFailure,
            tr("--shard slices a --sample only with --seed: without it every slice would come from another "
               "sample"));

    if (is(commandLine.countOption) || is(commandLine.statsOption))
        return choice::Figures { is(commandLine.statsOption) };
    if (is(commandLine.shuffleOption))
        return choice::Shuffle { maxCount, seed };
    if (is(commandLine.nthOption))
        return choice::Nth { numbers.whole(commandLine.nthOption, 1) };
    if (is(commandLine.sampleOption))
        return choice::Sample { numbers.whole(commandLine.sampleOption, 0), seed, inOrder, diverse };
    return choice::List { maxCount };
}

// --format and --header, checked against the other options: a table is
// UTF-8 text of lines.
void parseTable(const CommandLine &commandLine, Options &options)
{
    const QCommandLineParser &parser = commandLine.parser;
    if (parser.isSet(commandLine.formatOption)) {
        const QString name = parser.value(commandLine.formatOption);
        const std::optional<tables::Format> format = tables::formatNamed(name);
        if (!format)
            throw unknownName("format", name, tables::formatNames());
        options.format = *format;
    } else if (!std::holds_alternative<choice::Figures>(options.choice)) {
        options.format = tables::formatOfFileName(options.outputFile);
    }
    if (parser.isSet(commandLine.headerOption)) {
        if (options.format == tables::Format::Lines)
            throw Failure(
                UsageFailure, tr("--header names the columns of a table; give --format tsv, csv or xlsx too"));
        options.header = parser.value(commandLine.headerOption).split(u'\t');
    }
    // --count and --stats write their figures alike in every format.
    if (options.format == tables::Format::Lines || std::holds_alternative<choice::Figures>(options.choice))
        return;
    const QString format = tables::nameOf(options.format);
    if (options.encoding != Encoding::Utf8)
        throw Failure(
            UsageFailure, tr("a table (%1) is written in UTF-8 only; leave out --encoding cp1251").arg(format));
    if (options.terminator != '\n')
        throw Failure(UsageFailure, tr("a table (%1) ends its rows itself; leave out --null").arg(format));
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

    const NumberReader numbers(commandLine);
    // A preset gives the rule and both bounds; each given on its own replaces
    // the preset's.
    if (parser.isSet(commandLine.presetOption)) {
        const QString name = parser.value(commandLine.presetOption);
        const lengthrules::Preset *preset = lengthrules::presetNamed(name);
        if (!preset)
            throw unknownName("preset", name, lengthrules::presetNames());
        options.rule = preset->fieldRule();
        options.lengths = { preset->min, preset->max };
    }
    if (parser.isSet(commandLine.lengthRuleOption)) {
        const QString name = parser.value(commandLine.lengthRuleOption);
        const std::optional<lengthrules::Rule> rule = lengthrules::ruleNamed(name);
        if (!rule)
            throw unknownName("length rule", name, lengthrules::ruleNames());
        options.rule.rule = *rule;
        // Direct's limit on narrow characters and a preset's own limit would
        // be two limits at once, which lengths do not count.
        if (!lengthrules::combinable(options.rule))
            throw Failure(UsageFailure,
                tr("--length-rule %1 does not go with --preset %2, whose limit on %3 would be a second limit")
                    .arg(name, parser.value(commandLine.presetOption),
                        QString::fromUtf16(options.rule.limit->characters)));
    }
    if (parser.isSet(commandLine.minLengthOption))
        options.lengths.min = numbers.small(commandLine.minLengthOption);
    if (parser.isSet(commandLine.maxLengthOption))
        options.lengths.max = numbers.small(commandLine.maxLengthOption);
    if (options.lengths.min > options.lengths.max) {
        // A bound the preset gave is named as the preset's.
        const QString preset = parser.value(commandLine.presetOption);
        const QString minimum = parser.isSet(commandLine.minLengthOption)
            ? tr("--min-length %1").arg(options.lengths.min)
            : tr("the shortest %1 of --preset %2").arg(options.lengths.min).arg(preset);
        const QString maximum = parser.isSet(commandLine.maxLengthOption)
            ? tr("--max-length %1").arg(options.lengths.max)
            : tr("the longest %1 of --preset %2").arg(options.lengths.max).arg(preset);
        throw Failure(UsageFailure, tr("%1 is above %2: no variant could be kept").arg(minimum, maximum));
    }
    options.choice = parseChoice(commandLine, numbers);
    if (parser.isSet(commandLine.shardOption))
        options.slice = numbers.slice();
    parseTable(commandLine, options);
    return options;
}

} // namespace razmnozhator::cli
