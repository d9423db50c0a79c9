#include "lengthchartmodel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QCoreApplication>

#include "figures.h"
#include "memoryguard.h"
#include "nofit.h"

using namespace razmnozhator;

namespace {

QString tr(const char *source)
{
    return QCoreApplication::translate("LengthChart", source);
}

// Counts may have millions of digits: their logarithm, not their value, fits a double.
double log2Of(const mpz_class &count)
{
    long exponent = 0;
    const double mantissa = mpz_get_d_2exp(&exponent, count.get_mpz_t());
    return std::log2(mantissa) + double(exponent);
}

// On the logarithmic scale the smallest column that is not empty keeps this
// share of the height, so that it stays visible beside the largest.
constexpr double logFloor = 1.0 / 8;

} // namespace

void LengthChartModel::clear()
{
    spectrum_.reset();
    refusal_.clear();
    kept_.reset();
    logScale_ = false;
}

void LengthChartModel::setRefused(const QString &line)
{
    clear();
    refusal_ = line;
}

void LengthChartModel::setSpectrum(LengthColumns spectrum, LengthRange counted, std::optional<mpz_class> kept)
{
    clear();
    const mpz_class *largest = nullptr;
    const mpz_class *smallest = nullptr;
    for (const mpz_class &column : spectrum.columns) {
        if (column == 0)
            continue;
        if (!largest || column > *largest)
            largest = &column;
        if (!smallest || column < *smallest)
            smallest = &column;
    }
    logScale_ = largest && *largest > *smallest * 100;
    spectrum_ = std::move(spectrum);
    setKept(counted, std::move(kept));
}

void LengthChartModel::setKept(LengthRange counted, std::optional<mpz_class> kept)
{
    counted_ = counted;
    kept_ = std::move(kept);
}

std::vector<LengthChartModel::Column> LengthChartModel::columns(int pixels) const
{
    std::vector<Column> result;
    if (!spectrum_ || pixels <= 0)
        return result;
    const std::vector<mpz_class> &fine = spectrum_->columns;
    const std::size_t joined = (fine.size() + std::size_t(pixels) - 1) / std::size_t(pixels);
    const std::uint64_t lengths = joined * spectrum_->lengthsPerColumn;
    result.reserve((fine.size() + joined - 1) / joined);
    for (std::size_t begin = 0; begin < fine.size(); begin += joined) {
        Column column;
        column.first = spectrum_->shortest + begin * spectrum_->lengthsPerColumn;
        column.last = std::min(column.first + lengths - 1, spectrum_->longest);
        for (std::size_t i = begin; i < std::min(begin + joined, fine.size()); ++i)
            column.count += fine[i];
        result.push_back(std::move(column));
    }

    std::vector<double> logs(result.size(), -std::numeric_limits<double>::infinity());
    double highest = -std::numeric_limits<double>::infinity();
    double lowest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (result[i].count == 0)
            continue;
        logs[i] = log2Of(result[i].count);
        highest = std::max(highest, logs[i]);
        lowest = std::min(lowest, logs[i]);
    }
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (result[i].count == 0)
            continue;
        if (!logScale_)
            result[i].height = std::exp2(logs[i] - highest);
        else if (highest > lowest)
            result[i].height = logFloor + (1 - logFloor) * (logs[i] - lowest) / (highest - lowest);
        else
            result[i].height = 1;
    }
    return result;
}

double LengthChartModel::position(std::uint64_t length) const
{
    if (!spectrum_)
        return 0;
    const double lengths = double(spectrum_->longest - spectrum_->shortest) + 1;
    if (length <= spectrum_->shortest)
        return 0;
    return std::min(1.0, double(length - spectrum_->shortest) / lengths);
}

std::uint64_t LengthChartModel::lengthAt(double share) const
{
    if (!spectrum_ || !(share > 0))
        return shortest();
    const double lengths = double(spectrum_->longest - spectrum_->shortest) + 1;
    const double offset = std::floor(share * lengths);
    if (offset >= lengths - 1)
        return spectrum_->longest;
    return spectrum_->shortest + std::uint64_t(offset);
}

LengthRange LengthChartModel::dragBounds(std::uint64_t from, std::uint64_t to)
{
    return { std::min({ from, to, largestBound }), std::min(std::max(from, to), largestBound) };
}

QString LengthChartModel::pointText(const Column &column)
{
    QString lines;
    switch (figures::russianForm(column.count)) {
    case figures::RussianForm::One:
        lines = tr("строка");
        break;
    case figures::RussianForm::Few:
        lines = tr("строки");
        break;
    case figures::RussianForm::Many:
        lines = tr("строк");
        break;
    }
    const QString count = memoryguard::formatCount(column.count);
    if (column.first == column.last)
        return tr("длина %1: %2 %3").arg(memoryguard::formatCount(column.first), count, lines);
    return tr("длины %1–%2: %3 %4")
        .arg(memoryguard::formatCount(column.first), memoryguard::formatCount(column.last), count, lines);
}

QString LengthChartModel::description() const
{
    if (!spectrum_)
        return refusal_;
    QString text = nofit::lengthsText({ spectrum_->shortest, spectrum_->longest });
    if (spectrum_->shortest != spectrum_->longest)
        text = tr("%1, чаще всего %2").arg(text, memoryguard::formatCount(spectrum_->mostFrequent));
    if (kept_) {
        text = tr("%1; в границах %2–%3: %4")
                   .arg(text, QString::number(counted_.min), QString::number(counted_.max),
                       memoryguard::formatCount(*kept_));
    }
    return text;
}
