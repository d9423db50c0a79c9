#pragma once

// Every modal question the window asks goes through this interface, so that
// the window's tests can answer without running a modal event loop, and the
// real boxes stay in one place with their exact titles and buttons.

#include <cstdint>
#include <memory>

#include <gmpxx.h>

#include <QString>

class QWidget;

// What a long piece of work shows while it runs: lines done of the total,
// and whether the user asked to stop.
class ProgressView
{
public:
    virtual ~ProgressView();
    // total 0 means the amount of work is not known in advance; it may
    // exceed 64 bits, as the lines of a streaming save do.
    virtual void setProgress(std::uint64_t done, const mpz_class &total) = 0;
    virtual bool wasCanceled() const = 0;
};

class Dialogs
{
public:
    virtual ~Dialogs();

    // The chosen file name, or an empty one when the user cancelled, and the
    // file type chosen among the filter's, the first one unless the user
    // chose another.
    struct SavePath
    {
        QString fileName;
        QString filter;
    };
    virtual SavePath askSavePath(QWidget *parent, const QString &caption, const QString &filter) = 0;
    virtual void showError(QWidget *parent, const QString &title, const QString &text) = 0;
    // True only for an explicit Yes.
    virtual bool askYesNo(QWidget *parent, const QString &title, const QString &text) = 0;
    virtual void showInformation(QWidget *parent, const QString &title, const QString &text) = 0;

    // The answer to a result too big to hold: a random part of it, all of it
    // straight into a file, or nothing. Closing the box is Cancel.
    enum class TooBigAnswer { RandomLines, SaveAll, Cancel };
    virtual TooBigAnswer askTooBig(QWidget *parent, const QString &title, const QString &text) = 0;

    // Called when a long piece of work starts; the view decides by itself when
    // it is worth showing, so that quick work shows nothing.
    virtual std::unique_ptr<ProgressView> startProgress(QWidget *parent, const QString &title, const QString &text) = 0;
};

// The boxes the user sees: QMessageBox and QFileDialog with no default button,
// QProgressDialog that appears only after half a second.
class QtDialogs : public Dialogs
{
public:
    SavePath askSavePath(QWidget *parent, const QString &caption, const QString &filter) override;
    void showError(QWidget *parent, const QString &title, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &title, const QString &text) override;
    void showInformation(QWidget *parent, const QString &title, const QString &text) override;
    TooBigAnswer askTooBig(QWidget *parent, const QString &title, const QString &text) override;
    std::unique_ptr<ProgressView> startProgress(QWidget *parent, const QString &title, const QString &text) override;
};
