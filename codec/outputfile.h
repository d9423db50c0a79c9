#pragma once

// Where a result is saved. What a name refers to decides how it is written:
// an existing regular file, or a name that does not exist yet, is written
// atomically (the new file appears whole under its name, or the old one stays
// as it was), keeping the old file's permission bits and, for root, its owner;
// a character device, a FIFO or a socket cannot be replaced and is written
// directly, appending, so that a terminal, a pipe or /dev/null gets the data
// and stays what it is. So does a name for one of this process's own open
// descriptors (/dev/stdout, /dev/fd/1): it stands for the stream, and a file
// behind it must be written through, not replaced behind the shell's back.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <memory>

class QSaveFile;

namespace razmnozhator {

class OutputFile
{
public:
    enum class Mode { Atomic, Direct };

    explicit OutputFile(const QString &fileName);
    // Drops an uncommitted atomic write: the old file stays as it was.
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Each returns false on failure, with the reason in errorString().
    bool open();
    bool write(const char *data, std::size_t size);
    // Makes the output final: an atomic write replaces the file now.
    bool commit();
    // Gives up an atomic write; the old file stays.
    void cancel();

    // How the file is written; a name that cannot be examined (a missing
    // folder, no permission) counts as Atomic, and open() says why it fails.
    Mode mode() const noexcept { return mode_; }
    const QString &fileName() const noexcept { return fileName_; }
    QString errorString() const { return error_; }
    bool isTerminal() const;

private:
    bool fail(int error);
    bool openTemporary(const QByteArray &nativeName);

    QString fileName_;
    Mode mode_;
    std::unique_ptr<QSaveFile> saveFile_;
    int fd_ = -1;
    // The new file beside a name that QSaveFile cannot take; empty otherwise.
    QByteArray temporaryName_;
    QString error_;
};

} // namespace razmnozhator
