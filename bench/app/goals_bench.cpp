// Figures for the window on templates of any size:
//
//   random lines    2,500 lines from the advertising template (1.7·10^10
//                   variants), from the click to the painted list
//   streaming save  every line of a 10^7-line template into a file, beside
//                   the command-line tool writing the same bytes
//   live count      a 1 MB template: the longest stall of the GUI thread
//                   while 100 characters are typed into it, and the time from
//                   the last key to the new count in the status line
//   unchanged list  with 10^7 lines shown: a generate refused for a template
//                   error, and closing the window
//
//   goals_bench [random|stream|count|unchanged]   (all of them by default)

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "dialogs.h"
#include "mainwindow.h"
#include "variantcounter.h"

namespace {

class QuietProgress : public ProgressView
{
public:
    void setProgress(std::uint64_t, std::uint64_t) override { }
    bool wasCanceled() const override { return false; }
};

// Answers every box at once: the benchmark must never wait for a person.
class BenchDialogs : public Dialogs
{
public:
    QString askSavePath(QWidget *, const QString &, const QString &) override { return savePath; }
    void showError(QWidget *, const QString &, const QString &text) override
    {
        std::fprintf(stderr, "error box: %s\n", qPrintable(text));
    }
    bool askYesNo(QWidget *, const QString &, const QString &) override { return true; }
    void showInformation(QWidget *, const QString &, const QString &) override { }
    TooBigAnswer askTooBig(QWidget *, const QString &, const QString &) override { return tooBigAnswer; }
    std::unique_ptr<ProgressView> startProgress(QWidget *, const QString &, const QString &) override
    {
        return std::make_unique<QuietProgress>();
    }
    QString savePath;
    TooBigAnswer tooBigAnswer = TooBigAnswer::Cancel;
};

struct Bench
{
    Bench()
    {
        auto owned = std::make_unique<BenchDialogs>();
        dialogs = owned.get();
        window = std::make_unique<MainWindow>(std::move(owned));
        window->resize(700, 500);
        window->show();
        (void)QTest::qWaitForWindowExposed(window.get());
    }
    template <typename T> T *child(const char *name) const { return window->findChild<T *>(QString::fromLatin1(name)); }
    void setFields(const char *minLength, const char *maxLength, const char *maxCount) const
    {
        child<QLineEdit>("minLengthEdit")->setText(QString::fromLatin1(minLength));
        child<QLineEdit>("maxLengthEdit")->setText(QString::fromLatin1(maxLength));
        child<QLineEdit>("maxCountEdit")->setText(QString::fromLatin1(maxCount));
    }
    // Milliseconds from the click to the painted window.
    qint64 clickAndPaint(const char *button) const
    {
        QElapsedTimer timer;
        timer.start();
        child<QPushButton>(button)->click();
        window->repaint();
        QApplication::processEvents();
        return timer.elapsed();
    }

