#include "program/brackettable.h"

#include <algorithm>

namespace razmnozhator::detail {

namespace {

// The first of the sorted [first, last) that is not below value, found by
// steps that double away from hint, where the caller expects it.
const std::uint32_t *lowerBoundNear(
    const std::uint32_t *first, const std::uint32_t *last, const std::uint32_t *hint, std::size_t value)
{
    std::ptrdiff_t step = 1;
    if (hint < last && *hint < value) {
        first = hint + 1;
        while (last - first > step && first[step - 1] < value) {
            first += step;
            step *= 2;
        }
        return std::lower_bound(first, std::min(last, first + step), value);
    }
    last = hint;
    while (last - first > step && last[-step] >= value) {
        last -= step;
        step *= 2;
    }
    return std::lower_bound(std::max(first, last - step), last, value);
}

} // namespace

BracketTable::BracketTable(std::string_view text)
{
    std::vector<std::uint32_t> openSquare;
    std::vector<std::uint32_t> openCurly;
    std::vector<std::pair<std::int32_t, std::uint32_t>> bars;
    std::int32_t depth = 0;
    for (std::size_t position = 0; position < text.size(); ++position) {
        const char byte = text[position];
        switch (byte) {
        case '[':
        case '{': {
            const auto ordinal = static_cast<std::uint32_t>(openers_.size());
            openers_.push_back({ static_cast<std::uint32_t>(position), noCloser, 0, ++depth });
            (byte == '[' ? openSquare : openCurly).push_back(ordinal);
            curlyCount_ += byte == '{' ? 1 : 0;
            break;
        }
        case ']':
        case '}': {
            --depth;
            auto &open = byte == ']' ? openSquare : openCurly;
            if (!open.empty()) {
                Opener &opener = openers_[open.back()];
                open.pop_back();
                opener.closer = static_cast<std::uint32_t>(position);
                opener.ordinalAfterCloser = static_cast<std::uint32_t>(openers_.size());
            }
            break;
        }
        case '|':
            bars.emplace_back(depth, static_cast<std::uint32_t>(position));
            break;
        default:
            break;
        }
    }
    bucketBarsByDepth(bars);
}

std::pair<const std::uint32_t *, const std::uint32_t *> BracketTable::barsAt(
    std::int32_t depth, std::size_t begin, std::size_t end) const
{
    if (barPositions_.empty() || depth < minDepth_ || depth - minDepth_ + 1 >= std::int64_t(depthStart_.size()))
        return { nullptr, nullptr };
    const std::uint32_t *first = barPositions_.data() + depthStart_[depth - minDepth_];
    const std::uint32_t *last = barPositions_.data() + depthStart_[depth - minDepth_ + 1];
    std::uint32_t &finger = fingers_[depth - minDepth_];
    const std::uint32_t *from = lowerBoundNear(first, last, first + finger, begin);
    const std::uint32_t *to = lowerBoundNear(first, last, from, end);
    finger = static_cast<std::uint32_t>(to - first);
    return { from, to };
}

// Counting sort: stable, so each depth's bars stay in text order.
void BracketTable::bucketBarsByDepth(const std::vector<std::pair<std::int32_t, std::uint32_t>> &bars)
{
    if (bars.empty())
        return;
    std::int32_t maxDepth = bars.front().first;
    minDepth_ = maxDepth;
    for (const auto &bar : bars) {
        minDepth_ = std::min(minDepth_, bar.first);
        maxDepth = std::max(maxDepth, bar.first);
    }
    depthStart_.assign(static_cast<std::size_t>(maxDepth - minDepth_) + 2, 0);
    for (const auto &bar : bars)
        ++depthStart_[bar.first - minDepth_ + 1];
    for (std::size_t i = 1; i < depthStart_.size(); ++i)
        depthStart_[i] += depthStart_[i - 1];
    barPositions_.resize(bars.size());
    fingers_.assign(depthStart_.size(), 0);
    std::vector<std::uint32_t> fill(depthStart_.begin(), depthStart_.end() - 1);
    for (const auto &bar : bars)
        barPositions_[fill[bar.first - minDepth_]++] = bar.second;
}

} // namespace razmnozhator::detail
