// The restrict command: the rules themselves live with the engine, shared
// with the command-line tool, so that both cut a list exactly alike.

#include "mainwindow.h"

#include <cstdlib>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

#include <QCheckBox>

#include "cp1251.h"
#include "dialogs.h"
#include "nofit.h"
#include "progressrunner.h"
#include "razmnozhator/diversity.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/restriction.h"

using namespace razmnozhator;

namespace {

// The list stays when the length fields, not the count, leave none of its
// lines, and the box says how long they are; true when it did.
bool explainNoneFits(MainWindow *window, Dialogs &dialogs, const VariantList &lines, const RestrictRules &rules,
    const lengthrules::FieldRule &rule)
{
    const std::optional<nofit::LengthSpan> span = nofit::spanIfNoneFits(lines, rules.lengths, rules.rule);
    if (!span)
        return false;
    dialogs.showInformation(
        window, MainWindow::tr("Размножатор v1.0b"), nofit::message(rules.lengths, *span, nofit::Whose::List, rule));
    return true;
}

} // namespace

void MainWindow::restrict()
{
    if (busy)
        return;
    RestrictRules rules;
    rules.lengths = lengthRange();
    rules.rule = engineLengthRule();
    rules.maxCount = maxCount();
    rules.shuffle = shuffleBox->checkState() == Qt::Checked;
    if (diverseBox->isChecked()) {
        restrictToDiverse(rules);
        return;
    }
    try {
        VariantList kept;
        // The cut itself cannot stop half way; a cancel drops its result.
        const bool finished = runLong(tr("Ограничение строк"), [&](WorkProgress &progress) {
            kept = restrictVariants(lines, rules);
            return !progress.canceled();
        });
        if (!finished)
            return;
        if (kept.empty() && explainNoneFits(this, *dialogs, lines, rules, lengthRule()))
            return;
        showLines(std::move(kept), lineFields);
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
    }
}

void MainWindow::restrictToDiverse(const RestrictRules &rules)
{
    // Drawn like the shuffle's numbers, so that the same presses after a
    // fresh start choose the same lines.
    const auto seed = static_cast<std::uint64_t>(std::rand());
    try {
        VariantList kept;
        Diversity diversity;
        const bool finished = runLong(tr("Выбор непохожих строк"), [&](WorkProgress &progress) {
            std::vector<std::string_view> within;
            for (const std::string_view line : lines) {
                const std::optional<std::uint64_t> length = rules.rule.lengthOf(line);
                if (length && rules.lengths.contains(*length))
                    within.push_back(line);
            }
            const std::optional<DiverseChoice> choice = chooseDiverse(
                within, rules.maxCount, seed, cp1251::wordBytes(), [&](std::uint64_t done, std::uint64_t total) {
                    progress.setTotal(total);
                    progress.setDone(done);
                    return !progress.canceled();
                });
            if (!choice)
                return false;
            diversity = choice->diversity;
            for (const std::size_t index : choice->chosen)
                kept.push_back(within[index]);
            return !progress.canceled();
        });
        if (!finished || (kept.empty() && explainNoneFits(this, *dialogs, lines, rules, lengthRule())))
            return;
        showLines(std::move(kept), lineFields);
        showDiversity(diversity);
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
    } catch (const std::length_error &) {
        showOutOfMemory();
    }
}
