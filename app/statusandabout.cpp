// The line status and the About box.

#include "mainwindow.h"

#include <QModelIndex>
#include <QStatusBar>
#include <QSysInfo>

#include "dialogs.h"
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
    // One CP1251 byte is one character, so the line's byte length is what the row shows.
    const std::size_t length = lines.lengthAt(static_cast<std::size_t>(index.row()));
    statusLine->showMessage(
        tr("Строк: %1, Длина текущей строки: %2").arg(memoryguard::formatCount(lines.size())).arg(length), 0);
}

void MainWindow::about()
{
    const QString text = tr("Размножатор: все варианты текста по одному шаблону.\n%1/QT %2")
                             .arg(platformName(), QString::fromLatin1(qVersion()));
    dialogs->showInformation(this, tr("Размножатор v1.0b"), text);
}
