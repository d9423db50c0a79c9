// A result too big to hold in memory is not refused: the user chooses
// between a random part of it, small enough to hold, and all of it written
// straight into a file without holding it.

#include "mainwindow.h"

#include <new>
#include <optional>
#include <random>
#include <stdexcept>

#include <QCheckBox>

#include "cp1251.h"
#include "dialogs.h"
#include "figures.h"
#include "memoryguard.h"
#include "nofit.h"
#include "progressrunner.h"
#include "razmnozhator/diversity.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/lengthrule.h"
#include "razmnozhator/sample.h"
#include "refusals.h"

using namespace razmnozhator;

namespace {

// "даёт 1 строку", "даёт 2 строки", "даёт 5 строк".
QString linesGiven(const mpz_class &count)
{
    const QString number = memoryguard::formatCount(count);
    switch (figures::russianForm(count)) {
    case figures::RussianForm::One:
        return MainWindow::tr("%1 строку").arg(number);
    case figures::RussianForm::Few:
        return MainWindow::tr("%1 строки").arg(number);
    case figures::RussianForm::Many:
        break;
    }
    return MainWindow::tr("%1 строк").arg(number);
}

// "не более 1 случайной строки", "не более 2 случайных строк".
QString randomLinesUpTo(std::uint32_t count)
{
    const QString number = memoryguard::formatCount(count);
    if (figures::russianForm(count) == figures::RussianForm::One)
        return MainWindow::tr("%1 случайной строки").arg(number);
    return MainWindow::tr("%1 случайных строк").arg(number);
}

} // namespace

void MainWindow::askWhatToDoWithTooMany(const CompiledTemplate &compiled, std::uint64_t fields)
{
    // "от 10 до 200 символов", and by which rule when not every character counts.
    const auto lengthsText = [this] {
        const QString lengths = nofit::lengthsText({ minLength(), maxLength() });
        return lengthRuleWording().isEmpty() ? lengths : tr("%1 %2").arg(lengths, lengthRuleWording());
    };
    const mpz_class needed = memoryguard::memoryNeeded(compiled.count(), compiled.totalBytes());
    QString keptText;
    std::optional<RangeFigures> kept;
    try {
        kept = compiled.figuresInRange(lengthRange());
        if (kept->count == 0) {
            // Neither answer would give a line: say why instead of asking.
            dialogs->showInformation(this, tr("Размножатор v1.0b"),
                nofit::message(lengthRange(), { compiled.minLength(), compiled.maxLength(), compiled.keepsNone() },
                    nofit::Whose::Template, lengthRule()));
            return;
        }
        keptText = tr(", из них длиной %1: %2").arg(lengthsText(), memoryguard::formatCount(kept->count));
    } catch (const LimitError &) {
        // Too varied to split by length at a reasonable cost: the question goes without that figure.
    }
    const QString text = tr("Шаблон даёт %1%2. Чтобы держать все строки, нужно около %3 памяти, "
                            "столько свободной памяти нет.\n\n"
                            "Можно взять не более %4 длиной %5 или сохранить все строки такой длины сразу в файл.")
                             .arg(linesGiven(compiled.count()), keptText, memoryguard::formatBytes(needed),
                                 randomLinesUpTo(maxCount()), lengthsText());
    switch (dialogs->askTooBig(this, tr("Размножатор v1.0b"), text)) {
    case Dialogs::TooBigAnswer::RandomLines:
        takeRandomLines(compiled, fields);
        break;
    case Dialogs::TooBigAnswer::SaveAll:
        saveAllVariants(compiled, kept ? &*kept : nullptr, fields);
        break;
    case Dialogs::TooBigAnswer::Cancel:
        break;
    }
}

void MainWindow::saveAllVariants(const CompiledTemplate &compiled, const RangeFigures *kept, std::uint64_t fields)
{
    const LengthRange range = lengthRange();
    const LengthRule &rule = engineLengthRule();
    // The lines written of those that will be; without the kept count only
    // the lines written, under a busy bar.
    const mpz_class total = kept ? kept->count : mpz_class(0);
    SavedLines saved { fields, std::nullopt, compiled.maxLength() };
    if (kept)
        saved.count = kept->count;
    writeToChosenFile(saved, [&](const auto &put, WorkProgress &progress) {
        progress.setTotal(total);
        Enumerator variants(compiled);
        std::uint64_t seen = 0;
        std::uint64_t written = 0;
        while (variants.next()) {
            const std::string_view variant = variants.current();
            const std::optional<std::uint64_t> length = rule.lengthOf(variant);
            if (length && range.contains(*length)) {
                if (!put(variant))
                    return false;
                ++written;
            }
            if (++seen % progressStep == 0) {
                progress.setDone(written);
                if (progress.canceled())
                    return false;
            }
        }
        progress.setDone(written);
        return true;
    });
}

void MainWindow::takeRandomLines(const CompiledTemplate &compiled, std::uint64_t fields)
{
    if (diverseBox->isChecked()) {
        takeDiverseLines(compiled, fields);
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
            showLines(std::move(taken), fields);
    } catch (const LimitError &error) {
        showError(tr("Случайные строки этого шаблона выбрать не удалось: %1.").arg(describeLimit(error)));
    }
}

void MainWindow::takeDiverseLines(const CompiledTemplate &compiled, std::uint64_t fields)
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
            showLines(std::move(taken), fields);
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
    return refusals::windowText(error);
}
