// The window's memory decision: what its lines cost and whether they fit.
// The wording of counts and sizes is shared with the tool and tested there.

#include <cstdint>
#include <limits>

#include <unistd.h>

#include <QTest>

#include "memoryguard.h"
#include "razmnozhator/memorybudget.h"

class MemoryGuardTest : public QObject
{
    Q_OBJECT

private slots:
    void fits_data();
    void fits();
    void availableIsWithinThePhysicalMemory();
};

void MemoryGuardTest::fits_data()
{
    QTest::addColumn<quint64>("count");
    QTest::addColumn<quint64>("totalBytes");
    QTest::addColumn<quint64>("available");
    QTest::addColumn<bool>("expected");

    const auto row = [](const char *name, quint64 count, quint64 totalBytes, quint64 available, bool expected) {
        QTest::newRow(name) << count << totalBytes << available << expected;
    };
    constexpr quint64 max = std::numeric_limits<quint64>::max();
    // One line of 10 bytes costs 16 + 10 = 26 bytes; an eighth of what is
    // available, rounded down, is kept back: 29 leaves 26, 28 leaves 25.
    row("nothing in nothing", 0, 0, 0, true);
    row("one line, exactly fits", 1, 10, 29, true);
    row("one line, a byte short", 1, 10, 28, false);
    row("10^7 lines of 60 characters in 1 GiB", 10000000, 600000000, quint64(1) << 30, true);
    row("count times 16 beyond 64 bits", quint64(1) << 60, 0, max, false);
    row("a million lines of 50 on 16 GiB", 1000000, 50000000, quint64(16) << 30, true);
    row("saturated count", max, 0, max, false);
    row("saturated bytes", 1, max, max, false);
}

void MemoryGuardTest::fits()
{
    QFETCH(quint64, count);
    QFETCH(quint64, totalBytes);
    QFETCH(quint64, available);
    QFETCH(bool, expected);
    QCOMPARE(memoryguard::fits(count, totalBytes, available), expected);
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
