// The generate command and the list refresh that generate and restrict share.

#include "mainwindow.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

#include <QListWidget>
#include <QStatusBar>
#include <QStringList>
#include <QTextDocument>
#include <QTextEdit>

#include "cp1251.h"
#include "dialogs.h"
#include "memoryguard.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/memorybudget.h"

using namespace razmnozhator;

namespace {

// The engine reports offsets into the template with its line feeds removed;
// every other character of an encodable template is one byte and one UTF-16
// unit, so counting the characters that are not line feeds finds it again.
qsizetype plainTextIndex(const QString &text, std::size_t byteOffset)
{
    std::size_t seen = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\n')
            continue;
        if (seen == byteOffset)
            return i;
        ++seen;
    }
    return text.size();
}

} // namespace

void MainWindow::go()
{
    const QString text = templateEdit->document()->toPlainText();
    cp1251::EncodeResult encoded = cp1251::encode(text);
    if (encoded.unencodable) {
        const cp1251::UnencodableCharacter &character = *encoded.unencodable;
        showError(tr("Символ %1 в позиции %2 нельзя записать в кодировке CP1251. Замените его.")
                      .arg(cp1251::describe(character.codePoint))
                      .arg(character.characterIndex + 1));
        const qsizetype units = QChar::requiresSurrogates(character.codePoint) ? 2 : 1;
        selectInTemplate(character.utf16Index, units);
        return;
    }

    std::string bytes = std::move(encoded.bytes);
    std::erase(bytes, '\n');
    if (bytes.empty())
        return;

    try {
        const CompiledTemplate compiled = CompiledTemplate::compile(bytes);
        const mpz_class needed = memoryguard::memoryNeeded(compiled.count(), compiled.totalBytes());
        if (!memoryguard::fits(needed, availableMemory())) {
            showError(tr("Шаблон даёт слишком много строк: %1. Для них нужно около %2 памяти, "
                         "столько свободной памяти нет. Результат остался прежним.")
                          .arg(memoryguard::formatCount(compiled.count()), memoryguard::formatBytes(needed)));
            return;
        }
        lines = compiled.expand();
    } catch (const TemplateError &error) {
        showError(tr(error.what()));
        refreshList();
        selectInTemplate(plainTextIndex(text, error.offset()), 1);
        return;
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
        return;
    } catch (const std::length_error &) {
        showOutOfMemory();
        return;
    }
    refreshList();
}

void MainWindow::refreshList()
{
    // One bulk insertion with the view frozen: inserting rows one at a time
    // makes the view react to every row, which for a million lines takes
    // seconds instead of a fraction of one.
    resultList->setUpdatesEnabled(false);
    resultList->clear();
    bool shown = true;
    try {
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(lines.size()));
        for (const std::string_view line : lines)
            texts.append(cp1251::decode(line));
        resultList->addItems(texts);
    } catch (const std::bad_alloc &) {
        resultList->clear();
        shown = false;
    }
    resultList->setUpdatesEnabled(true);
    statusLine->showMessage(tr("Строк: %1").arg(lines.size()), 0);
    if (!shown)
        showError(tr("Не хватило памяти, чтобы показать строки в списке."));
}
