// The tool's behaviour, called in-process through run(): what it writes for
// each option, the exact message and status of each failure, the restrict
// rules in their order, and the progress line.

#include <QSet>
#include <QStringList>
#include <QTest>

#include "cli_test_data.h"
#include "failure.h"
#include "inprocess.h"
#include "progress.h"
#include "razmnozhator/engine.h"
#include "run.h"

#include <sstream>
#include <string>

using namespace razmnozhator;
using clitest::lines;
using clitest::Result;
using clitest::runTool;

namespace {

QByteArray cp1251Bytes(const char *bytes)
{
    return QByteArray(bytes);
}

const QByteArray tryHelp = "Try \"razmnozhator-cli --help\" for more information.\n";

} // namespace

// Runs the tool and checks at once all it gives back, as {fmt}'s
// EXPECT_THROW_MSG checks an error together with its message.
#define COMPARE_RUN(arguments, standardInput, expectedStatus, expectedOutput, expectedError)                           \
    do {                                                                                                               \
        const Result result_ = runTool(arguments, standardInput);                                                      \
        QCOMPARE(result_.err, QByteArray(expectedError));                                                              \
        QCOMPARE(result_.status, expectedStatus);                                                                      \
        QCOMPARE(result_.out, QByteArray(expectedOutput));                                                             \
    } while (false)

class RunTest : public QObject
{
    Q_OBJECT

private slots:
    void writesVariants_data();
    void writesVariants();
    void restricts_data();
    void restricts();
    void countsByLengthRule_data();
    void countsByLengthRule();
    void describesWithoutEnumerating_data();
    void describesWithoutEnumerating();
    void failures_data();
    void failures();
    void selectsByPosition_data();
    void selectsByPosition();
    void shardsJoinIntoTheWhole_data();
    void shardsJoinIntoTheWhole();
    void samples_data();
    void samples();
    void shufflesBySeed_data();
    void shufflesBySeed();
    void describesLimits_data();
    void describesLimits();
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
    QTest::newRow("a lone CR is a line break too") << QStringList() << QByteArray("a\rb") << QByteArray("ab\n");
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
}

void RunTest::writesVariants()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    COMPARE_RUN(args, input, 0, output, QByteArray());
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
    COMPARE_RUN(args, QByteArray(), 0, output, QByteArray());
}

