#pragma once

// When the length fields keep none of the lines, saying only "0" leaves the
// user guessing; these texts add how long the lines actually are, so that
// the user sees at once which field to change.

#include <cstdint>
#include <optional>

#include <QString>

namespace razmnozhator {
class VariantList;
struct LengthRange;
} // namespace razmnozhator

namespace nofit {

// The shortest and the longest line, in characters.
struct LengthSpan
{
    std::uint64_t shortest = 0;
    std::uint64_t longest = 0;
};

// The span of the lines when there are some and none of them lies in range.
std::optional<LengthSpan> spanIfNoneFits(const razmnozhator::VariantList &lines, razmnozhator::LengthRange range);

// "от 216 до 328 символов", or "216 символов" when every line is that long.
QString lengthsText(LengthSpan span);

// "Ни одна строка не подходит по длине 10–200: строки этого шаблона длиной от
// 216 до 328 символов." for a template, or of the lines in the list.
enum class Whose { Template, List };
QString message(razmnozhator::LengthRange range, LengthSpan span, Whose whose);

} // namespace nofit
