// How long the window takes from a press of "Нагенерить" to a painted list,
// and how much memory it holds at its peak, for 10^5 and 10^6 lines of about
// fifty characters. Each size runs in a process of its own so that the peak
// of one does not hide the peak of the other.
//
//   window_bench            runs every size and prints a table
//   window_bench LINES      measures one size (10^k lines, k from 1 to 7)

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTextEdit>

#include "benchwindow.h"
#include "cp1251.h"
#include "razmnozhator/engine.h"

namespace {

// 10^digits lines such as "Вариант 004217 из длинного списка строк для пробы." (50 characters for 10^6).
QString benchTemplate(int digits)
{
    QString text = QStringLiteral("Вариант ");
    for (int i = 0; i < digits; ++i)
        text += QStringLiteral("[0|1|2|3|4|5|6|7|8|9]");
    text += QStringLiteral(" из длинного списка строк для пробы.");
    return text;
}

int measure(int digits)
{
    BenchWindow bench;
    if (!bench.exposed)
        return 1;
    auto *list = bench.child<QListView>("resultList")->model();
    bench.child<QTextEdit>("templateEdit")->setPlainText(benchTemplate(digits));
    QApplication::processEvents();
    const long baseKb = statusKilobytes("VmRSS:");

    qint64 firstGo = 0, againGo = 0;
    const qint64 firstPainted = bench.clickAndPaint("generateButton", &firstGo);
    const long afterFirstKb = statusKilobytes("VmRSS:");
    // Pressing again replaces a full list, which adds the cost of clearing it.
    const qint64 againPainted = bench.clickAndPaint("generateButton", &againGo);
    const long peakKb = statusKilobytes("VmHWM:");

    // The engine's share of a press: the same template expanded without the window.
    const auto compiled
        = razmnozhator::CompiledTemplate::compile(razmnozhator::cp1251::encode(benchTemplate(digits)).bytes);
    QElapsedTimer engineTimer;
    engineTimer.start();
    const std::size_t expanded = compiled.expand().size();
    const qint64 engineMs = engineTimer.elapsed();
    if (expanded != static_cast<std::size_t>(list->rowCount()))
        return 1;

    const QString lineText = list->rowCount() > 0 ? list->index(list->rowCount() - 1, 0).data().toString() : QString();
    std::printf("%9d lines (%lld chars) | go %5lld ms, painted %5lld ms | again: go %5lld ms, painted %5lld ms"
                " | expand alone %4lld ms | memory: list+lines %4ld MB, peak %4ld MB\n",
        list->rowCount(), static_cast<long long>(lineText.size()), static_cast<long long>(firstGo),
        static_cast<long long>(firstPainted), static_cast<long long>(againGo), static_cast<long long>(againPainted),
        static_cast<long long>(engineMs), (afterFirstKb - baseKb) / 1024, peakKb / 1024);
    std::fflush(stdout);
    return bench.dialogs->failed ? 1 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    if (argc > 1) {
        const long lines = std::atol(argv[1]);
        int digits = 0;
        for (long n = lines; n > 1 && n % 10 == 0; n /= 10)
            ++digits;
        if (digits < 1 || digits > 7 || lines != static_cast<long>(std::pow(10, digits)))
            return std::fprintf(stderr, "LINES must be a power of ten from 10 to 10000000\n"), 2;
        return measure(digits);
    }

    std::printf("platform: %s, Qt %s\n", qPrintable(QGuiApplication::platformName()), qVersion());
    std::fflush(stdout);
    return runEachInChild({ "100000", "1000000" });
}
