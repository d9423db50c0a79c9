#pragma once

// For the few tests that run a real modal box: waits until a modal widget is
// active, records what it shows, then answers it with the given action. The
// test asserts afterwards that the box was seen and what it said. Every later
// box is answered the same way and counted, so that an unexpected one fails
// the test instead of hanging it.

#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

class ModalCloser : public QObject
{
public:
    struct Seen
    {
        bool seen = false;
        QString className;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        // The texts on the box's row of buttons, sorted.
        QStringList buttonTexts;
        bool hasDefaultButton = false;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList nameFilters;
        QString selectedNameFilter;
        QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
        QFileDialog::Options options;
    };

    explicit ModalCloser(std::function<void(QWidget *)> answerWith)
        : answer(std::move(answerWith))
    {
        connect(&timer, &QTimer::timeout, this, &ModalCloser::poll);
        timer.start(10);
    }

    // The first box; `count` tells how many were answered in all.
    Seen seen;
    int count = 0;

    static void click(QWidget *modal, QMessageBox::StandardButton which)
    {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (QAbstractButton *button = box->button(which)) {
                button->click();
                return;
            }
        }
        modal->close();
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == lastAnswered)
            return;
        lastAnswered = modal;
        if (count++ > 0) {
            answer(modal);
            return;
        }
        seen.seen = true;
        seen.className = QString::fromLatin1(modal->metaObject()->className());
        seen.title = modal->windowTitle();
        if (const auto *row = modal->findChild<QDialogButtonBox *>()) {
            for (const QAbstractButton *button : row->buttons())
                seen.buttonTexts.append(button->text());
            seen.buttonTexts.sort();
        }
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            seen.text = box->text();
            seen.buttons = box->standardButtons();
            seen.hasDefaultButton = box->defaultButton() != nullptr;
            seen.icon = box->icon();
        }
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            seen.nameFilters = dialog->nameFilters();
            seen.selectedNameFilter = dialog->selectedNameFilter();
            seen.acceptMode = dialog->acceptMode();
            seen.options = dialog->options();
        }
        answer(modal);
    }

    std::function<void(QWidget *)> answer;
    QPointer<QWidget> lastAnswered;
    QTimer timer;
};
