#pragma once

// What the window benchmarks share: a main window that never stops at a
// modal box, opened at one size, the clicks they time, and the process's
// memory figures.

#include <memory>

#include <QString>
#include <QStringList>

#include "dialogs.h"
#include "mainwindow.h"

// Answers every box at once: a benchmark must never wait for a person.
// Errors are printed instead and remembered in `failed`.
class BenchDialogs : public Dialogs
{
public:
    SavePath askSavePath(QWidget *, const QString &, const QString &filter) override
    {
        return { savePath, saveFilter.isEmpty() ? filter.section(QStringLiteral(";;"), 0, 0) : saveFilter };
    }
    void showError(QWidget *, const QString &, const QString &text) override;
    bool askYesNo(QWidget *, const QString &, const QString &) override { return true; }
    void showInformation(QWidget *, const QString &, const QString &) override { }
    TooBigAnswer askTooBig(QWidget *, const QString &, const QString &) override { return tooBigAnswer; }
    std::unique_ptr<ProgressView> startProgress(QWidget *, const QString &, const QString &) override;

    QString savePath;
    // The file type chosen; the first one offered when empty.
    QString saveFilter;
    TooBigAnswer tooBigAnswer = TooBigAnswer::Cancel;
    bool failed = false;
};

// A main window of 700×500, shown and exposed, that asks BenchDialogs.
struct BenchWindow
{
    explicit BenchWindow(Dialogs::TooBigAnswer tooBigAnswer = Dialogs::TooBigAnswer::Cancel);

    template <typename T> T *child(const char *name) const { return window->findChild<T *>(QString::fromLatin1(name)); }
    void setFields(const char *minLength, const char *maxLength, const char *maxCount) const;
    // Milliseconds from the click to the painted window; clickReturnedMs, when
    // given, receives those until the click itself returned.
    qint64 clickAndPaint(const char *button, qint64 *clickReturnedMs = nullptr) const;
    QString status() const;

    BenchDialogs *dialogs = nullptr;
    std::unique_ptr<MainWindow> window;
    bool exposed = false;
};

// A figure of /proc/self/status in kilobytes, such as "VmRSS:" or "VmHWM:"; -1 when it is missing.
long statusKilobytes(const char *key);

// Runs this program again once per argument, each figure in a fresh process
// whose memory and Qt caches no earlier one has touched; 1 when any failed.
int runEachInChild(const QStringList &arguments);
