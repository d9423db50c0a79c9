#include "dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

Dialogs::~Dialogs() = default;

QString QtDialogs::askSavePath(QWidget *parent, const QString &caption, const QString &filter)
{
    // No options: the dialog itself asks before an existing file is replaced.
    return QFileDialog::getSaveFileName(parent, caption, QString(), filter, nullptr, QFileDialog::Options());
}

void QtDialogs::showError(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::critical(parent, title, text, QMessageBox::Abort, QMessageBox::NoButton);
}

bool QtDialogs::askYesNo(QWidget *parent, const QString &title, const QString &text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton)
        == QMessageBox::Yes;
}

void QtDialogs::showInformation(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::information(parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}
