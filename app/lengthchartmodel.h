#pragma once

// What the chart of line lengths shows, apart from how it is painted: the
// engine's exact numbers of variants by length, joined into columns no
// narrower than a pixel, their heights on a linear or a logarithmic scale,
// the texts for a pointed column and for a screen reader, and the bounds a
// drag across the chart sets. Lengths run from the shortest variant's to the
// longest's, each taking the same share of the width.

#include <cstdint>
#include <optional>
#include <vector>

#include <gmpxx.h>

#include <QString>

#include "razmnozhator/engine.h"
#include "razmnozhator/lengthbounds.h"

class LengthChartModel
{
public:
    // The lengths that a column stands for, how many variants have them, and
    // the share of the plot's height it fills (0 for none, else above 0).
    struct Column
    {
        std::uint64_t first = 0;
        std::uint64_t last = 0;
        mpz_class count;
        double height = 0;
    };

    // The length fields hold five digits.
    static constexpr std::uint64_t largestBound = 99999;

    // Nothing to show: no template, or one with an error.
    void clear();
    // The one line shown instead of the chart.
    void setRefused(const QString &line);
    // The figures of a template, with how many variants `counted` keeps (none when unknown).
    void setSpectrum(
        razmnozhator::LengthColumns spectrum, razmnozhator::LengthRange counted, std::optional<mpz_class> kept);
    // How many variants the bounds keep, for the template shown.
    void setKept(razmnozhator::LengthRange counted, std::optional<mpz_class> kept);
    // The bounds in the fields, which the shading follows at once.
    void setBounds(razmnozhator::LengthRange bounds) { bounds_ = bounds; }

    bool hasSpectrum() const { return spectrum_.has_value(); }
    const QString &refusal() const { return refusal_; }
    razmnozhator::LengthRange bounds() const { return bounds_; }
    std::uint64_t shortest() const { return spectrum_ ? spectrum_->shortest : 0; }
    std::uint64_t longest() const { return spectrum_ ? spectrum_->longest : 0; }

    // When the largest column holds more than a hundred times the smallest
    // one that is not empty.
    bool logScale() const { return logScale_; }
    // The columns for a plot `pixels` wide: the engine's columns, joined
    // exactly where there are more of them than pixels.
    std::vector<Column> columns(int pixels) const;

    // Where a length begins, as a share of the plot's width, and which length
    // lies at a share (clamped to the shortest and the longest).
    double position(std::uint64_t length) const;
    std::uint64_t lengthAt(double share) const;
    // Мин. and Макс. for a drag from one length to another, in either
    // direction, kept within what the fields hold.
    static razmnozhator::LengthRange dragBounds(std::uint64_t from, std::uint64_t to);

    // "длина 56: 1 234 567 строк", or "длины 56–60: ..." for a wide column.
    static QString pointText(const Column &column);
    // "от 216 до 328 символов, чаще всего 272; в границах 10–200: 0"; the
    // refusal when there is one; nothing when there is nothing to show.
    QString description() const;

private:
    std::optional<razmnozhator::LengthColumns> spectrum_;
    QString refusal_;
    razmnozhator::LengthRange bounds_;
    razmnozhator::LengthRange counted_;
    std::optional<mpz_class> kept_;
    bool logScale_ = false;
};
