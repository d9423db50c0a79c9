#include "progress.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include <QCoreApplication>

namespace razmnozhator::cli {

namespace {

constexpr std::chrono::milliseconds redrawInterval { 250 };
// Erases from the cursor to the end of the line, so a shorter line leaves no tail.
constexpr const char *eraseToEnd = "\x1b[K";

QString duration(double seconds)
{
    const auto total = static_cast<long long>(std::ceil(std::max(seconds, 0.0)));
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long rest = total % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

} // namespace

QString progressLine(std::uint64_t written, const QString &totalText, double fraction, double elapsedSeconds)
{
    fraction = std::clamp(fraction, 0.0, 1.0);
    const auto rate = static_cast<unsigned long long>(elapsedSeconds > 0 ? double(written) / elapsedSeconds : 0.0);
    const QString percent = QString::number(std::floor(fraction * 1000.0) / 10.0, 'f', 1);
    const QString left = fraction > 0 ? duration(elapsedSeconds * (1.0 - fraction) / fraction) : QStringLiteral("?");
    if (totalText.isEmpty())
        return QCoreApplication::translate("razmnozhator-cli", "%1 variants written (%2%), %3/s, %4 left")
            .arg(written)
            .arg(percent)
            .arg(rate)
            .arg(left);
    return QCoreApplication::translate("razmnozhator-cli", "%1 of %2 variants written (%3%), %4/s, %5 left")
        .arg(written)
        .arg(totalText, percent)
        .arg(rate)
        .arg(left);
}

Progress::Progress(std::ostream &err, bool enabled, std::chrono::milliseconds delay, QString totalText)
    : err_(err)
    , enabled_(enabled)
    , start_(Clock::now())
    , nextDraw_(start_ + delay)
    , totalText_(std::move(totalText))
{
}

Progress::~Progress()
{
    finish();
}

void Progress::redraw(std::uint64_t written, double fraction)
{
    const Clock::time_point now = Clock::now();
    if (now < nextDraw_)
        return;
    nextDraw_ = now + redrawInterval;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    err_ << '\r' << progressLine(written, totalText_, fraction, elapsed).toStdString() << eraseToEnd << std::flush;
    shown_ = true;
}

void Progress::finish()
{
    if (shown_)
        err_ << '\r' << eraseToEnd << std::flush;
    shown_ = false;
    enabled_ = false;
}

} // namespace razmnozhator::cli
