#include "memoryguard.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <string>

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace memoryguard {

namespace {

// Measured with the list filled in bulk: a list item with its private data and
// its one display value takes about 230 bytes besides the text, the pointer
// list passed to the widget another 24 while it is filled, and the lines'
// end offsets 8; the rest is margin for the allocator.
constexpr unsigned long perVariant = 280;
// One byte of the line in the lines, two as a UTF-16 character in the item.
constexpr unsigned long perByte = 3;

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

std::optional<std::uint64_t> readNumber(const std::string &path)
{
    std::ifstream file(path);
    std::uint64_t value = 0;
    if (file >> value)
        return value;
    return std::nullopt;
}

std::optional<std::uint64_t> meminfoAvailable()
{
    std::ifstream file("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    std::string unit;
    while (file >> key >> kilobytes >> unit) {
        if (key == "MemAvailable:")
            return kilobytes * 1024;
    }
    return std::nullopt;
}

// The room left under the memory limit of the program's control group, in
// either version of the interface; "max" (no limit) fails to parse as a number.
std::optional<std::uint64_t> cgroupRoom()
{
    std::ifstream file("/proc/self/cgroup");
    std::string line;
    std::optional<std::uint64_t> room;
    const auto consider = [&room](std::optional<std::uint64_t> limit, std::optional<std::uint64_t> usage) {
        if (!limit || !usage)
            return;
        const std::uint64_t left = *limit > *usage ? *limit - *usage : 0;
        room = room ? std::min(*room, left) : left;
    };
    while (std::getline(file, line)) {
        if (line.starts_with("0::")) {
            const std::string dir = "/sys/fs/cgroup" + line.substr(3);
            consider(readNumber(dir + "/memory.max"), readNumber(dir + "/memory.current"));
        } else if (const auto at = line.find(":memory:"); at != std::string::npos) {
            const std::string dir = "/sys/fs/cgroup/memory" + line.substr(at + 8);
            consider(readNumber(dir + "/memory.limit_in_bytes"), readNumber(dir + "/memory.usage_in_bytes"));
        }
    }
    return room;
}

std::optional<std::uint64_t> physicalPagesAvailable()
{
#if defined(Q_OS_UNIX) && defined(_SC_AVPHYS_PAGES)
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
#endif
    return std::nullopt;
}

QString superscript(unsigned long exponent)
{
    static constexpr std::array<char16_t, 10> digits = { u'⁰', u'¹', u'²', u'³', u'⁴', u'⁵', u'⁶', u'⁷', u'⁸', u'⁹' };
    QString text = QString::number(exponent);
    for (QChar &c : text)
        c = QChar(digits[static_cast<std::size_t>(c.digitValue())]);
    return text;
}

} // namespace

mpz_class memoryNeeded(const mpz_class &count, const mpz_class &totalBytes)
{
    return count * perVariant + totalBytes * perByte;
}

std::uint64_t memoryAvailable()
{
    std::optional<std::uint64_t> available = meminfoAvailable();
    if (!available)
        available = physicalPagesAvailable();
    if (const auto room = cgroupRoom())
        available = available ? std::min(*available, *room) : *room;
    // Nothing to go by: let the allocation itself fail and be reported.
    return available.value_or(UINT64_MAX);
}

bool fits(const mpz_class &needed, std::uint64_t available)
{
    const std::uint64_t usable = available - available / 8;
    return mpz_class(std::to_string(usable)) >= needed;
}

QString formatCount(const mpz_class &count)
{
    const std::string digits = count.get_str();
    if (digits.size() <= 15)
        return QString::fromStdString(digits);
    return tr("≈ %1,%2·10%3")
        .arg(QChar::fromLatin1(digits[0]))
        .arg(QString::fromStdString(digits.substr(1, 2)))
        .arg(superscript(static_cast<unsigned long>(digits.size() - 1)));
}

QString formatBytes(const mpz_class &bytes)
{
    static const std::array<const char *, 6> units = {
        QT_TRANSLATE_NOOP("MainWindow", "КБ"),
        QT_TRANSLATE_NOOP("MainWindow", "МБ"),
        QT_TRANSLATE_NOOP("MainWindow", "ГБ"),
        QT_TRANSLATE_NOOP("MainWindow", "ТБ"),
        QT_TRANSLATE_NOOP("MainWindow", "ПБ"),
        QT_TRANSLATE_NOOP("MainWindow", "ЭБ"),
    };
    if (bytes < 1024)
        return tr("%1 байт").arg(QString::fromStdString(bytes.get_str()));

    std::size_t unit = 0;
    mpz_class scale = 1024;
    while (unit + 1 < units.size() && bytes >= scale * 1024) {
        scale *= 1024;
        ++unit;
    }
    const mpz_class whole = bytes / scale;
    const mpz_class tenths = (bytes % scale) * 10 / scale;
    const QString number = whole.get_str().size() <= 15
        ? QStringLiteral("%1,%2").arg(QString::fromStdString(whole.get_str()), QString::fromStdString(tenths.get_str()))
        : formatCount(whole);
    return tr("%1 %2").arg(number, tr(units[unit]));
}

} // namespace memoryguard
