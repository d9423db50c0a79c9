#pragma once

// The command line: the options the tool takes, as QCommandLineParser sees
// them, and the Options a run works from.

#include <cstdint>
#include <optional>
#include <variant>

#include <gmpxx.h>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include "failure.h"
#include "lengthrules.h"
#include "razmnozhator/lengthbounds.h"
#include "tables.h"

namespace razmnozhator::cli {

enum class Encoding { Utf8, Cp1251 };

// What a run writes, in one order of operations: the length bounds decide
// which variants are kept; one choice picks among the kept ones; --max-count
// cuts what it gives; --shard slices what is left.
namespace choice {
// Every kept variant in order, up to --max-count.
struct List
{
    std::optional<std::uint64_t> maxCount;
};
// --shuffle: every kept variant in a random order, the one a --sample of all
// of them with the same seed gives, then cut.
struct Shuffle
{
    std::optional<std::uint64_t> maxCount;
    std::optional<std::uint32_t> seed;
};
// --nth K: the K-th (1-based) kept variant alone.
struct Nth
{
    mpz_class position;
};
// --sample N: N kept variants drawn uniformly, in random or template order.
struct Sample
{
    mpz_class size;
    std::optional<std::uint32_t> seed;
    bool inOrder = false;
    // --diverse: the variants chosen to differ from each other as much as possible.
    bool diverse = false;
};
// --count and --stats: figures about the kept variants instead of them.
struct Figures
{
    bool statistics = false;
};
} // namespace choice

using Choice = std::variant<choice::List, choice::Shuffle, choice::Nth, choice::Sample, choice::Figures>;

// --shard K/N: the K-th (1-based) of N contiguous, near-equal slices of what
// the choice writes.
struct Slice
{
    mpz_class index = 1;
    mpz_class count = 1;
};

struct Options
{
    std::optional<QString> templateText;
    QString inputFile;
    QString outputFile;
    Encoding encoding = Encoding::Utf8;
    // What ends each variant written: a line feed, or NUL with --null.
    char terminator = '\n';
    // --min-length and --max-length, or those of --preset, in characters
    // counted by the rule.
    LengthRange lengths;
    // --length-rule, or that of --preset, with the preset's limit on a set
    // of characters.
    lengthrules::FieldRule rule;
    Choice choice;
    std::optional<Slice> slice;
    // --format, or the one the output file's name asks for.
    tables::Format format = tables::Format::Lines;
    // --header: the names of a table's fields, replacing those it would get.
    std::optional<QStringList> header;
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
           "has been written, and keeps its permissions; a device, a FIFO or a socket is written directly."),
        "FILE" };
    QCommandLineOption nullOption { QStringList { "0", "null" },
        tr("End each variant with a NUL byte instead of a line feed.") };
    QCommandLineOption countOption { QStringLiteral("count"), tr("Print the exact number of variants kept and stop.") };
    QCommandLineOption statsOption { QStringLiteral("stats"),
        tr("Print the number of variants kept, the size of the output in bytes (line ends included) and the "
           "lengths of the longest and the shortest of them in characters, and stop.") };
    QCommandLineOption minLengthOption { QStringLiteral("min-length"),
        tr("Keep only variants of at least N characters."), "N" };
    QCommandLineOption maxLengthOption { QStringLiteral("max-length"),
        tr("Keep only variants of at most N characters."), "N" };
    QCommandLineOption lengthRuleOption { QStringLiteral("length-rule"),
        tr("Count a variant's length by NAME: plain (default) counts every character; direct counts the characters "
           "other than . , ! : ; \" « » and keeps no variant with more than 15 of those, as Yandex Direct does."),
        "NAME", "plain" };
    static QString presetHelp();
    QCommandLineOption presetOption { QStringLiteral("preset"),
        presetHelp(),
        "NAME" };
    QCommandLineOption shuffleOption { QStringLiteral("shuffle"),
        tr("Write the kept variants in a random order before --max-count cuts them, streaming in flat memory: the "
           "order of a --sample of all of them with the same --seed.") };
    QCommandLineOption maxCountOption { QStringLiteral("max-count"), tr("Write at most N variants."), "N" };
    QCommandLineOption seedOption { QStringLiteral("seed"),
        tr("Seed the random generator of --shuffle or --sample with N. Without it --shuffle shuffles alike on every "
           "run (as with --seed 0), and --sample draws a new sample each time."),
        "N" };
    QCommandLineOption nthOption { QStringLiteral("nth"),
        tr("Write only the K-th variant (1-based, of any size) of those kept, found without listing the ones "
           "before it."),
        "K" };
    QCommandLineOption sampleOption { QStringLiteral("sample"),
        tr("Write N different variants of those kept, drawn uniformly at random, in random order; all of them "
           "when fewer are kept. Streams in flat memory for any N."),
        "N" };
    QCommandLineOption inOrderOption { QStringLiteral("in-order"),
        tr("With --sample: write the sample in template order.") };
    QCommandLineOption diverseOption { QStringLiteral("diverse"),
        tr("With --sample: choose the N variants that differ from each other the most instead of uniformly (from a "
           "uniform pool of 8 times N, at most 40000; --in-order writes the same ones in template order). Two variants "
           "differ by "
           "1 - |A and B| / |A or B| over their sets of runs of three consecutive words (letters and digits, "
           "lowercased); the choice adds, one at a time, the variant farthest from all those chosen.") };
    QCommandLineOption shardOption { QStringLiteral("shard"),
        tr("Write only the K-th of N contiguous, near-equal slices of the output (1 <= K <= N); the N slices "
           "together are the whole output, in order. Slices listing, --shuffle, --sample and --diverse (the last "
           "two with --seed, so that every slice is of one sample)."),
        "K/N" };
    QCommandLineOption formatOption { QStringLiteral("format"),
        tr("Write the variants as NAME: lines (default) one per line; tsv, csv or xlsx a table, a tab in the "
           "template separating its fields: tsv with a header row, tab-separated, UTF-8 (as Yandex Direct "
           "Commander reads); csv RFC 4180 with a byte order mark (as spreadsheets and Google Ads Editor read); "
           "xlsx an Excel workbook whose cells are all text. Without it, -o NAME.tsv, .csv or .xlsx chooses the "
           "format. Every variant must have the same number of fields. Tables are UTF-8; with --shard only the "
           "first slice of a tsv or csv carries the header."),
        "NAME", "lines" };
    QCommandLineOption headerOption { QStringLiteral("header"),
        tr("Name a table's fields NAMES, separated by tabs, instead of \"Поле 1\", \"Поле 2\", ..."), "NAMES" };
    // Qt's own help options would promise Qt options that this tool does not
    // take; these say what the tool does, in the words of its manual page.
    QCommandLineOption helpOption { QStringList { "h", "help" },
        tr("Print a summary of the options and the exit statuses, and exit.") };
    QCommandLineOption helpAllOption { QStringLiteral("help-all"), tr("The same as --help.") };
    QCommandLineOption versionOption { QStringList { "v", "version" }, tr("Print the version and exit.") };

    CommandLine()
    {
        parser.setApplicationDescription(tr("Writes every variant of a template, one per line.\n"
                                            "\"[a|b|c]\" chooses one of a, b and c; \"{sep|x|y|z}\" joins every "
                                            "ordered pair of two different items with sep; groups nest.\n"
                                            "A pairs group with fewer than two items gets empty ones: "
                                            "\"{sep|x}\" gives \"xsep\" and \"sepx\", \"{sep}\" gives "
                                            "\"sep\" twice."));
        for (const QCommandLineOption *option :
            { &helpOption, &helpAllOption, &versionOption, &templateOption, &encodingOption, &outputOption, &nullOption,
                &countOption, &statsOption, &minLengthOption, &maxLengthOption, &lengthRuleOption, &presetOption,
                &shuffleOption, &maxCountOption, &seedOption, &nthOption, &sampleOption, &inOrderOption, &diverseOption,
                &shardOption, &formatOption, &headerOption })
            parser.addOption(*option);
        parser.addPositionalArgument(QStringLiteral("FILE"),
            tr("The template; standard input when absent or \"-\". Line breaks in it (LF, CR LF or CR) are "
               "removed."),
            QStringLiteral("[FILE]"));
    }

    QString helpText() const;
};

// Throws Failure for a bad combination or number.
Options parseOptions(const CommandLine &commandLine);

} // namespace razmnozhator::cli
