// Options together, in their one order: the length bounds keep, one choice
// picks among the kept, --max-count cuts, --shard slices. Random small
// templates are checked against the reference expander for every accepted
// pair and triple; templates of 2^64 - 1 to 2^65 variants check that no count
// is cut at 64 bits.

#include <QSet>
#include <QStringList>
#include <QTest>

#include "inprocess.h"
#include "random_templates.h"
#include "reference_expander.h"

#include <gmpxx.h>

#include <algorithm>
#include <string>

using clitest::Result;
using clitest::runTool;

namespace {

QList<QByteArray> linesOf(const QByteArray &out)
{
    QList<QByteArray> lines = out.split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray joined(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line + '\n';
    return out;
}

QList<QByteArray> sorted(QList<QByteArray> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Whether `part` is `whole` with some lines left out, in order.
bool isSubsequence(const QList<QByteArray> &part, const QList<QByteArray> &whole)
{
    qsizetype at = 0;
    for (const QByteArray &line : part) {
        while (at < whole.size() && whole[at] != line)
            ++at;
        if (at == whole.size())
            return false;
        ++at;
    }
    return true;
}

// Whether every line of `part` can be matched to a different line of `whole`.
bool isSubMultiset(const QList<QByteArray> &part, const QList<QByteArray> &whole)
{
    const QList<QByteArray> a = sorted(part);
    const QList<QByteArray> b = sorted(whole);
    return std::includes(b.begin(), b.end(), a.begin(), a.end());
}

// Every argument list gets the template on standard input, in CP1251, where a
// character is a byte.
Result runOn(const QByteArray &text, QStringList args)
{
    args << QStringLiteral("--encoding") << QStringLiteral("cp1251");
    return runTool(args, text);
}

QString number(std::uint64_t value)
{
    return QString::number(value);
}

// Slice k of n of t lines, as the tool cuts them.
std::pair<qsizetype, qsizetype> sliceOf(qsizetype t, qsizetype k, qsizetype n)
{
    return { t * (k - 1) / n, t * k / n };
}

// "[" followed by the pieces [0|1] x i for i from 0 to 63: 2^64 - 1 variants.
QString almostTwoToThe64()
{
    QStringList pieces;
    for (int i = 0; i < 64; ++i)
        pieces << QStringLiteral("[0|1]").repeated(i);
    return QStringLiteral("[") + pieces.join(u'|') + QStringLiteral("]");
}

} // namespace

class CombinationsTest : public QObject
{
    Q_OBJECT

private slots:
    void agreeWithTheReference_data();
    void agreeWithTheReference();
    void slicesOfHugeCounts_data();
    void slicesOfHugeCounts();
    void samplesOfHugeCounts_data();
    void samplesOfHugeCounts();
};

void CombinationsTest::agreeWithTheReference_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<std::uint32_t>("seed");

    differential::TemplateGenerator generator(2027);
    int made = 0;
    for (int tries = 0; made < 40 && tries < 2000; ++tries) {
        const std::string text = generator.structured(24);
        try {
            const reference::VariantList all = reference::expandTemplate(text, { 400, 40000 });
            if (all.size() < 2 || text.find('\n') != std::string::npos)
                continue;
        } catch (const std::exception &) {
            continue;
        }
        QTest::addRow("template %d", made) << QByteArray::fromStdString(text) << std::uint32_t(tries);
        ++made;
    }
}

void CombinationsTest::agreeWithTheReference()
{
    QFETCH(QByteArray, text);
    QFETCH(std::uint32_t, seed);

    const reference::VariantList all = reference::expandTemplate(text.toStdString());
    std::size_t shortest = SIZE_MAX, longest = 0;
    for (const std::string &variant : all) {
        shortest = std::min(shortest, variant.size());
        longest = std::max(longest, variant.size());
    }
    struct Bounds
    {
        QStringList args;
        std::size_t min = 0;
        std::size_t max = SIZE_MAX;
    };
    const std::size_t middle = (shortest + longest) / 2;
    const QList<Bounds> boundsList {
        {},
        { { "--max-length", number(middle) }, 0, middle },
        { { "--min-length", number(middle), "--max-length", number(longest) }, middle, longest },
        { { "--min-length", number(shortest), "--max-length", number(longest) }, shortest, longest },
    };
    for (const Bounds &bounds : boundsList) {
        QList<QByteArray> kept;
        for (const std::string &variant : all) {
            if (variant.size() >= bounds.min && variant.size() <= bounds.max)
                kept << QByteArray::fromStdString(variant);
        }
        const qsizetype t = kept.size();
        const QString where = QStringLiteral("bounds %1").arg(bounds.args.join(u' '));

        // Listing, with and without a cut.
        Result listed = runOn(text, bounds.args);
        QCOMPARE(listed.status, 0);
        QCOMPARE(linesOf(listed.out), kept);
        const qsizetype cut = t / 2 + 1;
        QCOMPARE(linesOf(runOn(text, bounds.args + QStringList { "--max-count", number(cut) }).out), kept.mid(0, cut));

        // --nth, each kept position, and one past the end.
        for (qsizetype k = 1; k <= t; ++k)
            QCOMPARE(runOn(text, bounds.args + QStringList { "--nth", number(k) }).out, kept[k - 1] + '\n');
        QCOMPARE(runOn(text, bounds.args + QStringList { "--nth", number(t + 1) }).status, 2);

        // --shuffle: every kept variant once; cut, the same as a sample of as many.
        const QString seedText = number(seed);
        const Result shuffled = runOn(text, bounds.args + QStringList { "--shuffle", "--seed", seedText });
        QCOMPARE(shuffled.status, 0);
        QCOMPARE(sorted(linesOf(shuffled.out)), sorted(kept));
        const Result cutShuffle
            = runOn(text, bounds.args + QStringList { "--shuffle", "--seed", seedText, "--max-count", number(cut) });
        const Result sample = runOn(text, bounds.args + QStringList { "--sample", number(cut), "--seed", seedText });
        QCOMPARE(cutShuffle.out, sample.out);
        QCOMPARE(linesOf(cutShuffle.out), linesOf(shuffled.out).mid(0, cut));

        // --sample in template order: the same draw, in the kept variants' order.
        const Result inOrder
            = runOn(text, bounds.args + QStringList { "--sample", number(cut), "--seed", seedText, "--in-order" });
        QVERIFY2(isSubsequence(linesOf(inOrder.out), kept), qPrintable(where));
        QCOMPARE(sorted(linesOf(inOrder.out)), sorted(linesOf(sample.out)));
        QCOMPARE(linesOf(sample.out).size(), std::min(cut, t));

        // --diverse: different kept variants, the same set in either order.
        const QStringList diverse { "--sample", "3", "--diverse", "--seed", seedText };
        const Result chosen = runOn(text, bounds.args + diverse);
        QCOMPARE(chosen.status, 0);
        QCOMPARE(linesOf(chosen.out).size(), std::min<qsizetype>(3, t));
        QVERIFY2(isSubMultiset(linesOf(chosen.out), kept), qPrintable(where));
        const Result chosenInOrder = runOn(text, bounds.args + diverse + QStringList { "--in-order" });
        QCOMPARE(sorted(linesOf(chosenInOrder.out)), sorted(linesOf(chosen.out)));
        QVERIFY2(isSubsequence(linesOf(chosenInOrder.out), kept), qPrintable(where));

        // --shard of each: the slices, one after another, are the whole output.
        const QList<QStringList> sliceable { {}, { "--max-count", number(cut) }, { "--shuffle", "--seed", seedText },
            { "--shuffle", "--seed", seedText, "--max-count", number(cut) },
            { "--sample", number(cut), "--seed", seedText },
            { "--sample", number(cut), "--seed", seedText, "--in-order" }, diverse,
            diverse + QStringList { "--in-order" } };
        for (const QStringList &choice : sliceable) {
            const QByteArray whole = runOn(text, bounds.args + choice).out;
            const qsizetype total = linesOf(whole).size();
            for (const qsizetype n : { 1, 3, 7 }) {
                QByteArray together;
                for (qsizetype k = 1; k <= n; ++k) {
                    const Result slice = runOn(
                        text, bounds.args + choice + QStringList { "--shard", QStringLiteral("%1/%2").arg(k).arg(n) });
                    QCOMPARE(slice.status, 0);
                    const auto [begin, end] = sliceOf(total, k, n);
                    QCOMPARE(linesOf(slice.out).size(), end - begin);
                    together += slice.out;
                }
                QVERIFY2(together == whole, qPrintable(where + QLatin1Char(' ') + choice.join(u' ')));
            }
        }
    }
}

void CombinationsTest::slicesOfHugeCounts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("total");

