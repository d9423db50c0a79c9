#pragma once

// The window's dialogs for tests: every box the window asks for is recorded
// with what it would have shown, and answered from the queues the test fills.

#include <functional>
#include <utility>

#include <QList>
#include <QQueue>
#include <QString>

#include "dialogs.h"

class RecordingDialogs : public Dialogs
{
public:
    // What a progress view was last told.
    struct Progress
    {
        std::uint64_t done = 0;
        mpz_class total = 0;
    };

private:
    class View : public ProgressView
    {
    public:
        View(bool cancel, std::function<void()> onFirstProgress, Progress &last)
            : canceled(cancel)
            , firstProgress(std::move(onFirstProgress))
            , lastProgress(last)
        {
        }
        void setProgress(std::uint64_t done, const mpz_class &total) override
        {
            lastProgress = { done, total };
            if (firstProgress)
                std::exchange(firstProgress, nullptr)();
        }
        bool wasCanceled() const override { return canceled; }

    private:
        bool canceled;
        std::function<void()> firstProgress;
        Progress &lastProgress;
    };

public:
    enum class Kind { SavePath, Error, YesNo, Information, TooBig, Progress };

    struct Call
    {
        Kind kind;
        QWidget *parent = nullptr;
        QString title; // the caption for a save dialog
        QString text; // the filter for a save dialog
    };

    QList<Call> calls;
    // Answers in the order asked; an empty queue cancels the save dialog and answers No.
    QQueue<QString> savePaths;
    // The file types chosen, in the order asked; the first of the filter when empty.
    QQueue<QString> saveFilters;
    QQueue<bool> yesNoAnswers;
    // An empty queue answers Cancel.
    QQueue<TooBigAnswer> tooBigAnswers;
    // Every progress view reports a cancel from the start, before any work is done.
    bool cancelProgress = false;
    // Runs once while a piece of work runs, as what the user does meanwhile.
    std::function<void()> whileWorking;

    SavePath askSavePath(QWidget *parent, const QString &caption, const QString &filter) override
    {
        calls.append({ Kind::SavePath, parent, caption, filter });
        const QString firstFilter = filter.section(QStringLiteral(";;"), 0, 0);
        return { savePaths.isEmpty() ? QString() : savePaths.dequeue(),
            saveFilters.isEmpty() ? firstFilter : saveFilters.dequeue() };
    }

    void showError(QWidget *parent, const QString &title, const QString &text) override
    {
        calls.append({ Kind::Error, parent, title, text });
    }

    bool askYesNo(QWidget *parent, const QString &title, const QString &text) override
    {
        calls.append({ Kind::YesNo, parent, title, text });
        return !yesNoAnswers.isEmpty() && yesNoAnswers.dequeue();
    }

    void showInformation(QWidget *parent, const QString &title, const QString &text) override
    {
        calls.append({ Kind::Information, parent, title, text });
    }

    TooBigAnswer askTooBig(QWidget *parent, const QString &title, const QString &text) override
    {
        calls.append({ Kind::TooBig, parent, title, text });
        return tooBigAnswers.isEmpty() ? TooBigAnswer::Cancel : tooBigAnswers.dequeue();
    }

    // Quick work and slow work ask alike, since the real view decides when to
    // appear, so progress is kept apart from the boxes the user sees.
    QList<Call> progressCalls;
    Progress lastProgress;
    std::unique_ptr<ProgressView> startProgress(QWidget *parent, const QString &title, const QString &text) override
    {
        progressCalls.append({ Kind::Progress, parent, title, text });
        return std::make_unique<View>(cancelProgress, std::exchange(whileWorking, nullptr), lastProgress);
    }

    QList<Call> callsOf(Kind kind) const
    {
        QList<Call> matching;
        for (const Call &call : calls) {
            if (call.kind == kind)
                matching.append(call);
        }
        return matching;
    }
};
