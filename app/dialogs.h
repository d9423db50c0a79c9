#pragma once

// Every modal question the window asks goes through this interface, so that
// the window's tests can answer without running a modal event loop, and the
// real boxes stay in one place with their exact titles and buttons.

#include <QString>

class QWidget;

class Dialogs
{
public:
    virtual ~Dialogs();

    // The chosen file name, or an empty string when the user cancelled.
    virtual QString askSavePath(QWidget *parent, const QString &caption, const QString &filter) = 0;
    virtual void showError(QWidget *parent, const QString &title, const QString &text) = 0;
    // True only for an explicit Yes.
    virtual bool askYesNo(QWidget *parent, const QString &title, const QString &text) = 0;
    virtual void showInformation(QWidget *parent, const QString &title, const QString &text) = 0;
};

// The boxes the user sees: QMessageBox and QFileDialog with no default button.
class QtDialogs : public Dialogs
{
public:
    QString askSavePath(QWidget *parent, const QString &caption, const QString &filter) override;
    void showError(QWidget *parent, const QString &title, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &title, const QString &text) override;
    void showInformation(QWidget *parent, const QString &title, const QString &text) override;
};
