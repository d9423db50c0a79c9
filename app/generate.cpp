// The generate command: the template compiled and every line listed.

#include "mainwindow.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "cp1251.h"
#include "dialogs.h"
#include "memoryguard.h"
#include "progressrunner.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/fields.h"
#include "templatetext.h"

using namespace razmnozhator;

namespace {

// The fields of every variant when they make a table, as the tabs of the
// variants split them; 1 for variants without tabs, and for those whose
// groups give different numbers of fields, which show as lines.
std::uint64_t tableFields(std::string_view text)
{
    if (text.find('\t') == std::string_view::npos)
        return 1;
    try {
        return fieldCount(text);
    } catch (const FieldCountError &) {
        return 1;
    }
}

} // namespace

bool MainWindow::reportTextProblem(const cp1251::TemplateText &encoded)
{
    if (!encoded.problem())
        return false;
    const cp1251::TextProblem &problem = *encoded.problem();
    const cp1251::TextPosition &where = problem.position;
    if (problem.kind == cp1251::TextProblem::Kind::Nul) {
        showError(tr("Символ NUL (строка %1, столбец %2) не может быть частью шаблона. Уберите его.")
                      .arg(where.line)
                      .arg(where.column));
    } else {
        showError(tr("Символ %1 (строка %2, столбец %3) нельзя записать в кодировке CP1251. Замените его.")
                      .arg(cp1251::describe(problem.codePoint, cp1251::Quotes::Russian))
                      .arg(where.line)
                      .arg(where.column));
    }
    selectInTemplate(where.utf16Index, QChar::requiresSurrogates(problem.codePoint) ? 2 : 1);
    return true;
}

void MainWindow::go()
{
    if (busy)
        return;
    const cp1251::TemplateText encoded = cp1251::TemplateText::fromText(templateText());
    if (reportTextProblem(encoded) || encoded.bytes().empty())
        return;

    try {
        // Lengths count by the chosen rule from here on; the lines listed are
        // every variant all the same.
        const CompiledTemplate compiled = CompiledTemplate::compile(encoded.bytes(), engineLengthRule());
        const std::uint64_t fields = tableFields(encoded.bytes());
        // The instant figures decide: the exact ones of a deeply nested
        // template may take long, and where the instant ones saturate the
        // result is far beyond any memory anyway.
        if (!memoryguard::fits(compiled.countOrMax(), compiled.totalBytesOrMax(), memoryAvailable())) {
            askWhatToDoWithTooMany(compiled, fields);
            return;
        }
        VariantList fresh;
        const bool finished = runLong(tr("Генерация строк"), [&](WorkProgress &progress) {
            const std::uint64_t count = compiled.countOrMax();
            progress.setTotal(count);
            fresh.reserve(count, compiled.totalBytesOrMax());
            Enumerator variants(compiled);
            std::uint64_t done = 0;
            while (variants.next()) {
                fresh.push_back(variants.current());
                if (++done % progressStep == 0) {
                    progress.setDone(done);
                    if (progress.canceled())
                        return false;
                }
            }
            progress.setDone(done);
            return !progress.canceled();
        });
        if (finished)
            showLines(std::move(fresh), fields);
    } catch (const TemplateError &error) {
        showError(tr(error.what()));
        showLineCount();
        selectInTemplate(encoded.positionOf(error.offset()).utf16Index, 1);
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
    } catch (const std::length_error &) {
        showOutOfMemory();
    }
}
