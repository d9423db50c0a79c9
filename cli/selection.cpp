#include "selection.h"

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>

#include "cp1251.h"
#include "failure.h"
#include "figures.h"
#include "holding.h"
#include "options.h"
#include "razmnozhator/diversity.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/restriction.h"
#include "razmnozhator/sample.h"
#include "run.h"

namespace razmnozhator::cli {

namespace {

std::uint64_t saturated(const mpz_class &value)
{
    if (value > mpz_class(std::to_string(UINT64_MAX)))
        return UINT64_MAX;
    std::uint64_t result = 0;
    mpz_export(&result, nullptr, -1, sizeof result, 0, 0, value.get_mpz_t());
    return result;
}

// The variants in order, through the restrict rules, from a position on and
// up to a number of kept ones. Nothing is held, and nothing waits for an
// exact count.
class Stream final : public Selection
{
public:
    Stream(const CompiledTemplate &outputTemplate, const Options &options, RestrictRules rules)
        : enumerator_(outputTemplate, options.lengths())
        , restriction_(rules, Restriction::Holding::Copies, characterLength(options.encoding))
        , total_(double(outputTemplate.countOrMax()))
        , cap_(rules.maxCount)
    {
        if (!options.lengthBounds && !(outputTemplate.countOrMax() == UINT64_MAX && !options.capped))
            totalText_ = QString::number(std::min<std::uint64_t>(outputTemplate.countOrMax(), rules.maxCount));
    }

    // One slice: `limit` kept variants from the one that `enumerator` gives next.
    Stream(BoundedEnumerator enumerator, const Options &options, std::uint64_t limit)
        : enumerator_(std::move(enumerator))
        , restriction_(RestrictRules { options.rules.minLength, options.rules.maxLength, UINT32_MAX, false },
              Restriction::Holding::Copies, characterLength(options.encoding))
        , remaining_(limit)
        , total_(double(limit))
        , cap_(double(limit))
        , totalText_(QString::number(limit))
    {
    }

    bool next() override
    {
        while (remaining_ > 0 && restriction_.wantsMore() && enumerator_.next()) {
            ++visited_;
            if (restriction_.offer(enumerator_.current())) {
                --remaining_;
                return true;
            }
        }
        return false;
    }

    std::string_view current() const override { return enumerator_.current(); }
    QString totalText() const override { return totalText_; }
    double fraction(std::uint64_t written) const override
    {
        return std::max(double(visited_) / total_, double(written) / cap_);
    }

private:
    BoundedEnumerator enumerator_;
    Restriction restriction_;
    std::uint64_t remaining_ = UINT64_MAX;
    std::uint64_t visited_ = 0;
    double total_;
    double cap_;
    QString totalText_;
};

class ShuffledList final : public Selection
{
public:
    explicit ShuffledList(std::unique_ptr<Shuffled> shuffled)
        : shuffled_(std::move(shuffled))
    {
    }

    bool next() override
    {
        const std::vector<std::size_t> &order = shuffled_->restriction.order();
        if (next_ >= order.size())
            return false;
        current_ = shuffled_->held()[order[next_++]];
        return true;
    }

    std::string_view current() const override { return current_; }
    QString totalText() const override { return QString::number(shuffled_->restriction.order().size()); }
    double fraction(std::uint64_t written) const override
    {
        return double(written) / double(std::max<std::size_t>(shuffled_->restriction.order().size(), 1));
    }

private:
    std::unique_ptr<Shuffled> shuffled_;
    std::size_t next_ = 0;
    std::string_view current_;
};

class Sampled final : public Selection
{
public:
    explicit Sampled(Sample sample)
        : sample_(std::move(sample))
        , size_(sample_.size().get_d())
    {
    }

    bool next() override { return sample_.next(); }
    std::string_view current() const override { return sample_.current(); }
    QString totalText() const override { return QString::fromStdString(sample_.size().get_str()); }
    double fraction(std::uint64_t written) const override { return double(written) / std::max(size_, 1.0); }

private:
    Sample sample_;
    double size_;
};

// The most different variants, chosen before the first is written, in CP1251
// and recoded one by one for the output.
class Diverse final : public Selection
{
public:
    Diverse(VariantList chosen, Encoding encoding)
        : chosen_(std::move(chosen))
        , encoding_(encoding)
    {
    }

