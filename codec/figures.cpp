#include "figures.h"

#include <algorithm>
#include <array>
#include <string>

#include <QCoreApplication>
#include <QLocale>

namespace razmnozhator::figures {

namespace {

QString exponentText(std::size_t exponent, bool superscript)
{
    static constexpr std::array<char16_t, 10> raised = { u'⁰', u'¹', u'²', u'³', u'⁴', u'⁵', u'⁶', u'⁷', u'⁸', u'⁹' };
    QString text = QString::number(exponent);
    if (!superscript)
        return QLatin1Char('^') + text;
    for (QChar &c : text)
        c = QChar(raised[static_cast<std::size_t>(c.digitValue())]);
    return text;
}

} // namespace

mpz_class fromUnsigned(std::uint64_t value)
{
    mpz_class result;
    mpz_import(result.get_mpz_t(), 1, 1, sizeof value, 0, 0, &value);
    return result;
}

QString formatNumber(const mpz_class &number, const NumberStyle &style)
{
    const std::string digits = number.get_str();
    const bool negative = digits.front() == '-';
    const std::size_t length = digits.size() - (negative ? 1 : 0);
    if (length <= static_cast<std::size_t>(style.exactDigits))
        return QString::fromStdString(digits);
    const std::string_view significant = std::string_view(digits).substr(negative ? 1 : 0, 3);
    return QStringLiteral("≈ %1%2%3%4·10%5")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(QChar::fromLatin1(significant[0]))
        .arg(style.decimalPoint)
        .arg(QString::fromLatin1(significant.substr(1)))
        .arg(exponentText(length - 1, style.superscriptExponent));
}

QString formatDataSize(const mpz_class &bytes, const QLocale &locale, const NumberStyle &style)
{
    if (bytes.fits_slong_p())
        return locale.formattedDataSize(bytes.get_si());
    // The largest unit the formatter knows, taken from its own output for one of it.
    constexpr int largestUnitBits = 60;
    const QString one = locale.formattedDataSize(qint64(1) << largestUnitBits, 0);
    const QString unit = one.mid(locale.toString(1).size());
    // A number of that unit gets the same three significant digits as a
    // size within the formatter's range, not a long run of exact ones.
    NumberStyle shortened = style;
    shortened.exactDigits = std::min(style.exactDigits, 4);
    return formatNumber(bytes >> largestUnitBits, shortened) + unit;
}

QString aboutDataSize(const mpz_class &bytes, const QLocale &locale)
{
    QString size = formatDataSize(bytes, locale);
    if (size.startsWith(QStringLiteral("≈ ")))
        size.remove(0, 2);
    return QCoreApplication::translate("razmnozhator-cli", "about %1").arg(size);
}

mpz_class memoryNeeded(const mpz_class &count, const mpz_class &totalBytes, const HoldingCost &cost)
{
    return count * cost.perVariant + totalBytes * cost.perByte;
}

std::uint64_t usableMemory(std::uint64_t available) noexcept
{
    return available - available / 8;
}

bool fitsInMemory(const mpz_class &needed, std::uint64_t available)
{
    return fromUnsigned(usableMemory(available)) >= needed;
}

namespace {

mpz_class powerOfTen(unsigned long exponent)
{
    mpz_class result;
    mpz_ui_pow_ui(result.get_mpz_t(), 10, exponent);
    return result;
}

std::size_t decimalDigits(const mpz_class &number)
{
    return number.get_str().size();
}

// numerator / denominator (both positive) as digits significant digits,
// rounded half up, and the power of ten of the first of them: 1478 / 1000 to
// three digits is {"148", 0}.
struct Significant
{
    std::string digits;
    long exponent = 0;
};

Significant significant(const mpz_class &numerator, const mpz_class &denominator, int digits)
{
    long exponent = static_cast<long>(decimalDigits(numerator)) - static_cast<long>(decimalDigits(denominator));
    const auto atLeastTenTo = [&](long power) {
        return power >= 0 ? numerator >= denominator * powerOfTen(static_cast<unsigned long>(power))
                          : numerator * powerOfTen(static_cast<unsigned long>(-power)) >= denominator;
    };
    if (!atLeastTenTo(exponent))
        --exponent;
    const long shift = digits - 1 - exponent;
    mpz_class scaledNumerator = numerator;
    mpz_class scaledDenominator = denominator;
    if (shift >= 0)
        scaledNumerator *= powerOfTen(static_cast<unsigned long>(shift));
    else
        scaledDenominator *= powerOfTen(static_cast<unsigned long>(-shift));
    mpz_class rounded = (2 * scaledNumerator + scaledDenominator) / (2 * scaledDenominator);
    if (rounded == powerOfTen(static_cast<unsigned long>(digits))) {
        rounded /= 10;
        ++exponent;
    }
    return { rounded.get_str(), exponent };
}

QString groupedRussian(const std::string &digits)
{
    if (digits.size() <= 4)
        return QString::fromStdString(digits);
    QString grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += u' ';
        grouped += QChar::fromLatin1(digits[i]);
    }
    return grouped;
}

constexpr int shownDigits = 3;
// Counts with more digits are shown approximately.
constexpr std::size_t russianExactDigits = 20;

// "1,70", "17,3", "370", "1020" for a value below 10^4; otherwise "9,74·10²²".
QString approximateRussian(const mpz_class &numerator, const mpz_class &denominator)
{
    const Significant value = significant(numerator, denominator, shownDigits);
    if (value.exponent >= 4) {
        return QStringLiteral("%1,%2·10%3")
            .arg(QChar::fromLatin1(value.digits[0]))
            .arg(QString::fromLatin1(value.digits.substr(1)))
            .arg(exponentText(static_cast<std::size_t>(value.exponent), true));
    }
    if (value.exponent >= shownDigits - 1)
        return QString::fromStdString(value.digits) + QString(value.exponent - (shownDigits - 1), u'0');
    const auto whole = static_cast<std::size_t>(value.exponent + 1);
    return QStringLiteral("%1,%2").arg(
        QString::fromLatin1(value.digits.substr(0, whole)), QString::fromLatin1(value.digits.substr(whole)));
}

} // namespace