void RunTest::countsByLengthRule_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("message");

    // By the direct rule: "ab" 2, "c,d" 2, "e.f.g" 3, and the last, with 16
    // narrow characters, never kept; by every character 2, 3, 5 and 17.
    const QString t = QStringLiteral("[ab|c,d|e.f.g|!!!!!!!!!!!!!!!!h]");
    const QString sixteen = QStringLiteral("!!!!!!!!!!!!!!!!h");
    const QByteArray ok;
    const QStringList direct { "--length-rule", "direct" };
    const auto usage = [](const char *text) { return "razmnozhator-cli: " + QByteArray(text) + "\n" + tryHelp; };

    QTest::newRow("plain by default") << QStringList { "-e", t } << 0 << lines({ "ab", "c,d", "e.f.g", sixteen }) << ok;
    QTest::newRow("direct keeps no line of 16 narrow ones, even unbounded")
        << direct + QStringList { "-e", t } << 0 << lines({ "ab", "c,d", "e.f.g" }) << ok;
    QTest::newRow("direct bounds leave narrow ones uncounted")
        << direct + QStringList { "--max-length", "2", "-e", t } << 0 << lines({ "ab", "c,d" }) << ok;
    QTest::newRow("direct guillemets and quotes are narrow in UTF-8")
        << direct + QStringList { "--max-length", "3", "-e", "[«Да»|Нет!|\"Привет\"]" } << 0
        << lines({ "«Да»", "Нет!" }) << ok;
    QTest::newRow("direct count") << direct + QStringList { "--count", "-e", t } << 0 << QByteArray("3\n") << ok;
    QTest::newRow("direct stats") << direct + QStringList { "--stats", "-e", t } << 0
                                  << QByteArray("variants: 3\nbytes: 13\nlongest: 3\nshortest: 2\n") << ok;
    QTest::newRow("direct stats within bounds") << direct + QStringList { "--stats", "--max-length", "2", "-e", t } << 0
                                                << QByteArray("variants: 2\nbytes: 7\nlongest: 2\nshortest: 2\n") << ok;
    QTest::newRow("direct nth") << direct + QStringList { "--nth", "3", "-e", t } << 0 << lines({ "e.f.g" }) << ok;
    QTest::newRow("direct nth past the kept")
        << direct + QStringList { "--nth", "4", "-e", t } << 2 << QByteArray()
        << QByteArray("razmnozhator-cli: --nth 4 is past the end: the direct length rule keeps 3 variants\n");
    QTest::newRow("direct shuffle") << direct + QStringList { "--shuffle", "--min-length", "3", "-e", t } << 0
                                    << lines({ "e.f.g" }) << ok;
    QTest::newRow("direct sample") << direct
            + QStringList { "--sample", "5", "--seed", "1", "--min-length", "3", "-e", t }
                                   << 0 << lines({ "e.f.g" }) << ok;
    QTest::newRow("direct diverse") << direct
            + QStringList { "--sample", "5", "--diverse", "--seed", "1", "--min-length", "3", "-e", t }
                                    << 0 << lines({ "e.f.g" }) << ok;
    QTest::newRow("direct shard") << direct + QStringList { "--shard", "2/3", "-e", t } << 0 << lines({ "c,d" }) << ok;
    QTest::newRow("direct-title preset") << QStringList { "--preset", "direct-title", "-e", t } << 0
                                         << lines({ "ab", "c,d", "e.f.g" }) << ok;
    QTest::newRow("preset maximum replaced, minimum kept")
        << QStringList { "--preset", "direct-text", "--max-length", "2", "-e", "[|ab|c,d]" } << 0
        << lines({ "ab", "c,d" }) << ok;
    QTest::newRow("google headline counts every character and refuses \"!\"")
        << QStringList { "--preset", "google-headline", "--min-length", "5", "-e", t } << 0 << lines({ "e.f.g" }) << ok;
    QTest::newRow("google description keeps one \"!\"")
        << QStringList { "--preset", "google-description", "-e", "[a!|b!!|c|d!.!]" } << 0 << lines({ "a!", "c" }) << ok;
    QTest::newRow("google path, 15 at most")
        << QStringList { "--preset", "google-path", "-e", "[abcdefghijklmno|abcdefghijklmnop]" } << 0
        << lines({ "abcdefghijklmno" }) << ok;
    QTest::newRow("direct callout, narrow ones uncounted")
        << QStringList { "--preset", "direct-callout", "-e", "[abcdefghijklmnopqrstuvwxy!|abcdefghijklmnopqrstuvwxyz]" }
        << 0 << lines({ "abcdefghijklmnopqrstuvwxy!" }) << ok;
    QTest::newRow("display link counts every character")
        << QStringList { "--preset", "direct-display-link", "-e", "[site.ru/abcdefghijkl|site.ru/abcdefghijklm]" } << 0
        << lines({ "site.ru/abcdefghijkl" }) << ok;
    QTest::newRow("every line holds \"!\"")
        << QStringList { "--preset", "google-headline", "-e", "[a|b]!" } << 0 << QByteArray()
        << QByteArray("razmnozhator-cli: no variant is kept: every variant holds \"!\"\n");
    QTest::newRow("every line holds two \"!\"")
        << QStringList { "--preset", "google-description", "-e", "[a|b]!!" } << 0 << QByteArray()
        << QByteArray("razmnozhator-cli: no variant is kept: every variant holds more than one \"!\"\n");
    QTest::newRow("nth past the lines without \"!\"")
        << QStringList { "--preset", "google-headline", "--max-length", "100", "--nth", "2", "-e", "[a|b!]" } << 2
        << QByteArray()
        << QByteArray("razmnozhator-cli: --nth 2 is past the end: 1 variant is within the length bounds\n");
    QTest::newRow("direct rule does not go with a preset's limit")
        << QStringList { "--preset", "google-headline", "--length-rule", "direct", "-e", t } << 2 << QByteArray()
        << usage("--length-rule direct does not go with --preset google-headline, whose limit on ! would be a "
                 "second limit");
    QTest::newRow("plain rule keeps a preset's limit")
        << QStringList { "--preset", "google-headline", "--length-rule", "plain", "-e", "[a|b!]" } << 0
        << lines({ "a" }) << ok;
    QTest::newRow("rule given replaces the preset's")
        << QStringList { "--preset", "direct-title", "--length-rule", "plain", "--max-length", "2", "-e", t } << 0
        << lines({ "ab" }) << ok;
    QTest::newRow("preset bound beyond the given one")
        << QStringList { "--preset", "google-headline", "--min-length", "31", "-e", t } << 2 << QByteArray()
        << usage("--min-length 31 is above the longest 30 of --preset google-headline: no variant could be kept");
    QTest::newRow("given maximum below the preset's minimum")
        << QStringList { "--preset", "direct-title", "--max-length", "0", "-e", t } << 2 << QByteArray()
        << usage("the shortest 1 of --preset direct-title is above --max-length 0: no variant could be kept");
    QTest::newRow("every line breaks the narrow limit")
        << direct + QStringList { "-e", "[!!!!!!!!!!!!!!!!|................]" } << 0 << QByteArray()
        << QByteArray("razmnozhator-cli: no variant is kept: every variant holds more than 15 narrow characters\n");
    QTest::newRow("unknown rule") << QStringList { "--length-rule", "wide", "-e", t } << 2 << QByteArray()
                                  << usage("unknown length rule \"wide\" (expected one of plain, direct)");
    QTest::newRow("unknown preset")
        << QStringList { "--preset", "bing", "-e", t } << 2 << QByteArray()
        << usage("unknown preset \"bing\" (expected one of direct-title, direct-title2, direct-text, "
                 "direct-display-link, direct-sitelink, direct-sitelink-description, direct-callout, "
                 "google-headline, google-description, google-path)");
}

