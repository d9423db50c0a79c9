#include "refusals.h"

#include <QCoreApplication>
#include <QLocale>
#include <QtGlobal>

#include "figures.h"
#include "razmnozhator/engine.h"

namespace razmnozhator::refusals {

namespace {

struct TaskWords
{
    LimitError::Task task;
    // The tool's subject of the sentence, and the window's, after «для».
    const char *tool;
    const char *window;
};

constexpr TaskWords tasks[] = {
    { LimitError::Task::PositionIndex, QT_TRANSLATE_NOOP("razmnozhator-cli", "random access to its variants"),
        QT_TRANSLATE_NOOP("MainWindow", "поиска строк по номеру") },
    { LimitError::Task::LengthCounts, QT_TRANSLATE_NOOP("razmnozhator-cli", "counting its variants by length"),
        QT_TRANSLATE_NOOP("MainWindow", "подсчёта строк по длине") },
    { LimitError::Task::LengthChoice, QT_TRANSLATE_NOOP("razmnozhator-cli", "choosing its variants by length"),
        QT_TRANSLATE_NOOP("MainWindow", "выбора строк по длине") },
    { LimitError::Task::DiversePool, QT_TRANSLATE_NOOP("razmnozhator-cli", "comparing the words of the candidates"),
        QT_TRANSLATE_NOOP("MainWindow", "сравнения слов строк-кандидатов") },
    // The tool has no words of its own here and gives the engine's message.
    { LimitError::Task::Unspecified, nullptr, QT_TRANSLATE_NOOP("MainWindow", "работы с этим шаблоном") },
};

const TaskWords &wordsFor(LimitError::Task task)
{
    for (const TaskWords &words : tasks) {
        if (words.task == task)
            return words;
    }
    // Every task has its row.
    Q_UNREACHABLE();
    return tasks[0];
}

QString toolTr(const char *text)
{
    return QCoreApplication::translate("razmnozhator-cli", text);
}

QString windowTr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

QString toolText(const LimitError &error)
{
    const TaskWords &words = wordsFor(error.task());
    if (!words.tool)
        return QString::fromUtf8(error.what());
    const QString what = toolTr(words.tool);
    if (error.resource() == LimitError::Resource::Work)
        return toolTr("%1 would take minutes").arg(what);
    const QLocale c = QLocale::c();
    return toolTr("%1 would need %2, more than the %3 allowed")
        .arg(what, figures::aboutDataSize(figures::fromUnsigned(error.needed()), c),
            figures::formatDataSize(figures::fromUnsigned(error.allowed()), c));
}

QString windowText(const LimitError &error)
{
    const QString what = windowTr(wordsFor(error.task()).window);
    if (error.resource() == LimitError::Resource::Work || error.needed() == 0)
        return windowTr("для %1 нужно слишком много времени").arg(what);
    return windowTr("для %1 нужно около %2 памяти, а можно не более %3")
        .arg(what, figures::formatDataSizeRussian(figures::fromUnsigned(error.needed())),
            figures::formatDataSizeRussian(figures::fromUnsigned(error.allowed())));
}

} // namespace razmnozhator::refusals
