#include "razmnozhator/memorybudget.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace razmnozhator {

namespace {

class Lowest
{
public:
    void consider(std::optional<std::uint64_t> value)
    {
        if (value)
            lowest_ = lowest_ ? std::min(*lowest_, *value) : *value;
    }
    std::optional<std::uint64_t> value() const { return lowest_; }

private:
    std::optional<std::uint64_t> lowest_;
};

// "max", the control groups' word for no limit, does not parse as a number.
std::optional<std::uint64_t> readNumber(const std::string &path)
{
    std::ifstream file(path);
    std::uint64_t value = 0;
    if (file >> value)
        return value;
    return std::nullopt;
}

std::optional<std::uint64_t> kernelAvailable()
{
    std::ifstream file("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    std::string unit;
    while (file >> key >> kilobytes >> unit) {
        if (key == "MemAvailable:")
            return kilobytes * 1024;
    }
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return std::nullopt;
}

std::optional<std::uint64_t> room(std::optional<std::uint64_t> limit, std::optional<std::uint64_t> usage)
{
    if (!limit || !usage)
        return std::nullopt;
    return *limit > *usage ? *limit - *usage : 0;
}

// Containers are often limited by their control group, not by the machine;
// both versions of the interface are read.
std::optional<std::uint64_t> controlGroupRoom()
{
    std::ifstream file("/proc/self/cgroup");
    std::string line;
    Lowest lowest;
    while (std::getline(file, line)) {
        if (line.starts_with("0::")) {
            const std::string dir = "/sys/fs/cgroup" + line.substr(3);
            lowest.consider(room(readNumber(dir + "/memory.max"), readNumber(dir + "/memory.current")));
        } else if (const auto at = line.find(":memory:"); at != std::string::npos) {
            const std::string dir = "/sys/fs/cgroup/memory" + line.substr(at + 8);
            lowest.consider(
                room(readNumber(dir + "/memory.limit_in_bytes"), readNumber(dir + "/memory.usage_in_bytes")));
        }
    }
    return lowest.value();
}

// The room left under the address-space limit: the limit less what the
// process has already mapped.
std::optional<std::uint64_t> addressSpaceRoom()
{
    rlimit bound {};
    if (getrlimit(RLIMIT_AS, &bound) != 0 || bound.rlim_cur == RLIM_INFINITY)
        return std::nullopt;
    std::ifstream statm("/proc/self/statm");
    std::uint64_t mappedPages = 0;
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (!(statm >> mappedPages) || pageSize <= 0)
        return static_cast<std::uint64_t>(bound.rlim_cur);
    return room(static_cast<std::uint64_t>(bound.rlim_cur), mappedPages * static_cast<std::uint64_t>(pageSize));
}

} // namespace

std::uint64_t availableMemory()
{
    Lowest lowest;
    lowest.consider(kernelAvailable());
    lowest.consider(controlGroupRoom());
    lowest.consider(addressSpaceRoom());
    return lowest.value().value_or(UINT64_MAX);
}

} // namespace razmnozhator
