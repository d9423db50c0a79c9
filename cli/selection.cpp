#include "selection.h"

#include <algorithm>
#include <random>
#include <string>
#include <utility>

#include "cp1251.h"
#include "failure.h"
#include "figures.h"
#include "options.h"
#include "razmnozhator/diversity.h"
#include "razmnozhator/sample.h"
#include "shuffle.h"

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

// The variants in order, through the length bounds, from where the
// enumerator stands and up to a number of kept ones. Nothing is held, and
// nothing waits for an exact count.
class Stream final : public Selection
{
public:
    // Every kept variant, up to maxCount.
    Stream(const CompiledTemplate &compiled, const Options &options, std::uint64_t maxCount)
        : Stream(BoundedEnumerator(compiled, options.lengths), options, maxCount, double(compiled.countOrMax()))
    {
        if (!options.lengths.bounds() && !(compiled.countOrMax() == UINT64_MAX && maxCount == UINT64_MAX))
            totalText_ = QString::number(std::min(compiled.countOrMax(), maxCount));
        // Within length bounds the work is the kept variants, not all of them.
        if (const mpz_class *kept = enumerator_.kept()) {
            const std::uint64_t toWrite = std::min(saturated(*kept), maxCount);
            cap_ = double(toWrite);
            if (toWrite != UINT64_MAX)
                totalText_ = QString::number(toWrite);
        }
    }

    // One slice: `limit` kept variants from the one that `enumerator` gives next.
    Stream(BoundedEnumerator enumerator, const Options &options, std::uint64_t limit, double total)
        : enumerator_(std::move(enumerator))
        , restriction_(RestrictRules { options.lengths, UINT64_MAX, false }, Restriction::Holding::Copies,
              characterLength(options.encoding))
        , remaining_(limit)
        , total_(total)
        , cap_(double(limit))
    {
    }

    bool next() override
    {
        while (remaining_ > 0 && enumerator_.next()) {
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
    void setTotalText(QString text) { totalText_ = std::move(text); }

private:
    BoundedEnumerator enumerator_;
    Restriction restriction_;
    std::uint64_t remaining_;
    std::uint64_t visited_ = 0;
    double total_;
    double cap_;
    QString totalText_;
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

// The number of variants the length bounds keep.
mpz_class keptCount(const std::optional<CompiledTemplate> &compiled, const Options &options)
{
    if (!compiled)
        return 0;
    return options.lengths.bounds() ? compiled->figuresInRange(options.lengths).count : compiled->count();
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
    if (!options.lengths.bounds())
        reason = kept == 0 ? tr("the template has no variants")
            : kept == 1    ? tr("the template has 1 variant")
                           : tr("the template has %1 variants").arg(count);
    else
        reason = kept == 0 ? tr("no variant is within the length bounds")
            : kept == 1    ? tr("1 variant is within the length bounds")
                           : tr("%1 variants are within the length bounds").arg(count);
    throw Failure(UsageFailure, tr("--nth %1 is past the end: %2").arg(asked, reason));
}

std::unique_ptr<Selection> select(const CompiledTemplate &compiled, const Options &options, const choice::List &list)
{
    return std::make_unique<Stream>(compiled, options, list.maxCount);
}

std::unique_ptr<Selection> select(
    const CompiledTemplate &compiled, const Options &options, const choice::Shuffle &shuffle)
{
    return shuffleVariants(compiled, options, shuffle);
}

std::unique_ptr<Selection> select(const CompiledTemplate &compiled, const Options &options, const choice::Nth &nth)
{
    const mpz_class position = nth.position - 1;
    return std::make_unique<Single>(
        options.lengths.bounds() ? compiled.variantInRange(position, options.lengths) : compiled.variantAt(position));
}

std::uint64_t freshSeed()
{
    std::random_device device;
    return (std::uint64_t(device()) << 32) ^ device();
}

// Choosing costs time in proportion to the number chosen times the pool.
constexpr unsigned long diverseLimit = 100'000;

std::unique_ptr<Selection> select(
    const CompiledTemplate &compiled, const Options &options, const choice::Sample &sample)
{
    const std::uint64_t seed = sample.seed ? *sample.seed : freshSeed();
    const Sample::Order order = sample.inOrder ? Sample::Order::Template : Sample::Order::Random;
    if (sample.diverse) {
        if (sample.size > diverseLimit)
            throw Failure(UsageFailure, tr("--diverse chooses at most %1 variants").arg(diverseLimit));
        // The template stays in CP1251 for --diverse: the words are told apart there.
        std::optional<DiverseVariants> chosen
            = chooseDiverseVariants(compiled, sample.size.get_ui(), options.lengths, seed, cp1251::wordBytes(), order);
        return std::make_unique<Diverse>(std::move(*chosen), options.encoding);
    }
    return std::make_unique<Sampled>(Sample(compiled, sample.size, options.lengths, seed, order));
}

// Slice k of n of T variants is [T(k-1)/n, Tk/n): sizes differ by at most
// one, and the slices meet end to end.
std::unique_ptr<Selection> select(const CompiledTemplate &compiled, const Options &options, const choice::Shard &shard)
{
    const mpz_class total = std::min(keptCount(compiled, options), mpz_class(std::to_string(shard.maxCount)));
    const mpz_class count(std::to_string(shard.count));
    const mpz_class begin = total * mpz_class(std::to_string(shard.index - 1)) / count;
    const mpz_class end = total * mpz_class(std::to_string(shard.index)) / count;

    const std::uint64_t size = saturated(end - begin);
    auto stream
        = std::make_unique<Stream>(BoundedEnumerator(compiled, options.lengths, begin), options, size, double(size));
    stream->setTotalText(QString::number(size));
    return stream;
}

std::unique_ptr<Selection> select(const CompiledTemplate &, const Options &, const choice::Figures &)
{
    return nullptr;
}

} // namespace

std::unique_ptr<Selection> selectVariants(const std::optional<CompiledTemplate> &compiled, const Options &options)
{
    try {
        if (const auto *nth = std::get_if<choice::Nth>(&options.choice))
            checkInRange(nth->position, compiled, options);
        if (!compiled)
            return nullptr;
        return std::visit([&](const auto &choice) { return select(*compiled, options, choice); }, options.choice);
    } catch (const LimitError &error) {
        if (error.task() == LimitError::Task::DiversePool)
            throw Failure(UsageFailure, tr("cannot choose the most different variants here: %1").arg(limitText(error)));
        throw Failure(UsageFailure, tr("cannot find variants by position here: %1").arg(limitText(error)));
    }
}

// A length in characters: in UTF-8 every character has exactly one byte that
// is not a continuation byte; in CP1251 a byte is a character.
Restriction::LengthOf characterLength(Encoding encoding)
{
    if (encoding == Encoding::Cp1251)
        return nullptr;
    return [](std::string_view variant) {
        return static_cast<std::size_t>(std::count_if(variant.begin(), variant.end(),
            [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
    };
}

} // namespace razmnozhator::cli
