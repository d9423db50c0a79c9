// The restrict command: the rules themselves live with the engine, shared
// with the command-line tool, so that both cut a list exactly alike.

#include "mainwindow.h"

#include <new>

#include <QCheckBox>
#include <QLineEdit>

#include "dialogs.h"
#include "nofit.h"
#include "progressrunner.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/restriction.h"

using namespace razmnozhator;

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

void MainWindow::restrict()
{
    if (busy)
        return;
    RestrictRules rules;
    rules.minLength = minLength();
    rules.maxLength = maxLength();
    rules.maxCount = maxCount();
    rules.shuffle = shuffleBox->checkState() == Qt::Checked;
    try {
        VariantList kept;
        // The cut itself cannot stop half way; a cancel drops its result.
        const bool finished = runLong(tr("Ограничение строк"), [&](WorkProgress &progress) {
            kept = restrictVariants(lines, rules);
            return !progress.canceled();
        });
        if (!finished)
            return;
        // The list stays when the length fields, not the count, leave nothing.
        if (const auto span = kept.empty() ? nofit::spanIfNoneFits(lines, lengthRange()) : std::nullopt) {
            dialogs->showInformation(
                this, tr("Размножатор v1.0b"), nofit::message(lengthRange(), *span, nofit::Whose::List));
            return;
        }
        showLines(std::move(kept));
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
    }
}
