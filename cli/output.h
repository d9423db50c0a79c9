#pragma once

// Where the variants go: standard output, or a file named by --output, which
// OutputFile writes atomically when it is a regular file (it appears complete
// or not at all, and an existing one survives any failure) and directly when
// it is a device, a FIFO or a socket. Standard output is a std::ostream, so
// that tests can capture it.

#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <exception>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <span>
#include <stdexcept>
#include <string_view>
#include <thread>

#include <QString>

namespace razmnozhator::cli {

// Thrown when the output cannot be created, written or committed; what() is
// unused, message() is the text for the user.
class OutputError : public std::runtime_error
{
public:
    explicit OutputError(const QString &message);
    const QString &message() const noexcept { return message_; }

private:
    QString message_;
};

class OutputSink
{
public:
    virtual ~OutputSink() = default;
    // Writes all of it or throws OutputError.
    virtual void write(const char *data, std::size_t size) = 0;
    // Makes the output final: flushes, and for a regular file replaces it.
    virtual void finish() = 0;
    virtual bool isTerminal() const = 0;
};

std::unique_ptr<OutputSink> streamSink(std::ostream &stream, bool isTerminal);
// Throws OutputError when the file or device cannot be opened.
std::unique_ptr<OutputSink> openFileSink(const QString &fileName);

// Collects variants into 1 MiB buffers so that the system sees a few large
// writes instead of one per variant; the variant path is a bounds check and a
// memcpy. A full buffer is handed to a background thread that writes it while
// the next one fills, so enumeration and the system's copying overlap.
class VariantWriter
{
public:
    static constexpr std::size_t capacity = std::size_t(1) << 20;
    static constexpr std::size_t minimumRoom = capacity / 16;

    VariantWriter(OutputSink &sink, char terminator);
    ~VariantWriter();

    // Throws OutputError, possibly for an earlier buffer.
    void put(std::string_view variant)
    {
        if (variant.size() < capacity - used_) {
            std::memcpy(filling_ + used_, variant.data(), variant.size());
            used_ += variant.size();
            filling_[used_++] = terminator_;
        } else {
            putLarge(variant);
        }
    }

    // Bytes as they are, with no terminator: a table's header, or a row
    // that ends itself.
    void append(std::string_view bytes)
    {
        if (bytes.size() < capacity - used_) {
            std::memcpy(filling_ + used_, bytes.data(), bytes.size());
            used_ += bytes.size();
        } else {
            appendLarge(bytes);
        }
    }

    // Room for variants written straight into the buffer by a source that
    // makes many at once; commit() then takes the bytes written. A buffer
    // with little room left is handed over first.
    std::span<char> room()
    {
        if (capacity - used_ < minimumRoom)
            handOver();
        return { filling_ + used_, capacity - used_ };
    }
    void commit(std::size_t bytes) { used_ += bytes; }

    // Writes everything still buffered and makes the output final.
    void finish();

private:
    void putLarge(std::string_view variant);
    void appendLarge(std::string_view bytes);
    void handOver();
    void waitUntilIdle(std::unique_lock<std::mutex> &lock);
    void writeInBackground();
    void stopThread();

    OutputSink &sink_;
    std::unique_ptr<char[]> buffers_[2];
    char *filling_;
    std::size_t used_ = 0;
    char terminator_;

    std::mutex mutex_;
    std::condition_variable changed_;
    const char *pending_ = nullptr;
    std::size_t pendingSize_ = 0;
    bool stopping_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

} // namespace razmnozhator::cli
