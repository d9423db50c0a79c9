// What the commands share: the fields they read, the showing of the lines
// they leave, the running of long work, the error box, and the writing of
// lines into a file the user chooses, which both the save and the streaming
// save of a result too big to hold use. Kept apart from the command files so
// that none of them calls another for these; the window's construction in
// mainwindow.cpp calls in here, never the other way.

#include "mainwindow.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QScopeGuard>
#include <QTableView>
#include <QTextCursor>
#include <QTextEdit>

#include "dialogs.h"
#include "documenttext.h"
#include "elidedlabel.h"
#include "fieldtablemodel.h"
#include "lengthrules.h"
#include "linelistmodel.h"
#include "memoryguard.h"
#include "outputfile.h"
#include "progressrunner.h"
#include "razmnozhator/diversity.h"
#include "razmnozhator/lengthbounds.h"
#include "savedfile.h"

using namespace razmnozhator;

void MainWindow::writeToChosenFile(const SavedLines &saved, const LineProducer &produce)
{
    const bool table = saved.fields > 1;
    const Dialogs::SavePath chosen = dialogs->askSavePath(this, tr("SaveToFile"), savedFileTypes(table));
    const QString &fileName = chosen.fileName;
    if (fileName.isEmpty())
        return;
    const SavedFormat format = savedFormat(chosen.filter, fileName, table);
    // A sheet too small for the rows is said before anything is written.
    if (format == SavedFormat::Xlsx && saved.count) {
        if (const std::optional<QString> tooMany = tooManyRowsForSheet(*saved.count)) {
            showError(*tooMany);
            return;
        }
    }

    QString failure;
    QString problem;
    const auto work = [&](WorkProgress &progress) {
        // A regular file is replaced only once every line has been written;
        // on any failure or cancel it stays as it was. A device or a FIFO is
        // written into, as the command-line tool does.
        razmnozhator::OutputFile file(fileName);
        if (!file.open()) {
            failure = file.errorString();
            return false;
        }
        bool writable = true;
        const std::uint64_t rows = saved.count && saved.count->fits_ulong_p() ? saved.count->get_ui() : 0;
        SavedFileWriter writer(format, static_cast<int>(std::min<std::uint64_t>(saved.fields, INT_MAX)), rows,
            saved.lineBytes, [&](const char *bytes, std::size_t size) {
                writable = writable && file.write(bytes, size);
                return writable;
            });
        const bool produced
            = produce([&writer](std::string_view line) { return writer.put(line); }, progress) && writer.finish();
        if (!writer.problem().isEmpty()) {
            problem = writer.problem();
            return false;
        }
        if (!writable || (produced && !progress.canceled() && !file.commit())) {
            failure = file.errorString();
            return false;
        }
        // An uncommitted atomic write is dropped with the file.
        return produced && !progress.canceled();
    };
    if (runLong(tr("Сохранение в файл"), work))
        return;
    if (!problem.isEmpty())
        showError(problem);
    else if (!failure.isEmpty())
        showError(tr("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(fileName), failure));
}

QString MainWindow::templateText() const
{
    // Not toPlainText(), which would also turn non-breaking spaces into plain
    // ones, and CP1251 has a byte of its own for them. The raw text keeps
    // every character and marks line breaks with the Unicode separators, one
    // position each, as the document counts them.
    return templateDocumentText->text();
}

// An empty field reads as 0, like any text that is not a number.
std::uint32_t MainWindow::minLength() const
{
    return minLengthEdit->text().toUInt();
}

std::uint32_t MainWindow::maxLength() const
{
    return maxLengthEdit->text().toUInt();
}

std::uint32_t MainWindow::maxCount() const
{
    return maxCountEdit->text().toUInt();
}

LengthRange MainWindow::lengthRange() const
{
    return { minLength(), maxLength() };
}

lengthrules::FieldRule MainWindow::lengthRule() const
{
    const QAction *chosen = lengthRuleChoices->checkedAction();
    return { chosen ? static_cast<lengthrules::Rule>(chosen->data().toInt()) : lengthrules::Rule::Plain, presetLimit };
}

LengthRule MainWindow::engineLengthRule() const
{
    return lengthrules::lengthRule(lengthRule());
}

QString MainWindow::lengthRuleWording() const
{
    return lengthrules::wording(lengthRule());
}

void MainWindow::showLines(VariantList fresh, std::uint64_t fields)
{
    // The list holds every line either way; the table holds them only while
    // it shows them.
    fieldModel->replaceLines([&] { lineModel->replaceLines([&] { std::swap(lines, fresh); }); }, fields);
    discardInBackground(std::move(fresh));
    lineFields = fields;
    const bool table = fieldModel->fields() > 0;
    QAbstractItemView *shown = resultView();
    QAbstractItemView *hidden = table ? static_cast<QAbstractItemView *>(resultList) : resultTable;
    if (!hidden->isHidden()) {
        const bool focused = hidden->hasFocus();
        hidden->hide();
        shown->show();
        if (focused)
            shown->setFocus();
    }
    if (table) {
        // As wide as the fields of the first rows, none wider than half the
        // view; the last one takes the rest. Measuring reads up to a thousand
        // cells a column, so columns far to the right keep the usual width.
        constexpr int measuredColumns = 64;
        const int widest = std::max(resultTable->viewport()->width(), resultList->viewport()->width()) / 2;
        for (int column = 0; column + 1 < std::min(fieldModel->fields(), measuredColumns); ++column) {
            resultTable->resizeColumnToContents(column);
            resultTable->setColumnWidth(column, std::min(resultTable->columnWidth(column), widest));
        }
    }
    shown->scrollToTop();
    showLineCount();
}

QAbstractItemView *MainWindow::resultView() const
{
    return fieldModel->fields() > 0 ? static_cast<QAbstractItemView *>(resultTable) : resultList;
}

void MainWindow::showLineCount()
{
    showStatus(tr("Строк: %1").arg(memoryguard::formatCount(lines.size())));
}

void MainWindow::showStatus(const QString &text)
{
    lineStatusShown = false;
    lineStatusLabel->setFullText(text);
}

void MainWindow::showDiversity(const Diversity &diversity)
{
    // With fewer than two lines nothing can be alike; the count says it all.
    if (lines.size() < 2)
        return;
    showStatus(tr("Строк: %1, отличие не меньше %2 %")
                   .arg(memoryguard::formatCount(lines.size()))
                   .arg(static_cast<int>(std::lround(diversity.smallest * 100))));
}

bool MainWindow::runLong(const QString &text, const std::function<bool(WorkProgress &)> &work)
{
    busy = true;
    const auto done = qScopeGuard([this] {
        busy = false;
        if (stopAndClose) {
            closeConfirmed = true;
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        }
    });
    return runWithProgress(*dialogs, this, tr("Размножатор v1.0b"), text, work, [this] { return stopAndClose; });
}

void MainWindow::showError(const QString &text)
{
    // The title is the same in every language, so it is not translated.
    dialogs->showError(this, QStringLiteral("Error!"), text);
}

void MainWindow::showOutOfMemory()
{
    showError(tr("Не хватило памяти. Результат остался прежним."));
}

void MainWindow::selectInTemplate(qsizetype index, qsizetype length)
{
    QTextCursor cursor(templateEdit->document());
    cursor.setPosition(static_cast<int>(index));
    cursor.setPosition(static_cast<int>(index + length), QTextCursor::KeepAnchor);
    templateEdit->setTextCursor(cursor);
    templateEdit->setFocus();
}
