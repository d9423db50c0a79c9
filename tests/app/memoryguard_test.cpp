// The memory guard's decision and the figures it puts into its message.

#include <unistd.h>

#include <QTest>

#include "memoryguard.h"
#include "razmnozhator/memorybudget.h"

class MemoryGuardTest : public QObject
{
    Q_OBJECT

private slots:
    void formatCount_data();
    void formatCount();
    void formatBytes_data();
    void formatBytes();
    void fits_data();
    void fits();
    void availableIsWithinThePhysicalMemory();
};

static mpz_class power(unsigned long base, unsigned long exponent)
{
    mpz_class result;
    mpz_ui_pow_ui(result.get_mpz_t(), base, exponent);
    return result;
}

void MemoryGuardTest::formatCount_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const mpz_class &count, const QString &expected) {
        QTest::newRow(name) << QString::fromStdString(count.get_str()) << expected;
    };
    row("zero", 0, "0");
    row("fifteen digits exact", power(10, 15) - 1, "999999999999999");
    row("sixteen digits", power(10, 15), QStringLiteral("≈ 1,00·10¹⁵"));
    row("truncated, not rounded", power(10, 16) * 2 - 1, QStringLiteral("≈ 1,99·10¹⁶"));
    row("2^60", power(2, 60), QStringLiteral("≈ 1,15·10¹⁸"));
    row("thousands of digits", power(10, 1234), QStringLiteral("≈ 1,00·10¹²³⁴"));
}

void MemoryGuardTest::formatCount()
{
    QFETCH(QString, count);
    QFETCH(QString, expected);
    QCOMPARE(memoryguard::formatCount(mpz_class(count.toStdString())), expected);
}

void MemoryGuardTest::formatBytes_data()
{
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const mpz_class &bytes, const QString &expected) {
        QTest::newRow(name) << QString::fromStdString(bytes.get_str()) << expected;
    };
    row("no bytes", 0, QStringLiteral("0 байт"));
    row("below a kilobyte", 1023, QStringLiteral("1023 байт"));
    row("one kilobyte", 1024, QStringLiteral("1,0 КБ"));
    row("just below a megabyte", power(2, 20) - 1, QStringLiteral("1023,9 КБ"));
    row("tenths truncated", power(2, 30) * 5 + power(2, 30) * 99 / 100, QStringLiteral("5,9 ГБ"));
    row("petabytes", power(2, 50) * 7 / 2, QStringLiteral("3,5 ПБ"));
    row("beyond the largest unit", power(2, 70), QStringLiteral("1024,0 ЭБ"));
    row("astronomical", power(2, 200), QStringLiteral("≈ 1,39·10⁴² ЭБ"));
}

void MemoryGuardTest::formatBytes()
{
    QFETCH(QString, bytes);
    QFETCH(QString, expected);
    QCOMPARE(memoryguard::formatBytes(mpz_class(bytes.toStdString())), expected);
}

void MemoryGuardTest::fits_data()
{
    QTest::addColumn<QString>("needed");
    QTest::addColumn<quint64>("available");
    QTest::addColumn<bool>("expected");

    const auto row = [](const char *name, const mpz_class &needed, quint64 available, bool expected) {
        QTest::newRow(name) << QString::fromStdString(needed.get_str()) << available << expected;
    };
    row("nothing in nothing", 0, 0, true);
    row("exactly seven eighths", 875, 1000, true);
    row("one byte over seven eighths", 876, 1000, false);
    row("all that is available", 1000, 1000, false);
    row("more than 64 bits", power(2, 64), std::numeric_limits<quint64>::max(), false);
    row("large machine", 400000000, quint64(16) << 30, true);
}

void MemoryGuardTest::fits()
{
    QFETCH(QString, needed);
    QFETCH(quint64, available);
    QFETCH(bool, expected);
    QCOMPARE(memoryguard::fits(mpz_class(needed.toStdString()), available), expected);
}

void MemoryGuardTest::availableIsWithinThePhysicalMemory()
{
    const auto physical = quint64(sysconf(_SC_PHYS_PAGES)) * quint64(sysconf(_SC_PAGESIZE));
    const quint64 available = razmnozhator::availableMemory();
    QVERIFY(available > 0);
    QVERIFY2(available <= physical, qPrintable(QStringLiteral("%1 > %2").arg(available).arg(physical)));
}

QTEST_GUILESS_MAIN(MemoryGuardTest)
#include "memoryguard_test.moc"
