#include "selection.h"

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <utility>

#include "cp1251.h"
#include "failure.h"
#include "figures.h"
#include "lengthrules.h"
#include "options.h"
#include "razmnozhator/diversity.h"
#include "razmnozhator/sample.h"

namespace razmnozhator::cli {

namespace {

std::uint64_t saturated(const mpz_class &value)
{
    if (value > figures::fromUnsigned(UINT64_MAX))
        return UINT64_MAX;
    std::uint64_t result = 0;
    mpz_export(&result, nullptr, -1, sizeof result, 0, 0, value.get_mpz_t());
    return result;
}

// The kept variants in order, from the rank-th one and up to a number of
// them: the bounded enumerator gives exactly those the bounds and the length
// rule keep. Nothing is held, and nothing waits for an exact count.
class Stream final : public Selection
{
public:
    // A slice's size is exact; --max-count only caps.
    Stream(const CompiledTemplate &compiled, const Options &options, const mpz_class &rank,
        std::optional<std::uint64_t> limit, bool exact)
        : enumerator_(compiled, options.lengths, rank)
        , remaining_(limit.value_or(UINT64_MAX))
        , total_(double(compiled.countOrMax()))
        , cap_(double(remaining_))
    {
        std::optional<std::uint64_t> toWrite;
        if (exact)
            toWrite = remaining_;
        else if (const mpz_class *kept = enumerator_.kept())
            toWrite = std::min(saturated(*kept), remaining_);
        else if (compiled.keepsEveryLength(options.lengths) && (compiled.countOrMax() != UINT64_MAX || limit))
            toWrite = std::min(compiled.countOrMax(), remaining_);
        if (toWrite && *toWrite != UINT64_MAX)
            totalText_ = QString::number(*toWrite);
        // Within length bounds the work is the kept variants, not all of
        // them; a slice does not start at the first variant.
        if (toWrite)
            cap_ = double(*toWrite);
        if (exact)
            total_ = std::numeric_limits<double>::infinity();
    }

    bool next() override
    {
        if (remaining_ == 0 || !enumerator_.next())
            return false;
        ++visited_;
        --remaining_;
        return true;
    }

    std::string_view current() const override { return enumerator_.current(); }
    WrittenLines fill(char *out, std::size_t capacity, char terminator, std::uint64_t maxLines) override
    {
        const WrittenLines written = enumerator_.writeLines(out, capacity, terminator, std::min(remaining_, maxLines));
        remaining_ -= written.lines;
        visited_ += written.lines;
        return written;
    }
    QString totalText() const override { return totalText_; }
    double fraction(std::uint64_t written) const override
    {
        return std::max(double(visited_) / total_, double(written) / cap_);
    }

private:
    BoundedEnumerator enumerator_;
    std::uint64_t remaining_;
    std::uint64_t visited_ = 0;
    double total_;
    double cap_;
    QString totalText_;
};

// A sample, or a shuffle of every kept variant, from its `begin`-th variant
// on and up to a number of them.
class Sampled final : public Selection
{
public:
    Sampled(Sample sample, const mpz_class &begin, const std::optional<mpz_class> &limit)
        : sample_(std::move(sample))
    {
        sample_.skip(begin);
        const mpz_class left = begin < sample_.size() ? mpz_class(sample_.size() - begin) : mpz_class(0);
        const mpz_class toWrite = limit && *limit < left ? *limit : left;
        remaining_ = saturated(toWrite);
        size_ = toWrite.get_d();
        totalText_ = QString::fromStdString(toWrite.get_str());
    }

    bool next() override
    {
        if (remaining_ == 0)
            return false;
        --remaining_;
        return sample_.next();
    }
    std::string_view current() const override { return sample_.current(); }
    QString totalText() const override { return totalText_; }
    double fraction(std::uint64_t written) const override { return double(written) / std::max(size_, 1.0); }

private:
    Sample sample_;
    std::uint64_t remaining_ = 0;
    double size_ = 0;
    QString totalText_;
};

// The most different variants, chosen before the first is written and
// made again one by one from the sample that drew them, in CP1251 and
// recoded for the output.
class Diverse final : public Selection
{
public:
    Diverse(DiverseVariants chosen, Encoding encoding)
        : chosen_(std::move(chosen))
        , encoding_(encoding)
    {
    }