void RunTest::countsByLengthRule()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, message);
    COMPARE_RUN(args, QByteArray(), status, output, message);
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
        << QStringList { "--stats", "-e", "[a|bb]" } << QByteArray("variants: 2\nbytes: 5\nlongest: 2\nshortest: 1\n");
    QTest::newRow("stats in UTF-8 bytes and characters") << QStringList { "--stats", "-e",
        "[Да|Нет]" } << QByteArray("variants: 2\nbytes: 12\nlongest: 3\nshortest: 2\n");
    QTest::newRow("stats in CP1251") << QStringList { "--stats", "--encoding", "cp1251", "-e", "[Да|Нет]" }
                                     << QByteArray("variants: 2\nbytes: 7\nlongest: 3\nshortest: 2\n");
    QTest::newRow("stats of an enormous template") << QStringList { "--stats", "-e", clitest::digitGroups(30) }
                                                   << QByteArray("variants: 1" + QByteArray(30, '0') + "\nbytes: 31"
                                                          + QByteArray(30, '0') + "\nlongest: 30\nshortest: 30\n");
    QTest::newRow("stats of an empty template")
        << QStringList { "--stats", "-e", "" } << QByteArray("variants: 0\nbytes: 0\n");
}

void RunTest::describesWithoutEnumerating()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, output);
    COMPARE_RUN(args, QByteArray(), 0, output, QByteArray());
}

void RunTest::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");

    const auto unclosed = [](const char *brackets, const char *place) {
        return QByteArray("razmnozhator-cli: ") + place + ": Incomplete number of '" + brackets + "'s\n";
    };
    const auto square = [&](int column) { return unclosed("[]", "-e:1:" + QByteArray::number(column)); };
    const auto curly = [&](int column) { return unclosed("{}", "-e:1:" + QByteArray::number(column)); };

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
    QTest::newRow("line and column in the text as written")
        << QStringList() << QByteArray("ab\r\ncd\n[x") << 1 << unclosed("[]", "-:3:1");
    QTest::newRow("emoji cannot be written in CP1251")
        << QStringList { "-e", "ab😀c" } << QByteArray() << 1
        << QByteArray("razmnozhator-cli: -e:1:3: the character \"😀\" (U+1F600) cannot be written in CP1251\n");
    QTest::newRow("Greek letter on a second line")
        << QStringList() << QByteArray("[a|\nΩ]") << 1
        << QByteArray("razmnozhator-cli: -:2:1: the character \"Ω\" (U+03A9) cannot be written in CP1251\n");
    QTest::newRow("CJK character is reported before a bracket error")
        << QStringList { "-e", "[中" } << QByteArray() << 1
        << QByteArray("razmnozhator-cli: -e:1:2: the character \"中\" (U+4E2D) cannot be written in CP1251\n");
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
                                     << "razmnozhator-cli: use only one of --count and --stats\n" + tryHelp;
    QTest::newRow("count with a restrict rule") << QStringList { "--count", "--max-count", "3", "-e",
        "a" } << QByteArray() << 2 << "razmnozhator-cli: --max-count cannot be combined with --count\n" + tryHelp;
    QTest::newRow("missing template file")
        << QStringList { "/nonexistent/template.txt" } << QByteArray() << 2
        << QByteArray("razmnozhator-cli: cannot read \"/nonexistent/template.txt\": No such file or directory\n");
    QTest::newRow("invalid UTF-8") << QStringList() << QByteArray("ab\xFF\xFE[c]") << 2
                                   << QByteArray(
                                          "razmnozhator-cli: -:1:3: the template is not valid UTF-8 (byte 0xFF); "
                                          "use --encoding cp1251 for a CP1251 file\n");
}

