#pragma once

// Inputs the tests write the same way: a piece repeated into a long
// template, every byte doubled as recoding literals does, a variant list of
// given lines, and a variant list's lines as strings to compare.

#include "razmnozhator/variantlist.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace testtext {

inline std::string times(std::string_view piece, std::size_t count)
{
    std::string text;
    text.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

inline std::string doubled(std::string_view text)
{
    std::string out;
    for (const char c : text)
        out.append(2, c);
    return out;
}

inline razmnozhator::VariantList listOf(const std::vector<std::string> &items)
{
    razmnozhator::VariantList list;
    for (const std::string &item : items)
        list.push_back(item);
    return list;
}

inline std::vector<std::string> toStrings(const razmnozhator::VariantList &list)
{
    return std::vector<std::string>(list.begin(), list.end());
}

} // namespace testtext
