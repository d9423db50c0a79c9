#include "output.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <utility>

#include <QCoreApplication>
#include <QFileInfo>

#include "failure.h"
#include "filenames.h"
#include "outputfile.h"

#include <unistd.h>

namespace razmnozhator::cli {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

class StreamSink final : public OutputSink
{
public:
    StreamSink(std::ostream &stream, bool isTerminal)
        : stream_(stream)
        , isTerminal_(isTerminal)
    {
    }

    void write(const char *data, std::size_t size) override
    {
        errno = 0;
        stream_.write(data, static_cast<std::streamsize>(size));
        check();
    }

    void finish() override
    {
        errno = 0;
        stream_.flush();
        check();
    }

    bool isTerminal() const override { return isTerminal_; }

private:
    void check()
    {
        if (stream_)
            return;
        const int error = errno;
        throw OutputError(error ? tr("cannot write to standard output: %1").arg(systemError(error))
                                : tr("cannot write to standard output"));
    }

    std::ostream &stream_;
    bool isTerminal_;
};

// A file, device or FIFO named by --output; OutputFile decides whether it is
// replaced atomically or written directly.
class FileSink final : public OutputSink
{
public:
    explicit FileSink(const QString &fileName)
        : file_(fileName)
    {
        if (!file_.open())
            throw OutputError(openFailure());
    }

    void write(const char *data, std::size_t size) override
    {
        if (!file_.write(data, size))
            fail();
    }

    void finish() override
    {
        if (!file_.commit())
            fail();
    }

    bool isTerminal() const override { return file_.isTerminal(); }

private:
    QString openFailure() const
    {
        const QString name = filenames::printable(file_.fileName());
        if (file_.mode() == OutputFile::Mode::Direct)
            return tr("cannot open \"%1\": %2").arg(name, file_.errorString());
        // A file is replaced by a new one written beside it, so its folder
        // must be writable even where the file itself is.
        const QString folder = QFileInfo(file_.fileName()).path();
        if (::access(filenames::toNative(folder).constData(), W_OK) != 0 && (errno == EACCES || errno == EROFS))
            return tr("cannot create \"%1\": the folder \"%2\" is not writable")
                .arg(name, filenames::printable(folder));
        // A file that exists in a folder that takes no new file (such as
        // /proc) cannot be replaced, whatever the error of the attempt says.
        if (QFileInfo(file_.fileName()).isFile() && QFileInfo(folder).isDir())
            return tr("cannot replace \"%1\": no new file can be made in its folder \"%2\" (%3)")
                .arg(name, filenames::printable(folder), file_.errorString());
        return tr("cannot create \"%1\": %2").arg(name, file_.errorString());
    }

    [[noreturn]] void fail()
    {
        const QString reason = file_.errorString();
        file_.cancel();
        throw OutputError(tr("cannot write \"%1\": %2").arg(filenames::printable(file_.fileName()), reason));
    }

    OutputFile file_;
};

} // namespace

OutputError::OutputError(const QString &message)
    : std::runtime_error(message.toStdString())
    , message_(message)
{
}

std::unique_ptr<OutputSink> streamSink(std::ostream &stream, bool isTerminal)
{
    return std::make_unique<StreamSink>(stream, isTerminal);
}

std::unique_ptr<OutputSink> openFileSink(const QString &fileName)
{
    return std::make_unique<FileSink>(fileName);
}

VariantWriter::VariantWriter(OutputSink &sink, char terminator)
    : sink_(sink)
    , buffers_ { std::make_unique<char[]>(capacity), std::make_unique<char[]>(capacity) }
    , filling_(buffers_[0].get())
    , terminator_(terminator)
{
}

VariantWriter::~VariantWriter()
{
    stopThread();
}

void VariantWriter::putLarge(std::string_view variant)
{
    // Either way at least one byte of the buffer is left for the terminator.
    appendLarge(variant);
    filling_[used_++] = terminator_;
}

void VariantWriter::appendLarge(std::string_view bytes)
{
    handOver();
    if (bytes.size() >= capacity) {
        // The bytes live only until the next variant is enumerated, so they
        // are written now, with the background thread idle.
        std::unique_lock lock(mutex_);
        waitUntilIdle(lock);
        sink_.write(bytes.data(), bytes.size());
    } else {
        std::memcpy(filling_, bytes.data(), bytes.size());
        used_ = bytes.size();
    }
}

void VariantWriter::waitUntilIdle(std::unique_lock<std::mutex> &lock)
{
    changed_.wait(lock, [this] { return pending_ == nullptr; });
    if (error_)
        std::rethrow_exception(std::exchange(error_, nullptr));
}

void VariantWriter::handOver()
{
    if (used_ == 0)
        return;
    if (!thread_.joinable())
        thread_ = std::thread(&VariantWriter::writeInBackground, this);
    {
        std::unique_lock lock(mutex_);
        waitUntilIdle(lock);
        pending_ = filling_;
        pendingSize_ = used_;
    }
    changed_.notify_all();
    filling_ = filling_ == buffers_[0].get() ? buffers_[1].get() : buffers_[0].get();
    used_ = 0;
}

void VariantWriter::writeInBackground()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ != nullptr || stopping_; });
        if (pending_ == nullptr)
            return;
        const char *data = pending_;
        const std::size_t size = pendingSize_;
        lock.unlock();
        std::exception_ptr error;
        try {
            sink_.write(data, size);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        // After a failure the rest is dropped: the caller gives up on its next call.
        if (error && !error_)
            error_ = error;
        pending_ = nullptr;
        changed_.notify_all();
    }
}

void VariantWriter::stopThread()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void VariantWriter::finish()
{
    if (thread_.joinable()) {
        handOver();
        std::unique_lock lock(mutex_);
        waitUntilIdle(lock);
        lock.unlock();
        stopThread();
    } else if (used_ > 0) {
        // A small output needs no thread.
        sink_.write(filling_, used_);
        used_ = 0;
    }
    sink_.finish();
}

} // namespace razmnozhator::cli
