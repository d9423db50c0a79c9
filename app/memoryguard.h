#pragma once

// A template of a few dozen characters can describe more variants than any
// machine holds. The compiled template knows the exact count and byte size
// before a single variant is made, so the window refuses up front what would
// not fit instead of swapping the machine to death or dying half way.

#include <cstdint>

#include <gmpxx.h>

#include <QString>

namespace memoryguard {

// What a result costs once it is in the window: the lines themselves (their
// bytes plus one end offset each) and one list item per line holding the
// line as UTF-16, with the list's bookkeeping.
mpz_class memoryNeeded(const mpz_class &count, const mpz_class &totalBytes);

// Keeps an eighth of what is available for everything else the program and
// the rest of the desktop allocate meanwhile.
bool fits(const mpz_class &needed, std::uint64_t available);

// For messages: exact up to 15 digits, otherwise three significant digits and
// a power of ten, since a count may have thousands of digits.
QString formatCount(const mpz_class &count);
// In binary units with one decimal, truncated, never rounded up.
QString formatBytes(const mpz_class &bytes);

} // namespace memoryguard
