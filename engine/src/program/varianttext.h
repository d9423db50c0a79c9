#pragma once

// Writing a variant's text, for the odometer and the seek alike: the
// literals of the sequences walked, and the choice of a group whose pieces
// are plain text, appended to a buffer that holds the longest variant and
// poolSlack bytes more. The two walk the template differently (the
// odometer keeps a frame per group to list on from the variant, the seek
// keeps none) and write through these.

#include "program/choicearithmetic.h"
#include "program/program.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace razmnozhator::detail {

// Most literals are a few bytes long: copied inline, with overlapping moves
// of fixed size, rather than through a call. Writes no byte past `length`,
// so that it serves text rewritten in place and buffers without slack.
[[gnu::always_inline]] inline void copyText(char *to, const char *from, std::size_t length)
{
    if (length > 16) {
        std::memcpy(to, from, length);
    } else if (length >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + length - 8, from + length - 8, 8);
    } else if (length >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + length - 4, from + length - 4, 4);
    } else if (length >= 2) {
        std::memcpy(to, from, 2);
        std::memcpy(to + length - 2, from + length - 2, 2);
    } else if (length == 1) {
        *to = *from;
    }
}

// Appends a span at the end of what is written, a short one as a block of
// poolSlack bytes, which the pool and the buffer have room for: no branch
// on its length, which follows no pattern.
[[gnu::always_inline]] inline void appendSpan(char *out, std::size_t &length, const char *pool, Span span)
{
    if (span.length <= poolSlack) [[likely]]
        std::memcpy(out + length, pool + span.offset, poolSlack);
    else
        std::memcpy(out + length, pool + span.offset, span.length);
    length += span.length;
}

// Appends the choice of a group whose pieces are plain text, from the
// slots' spans, which lie together one look-up away: `spans` are the
// group's entries of Program::pieceLiterals.
template <class Kind, class Choice>
[[gnu::always_inline]] inline void appendChoiceSpans(
    const Span *spans, const Choice &choice, const char *pool, char *out, std::size_t &length)
{
    forEachSlotSpan<Kind>(spans, choice, [&](Span span) { appendSpan(out, length, pool, span); });
}

template <class Choice>
[[gnu::always_inline]] inline void appendChoiceSpans(
    const Span *spans, GroupKind kind, const Choice &choice, const char *pool, char *out, std::size_t &length)
{
    visitKind(kind, [&](auto type) { appendChoiceSpans<decltype(type)>(spans, choice, pool, out, length); });
}

} // namespace razmnozhator::detail
