#include <csignal>
#include <iostream>

#include <QCoreApplication>
#include <QStringList>

#include "filenames.h"
#include "run.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

// A standard stream closed by the caller ("prog >&-") must fail as closed.
// Left free, its number would go to the next file the process opens, and the
// variants would be written into that. A descriptor open the wrong way round
// keeps the number taken and makes every use fail with "Bad file descriptor".
void guardClosedStandardStreams()
{
    for (const int fd : { STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO }) {
        if (::fcntl(fd, F_GETFD) != -1)
            continue;
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    guardClosedStandardStreams();
    // A file-size limit makes a write fail with "File too large", reported
    // like a full disk, instead of killing the process without a word.
    std::signal(SIGXFSZ, SIG_IGN);

    QCoreApplication application(argc, argv);
    // The variants are written in 1 MiB blocks; C stdio underneath would only
    // add a copy.
    std::ios::sync_with_stdio(false);

    // Decoded here rather than by QCoreApplication::arguments(), which would
    // turn a byte that is not UTF-8 into U+FFFD and lose what it was: a
    // file name must go back to the system byte for byte.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << razmnozhator::filenames::fromNative(QByteArray(argv[i]));

    razmnozhator::cli::RunEnvironment environment;
    environment.outputIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    environment.errorIsTerminal = ::isatty(STDERR_FILENO) == 1;
    return razmnozhator::cli::run(args, std::cin, std::cout, std::cerr, environment);
}
