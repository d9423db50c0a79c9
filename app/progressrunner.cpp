#include "progressrunner.h"

#include <exception>
#include <memory>
#include <new>

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "dialogs.h"
#include "figures.h"

namespace {

// Often enough for a smooth bar, rarely enough to cost nothing.
constexpr int refreshMilliseconds = 50;

} // namespace

void WorkProgress::setTotal(std::uint64_t lines)
{
    setTotal(razmnozhator::figures::fromUnsigned(lines));
}

bool runWithProgress(Dialogs &dialogs, QWidget *parent, const QString &title, const QString &text,
    const std::function<bool(WorkProgress &)> &work, const std::function<bool()> &stopRequested)
{
    WorkProgress progress;
    const std::unique_ptr<ProgressView> view = dialogs.startProgress(parent, title, text);
    const auto refresh = [&] {
        view->setProgress(progress.done(), progress.total());
        if (view->wasCanceled() || (stopRequested && stopRequested()))
            progress.cancel();
    };
    refresh();

    bool finished = false;
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            finished = work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setInterval(refreshMilliseconds);
    QObject::connect(&timer, &QTimer::timeout, &loop, refresh);
    worker->start();
    // Without memory for a thread's stack nothing would ever end the loop.
    if (!worker->isRunning() && !worker->isFinished())
        throw std::bad_alloc();
    timer.start();
    loop.exec();
    worker->wait();
    view->setProgress(progress.done(), progress.total());
    if (failure)
        std::rethrow_exception(failure);
    return finished;
}
