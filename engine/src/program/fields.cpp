#include "razmnozhator/fields.h"

#include "razmnozhator/syntax.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace razmnozhator {

FieldCountError::FieldCountError(std::size_t offset, std::uint64_t fields, std::uint64_t otherFields)
    : std::runtime_error("The choices of the group at byte " + std::to_string(offset) + " give "
        + std::to_string(fields) + " and " + std::to_string(otherFields) + " fields")
    , offset_(offset)
    , fields_(fields)
    , otherFields_(otherFields)
{
}

namespace {

// A group being read: the tabs of each of its pieces so far.
struct OpenGroup
{
    std::size_t offset;
    bool pairs;
    std::vector<std::uint64_t> pieces;
    std::uint64_t current = 0;
};

// The tabs of every variant of a closed group, when they are the same. A
// choice's fields are the tabs of its pieces plus one.
std::uint64_t groupTabs(OpenGroup &group)
{
    group.pieces.push_back(group.current);
    const auto differs = [&](std::uint64_t tabs, std::uint64_t otherTabs) {
        throw FieldCountError(group.offset, tabs + 1, otherTabs + 1);
    };
    if (!group.pairs) {
        const auto other = std::find_if(
            group.pieces.begin(), group.pieces.end(), [&](std::uint64_t tabs) { return tabs != group.pieces.front(); });
        if (other != group.pieces.end())
            differs(group.pieces.front(), *other);
        return group.pieces.front();
    }
    // A pair holds two different items and the separator; one or two items
    // make every pair of the same two, empty ones filling in for the missing.
    const std::uint64_t separator = group.pieces.front();
    std::vector<std::uint64_t> items(group.pieces.begin() + 1, group.pieces.end());
    items.resize(std::max<std::size_t>(items.size(), 2), 0);
    if (items.size() == 2)
        return separator + items[0] + items[1];
    // Not all alike: either some item past the second differs from the
    // second, and the first item pairs differently with the two, or all
    // past the first are alike and the first differs from them.
    const std::uint64_t pair = separator + items[0] + items[1];
    const auto other
        = std::find_if(items.begin() + 2, items.end(), [&](std::uint64_t tabs) { return tabs != items[1]; });
    if (other != items.end())
        differs(pair, separator + items[0] + *other);
    if (items[0] != items[1])
        differs(pair, separator + 2 * items[1]);
    return separator + 2 * items.front();
}

} // namespace

std::uint64_t fieldCount(std::string_view text)
{
    const TemplateSyntax syntax = analyzeSyntax(text);
    if (syntax.error)
        throw *syntax.error;
    std::vector<OpenGroup> open;
    std::uint64_t outside = 0;
    std::size_t at = 0;
    const auto readUpTo = [&](std::size_t end) {
        const std::uint64_t tabs = std::count(text.begin() + at, text.begin() + end, '\t');
        (open.empty() ? outside : open.back().current) += tabs;
        at = end + 1;
    };
    for (const SyntaxMark &mark : syntax.marks) {
        readUpTo(mark.offset);
        switch (mark.kind) {
        case SyntaxMark::Kind::Opener:
            open.push_back({ mark.offset, text[mark.offset] == '{', {} });
            break;
        case SyntaxMark::Kind::Bar:
            open.back().pieces.push_back(std::exchange(open.back().current, 0));
            break;
        case SyntaxMark::Kind::Closer: {
            const std::uint64_t tabs = groupTabs(open.back());
            open.pop_back();
            (open.empty() ? outside : open.back().current) += tabs;
            break;
        }
        }
    }
    readUpTo(text.size());
    return outside + 1;
}

} // namespace razmnozhator
