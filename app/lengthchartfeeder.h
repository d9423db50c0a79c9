#pragma once

// Feeds the chart of line lengths from the live count. The count of a
// template comes first and is never held up: the chart's figures are read
// after it, on a thread of their own, from the template the count compiled
// (whose numbers by length the count may have built already). One reading
// runs at a time; one made out of date by a newer count is dropped, and the
// newest template is read as soon as it ends. A count of the same template
// with other bounds only updates how many lines the bounds keep.

#include <cstdint>
#include <memory>
#include <optional>

#include <QObject>
#include <QString>
#include <QThreadPool>

#include "variantcounter.h"

class LengthChart;

class LengthChartFeeder : public QObject
{
    Q_OBJECT

public:
    // How many columns the engine sums lengths into: more than the chart is
    // ever wide in pixels, so that it only joins them further.
    static constexpr std::size_t engineColumns = 4096;

    explicit LengthChartFeeder(LengthChart *chart, QObject *parent = nullptr);
    ~LengthChartFeeder() override;

    // A count ended; its figures are the newest.
    void counted(const std::shared_ptr<const VariantCounter::Figures> &figures);
    bool isReading() const noexcept { return reading; }

signals:
    // The chart shows the figures of the newest count.
    void shown();

private:
    struct Reading
    {
        std::optional<razmnozhator::LengthColumns> spectrum;
        QString refusal;
    };

    void start();
    void finished(std::uint64_t ticket, const std::shared_ptr<const VariantCounter::Figures> &figures, Reading result);
    void show(const VariantCounter::Figures &figures, Reading result);

    LengthChart *chart;
    QThreadPool pool;
    // Counts so far; a reading carries the number it started at.
    std::uint64_t latest = 0;
    bool reading = false;
    // The newest count, while it waits for a reading.
    std::shared_ptr<const VariantCounter::Figures> waiting;
    // The template and rule whose figures the chart shows.
    std::optional<VariantCounter::Input> shownInput;
};
