#include "razmnozhator/engine.h"

#include "program.h"

#include <limits>

namespace razmnozhator {

TemplateError::TemplateError(Bracket bracket, std::size_t offset)
    : std::runtime_error(messageFor(bracket)), bracket_(bracket), offset_(offset)
{
}

const char *TemplateError::messageFor(Bracket bracket) noexcept
{
    return bracket == Bracket::Square ? "Incomplete number of '[]'s" : "Incomplete number of '{}'s";
}

CompiledTemplate::CompiledTemplate(std::shared_ptr<const detail::Program> program) : program_(std::move(program)) {}

CompiledTemplate CompiledTemplate::compile(std::string_view text)
{
    return CompiledTemplate(std::make_shared<const detail::Program>(
        detail::compileProgram(std::string(text), detail::EntryPoint::Template, nullptr)));
}

const mpz_class &CompiledTemplate::count() const noexcept { return program_->count; }
const mpz_class &CompiledTemplate::totalBytes() const noexcept { return program_->totalBytes; }
std::size_t CompiledTemplate::maxLength() const noexcept { return program_->maxLength; }

CompiledTemplate CompiledTemplate::withLiteralsMapped(const std::function<std::string(std::string_view)> &map) const
{
    // Recompiling is linear and cheap; it lets the statistics follow the new lengths.
    return CompiledTemplate(std::make_shared<const detail::Program>(
        detail::compileProgram(program_->source, detail::EntryPoint::Template, map)));
}

VariantList CompiledTemplate::expand() const
{
    constexpr auto limit = std::numeric_limits<std::size_t>::max() / 16;
    if (!program_->count.fits_ulong_p() || !program_->totalBytes.fits_ulong_p() || program_->count.get_ui() > limit
        || program_->totalBytes.get_ui() > limit)
        throw std::length_error("too many variants to hold in memory");
    VariantList list;
    list.reserve(program_->count.get_ui(), program_->totalBytes.get_ui());
    Enumerator enumerator(*this);
    while (enumerator.next())
        list.push_back(enumerator.current());
    return list;
}

VariantList expandTemplate(std::string_view text)
{
    return CompiledTemplate::compile(text).expand();
}

VariantList expandAlternatives(std::string_view inner)
{
    return CompiledTemplate(std::make_shared<const detail::Program>(
                                detail::compileProgram(std::string(inner), detail::EntryPoint::AlternativesInner, nullptr)))
        .expand();
}

VariantList expandPairs(std::string_view inner)
{
    return CompiledTemplate(std::make_shared<const detail::Program>(
                                detail::compileProgram(std::string(inner), detail::EntryPoint::PairsInner, nullptr)))
        .expand();
}

} // namespace razmnozhator
