// A result too big to hold in memory is not refused: the user chooses
// between a random part of it, small enough to hold, and all of it written
// straight into a file without holding it.

#include "mainwindow.h"

#include <new>
#include <random>
#include <stdexcept>

#include <QCheckBox>

#include "cp1251.h"
#include "dialogs.h"
#include "memoryguard.h"
#include "nofit.h"
#include "progressrunner.h"
#include "razmnozhator/diversity.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"

using namespace razmnozhator;

namespace {

constexpr std::uint64_t progressStep = 4096;

} // namespace

void MainWindow::askWhatToDoWithTooMany(const CompiledTemplate &compiled)
{
    const mpz_class needed = memoryguard::memoryNeeded(compiled.count(), compiled.totalBytes());
    QString kept;
    try {
        const RangeFigures figures = compiled.figuresInRange(lengthRange());
        if (figures.count == 0) {
            // Neither answer would give a line: say why instead of asking.
            dialogs->showInformation(this, tr("Размножатор v1.0b"),
                nofit::message(lengthRange(), { compiled.minLength(), compiled.maxLength() }, nofit::Whose::Template));
            return;
        }
        kept = tr(", из них длиной от %1 до %2 символов: %3")
                   .arg(minLength())
                   .arg(maxLength())
                   .arg(memoryguard::formatCount(figures.count));
    } catch (const LimitError &) {
        // Too varied to split by length at a reasonable cost: the question goes without that figure.
    }
    const QString text = tr("Шаблон даёт %1 строк%2. Чтобы держать все строки, нужно около %3 памяти, "
                            "столько свободной памяти нет.\n\n"
                            "Можно взять не более %4 случайных строк длиной от %5 до %6 символов "
                            "или сохранить все строки такой длины сразу в файл.")
                             .arg(memoryguard::formatCount(compiled.count()), kept, memoryguard::formatBytes(needed))
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
    const LengthRange range = lengthRange();
    writeToChosenFile([&](const auto &put, WorkProgress &progress) {
        progress.setTotal(compiled.countOrMax());
        Enumerator variants(compiled);
        std::uint64_t done = 0;
        while (variants.next()) {
            const std::string_view variant = variants.current();
            if (range.contains(variant.size()) && !put(variant))
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
    if (diverseBox->isChecked()) {
        takeDiverseLines(compiled);
        return;
    }
    // A fresh seed every time, also after a restart: each press gives new texts.
    std::random_device device;
    const std::uint64_t seed = (std::uint64_t(device()) << 32) ^ device();
    const Sample::Order order
        = shuffleBox->checkState() == Qt::Checked ? Sample::Order::Random : Sample::Order::Template;
    try {
        const mpz_class wanted = maxCount();
        const LengthRange range = lengthRange();
        VariantList taken;
        const bool finished = runLong(tr("Выбор случайных строк"), [&](WorkProgress &progress) {
            Sample sample(compiled, wanted, range, seed, order);
            const auto size = static_cast<std::uint64_t>(sample.size().get_ui());
            progress.setTotal(size);
            while (sample.next()) {
                taken.push_back(sample.current());
                progress.setDone(taken.size());
                if (progress.canceled())
                    return false;
            }
            return !progress.canceled();
        });
        if (finished)
            showLines(std::move(taken));
    } catch (const LimitError &error) {
        showError(tr("Случайные строки этого шаблона выбрать не удалось: %1.").arg(describeLimit(error)));
    }
}

void MainWindow::takeDiverseLines(const CompiledTemplate &compiled)
{
    std::random_device device;
    const std::uint64_t seed = (std::uint64_t(device()) << 32) ^ device();
    try {
        const std::uint32_t wanted = maxCount();
        const LengthRange range = lengthRange();
        VariantList taken;
        Diversity diversity;
        const bool finished = runLong(tr("Выбор непохожих строк"), [&](WorkProgress &progress) {
            std::optional<DiverseVariants> chosen = chooseDiverseVariants(compiled, wanted, range, seed,
                cp1251::wordBytes(), Sample::Order::Random, [&](std::uint64_t done, std::uint64_t total) {
                    progress.setTotal(total);
                    progress.setDone(done);
                    return !progress.canceled();
                });
            if (!chosen)
                return false;
            diversity = chosen->diversity();
            while (chosen->next())
                taken.push_back(chosen->current());
            return !progress.canceled();
        });
        if (finished) {
            showLines(std::move(taken));
            showDiversity(diversity);
        }
    } catch (const LimitError &error) {
        showError(tr("Непохожие строки этого шаблона выбрать не удалось: %1.").arg(describeLimit(error)));
    } catch (const std::bad_alloc &) {
        showOutOfMemory();
    } catch (const std::length_error &) {
        showOutOfMemory();
    }
}

QString MainWindow::describeLimit(const LimitError &error) const
{
    QString what;
    switch (error.task()) {
    case LimitError::Task::PositionIndex:
        what = tr("поиска строк по номеру");
        break;
    case LimitError::Task::LengthCounts:
        what = tr("подсчёта строк по длине");
        break;
    case LimitError::Task::LengthChoice:
        what = tr("выбора строк по длине");
        break;
    case LimitError::Task::DiversePool:
        what = tr("сравнения слов строк-кандидатов");
        break;
    case LimitError::Task::Unspecified:
        what = tr("работы с этим шаблоном");
        break;
    }
    if (error.resource() == LimitError::Resource::Work || error.needed() == 0)
        return tr("для %1 нужно слишком много времени").arg(what);
    return tr("для %1 нужно около %2 памяти, а можно не более %3")
        .arg(what, memoryguard::formatBytes(error.needed()), memoryguard::formatBytes(error.allowed()));
}
