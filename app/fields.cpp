// What every command shares: the fields it reads and the showing of the
// lines it leaves. Kept apart from the command files so that none of them
// calls another for these.

#include "mainwindow.h"

#include <cmath>
#include <utility>

#include <QLineEdit>
#include <QListView>
#include <QStatusBar>

#include "documenttext.h"
#include "linelistmodel.h"
#include "memoryguard.h"
#include "razmnozhator/diversity.h"
#include "razmnozhator/lengthbounds.h"

using namespace razmnozhator;

QString MainWindow::templateText() const
{
    // Not toPlainText(), which would also turn non-breaking spaces into plain
    // ones, and CP1251 has a byte of its own for them. The raw text keeps
    // every character and marks line breaks with the Unicode separators, one
    // position each, as the document counts them.
    return templateDocumentText->text();
}

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

void MainWindow::showLines(VariantList fresh)
{
    lineModel->replaceLines([&] { std::swap(lines, fresh); });
    discardInBackground(std::move(fresh));
    resultList->scrollToTop();
    showLineCount();
}

void MainWindow::showLineCount()
{
    statusLine->showMessage(tr("Строк: %1").arg(memoryguard::formatCount(lines.size())), 0);
}

void MainWindow::showDiversity(const Diversity &diversity)
{
    // With fewer than two lines nothing can be alike; the count says it all.
    if (lines.size() < 2)
        return;
    statusLine->showMessage(tr("Строк: %1, отличие не меньше %2 %")
                                .arg(memoryguard::formatCount(lines.size()))
                                .arg(static_cast<int>(std::lround(diversity.smallest * 100))),
        0);
}
