#include "memoryguard.h"

#include <string>

#include <QLocale>

#include "figures.h"

using namespace razmnozhator;

namespace memoryguard {

namespace {

// Measured with the list filled in bulk: a list item with its private data and
// its one display value takes about 230 bytes besides the text, the pointer
// list passed to the widget another 24 while it is filled, and the lines'
// end offsets 8; the rest is margin for the allocator. One byte of the line
// in the lines, two as a UTF-16 character in the item.
constexpr figures::HoldingCost windowCost { 280, 3 };

mpz_class fromUnsigned(std::uint64_t value)
{
    mpz_class result;
    mpz_import(result.get_mpz_t(), 1, 1, sizeof value, 0, 0, &value);
    return result;
}

} // namespace

mpz_class memoryNeeded(const mpz_class &count, const mpz_class &totalBytes)
{
    return figures::memoryNeeded(count, totalBytes, windowCost);
}

bool fits(std::uint64_t count, std::uint64_t totalBytes, std::uint64_t available)
{
    return figures::fitsInMemory(memoryNeeded(fromUnsigned(count), fromUnsigned(totalBytes)), available);
}

QString formatCount(const mpz_class &count)
{
    figures::NumberStyle style = figures::NumberStyle::typeset();
    style.exactDigits = 20;
    const std::string digits = count.get_str();
    if (digits.size() > static_cast<std::size_t>(style.exactDigits))
        return figures::formatNumber(count, style);
    QString grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += u' ';
        grouped += QChar::fromLatin1(digits[i]);
    }
    return grouped;
}

QString formatBytes(const mpz_class &bytes)
{
    return figures::formatDataSize(bytes, QLocale(), figures::NumberStyle::typeset());
}

} // namespace memoryguard
