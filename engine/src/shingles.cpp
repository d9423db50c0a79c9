// How much two lines differ: the runs of three words they share.

#include "razmnozhator/diversity.h"

#include <algorithm>

namespace razmnozhator {

namespace {

std::uint64_t mix(std::uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

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

double difference(std::string_view a, std::string_view b, const WordBytes &letters)
{
    const std::vector<std::uint64_t> first = shingles(a, letters);
    const std::vector<std::uint64_t> second = shingles(b, letters);
    if (first.empty() && second.empty())
        return 0;
    std::size_t shared = 0;
    auto i = first.begin();
    auto j = second.begin();
    while (i != first.end() && j != second.end()) {
        if (*i < *j) {
            ++i;
        } else if (*j < *i) {
            ++j;
        } else {
            ++shared;
            ++i;
            ++j;
        }
    }
    const std::size_t either = first.size() + second.size() - shared;
    return 1 - double(shared) / double(either);
}

} // namespace razmnozhator
