// The restrict command: the rules themselves live with the engine, shared
// with the command-line tool, so that both cut a list exactly alike.

#include "mainwindow.h"

#include <new>

#include <QCheckBox>
#include <QLineEdit>

#include "razmnozhator/restriction.h"

void MainWindow::restrict()
{
    razmnozhator::RestrictRules rules;
    // An empty field reads as 0, like any text that is not a number.
    rules.minLength = minLengthEdit->text().toUInt();
    rules.maxLength = maxLengthEdit->text().toUInt();
    rules.maxCount = maxCountEdit->text().toUInt();
    rules.shuffle = shuffleBox->checkState() == Qt::Checked;
    try {
        lines = razmnozhator::restrictVariants(lines, rules);
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
        return;
    }
    refreshList();
}
