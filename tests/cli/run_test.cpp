// The tool's behaviour, called in-process through run(): what it writes for
// each option, the exact message and status of each failure, the restrict
// rules in their order, and the progress line.

#include <QStringList>
#include <QTest>

#include "cli_test_data.h"
#include "progress.h"
#include "razmnozhator/restriction.h"
#include "run.h"

#include <cstdlib>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

using namespace razmnozhator;
using clitest::lines;

namespace {

struct Result
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Result runTool(const QStringList &args, const QByteArray &input = {}, const cli::RunEnvironment &environment = {})
{
    std::istringstream in(input.toStdString());
    std::ostringstream out;
    std::ostringstream err;
    Result result;
    result.status = cli::run(QStringList { QStringLiteral("razmnozhator-cli") } + args, in, out, err, environment);
    result.out = QByteArray::fromStdString(out.str());
    result.err = QByteArray::fromStdString(err.str());
    return result;
}

QByteArray cp1251Bytes(const char *bytes)
{
    return QByteArray(bytes);
}

const QByteArray tryHelp = "Try \"razmnozhator-cli --help\" for more information.\n";

} // namespace

class RunTest : public QObject
{
    Q_OBJECT

private slots:
    void writesVariants_data();
    void writesVariants();
    void restricts_data();
    void restricts();
    void describesWithoutEnumerating_data();
    void describesWithoutEnumerating();
    void failures_data();
    void failures();
    void refusesShuffleThatCannotFit();
    void shufflesLikeTheWindow_data();
    void shufflesLikeTheWindow();
    void helpListsEveryOption_data();
    void helpListsEveryOption();
    void printsVersion();
    void progressLine_data();
    void progressLine();
    void showsProgressOnlyOnTerminal_data();
    void showsProgressOnlyOnTerminal();
};

