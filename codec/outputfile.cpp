#include "outputfile.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include "filenames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace razmnozhator {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// /dev/stdout, /dev/fd/N, /proc/self/fd/N and the like name an open
// descriptor of this process.
bool namesOwnDescriptor(const QString &absolutePath)
{
    static const QRegularExpression descriptor(
        QStringLiteral("^/(dev/(std(in|out|err)|fd/\\d+)|proc/(self|thread-self|%1)(/task/\\d+)?/fd/\\d+)$")
            .arg(::getpid()));
    QString path = absolutePath;
    // Follow the chain of links by hand: /dev/stdout -> /proc/self/fd/1 -> the
    // file; only the names on the way tell that it is a descriptor.
    for (int hop = 0; hop < 40; ++hop) {
        if (descriptor.match(path).hasMatch())
            return true;
        const QString target = QFileInfo(path).symLinkTarget();
        if (target.isEmpty() || target == path)
            return false;
        path = QDir::cleanPath(target);
    }
    return false;
}

OutputFile::Mode modeFor(const QString &fileName)
{
    struct stat info;
    if (::stat(filenames::toNative(fileName).constData(), &info) != 0)
        return OutputFile::Mode::Atomic;
    if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || S_ISBLK(info.st_mode))
        return OutputFile::Mode::Direct;
    if (S_ISREG(info.st_mode) && namesOwnDescriptor(QDir::cleanPath(QFileInfo(fileName).absoluteFilePath())))
        return OutputFile::Mode::Direct;
    return OutputFile::Mode::Atomic;
}

} // namespace

OutputFile::OutputFile(const QString &fileName)
    : fileName_(fileName)
    , mode_(modeFor(fileName))
{
}

OutputFile::~OutputFile()
{
    cancel();
    if (fd_ >= 0)
        ::close(fd_);
}

bool OutputFile::fail(int error)
{
    error_ = systemError(error);
    return false;
}

bool OutputFile::open()
{
    if (mode_ == Mode::Direct) {
        // No O_TRUNC and no O_CREAT: "/dev/stdout" behind ">>" keeps what is there.
        const QByteArray path = filenames::toNative(fileName_);
        do {
            fd_ = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        } while (fd_ < 0 && errno == EINTR);
        return fd_ >= 0 || fail(errno);
    }

    if (fileName_.isEmpty())
        return fail(ENOENT);
    const QByteArray nativeName = filenames::toNative(fileName_);
    if (nativeName == QFile::encodeName(fileName_)) {
        saveFile_ = std::make_unique<QSaveFile>(fileName_);
        if (!saveFile_->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            error_ = saveFile_->errorString();
            saveFile_.reset();
            return false;
        }
    } else if (!openTemporary(nativeName)) {
        return false;
    }
    // The new file takes the old one's place, so it takes its mode and owner
    // too: a 0640 file must not turn world-readable by being regenerated.
    struct stat old;
    if (::stat(nativeName.constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        const int fd = saveFile_ ? saveFile_->handle() : fd_;
        if (::geteuid() == 0)
            (void)::fchown(fd, old.st_uid, old.st_gid);
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            const int error = errno;
            cancel();
            return fail(error);
        }
    }
    return true;
}

// What QSaveFile does, for a name that Qt cannot spell: a new file beside the
// old one, renamed over it on commit.
bool OutputFile::openTemporary(const QByteArray &nativeName)
{
    temporaryName_ = nativeName + ".XXXXXX";
    fd_ = ::mkostemp(temporaryName_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        temporaryName_.clear();
        return fail(errno);
    }
    // mkostemp() makes the file private; a new output gets the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd_, 0666 & ~mask) != 0) {
        const int error = errno;
        cancel();
        return fail(error);
    }
    return true;
}

bool OutputFile::write(const char *data, std::size_t size)
{
    while (size > 0) {
        qint64 written = 0;
        if (saveFile_) {
            written = saveFile_->write(data, static_cast<qint64>(size));
            if (written <= 0) {
                error_ = saveFile_->errorString();
                return false;
            }
        } else {
            written = ::write(fd_, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return fail(written < 0 ? errno : EIO);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool OutputFile::commit()
{
    if (saveFile_) {
        const bool committed = saveFile_->commit();
        if (!committed)
            error_ = saveFile_->errorString();
        saveFile_.reset();
        return committed;
    }
    const int fd = fd_;
    fd_ = -1;
    if (temporaryName_.isEmpty())
        return ::close(fd) == 0 || errno == EINTR || fail(errno);
    const QByteArray temporary = std::exchange(temporaryName_, QByteArray());
    if (::fsync(fd) != 0 || (::close(fd) != 0 && errno != EINTR)
        || ::rename(temporary.constData(), filenames::toNative(fileName_).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return fail(error);
    }
    return true;
}

void OutputFile::cancel()
{
    if (!temporaryName_.isEmpty()) {
        ::close(std::exchange(fd_, -1));
        ::unlink(std::exchange(temporaryName_, QByteArray()).constData());
    }
    if (!saveFile_)
        return;
    // QSaveFile removes its temporary file when destroyed uncommitted.
    saveFile_->cancelWriting();
    saveFile_.reset();
}

bool OutputFile::isTerminal() const
{
    return fd_ >= 0 && ::isatty(fd_);
}

} // namespace razmnozhator
