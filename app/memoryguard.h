#pragma once

// What holding a result costs in the window, and whether it can be held. A
// template of a few dozen characters can describe more variants than any
// machine holds; the compiled template knows the size of its result before a
// single variant is made, so the window decides up front instead of swapping
// the machine to death or dying half way. The figures and their wording are
// shared with the command-line tool; what is the window's own is the cost of
// a line in its list.

#include <cstdint>

#include <gmpxx.h>

#include <QString>

namespace memoryguard {

// The lines themselves: their bytes plus a small fixed amount each; the list
// shows them without a copy.
mpz_class memoryNeeded(const mpz_class &count, const mpz_class &totalBytes);

// Whether the lines fit in what is available. Takes the instant figures,
// which saturate where the exact ones exceed 64 bits.
bool fits(std::uint64_t count, std::uint64_t totalBytes, std::uint64_t available);

// For messages, in the style of every Russian text: exact with digit groups
// ("17 414 258 688") up to 20 digits, otherwise three significant digits and
// a power of ten; sizes in Russian binary units ("1,70 КиБ").
QString formatCount(const mpz_class &count);
QString formatBytes(const mpz_class &bytes);

} // namespace memoryguard
