#include "dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include "figures.h"

ProgressView::~ProgressView() = default;
Dialogs::~Dialogs() = default;

namespace {

// QProgressDialog counts in int: the bar moves in thousandths of the total
// and the label carries the exact figures.
class QtProgressView : public ProgressView
{
public:
    QtProgressView(QWidget *parent, const QString &title, const QString &what)
        : dialog(what, QCoreApplication::translate("MainWindow", "Отмена"), 0, 1000, parent)
        , text(what)
    {
        dialog.setWindowTitle(title);
        // Not modal: a window blocked by a modal box never hears of its close
        // button, and closing must be able to stop the work.
        dialog.setWindowModality(Qt::NonModal);
        dialog.setMinimumDuration(500);
        dialog.setAutoReset(false);
        dialog.setAutoClose(false);
        dialog.setValue(0);
    }

    void setProgress(std::uint64_t done, std::uint64_t total) override
    {
        using razmnozhator::figures::formatCountRussian;
        if (total == 0) {
            dialog.setRange(0, 0);
            dialog.setLabelText(
                QCoreApplication::translate("MainWindow", "%1\nСтрок: %2").arg(text, formatCountRussian(done)));
            dialog.setValue(0);
            return;
        }
        dialog.setRange(0, 1000);
        dialog.setLabelText(QCoreApplication::translate("MainWindow", "%1\nСтрок: %2 из %3")
                                .arg(text, formatCountRussian(done), formatCountRussian(total)));
        dialog.setValue(static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 1000.0));
    }

    bool wasCanceled() const override { return dialog.wasCanceled(); }

private:
    QProgressDialog dialog;
    QString text;
};

} // namespace

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

Dialogs::TooBigAnswer QtDialogs::askTooBig(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    const auto tr = [](const char *source) { return QCoreApplication::translate("MainWindow", source); };
    QPushButton *random = box.addButton(tr("Случайные строки"), QMessageBox::AcceptRole);
    random->setObjectName(QStringLiteral("randomLinesButton"));
    QPushButton *saveAll = box.addButton(tr("Сохранить все в файл..."), QMessageBox::ActionRole);
    saveAll->setObjectName(QStringLiteral("saveAllButton"));
    QPushButton *cancel = box.addButton(tr("Отмена"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == random)
        return TooBigAnswer::RandomLines;
    if (box.clickedButton() == saveAll)
        return TooBigAnswer::SaveAll;
    return TooBigAnswer::Cancel;
}

std::unique_ptr<ProgressView> QtDialogs::startProgress(QWidget *parent, const QString &title, const QString &text)
{
    return std::make_unique<QtProgressView>(parent, title, text);
}
