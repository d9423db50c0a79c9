// The two ways the lines leave the program: a CP1251 text file and the
// clipboard. Both only read the lines.

#include "mainwindow.h"

#include <new>
#include <string>

#include <QClipboard>
#include <QGuiApplication>
#include <QSaveFile>

#include "cp1251.h"
#include "dialogs.h"

namespace {

// Lines go to the file in blocks of about this size rather than one write per line.
constexpr std::size_t writeBlock = 1 << 20;

} // namespace

void MainWindow::save()
{
    const QString fileName = dialogs->askSavePath(this, tr("SaveToFile"), tr("All Files (*);;Text Files (*.txt)"));
    if (fileName.isEmpty())
        return;

    // The old file is replaced only once every line has been written; on any
    // failure it stays as it was and the half-written copy is removed.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        showError(file.errorString());
        return;
    }
    std::string block;
    block.reserve(writeBlock + 256);
    // A short write is retried, so that a failure shows up as an error with the reason.
    const auto flushBlock = [&file, &block] {
        qint64 done = 0;
        const auto size = static_cast<qint64>(block.size());
        while (done < size) {
            const qint64 written = file.write(block.data() + done, size - done);
            if (written <= 0)
                return false;
            done += written;
        }
        block.clear();
        return true;
    };
    bool written = true;
    for (const std::string_view line : lines) {
        block.append(line);
        block.push_back('\n');
        if (block.size() >= writeBlock && !(written = flushBlock()))
            break;
    }
    if (written && !block.empty())
        written = flushBlock();
    if (written && file.commit())
        return;
    const QString reason = file.errorString();
    file.cancelWriting();
    showError(reason);
}

void MainWindow::clpbrd()
{
    // A line feed is one CP1251 byte, so the whole text is decoded in one go.
    QString decoded;
    try {
        std::string text;
        text.reserve(lines.byteSize() + lines.size());
        for (const std::string_view line : lines) {
            text.append(line);
            text.push_back('\n');
        }
        decoded = razmnozhator::cp1251::decode(text);
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
        return;
    }
    QGuiApplication::clipboard()->setText(decoded, QClipboard::Clipboard);
}