void RunTest::writesVariants_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("sample template") << QStringList { "-e", clitest::sampleTemplate } << QByteArray()
                                     << clitest::sampleOutput();
    QTest::newRow("bar outside groups is literal")
        << QStringList { "-e", "a|b" } << QByteArray() << QByteArray("a|b\n");
    QTest::newRow("pairs with separator") << QStringList { "-e", "{, |a|b|c}" } << QByteArray()
                                          << lines({ "a, b", "a, c", "b, a", "b, c", "c, a", "c, b" });
    QTest::newRow("first piece is the separator")
        << QStringList { "-e", "{a|b|c|d}" } << QByteArray() << lines({ "bac", "bad", "cab", "cad", "dab", "dac" });
    QTest::newRow("bars inside a square group do not split the curly one")
        << QStringList { "-e", "{[|a|b]}" } << QByteArray() << lines({ "", "a", "b", "", "a", "b" });
    QTest::newRow("leftmost group changes slowest")
        << QStringList { "-e", "x[a|b]y[1|2]z" } << QByteArray() << lines({ "xay1z", "xay2z", "xby1z", "xby2z" });
    QTest::newRow("long option with equals sign")
        << QStringList { "--template=[a|b]" } << QByteArray() << lines({ "a", "b" });
    QTest::newRow("null terminators") << QStringList { "--null", "-e", "[a|b|]" } << QByteArray()
                                      << QByteArray("a\0b\0\0", 5);
    QTest::newRow("short null option") << QStringList { "-0", "-e", "{-|x}" } << QByteArray()
                                       << QByteArray("x-\0-x\0", 6);
    QTest::newRow("standard input") << QStringList() << QByteArray("[x|y]") << lines({ "x", "y" });
    QTest::newRow("dash is standard input") << QStringList { "-" } << QByteArray("[x|y]z") << lines({ "xz", "yz" });
    QTest::newRow("dash output is standard output")
        << QStringList { "-o", "-", "-e", "[x|y]" } << QByteArray() << lines({ "x", "y" });
    QTest::newRow("line feeds are removed, not replaced by spaces")
        << QStringList() << QByteArray("[a|\nb]\nc\n") << lines({ "ac", "bc" });
    QTest::newRow("CR LF line ends are removed")
        << QStringList() << QByteArray("[a|\r\nb]\r\nc\r\n") << lines({ "ac", "bc" });
    QTest::newRow("a lone CR stays") << QStringList() << QByteArray("a\rb") << QByteArray("a\rb\n");
    QTest::newRow("spaces at a line end stay") << QStringList() << QByteArray("[x|y] \nz") << lines({ "x z", "y z" });
    QTest::newRow("empty template prints nothing") << QStringList { "-e", "" } << QByteArray() << QByteArray();
    QTest::newRow("template of line breaks prints nothing") << QStringList() << QByteArray("\n\r\n\n") << QByteArray();
    QTest::newRow("UTF-8 byte order mark is dropped")
        << QStringList() << QByteArray("\xEF\xBB\xBF[a|b]") << lines({ "a", "b" });
    QTest::newRow("Cyrillic on standard input") << QStringList() << QByteArray("[Да|Нет], {и|ёж|я}")
                                                << lines({ "Да, ёжия", "Да, яиёж", "Нет, ёжия", "Нет, яиёж" });
    QTest::newRow("CP1251 output of a command-line template") << QStringList { "--encoding", "cp1251", "-e",
        "[Да|Нет]" } << QByteArray() << cp1251Bytes("\xC4\xE0\n\xCD\xE5\xF2\n");
    QTest::newRow("CP1251 input and output")
        << QStringList { "--encoding", "cp1251" } << cp1251Bytes("[\xC4\xE0|\xCD\xE5\xF2]\r\n \xB9")
        << cp1251Bytes("\xC4\xE0 \xB9\n\xCD\xE5\xF2 \xB9\n");
    QTest::newRow("encoding names ignore case")
        << QStringList { "--encoding", "UTF-8", "-e", "[ё|Ё]" } << QByteArray() << lines({ "ё", "Ё" });
    QTest::newRow("windows-1251 is another name for cp1251")
        << QStringList { "--encoding", "windows-1251", "-e", "ё" } << QByteArray() << cp1251Bytes("\xB8\n");
    const QString huge(3 << 20, u'h');
    QTest::newRow("variant larger than the write buffer")
        << QStringList { "-e", "[" + huge + "|b]" } << QByteArray() << lines({ huge, "b" });
    const QString big(700 * 1024, u'x');
    QTest::newRow("variants straddling write buffers") << QStringList { "-e", big + "[1|2|3|4]" } << QByteArray()
                                                       << lines({ big + "1", big + "2", big + "3", big + "4" });
    QTest::newRow("variant filling the write buffer exactly")
        << QStringList { "-e", "[a|" + QString((1 << 20) - 1, u'f') + "|z]" } << QByteArray()
        << lines({ "a", QString((1 << 20) - 1, u'f'), "z" });
    // "a\n" takes two bytes, so the long variant ends on the buffer's last byte
    // and its line feed must start the next buffer.
    QTest::newRow("variant ending exactly at the buffer end")
        << QStringList { "-e", "[a|" + QString((1 << 20) - 2, u'e') + "]" } << QByteArray()
        << lines({ "a", QString((1 << 20) - 2, u'e') });
    QTest::newRow("seed without shuffle changes nothing")
        << QStringList { "--seed", "5", "-e", "[a|b|c]" } << QByteArray() << lines({ "a", "b", "c" });
}

void RunTest::writesVariants()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);

    const Result result = runTool(args, input);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, output);
}

