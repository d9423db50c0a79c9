#pragma once

// What the engine's figure programs share: the clock, the peak memory, and
// the templates measured by more than one of them.

#include <chrono>
#include <string>

#include <sys/resource.h>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The largest resident size of this process so far.
inline double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

inline std::string repeated(const std::string &piece, std::size_t times)
{
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

// 130 alternatives, each holding a pairs group: "[a|ah|{+|n0|t|hh}]" with
// other letters, 8^130 variants of 130 to 650 characters.
inline std::string pairsTemplate()
{
    std::string text;
    for (int i = 0; i < 130; ++i) {
        const auto letter = [i](int shift) { return char('a' + (i + shift) % 26); };
        text += std::string("[") + letter(0) + '|' + letter(0) + letter(7) + "|{+|" + letter(13) + "0|" + letter(19)
            + '|' + letter(7) + letter(7) + "}]";
    }
    return text;
}

} // namespace bench
