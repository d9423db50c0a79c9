#include "razmnozhator/engine.h"

#include "figures/lengthcounts.h"
#include "figures/lengthweights.h"
#include "program/program.h"
#include "program/templateaccess.h"

#include <limits>
#include <optional>
#include <string>

namespace razmnozhator {

namespace {

const char *messageFor(TemplateError::Bracket bracket) noexcept
{
    return bracket == TemplateError::Bracket::Square ? "Incomplete number of '[]'s" : "Incomplete number of '{}'s";
}

// The front ends word each task themselves from the fields; the message
// says only how much the refused work would have cost.
std::string limitMessage(LimitError::Resource resource, std::uint64_t needed, std::uint64_t allowed)
{
    if (resource == LimitError::Resource::Work)
        return "this template would take minutes (about " + std::to_string(needed) + " operations, more than the "
            + std::to_string(allowed) + " allowed)";
    constexpr std::uint64_t mebibyte = 1024 * 1024;
    return "this template would need about " + std::to_string((needed + mebibyte - 1) / mebibyte)
        + " MB, more than the " + std::to_string(allowed / mebibyte) + " MB allowed";
}

// The engine lengths that bounds by the rule keep, or none when every
// length of the template lies outside them.
std::optional<detail::RuleWindow> windowKeeping(const detail::Program &program, LengthRange range)
{
    const detail::RuleWindow window = detail::ruleWindow(program, range);
    const LengthRange hull = detail::engineHull(program, range);
    if (window.empty || hull.min > program.figures.longest || hull.max < program.figures.shortest)
        return std::nullopt;
    return window;
}

} // namespace

TemplateError::TemplateError(Bracket bracket, std::size_t offset)
    : std::runtime_error(messageFor(bracket))
    , bracket_(bracket)
    , offset_(offset)
{
}

LimitError::LimitError(const std::string &message)
    : std::runtime_error(message)
{
}

LimitError::LimitError(Task task, Resource resource, std::uint64_t needed, std::uint64_t allowed)
    : std::runtime_error(limitMessage(resource, needed, allowed))
    , task_(task)
    , resource_(resource)
    , needed_(needed)
    , allowed_(allowed)
{
}

CompiledTemplate::CompiledTemplate(std::shared_ptr<const detail::Program> program)
    : program_(std::move(program))
{
}

CompiledTemplate CompiledTemplate::compile(std::string_view text, const LengthRule &rule)
{
    return CompiledTemplate(
        detail::compileProgram(std::string(text), detail::EntryPoint::Template, nullptr, nullptr, rule));
}

const mpz_class &CompiledTemplate::count() const
{
    return detail::exactCount(*program_);
}
const mpz_class &CompiledTemplate::totalBytes() const
{
    return detail::exactTotalBytes(*program_);
}
std::uint64_t CompiledTemplate::countOrMax() const noexcept
{
    return program_->figures.count;
}
std::uint64_t CompiledTemplate::totalBytesOrMax() const noexcept
{
    return program_->figures.bytes;
}
std::size_t CompiledTemplate::maxLength() const noexcept
{
    return program_->ruleLengths.weighted ? program_->ruleLengths.longest : program_->figures.longest;
}
std::size_t CompiledTemplate::minLength() const noexcept
{
    return program_->ruleLengths.weighted ? program_->ruleLengths.shortest : program_->figures.shortest;
}

bool CompiledTemplate::keepsEveryLength(LengthRange range) const noexcept
{
    return detail::keepsEveryLength(*program_, range);
}

CompiledTemplate CompiledTemplate::withLiteralsMapped(const std::function<std::string(std::string_view)> &map) const
{
    // Recompiling is linear and cheap; it lets the statistics follow the new lengths.
    return CompiledTemplate(
        detail::compileProgram(program_->source, detail::EntryPoint::Template, map, nullptr, program_->lengthRule));
}

CompiledTemplate CompiledTemplate::withLengthRule(const LengthRule &rule) const
{
    return CompiledTemplate(
        detail::compileProgram(program_->source, detail::EntryPoint::Template, program_->literalMap, nullptr, rule));
}

const LengthRule &CompiledTemplate::lengthRule() const noexcept
{
    return program_->lengthRule;
}

bool CompiledTemplate::keepsNone() const noexcept
{
    return program_->ruleLengths.keepsNone;
}

VariantList CompiledTemplate::expand() const
{
    constexpr auto limit = std::numeric_limits<std::size_t>::max() / 16;
    const detail::Figures &figures = program_->figures;
    if (figures.count > limit || figures.bytes > limit)
        throw std::length_error("too many variants to hold in memory");
    VariantList list;
    list.reserve(figures.count, figures.bytes);
    Enumerator enumerator(*this);
    while (enumerator.next())
        list.push_back(enumerator.current());
    return list;
}

std::string CompiledTemplate::variantAt(const mpz_class &position) const
{
    Enumerator enumerator(*this, position);
    if (!enumerator.next())
        throw std::out_of_range("position " + position.get_str() + " is past the end of the variants");
    return std::string(enumerator.current());
}

RangeFigures CompiledTemplate::figuresInRange(LengthRange range) const
{
    if (keepsEveryLength(range))
        return { count(), totalBytes() };
    const std::optional<detail::RuleWindow> window = windowKeeping(*program_, range);
    if (!window)
        return { 0, 0 };
    RangeFigures result;
    // Under a rule's windows the template's own spectrum, the biggest
    // product, holds a row per number of limited bytes: figures alone are
    // read off its two factors instead, unless an index is kept already.
    const auto kept = detail::keptSpectrumIndex(*program_, window->high);
    if (kept || !program_->ruleLengths.weighted) {
        (kept ? kept : detail::spectrumIndex(*program_, window->high))
            ->rangeFigures(window->low, window->high, result.count, result.totalBytes);
        return result;
    }
    result.count = detail::countWithinWindows(*program_, window->low, window->high);
    const std::uint64_t cut = window->high < program_->figures.longest ? window->high : detail::noCut;
    result.totalBytes = detail::bytesWithinWindows(*program_, cut, window->low, window->high);
    return result;
}

mpz_class CompiledTemplate::countInRange(LengthRange range) const
{
    if (keepsEveryLength(range))
        return count();
    const std::optional<detail::RuleWindow> window = windowKeeping(*program_, range);
    if (!window)
        return 0;
    if (const auto kept = detail::keptSpectrumIndex(*program_, window->high))
        return kept->rangeCount(window->low, window->high);
    return detail::countWithinWindows(*program_, window->low, window->high);
}

std::string CompiledTemplate::variantInRange(const mpz_class &rank, LengthRange range) const
{
    Enumerator enumerator(*this);
    enumerator.seekInRange(rank, range);
    if (!enumerator.next())
        throw std::out_of_range("rank " + rank.get_str() + " is past the end of the variants within the lengths");
    return std::string(enumerator.current());
}

VariantList expandTemplate(std::string_view text)
{
    return CompiledTemplate::compile(text).expand();
}

} // namespace razmnozhator