void RunTest::restricts_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("output");

    const QString lengths = QStringLiteral("[|a|bb|ccc|dddd|eeeee]");
    QTest::newRow("minimum is inclusive")
        << QStringList { "--min-length", "3", "-e", lengths } << lines({ "ccc", "dddd", "eeeee" });
    QTest::newRow("maximum is inclusive")
        << QStringList { "--max-length", "2", "-e", lengths } << lines({ "", "a", "bb" });
    QTest::newRow("both bounds") << QStringList { "--min-length", "2", "--max-length", "3", "-e", lengths }
                                 << lines({ "bb", "ccc" });
    QTest::newRow("equal bounds keep one length")
        << QStringList { "--min-length", "4", "--max-length", "4", "-e", lengths } << lines({ "dddd" });
    QTest::newRow("minimum above maximum keeps nothing")
        << QStringList { "--min-length", "4", "--max-length", "3", "-e", lengths } << QByteArray();
    QTest::newRow("maximum zero keeps empty variants")
        << QStringList { "--max-length", "0", "-e", "[|a|]" } << lines({ "", "" });
    QTest::newRow("count keeps the first ones")
        << QStringList { "--max-count", "2", "-e", lengths } << lines({ "", "a" });
    QTest::newRow("count zero keeps nothing") << QStringList { "--max-count", "0", "-e", lengths } << QByteArray();
    QTest::newRow("count above the number keeps all")
        << QStringList { "--max-count", "100", "-e", "[a|b]" } << lines({ "a", "b" });
    QTest::newRow("lengths filter before the count cuts")
        << QStringList { "--min-length", "2", "--max-count", "2", "-e", lengths } << lines({ "bb", "ccc" });
    QTest::newRow("count stops an enormous enumeration") << QStringList { "--max-count", "3", "-e",
        clitest::digitGroups(40) } << lines({ QString(40, u'0'), QString(39, u'0') + u'1', QString(39, u'0') + u'2' });
    QTest::newRow("UTF-8 lengths count characters, not bytes")
        << QStringList { "--max-length", "2", "-e", "[Ёж|Кот|a|ab]" } << lines({ "Ёж", "a", "ab" });
    QTest::newRow("UTF-8 minimum counts characters")
        << QStringList { "--min-length", "3", "-e", "[Ёж|Кот|abc]" } << lines({ "Кот", "abc" });
    QTest::newRow("CP1251 lengths count characters")
        << QStringList { "--encoding", "cp1251", "--max-length", "2", "-e", "[Ёж|Кот]" } << cp1251Bytes("\xA8\xE6\n");
    QTest::newRow("shuffle keeps every kept variant")
        << QStringList { "--shuffle", "--max-count", "1", "-e", "[a]" } << lines({ "a" });
}

void RunTest::restricts()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, output);

    const Result result = runTool(args);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, output);
}

void RunTest::describesWithoutEnumerating_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("count of pairs times alternatives")
        << QStringList { "--count", "-e", "[a|b]{, |x|y|z}" } << QByteArray("12\n");
    QTest::newRow("count of the sample template")
        << QStringList { "--count", "-e", clitest::sampleTemplate } << QByteArray("30\n");
    QTest::newRow("count beyond 64 bits")
        << QStringList { "--count", "-e", clitest::digitGroups(25) } << QByteArray("1" + QByteArray(25, '0') + "\n");
    QTest::newRow("count of an empty template") << QStringList { "--count", "-e", "" } << QByteArray("0\n");
    QTest::newRow("stats count line ends")
        << QStringList { "--stats", "-e", "[a|bb]" } << QByteArray("variants: 2\nbytes: 5\nlongest: 2\n");
    QTest::newRow("stats in UTF-8 bytes and characters")
        << QStringList { "--stats", "-e", "[Да|Нет]" } << QByteArray("variants: 2\nbytes: 12\nlongest: 3\n");
    QTest::newRow("stats in CP1251") << QStringList { "--stats", "--encoding", "cp1251", "-e", "[Да|Нет]" }
                                     << QByteArray("variants: 2\nbytes: 7\nlongest: 3\n");
    QTest::newRow("stats of an enormous template")
        << QStringList { "--stats", "-e", clitest::digitGroups(30) }
        << QByteArray("variants: 1" + QByteArray(30, '0') + "\nbytes: 31" + QByteArray(30, '0') + "\nlongest: 30\n");
    QTest::newRow("stats of an empty template")
        << QStringList { "--stats", "-e", "" } << QByteArray("variants: 0\nbytes: 0\nlongest: 0\n");
}

void RunTest::describesWithoutEnumerating()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, output);

    const Result result = runTool(args);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, output);
}

