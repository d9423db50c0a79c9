// Counts may have hundreds of thousands of digits; a message must still fit
// on a line, and the memory check must refuse exactly what does not fit.

#include <QLocale>
#include <QTest>

#include "figures.h"

using namespace razmnozhator::figures;

Q_DECLARE_METATYPE(mpz_class)
Q_DECLARE_METATYPE(razmnozhator::figures::RussianForm)

namespace {

mpz_class power(unsigned long base, unsigned long exponent)
{
    mpz_class result;
    mpz_ui_pow_ui(result.get_mpz_t(), base, exponent);
    return result;
}

} // namespace

class FiguresTest : public QObject
{
    Q_OBJECT

private slots:
    void formatsNumbers_data();
    void formatsNumbers();
    void formatsDataSizes_data();
    void formatsDataSizes();
    void checksMemory_data();
    void checksMemory();
    void russianStyle_data();
    void russianStyle();
    void russianForms_data();
    void russianForms();
};

void FiguresTest::formatsNumbers_data()
{
    QTest::addColumn<mpz_class>("number");
    QTest::addColumn<bool>("typeset");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << mpz_class(0) << false << QStringLiteral("0");
    QTest::newRow("twenty digits stay exact")
        << mpz_class("99999999999999999999") << false << QStringLiteral("99999999999999999999");
    QTest::newRow("twenty-one digits") << power(10, 20) << false << QStringLiteral("≈ 1.00·10^20");
    QTest::newRow("truncated, not rounded")
        << mpz_class(power(10, 301030) - 1) << false << QStringLiteral("≈ 9.99·10^301029");
    QTest::newRow("typeset: fifteen digits stay exact")
        << mpz_class("123456789012345") << true << QStringLiteral("123456789012345");
    QTest::newRow("typeset: comma and raised exponent")
        << mpz_class(power(10, 301030) - 1) << true << QStringLiteral("≈ 9,99·10³⁰¹⁰²⁹");
    QTest::newRow("typeset: sixteen digits") << mpz_class("1234567890123456") << true << QStringLiteral("≈ 1,23·10¹⁵");
}

void FiguresTest::formatsNumbers()
{
    QFETCH(mpz_class, number);
    QFETCH(bool, typeset);
    QFETCH(QString, text);
    QCOMPARE(formatNumber(number, typeset ? NumberStyle::typeset() : NumberStyle::plain()), text);
}

void FiguresTest::formatsDataSizes_data()
{
    QTest::addColumn<mpz_class>("bytes");
    QTest::addColumn<QString>("text");
    // The tool's "about" form says it once.
    QTest::addColumn<QString>("about");

    QTest::newRow("bytes") << mpz_class(1000) << QStringLiteral("1000 bytes") << QStringLiteral("about 1000 bytes");
    QTest::newRow("mebibytes") << mpz_class(3 << 19) << QStringLiteral("1.50 MiB") << QStringLiteral("about 1.50 MiB");
    QTest::newRow("largest the formatter takes")
        << mpz_class(power(2, 62)) << QStringLiteral("4.00 EiB") << QStringLiteral("about 4.00 EiB");
    QTest::newRow("beyond it, a few of its largest unit")
        << mpz_class(power(2, 64)) << QStringLiteral("16 EiB") << QStringLiteral("about 16 EiB");
    QTest::newRow("beyond it, many of its largest unit")
        << mpz_class(power(2, 80)) << QStringLiteral("≈ 1.04·10^6 EiB") << QStringLiteral("about 1.04·10^6 EiB");
    QTest::newRow("far beyond") << mpz_class(power(10, 400)) << QStringLiteral("≈ 8.67·10^381 EiB")
                                << QStringLiteral("about 8.67·10^381 EiB");
}

void FiguresTest::formatsDataSizes()
{
    QFETCH(mpz_class, bytes);
    QFETCH(QString, text);
    QFETCH(QString, about);
    QCOMPARE(formatDataSize(bytes, QLocale::c()), text);
    QCOMPARE(aboutDataSize(bytes, QLocale::c()), about);
}

void FiguresTest::checksMemory_data()
{
    QTest::addColumn<mpz_class>("count");
    QTest::addColumn<mpz_class>("totalBytes");
    QTest::addColumn<quint64>("available");
    QTest::addColumn<bool>("fits");

    // 100 variants of 10 bytes at 8 + 1 per byte: 1800 bytes, against seven eighths of what is available.
    QTest::newRow("exactly seven eighths") << mpz_class(100) << mpz_class(1000) << quint64(2057) << true;
    QTest::newRow("one byte short") << mpz_class(100) << mpz_class(1000) << quint64(2056) << false;
    QTest::newRow("nothing available") << mpz_class(1) << mpz_class(0) << quint64(0) << false;
    QTest::newRow("unlimited, huge result")
        << mpz_class(power(10, 30)) << mpz_class(power(10, 31)) << quint64(UINT64_MAX) << false;
    QTest::newRow("unlimited, large result")
        << mpz_class(power(2, 40)) << mpz_class(power(2, 50)) << quint64(UINT64_MAX) << true;
}