void RunTest::failures()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, message);
    COMPARE_RUN(args, input, status, QByteArray(), message);
}

// Six variants of lengths 2, 5, 3, 6, 4 and 7, in this order.
const QString lengthsTemplate = QStringLiteral("[a|bb|ccc][x|yyyy]");

void RunTest::selectsByPosition_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("message");

    const QString t = lengthsTemplate;
    const QByteArray ok;
    const auto usage = [](const char *text) { return "razmnozhator-cli: " + QByteArray(text) + "\n" + tryHelp; };

    QTest::newRow("nth first") << QStringList { "--nth", "1", "-e", t } << 0 << lines({ "ax" }) << ok;
    QTest::newRow("nth last") << QStringList { "--nth", "6", "-e", t } << 0 << lines({ "cccyyyy" }) << ok;
    QTest::newRow("nth counts only the kept")
        << QStringList { "--nth", "2", "--min-length", "3", "-e", t } << 0 << lines({ "bbx" }) << ok;
    QTest::newRow("nth with NUL terminator")
        << QStringList { "--nth", "3", "-0", "-e", t } << 0 << QByteArray("bbx", 4) << ok;
    QTest::newRow("nth beyond 64 bits") << QStringList { "--nth", "123456789012345678901234567890", "-e",
        clitest::digitGroups(30) } << 0 << lines({ "123456789012345678901234567889" })
                                        << ok;
    QTest::newRow("nth past the end") << QStringList { "--nth", "7", "-e", t } << 2 << QByteArray()
                                      << QByteArray("razmnozhator-cli: --nth 7 is past the end: the template has 6 "
                                                    "variants\n");
    QTest::newRow("nth past the kept")
        << QStringList { "--nth", "3", "--max-length", "3", "-e", t } << 2 << QByteArray()
        << QByteArray("razmnozhator-cli: --nth 3 is past the end: 2 variants are within the length bounds\n");
    QTest::newRow("nth zero") << QStringList { "--nth", "0", "-e", t } << 2 << QByteArray()
                              << usage("invalid number for --nth: \"0\" (expected a whole number from 1 up)");
    QTest::newRow("nth with a sign") << QStringList { "--nth", "+3", "-e", t } << 2 << QByteArray()
                                     << usage("invalid number for --nth: \"+3\" (expected a whole number from 1 up)");

    QTest::newRow("shard 1/3") << QStringList { "--shard", "1/3", "-e", t } << 0 << lines({ "ax", "ayyyy" }) << ok;
    QTest::newRow("shard 3/3") << QStringList { "--shard", "3/3", "-e", t } << 0 << lines({ "cccx", "cccyyyy" }) << ok;
    QTest::newRow("shard of the kept, first half")
        << QStringList { "--shard", "1/2", "--min-length", "3", "-e", t } << 0 << lines({ "ayyyy", "bbx" }) << ok;
    QTest::newRow("shard of the kept, second half") << QStringList { "--shard", "2/2", "--min-length", "3", "-e", t }
                                                    << 0 << lines({ "bbyyyy", "cccx", "cccyyyy" }) << ok;
    QTest::newRow("shard of the output cut by --max-count")
        << QStringList { "--shard", "2/2", "--max-count", "4", "-e", t } << 0 << lines({ "bbx", "bbyyyy" }) << ok;
    QTest::newRow("more shards than variants leave some empty")
        << QStringList { "--shard", "1/9", "-e", t } << 0 << QByteArray() << ok;
    for (const char *bad : { "0/3", "4/3", "3", "1/0", "a/b", "1/3/4" })
        QTest::addRow("shard %s", bad) << QStringList { "--shard", bad, "-e", t } << 2 << QByteArray()
                                       << usage(qPrintable(QStringLiteral(
                                              "invalid slice for --shard: \"%1\" (expected K/N with 1 <= K <= N)")
                                                               .arg(QLatin1String(bad))));

    QTest::newRow("count of the kept") << QStringList { "--count", "--min-length", "3", "--max-length", "6", "-e", t }
                                       << 0 << QByteArray("4\n") << ok;
    QTest::newRow("stats of the kept") << QStringList { "--stats", "--min-length", "3", "--max-length", "6", "-e", t }
                                       << 0 << QByteArray("variants: 4\nbytes: 22\nlongest: 6\nshortest: 3\n") << ok;
    QTest::newRow("stats of the kept in UTF-8 count characters")
        << QStringList { "--stats", "--max-length", "3", "-e", "[д|ёё|жжж]" } << 0
        << QByteArray("variants: 3\nbytes: 15\nlongest: 3\nshortest: 1\n") << ok;
    QTest::newRow("stats when nothing is kept")
        << QStringList { "--stats", "--min-length", "8", "-e", t } << 0 << QByteArray("variants: 0\nbytes: 0\n") << ok;

    QTest::newRow("two ways of choosing") << QStringList { "--nth", "1", "--shard", "1/2", "-e", t } << 2
                                          << QByteArray() << usage("use only one of --nth and --shard");
    QTest::newRow("max count with nth") << QStringList { "--nth", "1", "--max-count", "2", "-e", t } << 2
                                        << QByteArray() << usage("--max-count cannot be combined with --nth");
    QTest::newRow("in order without a sample") << QStringList { "--in-order", "-e", t } << 2 << QByteArray()
                                               << usage("--in-order orders a --sample; give --sample too");
    QTest::newRow("diverse without a sample") << QStringList { "--diverse", "-e", t } << 2 << QByteArray()
                                              << usage("--diverse chooses a --sample; give --sample N too");
    const QByteArray beyondLimit = "razmnozhator-cli: --diverse chooses at most 100000 variants\n";
    QTest::newRow("diverse beyond its limit")
        << QStringList { "--diverse", "--sample", "100001", "-e", t } << 2 << QByteArray() << beyondLimit;
}