    BenchDialogs *dialogs = nullptr;
    std::unique_ptr<MainWindow> window;
};

QString advertisingTemplate()
{
    QFile file(QStringLiteral(RAZMNOZHATOR_BENCH_DIR "/advertising.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// 10^digits lines such as "Вариант 0004217 из длинного списка строк для пробы.".
QString numberedTemplate(int digits)
{
    return QStringLiteral("Вариант ") + QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(digits)
        + QStringLiteral(" из длинного списка строк для пробы.");
}

void randomLines()
{
    Bench bench;
    bench.child<QTextEdit>("templateEdit")->setPlainText(advertisingTemplate());
    bench.setFields("10", "400", "2500");
    bench.dialogs->tooBigAnswer = Dialogs::TooBigAnswer::RandomLines;
    qint64 slowest = 0;
    for (int press = 0; press < 5; ++press)
        slowest = std::max(slowest, bench.clickAndPaint("generateButton"));
    std::printf("random lines: %d lines from 1.7e10 variants, click to painted list %lld ms (slowest of 5; goal "
                "under 200 ms)\n",
        bench.child<QListView>("resultList")->model()->rowCount(), static_cast<long long>(slowest));
}

void streamingSave()
{
    QTemporaryDir dir;
    const QString windowFile = dir.filePath(QStringLiteral("window.txt"));
    const QString toolFile = dir.filePath(QStringLiteral("tool.txt"));

    Bench bench;
    bench.window->setMemorySource([] { return std::uint64_t(0); });
    bench.child<QTextEdit>("templateEdit")->setPlainText(numberedTemplate(7));
    bench.setFields("0", "99999", "2500");
    bench.dialogs->tooBigAnswer = Dialogs::TooBigAnswer::SaveAll;
    bench.dialogs->savePath = windowFile;
    const qint64 windowMs = bench.clickAndPaint("generateButton");

    QElapsedTimer timer;
    timer.start();
    QProcess tool;
    tool.start(QStringLiteral(RAZMNOZHATOR_CLI),
        { QStringLiteral("--encoding"), QStringLiteral("cp1251"), QStringLiteral("-o"), toolFile, QStringLiteral("-e"),
            numberedTemplate(7) });
    tool.waitForFinished(-1);
    const qint64 toolMs = timer.elapsed();

    const bool same = QFileInfo(windowFile).size() == QFileInfo(toolFile).size() && QFileInfo(toolFile).size() > 0;
    std::printf("streaming save: 10^7 lines, %lld bytes: window %lld ms, command-line tool %lld ms, ratio %.2f "
                "(goal at most 1.5)%s\n",
        static_cast<long long>(QFileInfo(windowFile).size()), static_cast<long long>(windowMs),
        static_cast<long long>(toolMs), toolMs > 0 ? double(windowMs) / double(toolMs) : 0.0,
        same ? "" : " SIZES DIFFER");
}

void liveCount()
{
    Bench bench;
    auto *edit = bench.child<QTextEdit>("templateEdit");
    auto *label = bench.child<QLabel>("variantCountLabel");
    // Lines of the length a template file has; the editor lays out each
    // paragraph whole, so a megabyte on one line costs it alone a third of a
    // second per key, whatever the program does.
    QString big;
    while (big.size() < 1024 * 1024)
        big += QStringLiteral("[Ищете|Нужен|Хотите] {, |[рекламу|продвижение]|продажи} для бизнеса.\n");
    edit->setPlainText(big);
    QTextCursor cursor = edit->textCursor();
    cursor.movePosition(QTextCursor::End);
    edit->setTextCursor(cursor);
    edit->setFocus();
    QTest::qWait(1500);

    const QString typed = QStringLiteral("[a|b] ").repeated(17).left(100);
    const QString expected = VariantCounter::describe({ big + typed, 10, 200 });
    std::printf("live count: typing into a template of %lld characters in %lld lines\n",
        static_cast<long long>(big.size()), static_cast<long long>(edit->document()->blockCount()));
    QElapsedTimer clock;
    clock.start();
    qint64 lastBeat = 0;
    qint64 longestStall = 0;
    QTimer heartbeat;
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestStall = std::max(longestStall, now - lastBeat);
        lastBeat = now;
    });
    qint64 lastKey = 0;
    qint64 shown = -1;
    int next = 0;
    QTimer typist;
    typist.setInterval(40);
    QObject::connect(&typist, &QTimer::timeout, [&] {
        if (next == typed.size()) {
            typist.stop();
            return;
        }
        QTest::keyClick(edit, typed.at(next++).toLatin1());
        lastKey = clock.elapsed();
    });
    lastBeat = clock.elapsed();
    heartbeat.start();
    typist.start();
    while (typist.isActive() || (shown < 0 && clock.elapsed() - lastKey < 10000)) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!typist.isActive() && shown < 0 && label->text() == expected)
            shown = clock.elapsed() - lastKey;
    }
    heartbeat.stop();
    std::printf("live count: 1 MB template, 100 characters typed: longest GUI stall %lld ms (goal under 16), new "
                "count shown %lld ms after the last key (goal within 300)\n",
        static_cast<long long>(longestStall), static_cast<long long>(shown));
}

void unchangedList()
{
    Bench bench;
    bench.window->setMemorySource([] { return UINT64_MAX; });
    auto *edit = bench.child<QTextEdit>("templateEdit");
    edit->setPlainText(numberedTemplate(7));
    const qint64 generateMs = bench.clickAndPaint("generateButton");
    edit->setPlainText(QStringLiteral("[unclosed"));
    const qint64 refusedMs = bench.clickAndPaint("generateButton");
    QElapsedTimer timer;
    timer.start();
    bench.window->close();
    const qint64 hiddenMs = timer.elapsed();
    bench.window.reset();
    const qint64 destroyedMs = timer.elapsed();
    std::printf("unchanged list: 10^7 lines generated in %lld ms; a refused generate then takes %lld ms; closing "
                "hides the window in %lld ms, destroying it takes %lld ms in all\n",
        static_cast<long long>(generateMs), static_cast<long long>(refusedMs), static_cast<long long>(hiddenMs),
        static_cast<long long>(destroyedMs));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString which = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    if (which.isEmpty() || which == u"random")
        randomLines();
    if (which.isEmpty() || which == u"stream")
        streamingSave();
    if (which.isEmpty() || which == u"count")
        liveCount();
    if (which.isEmpty() || which == u"unchanged")
        unchangedList();
    return 0;
}
