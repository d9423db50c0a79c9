// The restrict command: the rules themselves live with the engine, shared
// with the command-line tool, so that both cut a list exactly alike.

#include "mainwindow.h"

#include <new>

#include <QCheckBox>
#include <QLineEdit>

#include "cp1251.h"
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
    rules.lengths = lengthRange();
    rules.maxCount = maxCount();
    rules.shuffle = shuffleBox->checkState() == Qt::Checked;
    try {
        VariantList kept;
        QStringList texts;
        // The cut itself cannot stop half way; a cancel drops its result.
        const bool finished = runLong(tr("Ограничение строк"), [&](WorkProgress &progress) {
            kept = restrictVariants(lines, rules);
            progress.setTotal(kept.size());
            texts.reserve(static_cast<qsizetype>(kept.size()));
            for (const std::string_view line : kept) {
                if (progress.canceled())
                    return false;
                texts.append(cp1251::decode(line));
                progress.setDone(static_cast<std::uint64_t>(texts.size()));
            }
            return !progress.canceled();
        });
        if (finished)
            showLines(std::move(kept), std::move(texts));
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
    }
}