void RunTest::selectsByPosition()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, message);
    COMPARE_RUN(args, QByteArray(), status, output, message);
}

void RunTest::shardsJoinIntoTheWhole_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("shards");

    const QString twoGroups = clitest::digitGroups(2) + QStringLiteral("[|x|yy]");
    for (const int shards : { 1, 2, 3, 7, 299, 301 })
        QTest::addRow("%d shards", shards) << QStringList { "-e", twoGroups } << shards;
    QTest::newRow("7 shards of the kept") << QStringList { "--min-length", "3", "-e", twoGroups } << 7;
    QTest::newRow("5 shards of a cut output") << QStringList { "--max-count", "101", "-e", twoGroups } << 5;
}

void RunTest::shardsJoinIntoTheWhole()
{
    QFETCH(QStringList, args);
    QFETCH(int, shards);

    const Result whole = runTool(args);
    QByteArray joined;
    qsizetype smallest = whole.out.size();
    qsizetype largest = 0;
    for (int k = 1; k <= shards; ++k) {
        const Result part = runTool(QStringList { "--shard", QStringLiteral("%1/%2").arg(k).arg(shards) } + args);
        QCOMPARE(part.status, 0);
        joined += part.out;
        smallest = std::min(smallest, part.out.count('\n'));
        largest = std::max(largest, part.out.count('\n'));
    }
    QCOMPARE(joined, whole.out);
    QVERIFY2(largest - smallest <= 1, "slices must be near-equal");
}

