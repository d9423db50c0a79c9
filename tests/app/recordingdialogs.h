#pragma once

// The window's dialogs for tests: every box the window asks for is recorded
// with what it would have shown, and answered from the queues the test fills.

#include <QList>
#include <QQueue>
#include <QString>

#include "dialogs.h"

class RecordingDialogs : public Dialogs
{
public:
    enum class Kind { SavePath, Error, YesNo, Information };

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
    QQueue<bool> yesNoAnswers;

    QString askSavePath(QWidget *parent, const QString &caption, const QString &filter) override
    {
        calls.append({ Kind::SavePath, parent, caption, filter });
        return savePaths.isEmpty() ? QString() : savePaths.dequeue();
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
