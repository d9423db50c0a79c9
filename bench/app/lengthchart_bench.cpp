// Figures of the chart of line lengths: how long after the live count the
// chart follows, on the advertising template at the default bounds, on two
// long nested articles, on 10^100 variants of one length and on templates of
// a hundred and of ten thousand lengths; and the time to paint the chart.
//
//   lengthchart_bench       (offscreen unless a display is set)

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTextEdit>

#include "benchwindow.h"
#include "lengthchart.h"
#include "lengthchartfeeder.h"
#include "variantcounter.h"

namespace {

double cpuMs(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

double processCpuMs()
{
    return cpuMs(CLOCK_PROCESS_CPUTIME_ID);
}

double threadCpuMs()
{
    return cpuMs(CLOCK_THREAD_CPUTIME_ID);
}

QString textFile(const char *path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// From a change of the template to its count, and from the count to the
// chart: wall milliseconds, -1 when it never came, and the CPU time of every
// thread meanwhile, which the other programs on a shared machine do not add to.
struct ChartFigures
{
    qint64 countMs = -1;
    qint64 chartMs = -1;
    double chartCpuMs = 0;
};

ChartFigures countToChart(BenchWindow &bench, const QString &text)
{
    auto *counter = bench.window->findChild<VariantCounter *>();
    auto *feeder = bench.window->findChild<LengthChartFeeder *>();
    QElapsedTimer clock;
    qint64 counted = -1;
    qint64 shown = -1;
    double cpuAtCount = 0;
    double cpuAtChart = 0;
    const QMetaObject::Connection countDone = QObject::connect(counter, &VariantCounter::counted, [&] {
        counted = clock.elapsed();
        cpuAtCount = processCpuMs();
        shown = -1;
    });
    const QMetaObject::Connection chartDone = QObject::connect(feeder, &LengthChartFeeder::shown, [&] {
        shown = clock.elapsed();
        cpuAtChart = processCpuMs();
    });
    clock.start();
    bench.child<QTextEdit>("templateEdit")->setPlainText(text);
    while ((counted < 0 || shown < 0) && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QObject::disconnect(countDone);
    QObject::disconnect(chartDone);
    if (counted < 0 || shown < 0)
        return { counted, -1, 0 };
    return { counted, shown - counted, cpuAtChart - cpuAtCount };
}

void lengthChart()
{
    const QString googol = QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(100);
    const std::pair<const char *, QString> templates[] = {
        { "advertising paragraph (advertising.txt)", textFile(RAZMNOZHATOR_BENCH_DIR "/advertising.txt") },
        { "nested article (nested_article.txt)", textFile(RAZMNOZHATOR_BENCH_DIR "/../engine/nested_article.txt") },
        { "Russian nested article (article.txt)", textFile(RAZMNOZHATOR_BENCH_DIR "/article.txt") },
        { "10^100 variants of one length", googol },
        { "11^100 variants of 101 lengths", QStringLiteral("[0|1|2|3|4|5|6|7|8|9|]").repeated(100) },
        { "2^10000 variants of 10,001 lengths", QStringLiteral("[a|bb]").repeated(10000) },
    };
    BenchWindow bench;
    auto *chart = bench.child<LengthChart>("lengthChart");
    for (const auto &[name, text] : templates) {
        ChartFigures slowest;
        slowest.chartMs = 0;
        for (int run = 0; run < 3 && slowest.chartMs >= 0; ++run) {
            // Another template in between, so that each run reads the figures afresh.
            countToChart(bench, QStringLiteral("[a|b]"));
            // Past the pause that joins quick changes, so that the count starts at once.
            QTest::qWait(200);
            const ChartFigures figures = countToChart(bench, text);
            slowest.countMs = std::max(slowest.countMs, figures.countMs);
            slowest.chartMs = figures.chartMs < 0 ? -1 : std::max(slowest.chartMs, figures.chartMs);
            slowest.chartCpuMs = std::max(slowest.chartCpuMs, figures.chartCpuMs);
        }
        // The GUI thread's CPU time, beside the wall time that preemption inflates.
        std::vector<double> wallMs;
        std::vector<double> paintCpuMs;
        QElapsedTimer painting;
        for (int paint = 0; paint < 51; ++paint) {
            const double cpuBefore = threadCpuMs();
            painting.start();
            chart->repaint();
            wallMs.push_back(double(painting.nsecsElapsed()) / 1e6);
            paintCpuMs.push_back(threadCpuMs() - cpuBefore);
        }
        std::sort(wallMs.begin(), wallMs.end());
        std::sort(paintCpuMs.begin(), paintCpuMs.end());
        std::printf("length chart: %s, %zu columns: count %lld ms after the change; chart %lld ms after the count, "
                    "%.0f ms of CPU (slowest of 3; goal within 300, within 1000 for 10^100); painting the chart "
                    "%.2f ms, %.2f ms of CPU, at most %.2f ms of CPU (median of %zu; goal at most 5)\n  \"%s\"\n",
            name, chart->model().columns(chart->plotRect().width()).size(), static_cast<long long>(slowest.countMs),
            static_cast<long long>(slowest.chartMs), slowest.chartCpuMs, wallMs[wallMs.size() / 2],
            paintCpuMs[paintCpuMs.size() / 2], paintCpuMs.back(), wallMs.size(),
            qPrintable(chart->accessibleDescription()));
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    lengthChart();
    return 0;
}