void RunTest::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");

    const auto square = [](int column) {
        return "razmnozhator-cli: Incomplete number of '[]'s at column " + QByteArray::number(column) + "\n";
    };
    const auto curly = [](int column) {
        return "razmnozhator-cli: Incomplete number of '{}'s at column " + QByteArray::number(column) + "\n";
    };

    QTest::newRow("unclosed square group") << QStringList { "-e", "[a" } << QByteArray() << 1 << square(1);
    QTest::newRow("unclosed square group after text") << QStringList { "-e", "a[b" } << QByteArray() << 1 << square(2);
    QTest::newRow("curly closer never closes a square group")
        << QStringList { "-e", "[a|b}" } << QByteArray() << 1 << square(1);
    QTest::newRow("stray closer makes the inner group unclosed")
        << QStringList { "-e", "[a|[b}|c]]" } << QByteArray() << 1 << square(4);
    QTest::newRow("unclosed group in the tail") << QStringList { "-e", "[a]{" } << QByteArray() << 1 << curly(4);
    QTest::newRow("second item expanded first")
        << QStringList { "-e", "{s|a{]|b}[}" } << QByteArray() << 1 << square(10);
    QTest::newRow("column counts Cyrillic letters")
        << QStringList { "-e", "Привет [мир" } << QByteArray() << 1 << square(8);
    QTest::newRow("column after line breaks are removed")
        << QStringList() << QByteArray("ab\r\ncd\n[x") << 1 << square(5);
    QTest::newRow("emoji cannot be written in CP1251")
        << QStringList { "-e", "ab😀c" } << QByteArray() << 1
        << QByteArray("razmnozhator-cli: the character \"😀\" (U+1F600) at column 3 cannot be written in CP1251\n");
    QTest::newRow("Greek letter on a second line")
        << QStringList() << QByteArray("[a|\nΩ]") << 1
        << QByteArray("razmnozhator-cli: the character \"Ω\" (U+03A9) at column 4 cannot be written in CP1251\n");
    QTest::newRow("CJK character is reported before a bracket error")
        << QStringList { "-e", "[中" } << QByteArray() << 1
        << QByteArray("razmnozhator-cli: the character \"中\" (U+4E2D) at column 2 cannot be written in CP1251\n");
    QTest::newRow("unknown option") << QStringList { "--bogus" } << QByteArray() << 2
                                    << "razmnozhator-cli: Unknown option 'bogus'.\n" + tryHelp;
    QTest::newRow("missing option value")
        << QStringList { "-e" } << QByteArray() << 2 << "razmnozhator-cli: Missing value after '-e'.\n" + tryHelp;
    QTest::newRow("letters for a number") << QStringList { "--max-count", "ten", "-e", "a" } << QByteArray() << 2
                                          << "razmnozhator-cli: invalid number for --max-count: \"ten\" (expected 0 to "
                                             "4294967295)\n"
            + tryHelp;
    QTest::newRow("negative number") << QStringList { "--min-length", "-1", "-e", "a" } << QByteArray() << 2
                                     << "razmnozhator-cli: invalid number for --min-length: \"-1\" (expected 0 to "
                                        "4294967295)\n"
            + tryHelp;
    QTest::newRow("number beyond 32 bits")
        << QStringList { "--max-length", "4294967296", "-e", "a" } << QByteArray() << 2
        << "razmnozhator-cli: invalid number for --max-length: \"4294967296\" "
           "(expected 0 to 4294967295)\n"
            + tryHelp;
    QTest::newRow("empty seed") << QStringList { "--seed=", "-e", "a" } << QByteArray() << 2
                                << "razmnozhator-cli: invalid number for --seed: \"\" (expected 0 to 4294967295)\n"
            + tryHelp;
    QTest::newRow("unknown encoding") << QStringList { "--encoding", "koi8-r", "-e", "a" } << QByteArray() << 2
                                      << "razmnozhator-cli: unknown encoding \"koi8-r\" (expected utf-8 or cp1251)\n"
            + tryHelp;
    QTest::newRow("template twice") << QStringList { "-e", "a", "file.txt" } << QByteArray() << 2
                                    << "razmnozhator-cli: give the template either with --template or as FILE, not "
                                       "both\n"
            + tryHelp;
    QTest::newRow("two files") << QStringList { "a.txt", "b.txt" } << QByteArray() << 2
                               << "razmnozhator-cli: only one template file can be given\n" + tryHelp;
    QTest::newRow("count and stats") << QStringList { "--count", "--stats", "-e", "a" } << QByteArray() << 2
                                     << "razmnozhator-cli: use either --count or --stats, not both\n" + tryHelp;
    QTest::newRow("count with a restrict rule")
        << QStringList { "--count", "--max-count", "3", "-e", "a" } << QByteArray() << 2
        << "razmnozhator-cli: --count and --stats describe the whole template; they cannot be combined with "
           "--min-length, --max-length, --shuffle or --max-count\n"
            + tryHelp;
    QTest::newRow("missing template file")
        << QStringList { "/nonexistent/template.txt" } << QByteArray() << 2
        << QByteArray("razmnozhator-cli: cannot read \"/nonexistent/template.txt\": No such file or directory\n");
    QTest::newRow("invalid UTF-8") << QStringList() << QByteArray("ab\xFF\xFE[c]") << 2
                                   << QByteArray("razmnozhator-cli: the template is not valid UTF-8 (character 3); use "
                                                 "--encoding cp1251 for a CP1251 file\n");
}

