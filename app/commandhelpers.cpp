// What the commands share: the fields they read, the showing of the lines
// they leave, the running of long work, the error box, and the writing of
// lines into a file the user chooses, which both the save and the streaming
// save of a result too big to hold use. Kept apart from the command files so
// that none of them calls another for these; the window's construction in
// mainwindow.cpp calls in here, never the other way.

#include "mainwindow.h"

#include <cmath>
#include <string>
#include <utility>

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QScopeGuard>
#include <QTextCursor>
#include <QTextEdit>

#include "cp1251.h"
#include "dialogs.h"
#include "documenttext.h"
#include "elidedlabel.h"
#include "lengthrules.h"
#include "linelistmodel.h"
#include "memoryguard.h"
#include "outputfile.h"
#include "progressrunner.h"
#include "razmnozhator/diversity.h"
#include "razmnozhator/lengthbounds.h"

using namespace razmnozhator;

namespace {

// Lines go to the file in blocks of about this size rather than one write per line.
constexpr std::size_t writeBlock = 1 << 20;

} // namespace

void MainWindow::writeToChosenFile(const LineProducer &produce)
{
    // Windows-1251 first, as the window always saved; then UTF-8 without a
    // byte order mark, which most ad platforms' tools read.
    const QString cp1251Filters = tr("All Files (*);;Text Files (*.txt)");
    const QString utf8Filters = tr("All Files, UTF-8 (*);;Text Files, UTF-8 (*.txt)");
    const Dialogs::SavePath chosen
        = dialogs->askSavePath(this, tr("SaveToFile"), cp1251Filters + QStringLiteral(";;") + utf8Filters);
    const QString &fileName = chosen.fileName;
    if (fileName.isEmpty())
        return;
    const bool utf8 = utf8Filters.split(QStringLiteral(";;")).contains(chosen.filter);

    QString failure;
    const auto work = [&](WorkProgress &progress) {
        // A regular file is replaced only once every line has been written;
        // on any failure or cancel it stays as it was. A device or a FIFO is
        // written into, as the command-line tool does.
        razmnozhator::OutputFile file(fileName);
        if (!file.open()) {
            failure = file.errorString();
            return false;
        }
        std::string block;
        block.reserve(writeBlock + 256);
        bool writable = true;
        const auto flushBlock = [&] {
            writable = writable && file.write(block.data(), block.size());
            block.clear();
            return writable;
        };
        const auto put = [&](std::string_view line) {
            if (utf8)
                cp1251::appendUtf8(block, line);
            else
                block.append(line);
            block.push_back('\n');
            return block.size() < writeBlock || flushBlock();
        };
        const bool produced = produce(put, progress) && flushBlock();
        if (!writable || (produced && !progress.canceled() && !file.commit())) {
            failure = file.errorString();
            return false;
        }
        // An uncommitted atomic write is dropped with the file.
        return produced && !progress.canceled();
    };
    if (!runLong(tr("Сохранение в файл"), work) && !failure.isEmpty())
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

void MainWindow::showLines(VariantList fresh)
{
    lineModel->replaceLines([&] { std::swap(lines, fresh); });
    discardInBackground(std::move(fresh));
    resultList->scrollToTop();
    showLineCount();
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
