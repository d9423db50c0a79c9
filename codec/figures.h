#pragma once

// Counts and sizes for messages, and the memory check before a result is
// held. A template of a few dozen characters can describe more variants than
// any machine holds, and their count may have hundreds of thousands of
// digits; a message shows such a number rounded down to three significant
// digits and a power of ten. The window and the command-line tool write the
// power differently, so the style is a parameter.

#include <gmpxx.h>

#include <QString>

#include <cstdint>

class QLocale;

namespace razmnozhator::figures {

// A 64-bit count as a big number, whatever the width of long.
mpz_class fromUnsigned(std::uint64_t value);

struct NumberStyle
{
    // Longer numbers are shown approximately.
    int exactDigits = 20;
    QChar decimalPoint = u'.';
    // "10³⁰¹⁰²⁹" rather than "10^301029".
    bool superscriptExponent = false;

    static NumberStyle plain() { return {}; }
    // As typeset in the window: a decimal comma and a raised exponent.
    static NumberStyle typeset() { return { 15, u',', true }; }
};

// "12345" when it has at most style.exactDigits digits, otherwise, with the
// mantissa truncated, "≈ 9.99·10^301029" (or "≈ 9,99·10³⁰¹⁰²⁹").
QString formatNumber(const mpz_class &number, const NumberStyle &style = NumberStyle::plain());

// A size in the locale's binary units ("1.50 MiB"); beyond what the locale's
// formatter takes, a number of its largest unit as formatNumber() writes it.
QString formatDataSize(const mpz_class &bytes, const QLocale &locale, const NumberStyle &style = NumberStyle::plain());

// "about 1.50 MiB", for the tool's messages; a size beyond the locale's units
// is approximate already and says "about" once: "about 3.98·10^13 EiB".
QString aboutDataSize(const mpz_class &bytes, const QLocale &locale);

// What holding a result costs, per variant and per byte of its text.
struct HoldingCost
{
    unsigned long perVariant = 0;
    unsigned long perByte = 1;
};

mpz_class memoryNeeded(const mpz_class &count, const mpz_class &totalBytes, const HoldingCost &cost);

// Whether needed bytes fit in what is available, keeping an eighth of it for
// everything else the program and the rest of the system allocate meanwhile.
bool fitsInMemory(const mpz_class &needed, std::uint64_t available);
// The part of available that fitsInMemory() lets a result take.
std::uint64_t usableMemory(std::uint64_t available) noexcept;

// The style of every Russian text: a decimal comma, digits in groups of
// three apart from four-digit numbers ("2500", "10 000 000"), and three
// significant digits rounded to nearest where a number is approximate.

// Exact up to 20 digits, otherwise "≈ 2,00·10³⁰¹⁰".
QString formatCountRussian(const mpz_class &count);
// "117 Б", "1,70 КиБ", "17,3 ТиБ", beyond the largest unit "9,74·10²² ЭиБ".
// Approximate without saying so: the sentence around it says "около".
QString formatDataSizeRussian(const mpz_class &bytes);

// The form a Russian noun takes after a count: "1 строка", "2 строки",
// "5 строк", and "21 строка" but "11 строк". A count that formatCountRussian()
// shows approximately takes the last form, as in "≈ 1,27·10³⁰ строк".
enum class RussianForm { One, Few, Many };
RussianForm russianForm(const mpz_class &count);

} // namespace razmnozhator::figures
