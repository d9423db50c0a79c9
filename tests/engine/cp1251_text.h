#pragma once

// Lets engine tests write their templates and expected variants as readable
// UTF-8 literals while the engine sees the CP1251 bytes the program feeds it.
// Only ASCII and the Russian alphabet are needed here, so the table is tiny
// and the engine tests stay free of Qt.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace testtext {

inline std::string cp1251(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            continue;
        }
        if ((lead & 0xE0) != 0xC0 || i + 1 >= utf8.size())
            throw std::invalid_argument("only ASCII and Cyrillic letters are expected in engine test texts");
        const auto trail = static_cast<unsigned char>(utf8[++i]);
        const unsigned codePoint = ((lead & 0x1Fu) << 6) | (trail & 0x3Fu);
        if (codePoint >= 0x410 && codePoint <= 0x44F)
            out += static_cast<char>(0xC0 + (codePoint - 0x410));
        else if (codePoint == 0x401)
            out += '\xA8';
        else if (codePoint == 0x451)
            out += '\xB8';
        else
            throw std::invalid_argument("only ASCII and Cyrillic letters are expected in engine test texts");
    }
    return out;
}

inline std::vector<std::string> cp1251(const std::vector<std::string> &utf8)
{
    std::vector<std::string> out;
    out.reserve(utf8.size());
    for (const std::string &text : utf8)
        out.push_back(cp1251(text));
    return out;
}

} // namespace testtext
