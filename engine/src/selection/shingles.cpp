// How much two lines differ: the runs of three words they share.

#include "razmnozhator/diversity.h"

#include "figures/walk.h"
#include "program/program.h"
#include "selection/random.h"
#include "selection/shingles.h"

#include <algorithm>
#include <array>
#include <span>

namespace razmnozhator {

namespace {

using detail::mix;

// The most words of a node's variants, by kind of variant: [0] the empty
// one, [1 + 2 * starts in a word + ends in a word] the others; -1 where the
// node has no variant of that kind. Kept apart so that two parts that meet
// inside a word count it once.
using WordCounts = std::array<std::int64_t, 5>;

constexpr WordCounts noVariant { -1, -1, -1, -1, -1 };
// Beyond any template that fits in memory, and twice it still fits.
constexpr std::int64_t wordCap = std::int64_t(1) << 62;

bool startsInWord(std::size_t kind)
{
    return kind >= 3;
}

bool endsInWord(std::size_t kind)
{
    return kind != 0 && kind % 2 == 0;
}

WordCounts textWords(std::string_view text, const WordBytes &letters)
{
    WordCounts counts = noVariant;
    if (text.empty()) {
        counts[0] = 0;
        return counts;
    }
    std::int64_t words = 0;
    bool inWord = false;
    for (const char byte : text) {
        const bool letter = letters[static_cast<unsigned char>(byte)] != 0;
        words += letter && !inWord ? 1 : 0;
        inWord = letter;
    }
    const bool starts = letters[static_cast<unsigned char>(text.front())] != 0;
    counts[1 + 2 * std::size_t(starts) + std::size_t(inWord)] = words;
    return counts;
}

WordCounts either(const WordCounts &a, const WordCounts &b)
{
    WordCounts result;
    for (std::size_t kind = 0; kind < result.size(); ++kind)
        result[kind] = std::max(a[kind], b[kind]);
    return result;
}

WordCounts joined(const WordCounts &a, const WordCounts &b)
{
    WordCounts result = noVariant;
    for (std::size_t first = 0; first < a.size(); ++first) {
        for (std::size_t second = 0; second < b.size(); ++second) {
            if (a[first] < 0 || b[second] < 0)
                continue;
            const std::int64_t meeting = endsInWord(first) && startsInWord(second) ? 1 : 0;
            const std::int64_t words = std::min(wordCap, a[first] + b[second] - meeting);
            const std::size_t kind = first == 0 ? second
                : second == 0                   ? first
                              : 1 + 2 * std::size_t(startsInWord(first)) + std::size_t(endsInWord(second));
            result[kind] = std::max(result[kind], words);
        }
    }
    return result;
}

// The most words of a node's variants, from its children's (walkNodes()).
struct MostWords
{
    const detail::Program &program;
    const WordBytes &letters;

    WordCounts literal(std::uint32_t literal) const
    {
        const detail::Span span = program.literals[literal];
        return textWords(std::string_view(program.pool).substr(span.offset, span.length), letters);
    }
    WordCounts sequence(const detail::Sequence &sequence, std::span<const WordCounts> groups) const
    {
        WordCounts words = literal(sequence.literalBegin);
        for (std::uint32_t i = 0; i < sequence.groupCount; ++i)
            words = joined(joined(words, groups[i]), literal(sequence.literalBegin + i + 1));
        return words;
    }
    static WordCounts alternatives(std::span<const WordCounts> pieces)
    {
        WordCounts words = noVariant;
        for (const WordCounts &piece : pieces)
            words = either(words, piece);
        return words;
    }
    // Any item, the separator, any item: a pair of one item twice is
    // counted too, which only widens the bound.
    static WordCounts pairs(const WordCounts &separator, std::span<const WordCounts> items)
    {
        const WordCounts item = alternatives(items);
        return joined(joined(item, separator), item);
    }
};

} // namespace

std::uint64_t detail::mostWords(const Program &program, const WordBytes &letters)
{
    const WordCounts words = walkNodes<WordCounts>(
        program, program.postorder, MostWords { program, letters }, [](std::uint32_t, const WordCounts &) {
        }).back();
    return static_cast<std::uint64_t>(std::max<std::int64_t>(0, *std::max_element(words.begin(), words.end())));
}

std::vector<std::uint64_t> shingles(std::string_view line, const WordBytes &letters)
{
    // Each word's hash, of its lowercase bytes (FNV-1a, then mixed so that
    // words differing in one byte land far apart).
    std::vector<std::uint64_t> words;
    std::uint64_t hash = 0;
    bool inWord = false;
    for (const char byte : line) {
        const unsigned char lower = letters[static_cast<unsigned char>(byte)];
        if (lower != 0) {
            if (!inWord)
                hash = 0xCBF29CE484222325ull;
            hash = (hash ^ lower) * 0x100000001B3ull;
            inWord = true;
        } else if (inWord) {
            words.push_back(mix(hash));
            inWord = false;
        }
    }
    if (inWord)
        words.push_back(mix(hash));

    // A shingle's hash depends on the order of its words and on how many it
    // has, so that the one shingle of a short line never meets a longer one.
    std::vector<std::uint64_t> result;
    const std::size_t width = std::min<std::size_t>(words.size(), 3);
    if (width == 0)
        return result;
    result.reserve(words.size() - width + 1);
    for (std::size_t first = 0; first + width <= words.size(); ++first) {
        std::uint64_t shingle = width;
        for (std::size_t i = first; i < first + width; ++i)
            shingle = mix(shingle ^ words[i]);
        result.push_back(shingle);
    }
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

} // namespace razmnozhator