    bool next() override
    {
        if (!chosen_.next())
            return false;
        const std::string_view variant = chosen_.current();
        if (encoding_ == Encoding::Cp1251) {
            current_ = variant;
        } else {
            utf8_ = cp1251::decode(variant).toUtf8();
            current_ = std::string_view(utf8_.constData(), static_cast<std::size_t>(utf8_.size()));
        }
        return true;
    }
    std::string_view current() const override { return current_; }
    QString totalText() const override { return QString::number(chosen_.size()); }
    double fraction(std::uint64_t written) const override
    {
        return double(written) / double(std::max<std::size_t>(chosen_.size(), 1));
    }

private:
    DiverseVariants chosen_;
    Encoding encoding_;
    QByteArray utf8_;
    std::string_view current_;
};

class Single final : public Selection
{
public:
    explicit Single(std::string variant)
        : variant_(std::move(variant))
    {
    }

    bool next() override { return !std::exchange(given_, true); }
    std::string_view current() const override { return variant_; }
    QString totalText() const override { return QStringLiteral("1"); }
    double fraction(std::uint64_t written) const override { return double(written); }

private:
    std::string variant_;
    bool given_ = false;
};

// The number of variants the length bounds and the length rule keep.
mpz_class keptCount(const std::optional<CompiledTemplate> &compiled, const Options &options)
{
    if (!compiled)
        return 0;
    return compiled->countInRange(options.lengths);
}

// Two numbers in one message, shortened alike unless that makes them look equal.
std::pair<QString, QString> numbersApart(const mpz_class &a, const mpz_class &b)
{
    const QString first = figures::formatNumber(a);
    const QString second = figures::formatNumber(b);
    if (first != second || a == b)
        return { first, second };
    return { QString::fromStdString(a.get_str()), QString::fromStdString(b.get_str()) };
}

void checkInRange(const mpz_class &position, const std::optional<CompiledTemplate> &compiled, const Options &options)
{
    const mpz_class kept = keptCount(compiled, options);
    if (position <= kept)
        return;
    const auto [asked, count] = numbersApart(position, kept);
    QString reason;
    if (compiled && compiled->keepsNone())
        reason = everyVariantOverLimit(options.rule);
    else if (!options.lengths.bounds() && compiled && !compiled->keepsEveryLength(options.lengths))
        reason = kept == 1
            ? tr("the %1 length rule keeps 1 variant").arg(lengthrules::nameOf(options.rule.rule))
            : tr("the %1 length rule keeps %2 variants").arg(lengthrules::nameOf(options.rule.rule), count);
    else if (!options.lengths.bounds())
        reason = kept == 0 ? tr("the template has no variants")
            : kept == 1    ? tr("the template has 1 variant")
                           : tr("the template has %1 variants").arg(count);
    else
        reason = kept == 0 ? tr("no variant is within the length bounds")
            : kept == 1    ? tr("1 variant is within the length bounds")
                           : tr("%1 variants are within the length bounds").arg(count);
    throw Failure(UsageFailure, tr("--nth %1 is past the end: %2").arg(asked, reason));
}

// The part of what the choice gives that this run writes: all of it, its
// first --max-count, or one slice of those.
struct Span
{
    mpz_class begin = 0;
    std::optional<mpz_class> size; // to the end when absent
};

std::optional<std::uint64_t> limitOf(const Span &span)
{
    if (!span.size)
        return std::nullopt;
    return saturated(*span.size);
}

// --max-count, where the choice takes it.
std::optional<std::uint64_t> maxCountOf(const Choice &choice)
{
    if (const auto *list = std::get_if<choice::List>(&choice))
        return list->maxCount;
    if (const auto *shuffle = std::get_if<choice::Shuffle>(&choice))
        return shuffle->maxCount;
    return std::nullopt;
}

// How many variants the choice gives, after --max-count: what a slice is cut from.
mpz_class chosenCount(const CompiledTemplate &compiled, const Options &options)
{
    const mpz_class kept = keptCount(compiled, options);
    if (const auto *sample = std::get_if<choice::Sample>(&options.choice))
        return sample->size < kept ? sample->size : kept;
    const std::optional<std::uint64_t> maxCount = maxCountOf(options.choice);
    return maxCount && figures::fromUnsigned(*maxCount) < kept ? figures::fromUnsigned(*maxCount) : kept;
}

// --shuffle without --seed orders alike on every run.
constexpr std::uint32_t fixedShuffleSeed = 0;

std::uint64_t freshSeed()
{
    std::random_device device;
    return (std::uint64_t(device()) << 32) ^ device();
}

// Choosing costs time in proportion to the number chosen times the pool.
constexpr unsigned long diverseLimit = 100'000;

std::unique_ptr<Selection> select(
    const CompiledTemplate &compiled, const Options &options, const choice::List &, const Span &span)
{
    return std::make_unique<Stream>(compiled, options, span.begin, limitOf(span), options.slice.has_value());
}

std::unique_ptr<Selection> select(
    const CompiledTemplate &compiled, const Options &options, const choice::Shuffle &shuffle, const Span &span)
{
    // Cut by --max-count, the shuffle is asked for as the sample of that size:
    // its lines are then those of --sample with the same seed, whatever way
    // of drawing the size calls for.
    Sample sample(compiled, chosenCount(compiled, options), options.lengths, shuffle.seed.value_or(fixedShuffleSeed),
        Sample::Order::Random);
    return std::make_unique<Sampled>(std::move(sample), span.begin, span.size);
}

std::unique_ptr<Selection> select(
    const CompiledTemplate &compiled, const Options &options, const choice::Nth &nth, const Span &)
{
    const mpz_class position = nth.position - 1;
    return std::make_unique<Single>(compiled.variantInRange(position, options.lengths));
}

std::unique_ptr<Selection> select(
    const CompiledTemplate &compiled, const Options &options, const choice::Sample &sample, const Span &span)
{
    const std::uint64_t seed = sample.seed ? *sample.seed : freshSeed();
    const Sample::Order order = sample.inOrder ? Sample::Order::Template : Sample::Order::Random;
    if (sample.diverse) {
        if (sample.size > diverseLimit)
            throw Failure(UsageFailure, tr("--diverse chooses at most %1 variants").arg(diverseLimit));
        // The template stays in CP1251 for --diverse: the words are told apart there.
        std::optional<DiverseVariants> chosen
            = chooseDiverseVariants(compiled, sample.size.get_ui(), options.lengths, seed, cp1251::wordBytes(), order);
        // At most diverseLimit are chosen: the slice's bounds fit a word.
        const std::size_t begin = span.begin.get_ui();
        chosen->keepSlice(begin, span.size ? begin + span.size->get_ui() : chosen->size());
        return std::make_unique<Diverse>(std::move(*chosen), options.encoding);
    }
    return std::make_unique<Sampled>(
        Sample(compiled, sample.size, options.lengths, seed, order), span.begin, span.size);
}

std::unique_ptr<Selection> select(const CompiledTemplate &, const Options &, const choice::Figures &, const Span &)
{
    return nullptr;
}

// Slice k of n of T variants is [T(k-1)/n, Tk/n): sizes differ by at most
// one, and the slices meet end to end.
Span spanOf(const CompiledTemplate &compiled, const Options &options)
{
    Span span;
    if (options.slice) {
        const mpz_class total = chosenCount(compiled, options);
        span.begin = total * (options.slice->index - 1) / options.slice->count;
        span.size = total * options.slice->index / options.slice->count - span.begin;
    } else if (const std::optional<std::uint64_t> maxCount = maxCountOf(options.choice)) {
        span.size = figures::fromUnsigned(*maxCount);
    }
    return span;
}

} // namespace

QString everyVariantOverLimit(const lengthrules::FieldRule &rule)
{
    const lengthrules::CharacterLimit *limit = lengthrules::limitOf(rule);
    if (!limit)
        return {};
    return lengthrules::phrased(*limit,
        { tr("every variant holds more than %1 narrow characters"), QStringLiteral("\"%1\""),
            tr("every variant holds %1"), tr("every variant holds more than one %1"),
            tr("every variant holds more than %2 %1") });
}

mpz_class writtenCount(const std::optional<CompiledTemplate> &compiled, const Options &options)
{
    if (!compiled)
        return 0;
    if (std::holds_alternative<choice::Nth>(options.choice))
        return 1;
    const Span span = spanOf(*compiled, options);
    const mpz_class left = chosenCount(*compiled, options) - span.begin;
    return span.size && *span.size < left ? *span.size : left;
}

std::unique_ptr<Selection> selectVariants(const std::optional<CompiledTemplate> &compiled, const Options &options)
{
    try {
        if (const auto *nth = std::get_if<choice::Nth>(&options.choice))
            checkInRange(nth->position, compiled, options);
        if (!compiled)
            return nullptr;
        const Span span = spanOf(*compiled, options);
        return std::visit([&](const auto &choice) { return select(*compiled, options, choice, span); }, options.choice);
    } catch (const LimitError &error) {
        if (error.task() == LimitError::Task::DiversePool)
            throw Failure(UsageFailure, tr("cannot choose the most different variants here: %1").arg(limitText(error)));
        throw Failure(UsageFailure, tr("cannot find variants by position here: %1").arg(limitText(error)));
    }
}

} // namespace razmnozhator::cli
