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

mpz_class fromUnsigned(std::uint64_t value)
{
    mpz_class result;
    mpz_import(result.get_mpz_t(), 1, 1, sizeof value, 0, 0, &value);
    return result;
}

} // namespace

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

} // namespace razmnozhator::figures