void RunTest::samples_data()
{
    QTest::addColumn<QStringList>("args");
    // Lists every variant the sample draws from, or nothing when there are too many.
    QTest::addColumn<QStringList>("keptArgs");
    QTest::addColumn<int>("size");

    const QString t = clitest::digitGroups(3);
    const QStringList lengthsKept { "--min-length", "3", "-e", lengthsTemplate };
    QTest::newRow("a few of a thousand") << QStringList { "--sample", "20", "-e", t } << QStringList { "-e", t } << 20;
    QTest::newRow("a few, in order") << QStringList { "--sample", "20", "--in-order", "-e", t }
                                     << QStringList { "-e", t } << 20;
    QTest::newRow("within length bounds") << QStringList { "--sample", "3" } + lengthsKept << lengthsKept << 3;
    QTest::newRow("more than are kept gives all of them")
        << QStringList { "--sample", "5000" } + lengthsKept << lengthsKept << 5;
    QTest::newRow("all, in order") << QStringList { "--sample", "6", "--in-order" } + lengthsKept << lengthsKept << 5;
    QTest::newRow("none") << QStringList { "--sample", "0", "-e", t } << QStringList { "-e", t } << 0;
    QTest::newRow("most different") << QStringList { "--sample", "20", "--diverse", "-e", t } << QStringList { "-e", t }
                                    << 20;
    const QString cyrillic = QStringLiteral("[Да|Нет], [ёж|кот] [ест|спит]!");
    QTest::newRow("most different in UTF-8, in order")
        << QStringList { "--sample", "3", "--diverse", "--in-order", "-e", cyrillic } << QStringList { "-e", cyrillic }
        << 3;
    QTest::newRow("most different, all of those kept")
        << QStringList { "--sample", "9", "--diverse" } + lengthsKept << lengthsKept << 5;
    QTest::newRow("beyond 64 bits") << QStringList { "--sample", "5", "-e", clitest::digitGroups(40) } << QStringList()
                                    << 5;
}

// A sample is distinct variants of those kept, as many as asked or all of
// them; in order it follows the full output; one seed gives one sample.
void RunTest::samples()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, keptArgs);
    QFETCH(int, size);

    const Result first = runTool(QStringList { "--seed", "11" } + args);
    QCOMPARE(first.err, QByteArray());
    QCOMPARE(first.status, 0);
    const QStringList drawn = QString::fromUtf8(first.out).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(drawn.size(), size);
    QCOMPARE(QSet<QString>(drawn.begin(), drawn.end()).size(), size);
    QCOMPARE(runTool(QStringList { "--seed", "11" } + args).out, first.out);

    if (keptArgs.isEmpty())
        return;
    const QStringList kept = QString::fromUtf8(runTool(keptArgs).out).split(u'\n', Qt::SkipEmptyParts);
    qsizetype previous = -1;
    bool ordered = true;
    for (const QString &line : drawn) {
        const qsizetype at = kept.indexOf(line);
        QVERIFY2(at >= 0, qPrintable(line));
        ordered = ordered && at > previous;
        previous = at;
    }
    if (args.contains(QLatin1String("--in-order")))
        QVERIFY2(ordered, "--in-order keeps template order");
    else if (size >= 20)
        QVERIFY2(!ordered, "twenty draws in template order would mean no shuffle");
}

void RunTest::shufflesBySeed_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");

    // Each seed gives one order of the kept variants, the same on every
    // machine; the first --max-count of them.
    const QString letters = QStringLiteral("[a|b|c|d|e|f|g|h|i|j|k|l|m|n|o|p]");
    QTest::newRow("every variant") << QStringList { "--seed", "7", "-e", letters }
                                   << QString("hajikdocflbepgnm").split(QString(), Qt::SkipEmptyParts);
    QTest::newRow("cut after the shuffle")
        << QStringList { "--seed", "7", "--max-count", "5", "-e", letters } << QStringList { "h", "a", "j", "i", "k" };
    QTest::newRow("another seed") << QStringList { "--seed", "12345", "-e", letters }
                                  << QString("miabckpeglodjfnh").split(QString(), Qt::SkipEmptyParts);
    QTest::newRow("only the survivors of the bounds are shuffled") << QStringList { "--seed", "99", "--min-length", "2",
        "--max-length", "3", "-e", "[a|bb|ccc|dddd|ee|f|ggg|hh]" } << QStringList { "hh", "ee", "ggg", "bb", "ccc" };
    QTest::newRow("Cyrillic survivors, counted in characters") << QStringList { "--seed", "3", "--max-length", "2",
        "-e", "[Ёж|Кот|ой|ай|a]" } << QStringList { "a", "Ёж", "ай", "ой" };
}