    bool next() override
    {
        if (next_ >= chosen_.size())
            return false;
        const std::string_view variant = chosen_[next_++];
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
    VariantList chosen_;
    Encoding encoding_;
    std::size_t next_ = 0;
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

// The number of variants the options keep before any cut.
mpz_class keptCount(const CompiledTemplate &outputTemplate, const Options &options)
{
    return options.lengthBounds ? outputTemplate.figuresInRange(options.lengths()).count : outputTemplate.count();
}

std::unique_ptr<Selection> nthVariant(const CompiledTemplate &outputTemplate, const Options &options)
{
    const mpz_class kept = keptCount(outputTemplate, options);
    const mpz_class &k = *options.nth;
    if (k > kept)
        throw Failure(UsageFailure,
            (options.lengthBounds ? tr("--nth %1 is past the end: %2 variants are within the length bounds")
                                  : tr("--nth %1 is past the end: the template has %2 variants"))
                .arg(figures::formatNumber(k), figures::formatNumber(kept)));
    const mpz_class position = k - 1;
    return std::make_unique<Single>(options.lengthBounds ? outputTemplate.variantInRange(position, options.lengths())
                                                         : outputTemplate.variantAt(position));
}

std::uint64_t freshSeed()
{
    std::random_device device;
    return (std::uint64_t(device()) << 32) ^ device();
}

// Choosing costs time in proportion to the number chosen times the pool.
constexpr unsigned long diverseLimit = 100'000;

std::unique_ptr<Selection> sample(const CompiledTemplate &outputTemplate, const Options &options)
{
    const std::uint64_t seed = options.seed ? *options.seed : freshSeed();
    if (options.diverse) {
        if (*options.sampleSize > diverseLimit)
            throw Failure(UsageFailure, tr("--diverse chooses at most %1 variants").arg(diverseLimit));
        // The template stays in CP1251 for --diverse: the words are told apart there.
        std::optional<DiverseSample> chosen
            = chooseDiverseVariants(outputTemplate, options.sampleSize->get_ui(), options.lengths(), seed,
                cp1251::wordBytes(), options.sampleInOrder ? Sample::Order::Template : Sample::Order::Random);
        return std::make_unique<Diverse>(std::move(chosen->lines), options.encoding);
    }
    return std::make_unique<Sampled>(Sample(outputTemplate, *options.sampleSize, options.lengths(), seed,
        options.sampleInOrder ? Sample::Order::Template : Sample::Order::Random));
}

// Slice k of n of T variants is [T(k-1)/n, Tk/n): sizes differ by at most
// one, and the slices meet end to end.
std::unique_ptr<Selection> shard(const CompiledTemplate &outputTemplate, const Options &options)
{
    mpz_class total = keptCount(outputTemplate, options);
    if (options.capped)
        total = std::min(total, mpz_class(options.rules.maxCount));
    const Options::Shard &slice = *options.shard;
    const mpz_class count(std::to_string(slice.count));
    const mpz_class begin = total * mpz_class(std::to_string(slice.index - 1)) / count;
    const mpz_class end = total * mpz_class(std::to_string(slice.index)) / count;

    return std::make_unique<Stream>(
        BoundedEnumerator(outputTemplate, options.lengths(), begin), options, saturated(end - begin));
}

} // namespace

std::unique_ptr<Selection> selectVariants(const CompiledTemplate &outputTemplate, const Options &options)
{
    if (options.rules.shuffle)
        return std::make_unique<ShuffledList>(holdShuffled(outputTemplate, options));
    try {
        if (options.nth)
            return nthVariant(outputTemplate, options);
        if (options.sampleSize)
            return sample(outputTemplate, options);
        if (options.shard)
            return shard(outputTemplate, options);
    } catch (const LimitError &error) {
        throw Failure(
            UsageFailure, tr("cannot find variants by position here: %1").arg(QString::fromUtf8(error.what())));
    }
    return std::make_unique<Stream>(outputTemplate, options, options.rules);
}

} // namespace razmnozhator::cli
