#include "nofit.h"

#include <algorithm>

#include <QCoreApplication>

#include "figures.h"
#include "lengthrules.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/lengthrule.h"
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

std::optional<LengthSpan> spanIfNoneFits(
    const razmnozhator::VariantList &lines, razmnozhator::LengthRange range, const razmnozhator::LengthRule &rule)
{
    if (lines.empty())
        return std::nullopt;
    LengthSpan span { UINT64_MAX, 0 };
    bool anyKept = false;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::optional<std::uint64_t> length = rule.lengthOf(lines[index]);
        if (!length)
            continue;
        if (range.contains(*length))
            return std::nullopt;
        anyKept = true;
        span.shortest = std::min(span.shortest, *length);
        span.longest = std::max(span.longest, *length);
    }
    if (!anyKept)
        return LengthSpan { 0, 0, true };
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

QString message(
    razmnozhator::LengthRange range, LengthSpan span, Whose whose, const razmnozhator::lengthrules::FieldRule &rule)
{
    const QString ruleWording = razmnozhator::lengthrules::wording(rule);
    if (span.ruleKeepsNone)
        return tr("Ни одна строка не подходит %1: %2.").arg(ruleWording, ruleKeepsNoneText(rule));
    const QString bounds = ruleWording.isEmpty() ? tr("%1–%2").arg(range.min).arg(range.max)
                                                 : tr("%1–%2 %3").arg(range.min).arg(range.max).arg(ruleWording);
    const QString text = whose == Whose::Template
        ? tr("Ни одна строка не подходит по длине %1: строки этого шаблона длиной %2.")
        : tr("Ни одна строка не подходит по длине %1: строки в списке длиной %2.");
    return text.arg(bounds, lengthsText(span));
}

QString ruleKeepsNoneText(const razmnozhator::lengthrules::FieldRule &rule)
{
    const razmnozhator::lengthrules::CharacterLimit *limit = razmnozhator::lengthrules::limitOf(rule);
    return limit ? tr("в каждой строке %1").arg(razmnozhator::lengthrules::overLimitWording(*limit)) : QString();
}

} // namespace nofit