void RunTest::shufflesBySeed()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    COMPARE_RUN(QStringList { "--shuffle" } + args, QByteArray(), 0, lines(expected), QByteArray());
}

void RunTest::describesLimits_data()
{
    using razmnozhator::LimitError;
    QTest::addColumn<int>("task");
    QTest::addColumn<int>("resource");
    QTest::addColumn<QString>("text");

    QTest::newRow("memory of random access")
        << int(LimitError::Task::PositionIndex) << int(LimitError::Resource::Memory)
        << QStringLiteral("random access to its variants would need about 3.00 GiB, more than the 1.00 GiB allowed");
    QTest::newRow("memory of counting by length")
        << int(LimitError::Task::LengthCounts) << int(LimitError::Resource::Memory)
        << QStringLiteral("counting its variants by length would need about 3.00 GiB, more than the 1.00 GiB allowed");
    QTest::newRow("time of choosing by length")
        << int(LimitError::Task::LengthChoice) << int(LimitError::Resource::Work)
        << QStringLiteral("choosing its variants by length would take minutes");
    QTest::newRow("time of comparing the candidates' words")
        << int(LimitError::Task::DiversePool) << int(LimitError::Resource::Work)
        << QStringLiteral("comparing the words of the candidates would take minutes");
    QTest::newRow("an unnamed task in the engine's words")
        << int(LimitError::Task::Unspecified) << int(LimitError::Resource::Memory)
        << QStringLiteral("this template would need about 3072 MB, more than the 1024 MB allowed");
}

// The engine says what it refused and by how much; the tool words it.
void RunTest::describesLimits()
{
    QFETCH(int, task);
    QFETCH(int, resource);
    QFETCH(QString, text);
    const razmnozhator::LimitError error(razmnozhator::LimitError::Task(task),
        razmnozhator::LimitError::Resource(resource), std::uint64_t(3) << 30, std::uint64_t(1) << 30);
    QCOMPARE(cli::limitText(error), text);
}

void RunTest::helpListsEveryOption_data()
{
    QTest::addColumn<QString>("option");
    for (const char *option : { "-e, --template <TEXT>", "--encoding <NAME>", "-o, --output <FILE>", "-0, --null",
             "--count", "--stats", "--min-length <N>", "--max-length <N>", "--length-rule <NAME>", "--preset <NAME>",
             "--shuffle", "--max-count <N>", "--seed <N>", "--nth <K>", "--sample <N>", "--in-order", "--diverse",
             "--shard <K/N>", "-h, --help", "-v, --version" })
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
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("shown");

    const QStringList digits { "-e", clitest::digitGroups(5) };
    // 200,000 variants, of which the bound keeps the 100,000 of 6 characters.
    const QStringList halfKept { "-e", clitest::digitGroups(5) + "[a|bb]", "--max-length", "6" };
    const QString firstLine = QStringLiteral("\r65536 of 100000 variants written (65.5%), ");
    QTest::newRow("error on a terminal, output not") << false << true << digits << firstLine;
    QTest::newRow("error not on a terminal") << false << false << digits << QString();
    QTest::newRow("both on a terminal") << true << true << digits << QString();
    QTest::newRow("length bounds count the kept variants") << false << true << halfKept << firstLine;
}

void RunTest::showsProgressOnlyOnTerminal()
{
    QFETCH(bool, outputIsTerminal);
    QFETCH(bool, errorIsTerminal);
    QFETCH(QStringList, arguments);
    QFETCH(QString, shown);

    cli::RunEnvironment environment;
    environment.outputIsTerminal = outputIsTerminal;
    environment.errorIsTerminal = errorIsTerminal;
    environment.progressDelay = std::chrono::milliseconds(0);
    const Result result = runTool(arguments, {}, environment);
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out.count('\n'), 100000);
    if (shown.isEmpty()) {
        QCOMPARE(result.err, QByteArray());
        return;
    }
    // Drawn once the first 65536 variants are out, then erased at the end.
    QVERIFY2(result.err.startsWith(shown.toUtf8()), result.err.constData());
    QVERIFY2(result.err.endsWith(" left\x1b[K\r\x1b[K"), result.err.constData());
}

QTEST_GUILESS_MAIN(RunTest)
#include "run_test.moc"
