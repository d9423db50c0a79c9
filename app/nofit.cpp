#include "nofit.h"

#include <algorithm>

#include <QCoreApplication>

#include "figures.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/variantlist.h"

using namespace razmnozhator;

namespace nofit {

namespace {

QString tr(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// "символ" after a number, as in "длиной 21 символ"; after "до", as in
// "до 21 символа", the word takes the genitive.
QString characters(std::uint64_t number, bool afterUpTo)
{
    switch (figures::russianForm(number)) {
    case figures::RussianForm::One:
        return afterUpTo ? tr("символа") : tr("символ");
    case figures::RussianForm::Few:
        return afterUpTo ? tr("символов") : tr("символа");
    case figures::RussianForm::Many:
        break;
    }
    return tr("символов");
}

} // namespace

std::optional<LengthSpan> spanIfNoneFits(const razmnozhator::VariantList &lines, razmnozhator::LengthRange range)
{
    if (lines.empty())
        return std::nullopt;
    LengthSpan span { UINT64_MAX, 0 };
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::uint64_t length = lines.lengthAt(index);
        if (range.contains(length))
            return std::nullopt;
        span.shortest = std::min(span.shortest, length);
        span.longest = std::max(span.longest, length);
    }
    return span;
}

QString lengthsText(LengthSpan span)
{
    if (span.shortest == span.longest)
        return tr("%1 %2").arg(figures::formatCountRussian(span.shortest), characters(span.shortest, false));
    return tr("от %1 до %2 %3")
        .arg(figures::formatCountRussian(span.shortest), figures::formatCountRussian(span.longest),
            characters(span.longest, true));
}

QString message(razmnozhator::LengthRange range, LengthSpan span, Whose whose)
{
    const QString text = whose == Whose::Template
        ? tr("Ни одна строка не подходит по длине %1–%2: строки этого шаблона длиной %3.")
        : tr("Ни одна строка не подходит по длине %1–%2: строки в списке длиной %3.");
    return text.arg(range.min).arg(range.max).arg(lengthsText(span));
}

} // namespace nofit
