// The line status, the help on templates and the About box.

#include "mainwindow.h"

#include <QAbstractItemView>
#include <QModelIndex>
#include <QSysInfo>
#include <QTextCursor>
#include <QTextEdit>

#include "cp1251.h"
#include "dialogs.h"
#include "helpwindow.h"
#include "lengthrules.h"
#include "memoryguard.h"

namespace {

// The operating system the program runs on, as people name it.
QString platformName()
{
    const QString product = QSysInfo::productType();
    if (product == u"windows")
        return QStringLiteral("Windows");
    if (product == u"macos" || product == u"osx")
        return QStringLiteral("macOS");
    QString kernel = QSysInfo::kernelType();
    if (!kernel.isEmpty())
        kernel[0] = kernel[0].toUpper();
    return kernel;
}

} // namespace

void MainWindow::status(const QModelIndex &index)
{
    // The line as the row shows it, measured by the chosen rule.
    const QString line = razmnozhator::cp1251::decode(lines[static_cast<std::size_t>(index.row())]);
    const std::optional<std::uint64_t> length = razmnozhator::lengthrules::lineLength(line, lengthRule());
    const QString wording = lengthRuleWording();
    const QString what = wording.isEmpty() ? tr("Длина текущей строки") : tr("Длина текущей строки %1").arg(wording);
    const razmnozhator::lengthrules::CharacterLimit *limit = razmnozhator::lengthrules::limitOf(lengthRule());
    const QString value
        = length || !limit ? QString::number(length.value_or(0)) : razmnozhator::lengthrules::overLimitWording(*limit);
    showStatus(tr("Строк: %1, %2: %3").arg(memoryguard::formatCount(lines.size()), what, value));
    lineStatusShown = true;
}

void MainWindow::refreshLineStatus()
{
    const QModelIndex current = resultView()->currentIndex();
    if (lineStatusShown && current.isValid())
        status(current);
}

void MainWindow::showHelp()
{
    if (!helpWindow) {
        helpWindow = new HelpWindow(this);
        connect(helpWindow, &HelpWindow::exampleChosen, this, &MainWindow::useExample);
    }
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
}

void MainWindow::useExample(const QString &templateText)
{
    QTextCursor cursor(templateEdit->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(templateText);
    templateEdit->setTextCursor(cursor);
    activateWindow();
    templateEdit->setFocus();
}

void MainWindow::about()
{
    const QString text = tr("Размножатор: все варианты текста по одному шаблону.\n%1/QT %2")
                             .arg(platformName(), QString::fromLatin1(qVersion()));
    dialogs->showInformation(this, tr("Размножатор v1.0b"), text);
}
