#pragma once

// When the length fields keep none of the lines, saying only "0" leaves the
// user guessing; these texts add how long the lines actually are, so that
// the user sees at once which field to change.

#include <cstdint>
#include <optional>

#include <QString>

#include "lengthrules.h"

namespace razmnozhator {
class VariantList;
struct LengthRange;
struct LengthRule;
} // namespace razmnozhator

namespace nofit {

// The shortest and the longest line, in characters counted by the length
// rule; none of them when the rule keeps no line at all.
struct LengthSpan
{
    std::uint64_t shortest = 0;
    std::uint64_t longest = 0;
    bool ruleKeepsNone = false;
};

// The span of the lines when there are some and none of them is kept by the
// rule and lies in range.
std::optional<LengthSpan> spanIfNoneFits(
    const razmnozhator::VariantList &lines, razmnozhator::LengthRange range, const razmnozhator::LengthRule &rule);

// "от 216 до 328 символов", or "216 символов" when every line is that long.
QString lengthsText(LengthSpan span);

// "Ни одна строка не подходит по длине 10–200: строки этого шаблона длиной от
// 216 до 328 символов." for a template, or of the lines in the list; a rule's
// wording follows the bounds ("по длине 1–56 по правилам Директа"). When the
// rule keeps no line, it says why: "в каждой строке больше 15 узких символов".
enum class Whose { Template, List };
QString message(razmnozhator::LengthRange range, LengthSpan span, Whose whose,
    const razmnozhator::lengthrules::FieldRule &rule = {});

// "в каждой строке больше 15 узких символов", "в каждой строке есть «!»".
QString ruleKeepsNoneText(const razmnozhator::lengthrules::FieldRule &rule);

} // namespace nofit
