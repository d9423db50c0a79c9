#include "output.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <utility>

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace razmnozhator::cli {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("razmnozhator-cli", text);
}

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

// The file appears under its name only at commit(); until then QSaveFile
// writes a temporary file beside it and removes that on any failure.
class SaveFileSink final : public OutputSink
{
public:
    explicit SaveFileSink(const QString &fileName)
        : file_(fileName)
    {
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw OutputError(tr("cannot create \"%1\": %2").arg(fileName, file_.errorString()));
    }

    void write(const char *data, std::size_t size) override
    {
        while (size > 0) {
            const qint64 written = file_.write(data, static_cast<qint64>(size));
            if (written <= 0)
                fail();
            data += written;
            size -= static_cast<std::size_t>(written);
        }
    }

    void finish() override
    {
        if (!file_.commit())
            fail();
    }

    bool isTerminal() const override { return false; }

private:
    [[noreturn]] void fail()
    {
        const QString reason = file_.errorString();
        file_.cancelWriting();
        throw OutputError(tr("cannot write \"%1\": %2").arg(file_.fileName(), reason));
    }

    QSaveFile file_;
};

// A device or a FIFO: opened without O_TRUNC or O_CREAT, and appended to, so
// that /dev/stdout behind ">>" keeps what is already there.
class DeviceSink final : public OutputSink
{
public:
    explicit DeviceSink(const QString &fileName)
        : fileName_(fileName)
    {
        const QByteArray path = QFile::encodeName(fileName);
        do {
            fd_ = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0)
            throw OutputError(tr("cannot open \"%1\": %2").arg(fileName, systemError(errno)));
    }

    ~DeviceSink() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    void write(const char *data, std::size_t size) override
    {
        while (size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                throw OutputError(tr("cannot write \"%1\": %2").arg(fileName_, systemError(written < 0 ? errno : EIO)));
            data += written;
            size -= static_cast<std::size_t>(written);
        }
    }

    void finish() override
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR)
            throw OutputError(tr("cannot write \"%1\": %2").arg(fileName_, systemError(errno)));
    }

    bool isTerminal() const override { return fd_ >= 0 && ::isatty(fd_); }

private:
    QString fileName_;
    int fd_ = -1;
};

// Names under /dev and /proc are never replaced even when they resolve to a regular
// file: /dev/stdout with standard output redirected to a file must write into
// that open file, not swap a new file in under its name.
bool writesDirectly(const QString &fileName)
{
    if (fileName.startsWith(QLatin1String("/dev/")) || fileName.startsWith(QLatin1String("/proc/")))
        return true;
    struct stat info;
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0)
        return false;
    return !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

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
    if (writesDirectly(fileName))
        return std::make_unique<DeviceSink>(fileName);
    return std::make_unique<SaveFileSink>(fileName);
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
    handOver();
    if (variant.size() >= capacity) {
        // The variant lives only until the next one is enumerated, so it is
        // written now, with the background thread idle.
        std::unique_lock lock(mutex_);
        waitUntilIdle(lock);
        sink_.write(variant.data(), variant.size());
    } else {
        std::memcpy(filling_, variant.data(), variant.size());
        used_ = variant.size();
    }
    filling_[used_++] = terminator_;
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