QString formatCountRussian(const mpz_class &count)
{
    const std::string digits = count.get_str();
    if (count < 0 || digits.size() <= russianExactDigits)
        return groupedRussian(digits);
    return QStringLiteral("≈ ") + approximateRussian(count, 1);
}

RussianForm russianForm(const mpz_class &count)
{
    const mpz_class magnitude = abs(count);
    if (decimalDigits(magnitude) > russianExactDigits)
        return RussianForm::Many;
    const mpz_class lastTwo = magnitude % 100;
    const mpz_class last = magnitude % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return RussianForm::Many;
    if (last == 1)
        return RussianForm::One;
    if (last >= 2 && last <= 4)
        return RussianForm::Few;
    return RussianForm::Many;
}

QString formatDataSizeRussian(const mpz_class &bytes)
{
    static constexpr std::array<const char16_t *, 7> units = { u"Б", u"КиБ", u"МиБ", u"ГиБ", u"ТиБ", u"ПиБ", u"ЭиБ" };
    if (bytes < 1024)
        return QStringLiteral("%1 %2").arg(groupedRussian(bytes.get_str()), QString::fromUtf16(units[0]));
    std::size_t unit = 1;
    mpz_class unitBytes = 1024;
    while (unit + 1 < units.size() && bytes >= unitBytes * 1024) {
        ++unit;
        unitBytes *= 1024;
    }
    // 1023,9 КиБ would round to "1020 КиБ" rather than to the next unit: both are right to three digits.
    return QStringLiteral("%1 %2").arg(approximateRussian(bytes, unitBytes), QString::fromUtf16(units[unit]));
}

} // namespace razmnozhator::figures