    QTest::newRow("2^64 - 1") << almostTwoToThe64() << QStringLiteral("18446744073709551615");
    QTest::newRow("2^64") << QStringLiteral("[0|1]").repeated(64) << QStringLiteral("18446744073709551616");
    QTest::newRow("2^64 + 1") << QStringLiteral("[%1|x]").arg(QStringLiteral("[0|1]").repeated(64))
                              << QStringLiteral("18446744073709551617");
    QTest::newRow("2^65") << QStringLiteral("[0|1]").repeated(65) << QStringLiteral("36893488147419103232");
}

// With N = 2^64 - 1 slices each holds one to three lines: every slice is
// exactly the run of positions its bounds name, the last one included.
void CombinationsTest::slicesOfHugeCounts()
{
    QFETCH(QString, text);
    QFETCH(QString, total);

    const Result count = runTool({ "--count", "-e", text });
    QCOMPARE(count.out, total.toLatin1() + '\n');
    const mpz_class t(total.toStdString());
    const mpz_class n("18446744073709551615");
    const mpz_class slices[] = { 1, 2, n / 2, n - 1, n };
    for (const mpz_class &k : slices) {
        const mpz_class begin = t * (k - 1) / n;
        const mpz_class end = t * k / n;
        QList<QByteArray> expected;
        for (mpz_class position = begin + 1; position <= end; ++position)
            expected
                << linesOf(runTool({ "--nth", QString::fromStdString(position.get_str()), "-e", text }).out).value(0);
        const QString slice = QString::fromStdString(k.get_str() + "/" + n.get_str());
        const Result sliced = runTool({ "--shard", slice, "-e", text });
        QCOMPARE(sliced.status, 0);
        QCOMPARE(linesOf(sliced.out), expected);
    }
    // The last variant is the t-th, and there is none after it.
    QCOMPARE(runTool({ "--nth", total, "-e", text }).status, 0);
    QCOMPARE(runTool({ "--nth", QString::fromStdString(mpz_class(t + 1).get_str()), "-e", text }).status, 2);
    // Slices of a sample start where the ones before end, at any count.
    const QStringList sample { "--sample", "5", "--seed", "4", "-e", text };
    QByteArray together;
    for (const char *slice : { "1/3", "2/3", "3/3" })
        together += runTool(sample + QStringList { "--shard", slice }).out;
    QCOMPARE(together, runTool(sample).out);
}

void CombinationsTest::samplesOfHugeCounts_data()
{
    slicesOfHugeCounts_data();
}

// A sample of a huge count: different lines, each a variant, the same lines
// in template order with --in-order, and the lines a cut shuffle gives.
void CombinationsTest::samplesOfHugeCounts()
{
    QFETCH(QString, text);

    const QStringList sample { "--sample", "50", "--seed", "9", "-e", text };
    const QList<QByteArray> drawn = linesOf(runTool(sample).out);
    QCOMPARE(drawn.size(), 50);
    QCOMPARE(QSet<QByteArray>(drawn.begin(), drawn.end()).size(), 50);
    for (const QByteArray &line : drawn)
        QVERIFY2(line == "x" || (line.size() <= 65 && !line.contains('[')), line.constData());
    const QList<QByteArray> inOrder = linesOf(runTool(sample + QStringList { "--in-order" }).out);
    QCOMPARE(sorted(inOrder), sorted(drawn));
    QCOMPARE(runTool({ "--shuffle", "--max-count", "50", "--seed", "9", "-e", text }).out, joined(drawn));
}

QTEST_GUILESS_MAIN(CombinationsTest)
#include "combinations_test.moc"