void FiguresTest::checksMemory()
{
    QFETCH(mpz_class, count);
    QFETCH(mpz_class, totalBytes);
    QFETCH(quint64, available);
    QFETCH(bool, fits);
    const mpz_class needed = memoryNeeded(count, totalBytes, HoldingCost { 8, 1 });
    QCOMPARE(fitsInMemory(needed, available), fits);
}

// Faults met in the window's Russian texts: numbers cut instead of rounded,
// English separators and units, and one style per message.
void FiguresTest::russianStyle_data()
{
    QTest::addColumn<bool>("size");
    QTest::addColumn<mpz_class>("number");
    QTest::addColumn<QString>("text");

    const auto count = [](const char *name, const mpz_class &number, const char16_t *text) {
        QTest::newRow(name) << false << number << QString::fromUtf16(text);
    };
    const auto size = [](const char *name, const mpz_class &number, const char16_t *text) {
        QTest::newRow(name) << true << number << QString::fromUtf16(text);
    };
    count("four digits stay whole", 2500, u"2500");
    count("five digits grouped", 10000, u"10 000");
    count("billions grouped", 1073741824, u"1 073 741 824");
    count("twenty digits exact", power(10, 19) * 7, u"70 000 000 000 000 000 000");
    count("2^10000 rounded up, not cut", power(2, 10000), u"≈ 2,00·10³⁰¹⁰");
    count("1.478e38 rounded to nearest", mpz_class("147800000000000000000000000000000000000"), u"≈ 1,48·10³⁸");
    count("a rounded 9.995 carries", mpz_class(9995) * power(10, 30), u"≈ 1,00·10³⁴");
    count("a half rounds up", mpz_class(1235) * power(10, 30), u"≈ 1,24·10³³");
    size("bytes", 117, u"117 Б");
    size("a decimal comma", 3 << 19, u"1,50 МиБ");
    size("gibibytes, whole", mpz_class(370) << 30, u"370 ГиБ");
    size("tebibytes rounded to three digits", mpz_class(69) << 38, u"17,3 ТиБ");
    size("largest unit", power(2, 62), u"4,00 ЭиБ");
    size("beyond it, no approximation sign", power(2, 80), u"1,05·10⁶ ЭиБ");
    size("far beyond", power(10, 400), u"8,67·10³⁸¹ ЭиБ");
}

void FiguresTest::russianStyle()
{
    QFETCH(bool, size);
    QFETCH(mpz_class, number);
    QFETCH(QString, text);
    QCOMPARE(size ? formatDataSizeRussian(number) : formatCountRussian(number), text);
}

void FiguresTest::russianForms_data()
{
    QTest::addColumn<mpz_class>("count");
    QTest::addColumn<RussianForm>("form");

    QTest::newRow("0 строк") << mpz_class(0) << RussianForm::Many;
    QTest::newRow("1 строка") << mpz_class(1) << RussianForm::One;
    QTest::newRow("2 строки") << mpz_class(2) << RussianForm::Few;
    QTest::newRow("4 строки") << mpz_class(4) << RussianForm::Few;
    QTest::newRow("5 строк") << mpz_class(5) << RussianForm::Many;
    QTest::newRow("11 строк") << mpz_class(11) << RussianForm::Many;
    QTest::newRow("12 строк") << mpz_class(12) << RussianForm::Many;
    QTest::newRow("14 строк") << mpz_class(14) << RussianForm::Many;
    QTest::newRow("21 строка") << mpz_class(21) << RussianForm::One;
    QTest::newRow("22 строки") << mpz_class(22) << RussianForm::Few;
    QTest::newRow("101 строка") << mpz_class(101) << RussianForm::One;
    QTest::newRow("111 строк") << mpz_class(111) << RussianForm::Many;
    QTest::newRow("1 000 000 строк") << mpz_class(1000000) << RussianForm::Many;
    QTest::newRow("twenty digits, exact, ending in 1") << mpz_class(power(10, 19) + 1) << RussianForm::One;
    QTest::newRow("approximate, ending in 1") << mpz_class(power(10, 20) + 1) << RussianForm::Many;
}

void FiguresTest::russianForms()
{
    QFETCH(mpz_class, count);
    QFETCH(RussianForm, form);
    QCOMPARE(russianForm(count), form);
}

QTEST_GUILESS_MAIN(FiguresTest)
#include "figures_test.moc"