void RunTest::failures()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, message);

    const Result result = runTool(args, input);
    QCOMPARE(result.err, message);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, QByteArray());
}

void RunTest::refusesShuffleThatCannotFit()
{
    const Result result = runTool({ "--shuffle", "-e", clitest::digitGroups(30) });
    QCOMPARE(result.status, 2);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.startsWith(
                 "razmnozhator-cli: --shuffle must hold all 1" + QByteArray(30, '0') + " variants in memory, about "),
        result.err.constData());
    QVERIFY2(
        result.err.endsWith("leave out --shuffle to stream them, or narrow the template\n"), result.err.constData());
}

void RunTest::shufflesLikeTheWindow_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("survivors");
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<int>("maxCount");

    const QString letters = QStringLiteral("[a|b|c|d|e|f|g|h|i|j|k|l|m|n|o|p]");
    const QStringList all = QString("abcdefghijklmnop").split(QString(), Qt::SkipEmptyParts);
    QTest::newRow("every variant") << QStringList { "-e", letters } << all << 7u << 16;
    QTest::newRow("cut after the shuffle") << QStringList { "--max-count", "5", "-e", letters } << all << 7u << 5;
    QTest::newRow("another seed") << QStringList { "-e", letters } << all << 12345u << 16;
    QTest::newRow("only the survivors of the bounds are shuffled")
        << QStringList { "--min-length", "2", "--max-length", "3", "-e", "[a|bb|ccc|dddd|ee|f|ggg|hh]" }
        << QStringList { "bb", "ccc", "ee", "ggg", "hh" } << 99u << 5;
    QTest::newRow("Cyrillic survivors, counted in characters")
        << QStringList { "--max-length", "2", "-e", "[Ёж|Кот|ой|ай|a]" } << QStringList { "Ёж", "ой", "ай", "a" } << 3u
        << 4;
}

void RunTest::shufflesLikeTheWindow()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, survivors);
    QFETCH(unsigned, seed);
    QFETCH(int, maxCount);

    // The window's restrict: the survivors in order, rand() seeded alike, the
    // shared shuffle, then the first maxCount.
    std::vector<std::size_t> order(static_cast<std::size_t>(survivors.size()));
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::srand(seed);
    shuffleWithRand(order);
    QStringList expected;
    for (int i = 0; i < maxCount; ++i)
        expected << survivors.at(static_cast<qsizetype>(order[static_cast<std::size_t>(i)]));

    const Result result = runTool(QStringList { "--shuffle", "--seed", QString::number(seed) } + args);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, lines(expected));
}

void RunTest::helpListsEveryOption_data()
{
    QTest::addColumn<QString>("option");
    for (const char *option : { "-e, --template <TEXT>", "--encoding <NAME>", "-o, --output <FILE>", "-0, --null",
             "--count", "--stats", "--min-length <N>", "--max-length <N>", "--shuffle", "--max-count <N>", "--seed <N>",
             "-h, --help", "-v, --version" })
        QTest::newRow(option) << QString::fromLatin1(option);
}

