#include "benchwindow.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

namespace {

class QuietProgress : public ProgressView
{
public:
    void setProgress(std::uint64_t, const mpz_class &) override { }
    bool wasCanceled() const override { return false; }
};

} // namespace

void BenchDialogs::showError(QWidget *, const QString &, const QString &text)
{
    std::fprintf(stderr, "error box: %s\n", qPrintable(text));
    failed = true;
}

std::unique_ptr<ProgressView> BenchDialogs::startProgress(QWidget *, const QString &, const QString &)
{
    return std::make_unique<QuietProgress>();
}

BenchWindow::BenchWindow(Dialogs::TooBigAnswer tooBigAnswer)
{
    auto owned = std::make_unique<BenchDialogs>();
    owned->tooBigAnswer = tooBigAnswer;
    dialogs = owned.get();
    window = std::make_unique<MainWindow>(std::move(owned));
    window->resize(700, 500);
    window->show();
    exposed = QTest::qWaitForWindowExposed(window.get());
}

void BenchWindow::setFields(const char *minLength, const char *maxLength, const char *maxCount) const
{
    child<QLineEdit>("minLengthEdit")->setText(QString::fromLatin1(minLength));
    child<QLineEdit>("maxLengthEdit")->setText(QString::fromLatin1(maxLength));
    child<QLineEdit>("maxCountEdit")->setText(QString::fromLatin1(maxCount));
}

qint64 BenchWindow::clickAndPaint(const char *button, qint64 *clickReturnedMs) const
{
    auto *pushButton = child<QPushButton>(button);
    QElapsedTimer timer;
    timer.start();
    pushButton->click();
    if (clickReturnedMs)
        *clickReturnedMs = timer.elapsed();
    window->repaint();
    QApplication::processEvents();
    return timer.elapsed();
}

QString BenchWindow::status() const
{
    return child<QLabel>("lineStatusLabel")->text();
}

long statusKilobytes(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, keyLength, key) == 0)
            return std::stol(line.substr(keyLength + 1));
    }
    return -1;
}

int runEachInChild(const QStringList &arguments)
{
    int result = 0;
    for (const QString &argument : arguments) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), { argument });
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            result = 1;
    }
    return result;
}
