#pragma once

// Reproducible random templates over a small alphabet: the five bytes with a
// meaning, two Latin letters, a space and one Cyrillic letter (as its CP1251
// byte, so that bytes above 0x7F are exercised). Plain uniform strings are
// mostly unbalanced and so mostly test error reporting; the structured ones
// are built as groups and pieces, then sometimes damaged, so that deep valid
// templates and near misses show up as well.

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace differential {

inline constexpr std::string_view alphabet = "ab\xE0 []{}|";

class TemplateGenerator
{
public:
    explicit TemplateGenerator(std::uint32_t seed)
        : random_(seed)
    {
    }

    // Any string of the alphabet, of length 0 to maxLength.
    std::string uniform(std::size_t maxLength)
    {
        const std::size_t length = below(maxLength + 1);
        std::string text;
        for (std::size_t i = 0; i < length; ++i)
            text += alphabet[below(alphabet.size())];
        return text;
    }

    // Nested groups with random pieces, at most maxLength bytes; one time in
    // three a byte is then replaced, inserted or removed.
    std::string structured(std::size_t maxLength)
    {
        std::string text;
        std::size_t room = maxLength;
        appendSequence(text, room, 4, 1);
        if (below(3) == 0)
            damage(text, maxLength);
        return text;
    }

private:
    // mt19937's output is fixed by the standard; the distributions are not,
    // so draw with a plain modulus to keep every platform on the same inputs.
    std::size_t below(std::size_t bound) { return bound == 0 ? 0 : random_() % bound; }

    void appendSequence(std::string &text, std::size_t &room, int depth, std::size_t minimum = 0)
    {
        const std::size_t elements = minimum + below(4);
        for (std::size_t i = 0; i < elements && room > 0; ++i) {
            if (depth > 0 && room >= 2 && below(2) == 0)
                appendGroup(text, room, depth - 1);
            else
                appendLiteral(text, room);
        }
    }

    void appendLiteral(std::string &text, std::size_t &room)
    {
        // Stray closers and bars are literal outside groups and unbalance the
        // splitter inside them; keep them rare so most groups still split normally.
        static constexpr std::string_view common = "ab\xE0 ";
        static constexpr std::string_view stray = "]}|";
        text += below(10) == 0 ? stray[below(stray.size())] : common[below(common.size())];
        --room;
    }

    void appendGroup(std::string &text, std::size_t &room, int depth)
    {
        const bool square = below(2) == 0;
        text += square ? '[' : '{';
        room -= 2; // the closer is paid for up front
        const std::size_t pieces = 1 + below(4);
        for (std::size_t p = 0; p < pieces; ++p) {
            if (p > 0) {
                if (room == 0)
                    break;
                text += '|';
                --room;
            }
            appendSequence(text, room, depth);
        }
        text += square ? ']' : '}';
    }

    void damage(std::string &text, std::size_t maxLength)
    {
        const std::size_t position = below(text.size() + 1);
        const char byte = alphabet[below(alphabet.size())];
        switch (below(3)) {
        case 0:
            if (position < text.size())
                text[position] = byte;
            break;
        case 1:
            if (text.size() < maxLength)
                text.insert(text.begin() + static_cast<std::ptrdiff_t>(position), byte);
            break;
        default:
            if (position < text.size())
                text.erase(position, 1);
            break;
        }
    }

    std::mt19937 random_;
};

} // namespace differential
