#include "lengthchartfeeder.h"

#include <new>
#include <stdexcept>
#include <utility>

#include "lengthchart.h"
#include "memoryguard.h"

using namespace razmnozhator;

LengthChartFeeder::LengthChartFeeder(LengthChart *lengthChart, QObject *parent)
    : QObject(parent)
    , chart(lengthChart)
{
    pool.setMaxThreadCount(1);
}

LengthChartFeeder::~LengthChartFeeder()
{
    // A reading still running reports to this object, so it must end first.
    pool.waitForDone();
}

void LengthChartFeeder::counted(const std::shared_ptr<const VariantCounter::Figures> &figures)
{
    // While the template is not whole the chart keeps the last whole one's
    // bars, and a reading of it still running may yet show them.
    if (figures->faulty) {
        emit shown();
        return;
    }
    ++latest;
    if (!figures->compiled) {
        waiting.reset();
        shownInput.reset();
        chart->changeModel([](LengthChartModel &model) { model.clear(); });
        emit shown();
        return;
    }
    if (shownInput && shownInput->sameLengthsAs(figures->input)) {
        waiting.reset();
        chart->changeModel(
            [&figures](LengthChartModel &model) { model.setKept(figures->input.lengths, figures->kept); });
        emit shown();
        return;
    }
    waiting = figures;
    if (!reading)
        start();
}

void LengthChartFeeder::start()
{
    reading = true;
    const std::uint64_t ticket = latest;
    pool.start([this, ticket, figures = std::exchange(waiting, nullptr)] {
        Reading result;
        try {
            result.spectrum = figures->compiled->lengthColumns(engineColumns);
        } catch (const LimitError &error) {
            if (error.resource() == LimitError::Resource::Memory && error.needed() != 0) {
                result.refusal = tr("Длины строк не показаны: для их подсчёта нужно около %1 памяти")
                                     .arg(memoryguard::formatBytes(error.needed()));
            } else {
                result.refusal = tr("Длины строк не показаны: их подсчёт занял бы слишком много времени");
            }
        } catch (const std::bad_alloc &) {
            result.refusal = tr("Длины строк не показаны: не хватило памяти");
        } catch (const std::length_error &) {
            result.refusal = tr("Длины строк не показаны: не хватило памяти");
        }
        QMetaObject::invokeMethod(
            this,
            [this, ticket, figures, result = std::move(result)]() mutable {
                finished(ticket, figures, std::move(result));
            },
            Qt::QueuedConnection);
    });
}

void LengthChartFeeder::finished(
    std::uint64_t ticket, const std::shared_ptr<const VariantCounter::Figures> &figures, Reading result)
{
    reading = false;
    if (ticket == latest) {
        show(*figures, std::move(result));
    } else if (waiting && waiting->input.sameLengthsAs(figures->input)) {
        // Only the bounds changed meanwhile: the figures read are still the template's.
        show(*std::exchange(waiting, nullptr), std::move(result));
    } else if (waiting) {
        start();
    }
}

void LengthChartFeeder::show(const VariantCounter::Figures &figures, Reading result)
{
    shownInput = figures.input;
    chart->changeModel([&](LengthChartModel &model) {
        if (result.spectrum)
            model.setSpectrum(std::move(*result.spectrum), figures.input.lengths, figures.kept);
        else
            model.setRefused(result.refusal);
    });
    emit shown();
}
