#include "razmnozhator/engine.h"

#include "lengthcounts.h"
#include "program.h"
#include "saturating.h"

#include <limits>

namespace razmnozhator {

TemplateError::TemplateError(Bracket bracket, std::size_t offset)
    : std::runtime_error(messageFor(bracket))
    , bracket_(bracket)
    , offset_(offset)
{
}

const char *TemplateError::messageFor(Bracket bracket) noexcept
{
    return bracket == Bracket::Square ? "Incomplete number of '[]'s" : "Incomplete number of '{}'s";
}

CompiledTemplate::CompiledTemplate(std::shared_ptr<const detail::Program> program)
    : program_(std::move(program))
{
}

CompiledTemplate CompiledTemplate::compile(std::string_view text)
{
    return CompiledTemplate(detail::compileProgram(std::string(text), detail::EntryPoint::Template, nullptr));
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
    return program_->figures.longest;
}
std::size_t CompiledTemplate::minLength() const noexcept
{
    return program_->figures.shortest;
}

CompiledTemplate CompiledTemplate::withLiteralsMapped(const std::function<std::string(std::string_view)> &map) const
{
    // Recompiling is linear and cheap; it lets the statistics follow the new lengths.
    return CompiledTemplate(detail::compileProgram(program_->source, detail::EntryPoint::Template, map));
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
    const detail::Figures &figures = program_->figures;
    if (range.min <= figures.shortest && range.max >= figures.longest)
        return { count(), totalBytes() };
    if (range.min > range.max || range.min > figures.longest || range.max < figures.shortest)
        return { 0, 0 };
    const detail::SpectrumIndex &spectra = detail::spectrumIndex(*program_);
    RangeFigures result;
    spectra.rangeFigures(range.min, range.max, result.count, result.totalBytes);
    return result;
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

VariantList CompiledTemplate::expandGroupInside(std::string_view inner, bool pairs)
{
    const auto entry = pairs ? detail::EntryPoint::PairsInner : detail::EntryPoint::AlternativesInner;
    return CompiledTemplate(detail::compileProgram(std::string(inner), entry, nullptr)).expand();
}

VariantList expandAlternatives(std::string_view inner)
{
    return CompiledTemplate::expandGroupInside(inner, false);
}

VariantList expandPairs(std::string_view inner)
{
    return CompiledTemplate::expandGroupInside(inner, true);
}

} // namespace razmnozhator
