// The ways the lines leave the program: a CP1251 text file and the
// clipboard, both only reading the lines, and the streaming save of a result
// too big to hold, which writes every variant without keeping any.

#include "mainwindow.h"

#include <new>
#include <string>

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>

#include "cp1251.h"
#include "dialogs.h"
#include "outputfile.h"
#include "progressrunner.h"

namespace {

// Lines go to the file in blocks of about this size rather than one write per line.
constexpr std::size_t writeBlock = 1 << 20;

} // namespace

void MainWindow::writeToChosenFile(const LineProducer &produce)
{
    const QString fileName = dialogs->askSavePath(this, tr("SaveToFile"), tr("All Files (*);;Text Files (*.txt)"));
    if (fileName.isEmpty())
        return;

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

void MainWindow::save()
{
    if (busy)
        return;
    try {
        writeToChosenFile([this](const auto &put, WorkProgress &progress) {
            progress.setTotal(lines.size());
            std::uint64_t done = 0;
            for (const std::string_view line : lines) {
                if (!put(line) || progress.canceled())
                    return false;
                progress.setDone(++done);
            }
            return true;
        });
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
    }
}

void MainWindow::clpbrd()
{
    if (busy)
        return;
    // A line feed is one CP1251 byte, so the whole text is decoded in one go.
    QString decoded;
    try {
        const bool finished = runLong(tr("Копирование строк"), [this, &decoded](WorkProgress &progress) {
            progress.setTotal(lines.size());
            std::string text;
            text.reserve(lines.byteSize() + lines.size());
            std::uint64_t done = 0;
            for (const std::string_view line : lines) {
                text.append(line);
                text.push_back('\n');
                progress.setDone(++done);
                if (progress.canceled())
                    return false;
            }
            decoded = razmnozhator::cp1251::decode(text);
            return !progress.canceled();
        });
        if (!finished)
            return;
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
        return;
    }
    QGuiApplication::clipboard()->setText(decoded, QClipboard::Clipboard);
}
