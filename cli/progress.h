#pragma once

// The progress line of a long run: shown on standard error only when that is a
// terminal and the variants are not going to the same terminal, redrawn in
// place a few times a second, and erased at the end.

#include <chrono>
#include <cstdint>
#include <iosfwd>

#include <QString>

namespace razmnozhator::cli {

// totalText is the exact number of variants that will be written, or empty
// when the length bounds make it unknown; fraction is the part of the work done.
QString progressLine(std::uint64_t written, const QString &totalText, double fraction, double elapsedSeconds);

class Progress
{
public:
    using Clock = std::chrono::steady_clock;

    // Disabled progress costs one branch per update().
    Progress(std::ostream &err, bool enabled, std::chrono::milliseconds delay, QString totalText);
    ~Progress();

    void update(std::uint64_t written, double fraction)
    {
        if (enabled_)
            redraw(written, fraction);
    }
    void finish();

private:
    void redraw(std::uint64_t written, double fraction);

    std::ostream &err_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point nextDraw_;
    QString totalText_;
};

} // namespace razmnozhator::cli
