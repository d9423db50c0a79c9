#include "dialogs.h"

#include <utility>

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
        : dialog(what, QCoreApplication::translate("MainWindow", "Отмена"), 0, barSteps, parent)
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

    void setProgress(std::uint64_t done, const mpz_class &total) override
    {
        using razmnozhator::figures::formatCountRussian;
        const mpz_class doneCount = razmnozhator::figures::fromUnsigned(done);
        // Until the work reaches a thousandth, a bar at its start would look
        // stuck, and a streaming save of more lines than are ever written
        // never reaches one: a busy bar shows that the work goes on.
        const mpz_class steps = total == 0 ? mpz_class(0) : mpz_class(doneCount * barSteps / total);
        const bool busy = steps == 0 && doneCount < total;
        if (total == 0) {
            dialog.setLabelText(
                QCoreApplication::translate("MainWindow", "%1\nСтрок: %2").arg(text, formatCountRussian(doneCount)));
        } else {
            dialog.setLabelText(QCoreApplication::translate("MainWindow", "%1\nСтрок: %2 из %3")
                                    .arg(text, formatCountRussian(doneCount), formatCountRussian(total)));
        }
        if (total == 0 || busy) {
            dialog.setRange(0, 0);
            dialog.setValue(0);
            return;
        }
        dialog.setRange(0, barSteps);
        dialog.setValue(steps >= barSteps ? barSteps : static_cast<int>(steps.get_si()));
    }

    bool wasCanceled() const override { return dialog.wasCanceled(); }

private:
    static constexpr int barSteps = 1000;

    QProgressDialog dialog;
    QString text;
};

QString translated(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// Qt names its standard buttons in the desktop's language, or in Russian only
// where its Russian catalogue is installed; the window's boxes are Russian
// whatever the desktop, so they name their buttons themselves, as Qt's
// catalogue does.
QMessageBox::StandardButton showBox(QMessageBox::Icon icon, QWidget *parent, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, parent);
    const std::pair<QMessageBox::StandardButton, const char *> names[] = { { QMessageBox::Yes, "&Да" },
        { QMessageBox::No, "&Нет" }, { QMessageBox::Ok, "OK" }, { QMessageBox::Abort, "Прервать" } };
    for (const auto &[which, name] : names) {
        if (QAbstractButton *button = box.button(which))
            button->setText(translated(name));
    }
    // No default button: Enter must not answer a question the user has not read.
    if (box.exec() == -1)
        return QMessageBox::Cancel;
    return box.standardButton(box.clickedButton());
}

} // namespace

Dialogs::SavePath QtDialogs::askSavePath(QWidget *parent, const QString &caption, const QString &filter)
{
    // No options: the dialog itself asks before an existing file is replaced.
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setLabelText(QFileDialog::Accept, translated("&Сохранить"));
    dialog.setLabelText(QFileDialog::Reject, translated("Отмена"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return { dialog.selectedFiles().value(0), dialog.selectedNameFilter() };
}

void QtDialogs::showError(QWidget *parent, const QString &title, const QString &text)
{
    showBox(QMessageBox::Critical, parent, title, text, QMessageBox::Abort);
}

bool QtDialogs::askYesNo(QWidget *parent, const QString &title, const QString &text)
{
    return showBox(QMessageBox::Question, parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtDialogs::showInformation(QWidget *parent, const QString &title, const QString &text)
{
    showBox(QMessageBox::Information, parent, title, text, QMessageBox::Ok);
}

Dialogs::TooBigAnswer QtDialogs::askTooBig(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton *random = box.addButton(translated("Случайные строки"), QMessageBox::AcceptRole);
    random->setObjectName(QStringLiteral("randomLinesButton"));
    QPushButton *saveAll = box.addButton(translated("Сохранить все в файл..."), QMessageBox::ActionRole);
    saveAll->setObjectName(QStringLiteral("saveAllButton"));
    QPushButton *cancel = box.addButton(translated("Отмена"), QMessageBox::RejectRole);
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
