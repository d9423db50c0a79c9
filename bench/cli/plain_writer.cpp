// The fastest way to put N bytes into a file that the tool could hope for:
// one 1 MiB buffer written again and again with write(2). With --fsync it also
// waits for the disk, as committing an atomic output file does. FILE "-" is
// standard output, so that it can be redirected exactly as the tool's is.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (argc < 3 || argc > 4 || (argc == 4 && std::string_view(argv[3]) != "--fsync")) {
        std::fprintf(stderr, "usage: %s FILE BYTES [--fsync]\n", argv[0]);
        return 2;
    }
    const unsigned long long total = std::strtoull(argv[2], nullptr, 10);
    const bool sync = argc == 4;

    // Text-like content, so that nothing in the system favours either side.
    std::vector<char> chunk(std::size_t(1) << 20);
    const std::string_view line = "Быстрый автомобиль для домашнего использования всегда отличного качества\n";
    for (std::size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = line[i % line.size()];

    const bool toStandardOutput = std::string_view(argv[1]) == "-";
    const int fd = toStandardOutput ? STDOUT_FILENO : ::open(argv[1], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
        return 3;
    }
    for (unsigned long long left = total; left > 0;) {
        const std::size_t size = left < chunk.size() ? static_cast<std::size_t>(left) : chunk.size();
        const ssize_t written = ::write(fd, chunk.data(), size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
            return 3;
        }
        left -= static_cast<unsigned long long>(written);
    }
    if ((sync && ::fsync(fd) != 0) || ::close(fd) != 0) {
        std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
        return 3;
    }
    return 0;
}