void RunTest::helpListsEveryOption()
{
    QFETCH(QString, option);
    const Result result = runTool({ "--help" });
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.startsWith("Usage: razmnozhator-cli [options] [FILE]\n"));
    QVERIFY2(QString::fromUtf8(result.out).contains(option), qPrintable(option));
    QVERIFY(result.out.contains("\nExit status:\n  0  success\n  1  template error"));
}

void RunTest::printsVersion()
{
    const Result result = runTool({ "--version" });
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, QByteArray("razmnozhator-cli 1.1.0\n"));
    QCOMPARE(result.err, QByteArray());
}

void RunTest::progressLine_data()
{
    QTest::addColumn<qulonglong>("written");
    QTest::addColumn<QString>("total");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<double>("elapsed");
    QTest::addColumn<QString>("line");

    const QString beyond64Bits = QStringLiteral("1") + QString(30, u'0');
    QTest::newRow("half way") << 500ull << QStringLiteral("1000") << 0.5 << 2.0
                              << QStringLiteral("500 of 1000 variants written (50.0%), 250/s, 0:02 left");
    QTest::newRow("unknown total under length bounds")
        << 10ull << QString() << 0.25 << 3.0 << QStringLiteral("10 variants written (25.0%), 3/s, 0:09 left");
    QTest::newRow("hours left") << 1ull << QStringLiteral("10") << 0.1 << 3600.0
                                << QStringLiteral("1 of 10 variants written (10.0%), 0/s, 9:00:00 left");
    QTest::newRow("nothing done yet") << 0ull << QStringLiteral("5") << 0.0 << 1.0
                                      << QStringLiteral("0 of 5 variants written (0.0%), 0/s, ? left");
    QTest::newRow("percent never rounds up to done")
        << 9999ull << QStringLiteral("10000") << 0.9999 << 10.0
        << QStringLiteral("9999 of 10000 variants written (99.9%), 999/s, 0:01 left");
    QTest::newRow("total beyond 64 bits")
        << 3ull << beyond64Bits << 0.0 << 1.0
        << QStringLiteral("3 of %1 variants written (0.0%), 3/s, ? left").arg(beyond64Bits);
}

void RunTest::progressLine()
{
    QFETCH(qulonglong, written);
    QFETCH(QString, total);
    QFETCH(double, fraction);
    QFETCH(double, elapsed);
    QFETCH(QString, line);
    QCOMPARE(cli::progressLine(written, total, fraction, elapsed), line);
}

void RunTest::showsProgressOnlyOnTerminal_data()
{
    QTest::addColumn<bool>("outputIsTerminal");
    QTest::addColumn<bool>("errorIsTerminal");
    QTest::addColumn<bool>("shown");

    QTest::newRow("error on a terminal, output not") << false << true << true;
    QTest::newRow("error not on a terminal") << false << false << false;
    QTest::newRow("both on a terminal") << true << true << false;
}

void RunTest::showsProgressOnlyOnTerminal()
{
    QFETCH(bool, outputIsTerminal);
    QFETCH(bool, errorIsTerminal);
    QFETCH(bool, shown);

    cli::RunEnvironment environment;
    environment.outputIsTerminal = outputIsTerminal;
    environment.errorIsTerminal = errorIsTerminal;
    environment.progressDelay = std::chrono::milliseconds(0);
    const Result result = runTool({ "-e", clitest::digitGroups(5) }, {}, environment);
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out.count('\n'), 100000);
    if (!shown) {
        QCOMPARE(result.err, QByteArray());
        return;
    }
    // Drawn once the first 65536 variants are out, then erased at the end.
    QVERIFY2(result.err.startsWith("\r65536 of 100000 variants written (65.5%), "), result.err.constData());
    QVERIFY2(result.err.endsWith(" left\x1b[K\r\x1b[K"), result.err.constData());
}

QTEST_GUILESS_MAIN(RunTest)
#include "run_test.moc"
