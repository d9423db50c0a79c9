#pragma once

// Long work (a generate, a restrict, a save, a copy, a streaming save of
// billions of lines) runs on a worker thread while the GUI thread keeps the
// window painted and shows how far the work has got. The work gets a
// WorkProgress to report to and to ask whether the user cancelled; it touches
// no widget. Quick work shows nothing: the progress view appears only when
// the work outlasts half a second.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include <gmpxx.h>

class Dialogs;
class QString;
class QWidget;

// Rows are counted into the progress in steps of this many, so that the
// shared counters cost nothing next to the rows themselves.
inline constexpr std::uint64_t progressStep = 4096;

class WorkProgress
{
public:
    // The total may exceed 64 bits: a streaming save writes the kept lines of
    // a template that has more of them than any machine ever writes.
    void setTotal(std::uint64_t lines);
    void setTotal(const mpz_class &lines)
    {
        const std::lock_guard lock(totalMutex);
        total_ = lines;
    }
    void setDone(std::uint64_t lines) noexcept { done_.store(lines, std::memory_order_relaxed); }
    mpz_class total() const
    {
        const std::lock_guard lock(totalMutex);
        return total_;
    }
    std::uint64_t done() const noexcept { return done_.load(std::memory_order_relaxed); }

    void cancel() noexcept { canceled_.store(true, std::memory_order_relaxed); }
    bool canceled() const noexcept { return canceled_.load(std::memory_order_relaxed); }

private:
    mutable std::mutex totalMutex;
    mpz_class total_ = 0;
    std::atomic<std::uint64_t> done_ { 0 };
    std::atomic<bool> canceled_ { false };
};

// Runs work to its end on a worker thread and returns what it returned: true
// when it finished, false when it stopped because the user cancelled or
// stopRequested, asked at every refresh, said so. An exception thrown by the
// work is thrown again here, on the GUI thread.
bool runWithProgress(Dialogs &dialogs, QWidget *parent, const QString &title, const QString &text,
    const std::function<bool(WorkProgress &)> &work, const std::function<bool()> &stopRequested = {});
