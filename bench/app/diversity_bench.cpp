// Figures for the most different lines, each beside a random pick of the
// same size (smallest and mean difference to the nearest other line):
//
//   advertising  2,500 of the advertising paragraph's 1.7·10^10 lines within
//                10..1000 characters: the tool's time and peak memory, and
//                the window's time from the click to the painted list
//   list         a generated list of 5,760 lines cut to 300 "Непохожие" by
//                "Ограничить" in the window
//   article      1,000 of a long nested article's lines of about 2,000
//                characters, from the tool
//   long         200 of the lines of a million characters of "[a|b]" written
//                a million times: the tool's time and its own peak memory
//
//   diversity_bench [advertising|list|article|long]   (all of them by default)

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QProcess>
#include <QTextEdit>

#include "benchwindow.h"
#include "cp1251.h"
#include "razmnozhator/diversity.h"

namespace {

using razmnozhator::Diversity;

std::vector<std::string> shownLines(const BenchWindow &window)
{
    std::vector<std::string> result;
    const QAbstractItemModel *model = window.child<QListView>("resultList")->model();
    for (int row = 0; row < model->rowCount(); ++row)
        result.push_back(razmnozhator::cp1251::encode(model->index(row, 0).data().toString()).bytes);
    return result;
}

// The exact figures of a set of lines, all of them compared.
Diversity measure(const std::vector<std::string> &lines)
{
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    return razmnozhator::chooseDiverse(views, views.size(), 0, razmnozhator::cp1251::wordBytes())->diversity;
}

std::vector<std::string> randomPick(std::vector<std::string> lines, std::size_t n)
{
    std::mt19937_64 random(1);
    std::shuffle(lines.begin(), lines.end(), random);
    lines.resize(std::min(n, lines.size()));
    return lines;
}

QString benchFile(const char *name)
{
    return QStringLiteral(RAZMNOZHATOR_BENCH_DIR "/") + QLatin1String(name);
}

QString fileText(const char *name)
{
    QFile file(benchFile(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

struct ToolRun
{
    std::vector<std::string> lines;
    qint64 milliseconds = 0;
};

ToolRun runTool(const QStringList &args)
{
    ToolRun run;
    QElapsedTimer timer;
    timer.start();
    QProcess tool;
    tool.start(QStringLiteral(RAZMNOZHATOR_CLI),
        QStringList { QStringLiteral("--encoding"), QStringLiteral("cp1251") } + args);
    tool.waitForFinished(-1);
    run.milliseconds = timer.elapsed();
    const QByteArray out = tool.readAllStandardOutput();
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty())
            run.lines.emplace_back(line.constData(), static_cast<std::size_t>(line.size()));
    }
    return run;
}

// The largest resident size of any tool run that has ended so far, in MB.
double toolPeakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void printFigures(const char *what, std::size_t count, const Diversity &diversity)
{
    std::printf("  %-28s %5zu lines, smallest %.3f, mean %.3f\n", what, count, diversity.smallest, diversity.mean);
}

// The tool reads CP1251 here, so that its lines compare byte for byte with the window's.
QString cp1251File(const char *name)
{
    const QString path = QDir::temp().filePath(QStringLiteral("razmnozhator_diversity_%1").arg(QLatin1String(name)));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const std::string bytes = razmnozhator::cp1251::encode(fileText(name)).bytes;
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    return path;
}

void advertising()
{
    std::printf("advertising paragraph, 2,500 lines within 10..1000 characters:\n");
    const QString input = cp1251File("advertising.txt");
    const QStringList bounds { QStringLiteral("--min-length"), QStringLiteral("10"), QStringLiteral("--max-length"),
        QStringLiteral("1000"), QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("--sample"),
        QStringLiteral("2500") };
    const ToolRun diverse = runTool(bounds + QStringList { QStringLiteral("--diverse"), input });
    const double diversePeak = toolPeakMegabytes();
    const ToolRun random = runTool(bounds + QStringList { input });
    printFigures("tool --diverse", diverse.lines.size(), measure(diverse.lines));
    printFigures("tool, random sample", random.lines.size(), measure(random.lines));
    std::printf("  tool --diverse %lld ms (goal under 2000), --sample alone %lld ms; peak memory of the --diverse run "
                "%.1f MB (goal under 200)\n",
        static_cast<long long>(diverse.milliseconds), static_cast<long long>(random.milliseconds), diversePeak);

    BenchWindow window(Dialogs::TooBigAnswer::RandomLines);
    window.child<QTextEdit>("templateEdit")->setPlainText(fileText("advertising.txt"));
    window.setFields("10", "1000", "2500");
    window.child<QCheckBox>("diverseBox")->setChecked(true);
    const qint64 milliseconds = window.clickAndPaint("generateButton");
    const std::vector<std::string> shown = shownLines(window);
    printFigures("window \"Непохожие\"", shown.size(), measure(shown));
    std::printf("  window: click to painted list %lld ms (goal under 3000), status \"%s\"\n",
        static_cast<long long>(milliseconds), qPrintable(window.status()));
}

void list()
{
    std::printf("generated list cut to 300 lines by \"Ограничить\":\n");
    BenchWindow window(Dialogs::TooBigAnswer::RandomLines);
    window.child<QTextEdit>("templateEdit")
        ->setPlainText(
            QStringLiteral("[Купите|Закажите|Приобретите] [новый|отличный|недорогой|надёжный] "
                           "[телефон|ноутбук|планшет|телевизор|холодильник] [в нашем магазине|у нас|онлайн|с "
                           "доставкой] [сегодня|на этой неделе|со скидкой|без переплат] и "
                           "[получите|заберите] [подарок|бонус|скидку на аксессуары]."));
    window.setFields("0", "1000", "300");
    window.clickAndPaint("generateButton");
    const std::vector<std::string> all = shownLines(window);
    window.child<QCheckBox>("diverseBox")->setChecked(true);
    const qint64 milliseconds = window.clickAndPaint("restrictButton");
    const std::vector<std::string> shown = shownLines(window);
    std::printf("  from %zu lines\n", all.size());
    printFigures("window \"Непохожие\"", shown.size(), measure(shown));
    printFigures("random pick", std::min<std::size_t>(300, all.size()), measure(randomPick(all, 300)));
    std::printf("  click to painted list %lld ms (goal under 2000), status \"%s\"\n",
        static_cast<long long>(milliseconds), qPrintable(window.status()));
}

void article()
{
    std::printf("long nested article, 1,000 lines:\n");
    const QString input = cp1251File("article.txt");
    const QStringList common { QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("--sample"),
        QStringLiteral("1000") };
    const ToolRun diverse = runTool(common + QStringList { QStringLiteral("--diverse"), input });
    const ToolRun random = runTool(common + QStringList { input });
    std::size_t longest = 0;
    for (const std::string &line : diverse.lines)
        longest = std::max(longest, line.size());
    printFigures("tool --diverse", diverse.lines.size(), measure(diverse.lines));
    printFigures("tool, random sample", random.lines.size(), measure(random.lines));
    std::printf("  lines up to %zu characters; --diverse %lld ms, --sample alone %lld ms\n", longest,
        static_cast<long long>(diverse.milliseconds), static_cast<long long>(random.milliseconds));
}

struct MeasuredRun
{
    double seconds = 0;
    // The processor time it took, which a busy machine stretches less.
    double cpuSeconds = 0;
    double peakMegabytes = 0;
    int status = -1;
};

// The tool alone, its output dropped: its own time and peak memory, whatever
// ran before it.
MeasuredRun measuredRun(const QStringList &args)
{
    std::vector<std::string> words { RAZMNOZHATOR_CLI };
    for (const QString &arg : args)
        words.push_back(arg.toStdString());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    MeasuredRun run;
    QElapsedTimer timer;
    timer.start();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        rusage usage {};
        int status = 0;
        if (wait4(child, &status, 0, &usage) == child) {
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            run.peakMegabytes = double(usage.ru_maxrss) / 1024.0;
            run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        }
    }
    run.seconds = double(timer.elapsed()) / 1000.0;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

void longLines()
{
    std::printf("200 most different lines of a million characters, \"[a|b]\" written a million times:\n");
    const QString path = QDir::temp().filePath(QStringLiteral("razmnozhator_diversity_long.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray("[a|b]").repeated(1'000'000));
        file.close();
    }
    const QStringList common { QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("--sample"),
        QStringLiteral("200"), path };
    const MeasuredRun diverse = measuredRun(QStringList { QStringLiteral("--diverse") } + common);
    const MeasuredRun random = measuredRun(common);
    std::printf("  --diverse %.1f s (processor %.1f s; goal under 20), peak memory %.0f MB (goal under 500), exit "
                "status %d\n",
        diverse.seconds, diverse.cpuSeconds, diverse.peakMegabytes, diverse.status);
    std::printf("  --sample alone %.1f s (processor %.1f s), peak memory %.0f MB\n", random.seconds, random.cpuSeconds,
        random.peakMegabytes);
    QFile::remove(path);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QString which = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    if (which.isEmpty() || which == QLatin1String("advertising"))
        advertising();
    if (which.isEmpty() || which == QLatin1String("list"))
        list();
    if (which.isEmpty() || which == QLatin1String("article"))
        article();
    if (which.isEmpty() || which == QLatin1String("long"))
        longLines();
    return 0;
}
