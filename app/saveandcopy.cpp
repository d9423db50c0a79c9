// The ways the lines leave the program: a file, of text or, for the rows of
// a table, a table, and the clipboard, both only reading the lines. The file
// is written by the helper that the streaming save of a result too big to
// hold uses too; the clipboard keeps a row's tabs, so that a spreadsheet
// pastes the fields as columns.

#include "mainwindow.h"

#include <new>
#include <string>

#include <QClipboard>
#include <QGuiApplication>

#include "cp1251.h"
#include "progressrunner.h"

void MainWindow::save()
{
    if (busy)
        return;
    try {
        const SavedLines saved { lineFields, mpz_class(lines.size()),
            lines.empty() ? 0 : lines.byteSize() / lines.size() };
        writeToChosenFile(saved, [this](const auto &put, WorkProgress &progress) {
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
