// A sample chooses its way of drawing (draws.h) by the share of the
// variants its range keeps and by what the template's own groups allow.

#include "razmnozhator/sample.h"

#include "figures/lengthweights.h"
#include "program/templateaccess.h"
#include "selection/draws.h"
#include "selection/withinlimitranks.h"

namespace razmnozhator {

namespace detail {

namespace {

// The smallest share of the variants kept for which passing over positions
// outside the range beats finding ranks among the kept ones.
constexpr unsigned long passingShare = 4;

// Passing over makes the k-th variant of the sample depend on every one
// before it, so that starting a sample further on costs as much as writing
// the ones passed; it is used only for samples small enough for that.
constexpr unsigned long passingSizeLimit = 1ul << 20;

// Writes the variant at a position and gives its length inside the engine.
RootLengths::LengthOf measuredBy(Enumerator &measuring)
{
    TemplateAccess::countLengths(measuring);
    return [&measuring](const mpz_class &at) {
        measuring.seek(at);
        measuring.next();
        return TemplateAccess::currentLength(measuring);
    };
}

// Under a rule's limit on limited bytes, the ranks among the variants
// within the limit, when they turn into positions cheaply and the range
// keeps a good share of them.
std::unique_ptr<WithinLimitRanks> ranksWithinLimit(const DrawPlan &plan)
{
    const CompiledTemplate &compiled = plan.compiled;
    const RuleLengths &rule = programOf(compiled).ruleLengths;
    Enumerator measuring(compiled);
    const RootLengths::LengthOf length = measuredBy(measuring);
    // A whole variant's length by the rule lies within one period from the
    // base: the rest of its engine length is its limited bytes.
    const auto limitedAt = [&](const mpz_class &at) { return (length(at) - rule.base) / rule.period; };
    std::unique_ptr<WithinLimitRanks> ranks
        = WithinLimitRanks::make(compiled, compiled.lengthRule().mostLimited, limitedAt);
    if (ranks && plan.kept * passingShare >= ranks->count())
        return ranks;
    return nullptr;
}

} // namespace

Draws::Draws(DrawPlan plan)
    : plan_(std::move(plan))
    , walker_(plan_.compiled)
{
}

Draws::~Draws() = default;

void Draws::redraw(std::uint64_t draw)
{
    show(permutation_->at(mpz_class(static_cast<unsigned long>(draw))));
}

bool Draws::drawnBefore(std::uint64_t a, std::uint64_t b)
{
    return positionOf(permutation_->at(mpz_class(static_cast<unsigned long>(a))))
        < positionOf(permutation_->at(mpz_class(static_cast<unsigned long>(b))));
}

void Draws::show(const mpz_class &value)
{
    walker_.seek(positionOf(value));
    walker_.next();
}

bool Draws::keeps(std::uint64_t length) const
{
    return keepsLength(programOf(plan_.compiled).ruleLengths, plan_.range, length);
}

std::unique_ptr<Draws> makeDraws(
    const CompiledTemplate &compiled, const mpz_class &size, LengthRange range, std::uint64_t seed, Sample::Order order)
{
    DrawPlan plan { compiled, range, order, Random(seed), compiled.countInRange(range), 0, nullptr };
    plan.size = size < plan.kept ? size : plan.kept;
    if (plan.size == 0 || compiled.keepsEveryLength(range))
        return std::make_unique<RankDraws>(std::move(plan));
    // Noting the lengths of the template's own groups pays for itself over
    // a few variants. It makes drawing cheaper, never different. They are
    // measured by an enumerator of their own: the walker then need not count
    // characters, which writes runs of plain groups at once.
    if (plan.size >= 16) {
        Enumerator measuring(compiled);
        plan.rootLengths = RootLengths::make(programOf(compiled), measuredBy(measuring));
    }
    // Finding a variant by its rank among the kept ones costs several times
    // a look-up by position. The share alone decides, not whether the
    // lengths were noted, so that below the size limit a smaller sample is
    // the start of a larger one with the same seed.
    std::unique_ptr<PassingOver> passing;
    if (plan.size <= passingSizeLimit && plan.kept * passingShare >= compiled.count())
        passing = std::make_unique<PassingOver>(std::move(plan), compiled.count(), Permutation::Domain::PowerOfFour);
    else if (plan.size <= passingSizeLimit && programOf(compiled).ruleLengths.weighted) {
        if (std::unique_ptr<WithinLimitRanks> ranks = ranksWithinLimit(plan))
            passing = std::make_unique<WithinLimit>(std::move(plan), std::move(ranks));
    }
    if (passing) {
        passing->start();
        return passing;
    }
    if (plan.rootLengths)
        return std::make_unique<DigitDraws>(std::move(plan));
    return std::make_unique<RankDraws>(std::move(plan));
}

} // namespace detail

Sample::Sample(
    const CompiledTemplate &compiled, const mpz_class &size, LengthRange range, std::uint64_t seed, Order order)
    : draws_(detail::makeDraws(compiled, size, range, seed, order))
{
}

Sample::~Sample() = default;
Sample::Sample(Sample &&) noexcept = default;
Sample &Sample::operator=(Sample &&) noexcept = default;

const mpz_class &Sample::size() const noexcept
{
    return draws_->size();
}

void Sample::skip(const mpz_class &count)
{
    draws_->skip(count);
}

bool Sample::next()
{
    return draws_->next();
}

std::string_view Sample::current() const noexcept
{
    return draws_->current();
}

} // namespace razmnozhator
