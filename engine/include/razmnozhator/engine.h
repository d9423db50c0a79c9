#pragma once

// The template expansion engine.
//
// Pipeline: template text (bytes) -> CompiledTemplate -> enumeration.
//
// compile() scans the text once, matches brackets, cuts groups into pieces and
// reports the first unclosed group exactly where the expansion order meets it.
// The compiled form knows, without enumerating anything, how many variants
// there are, how many bytes they hold and how long the longest one is. An
// Enumerator then walks the variants in order like an odometer, rewriting
// only the tail of the current variant that changed, so each variant costs
// little more than copying it out. Nothing here recurses on the C++ stack in
// proportion to the template, so any nesting depth is safe.
//
// Grammar: "[a|b]" yields one of its pieces; "{sep|x|y|...}" yields x sep y for
// every ordered pair of two items at different positions; pieces may hold
// groups of their own. The engine works on bytes and knows nothing of encodings.

#include "razmnozhator/lengthbounds.h"
#include "razmnozhator/lengthrule.h"
#include "razmnozhator/variantlist.h"

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace razmnozhator {

class CompiledTemplate;

namespace detail {
struct Program;
// The engine's own parts reach the compiled form and the enumerators'
// lengths through this one key.
struct TemplateAccess;
} // namespace detail

// A group whose opener has no closer. what() is the exact user-facing message.
class TemplateError : public std::runtime_error
{
public:
    enum class Bracket { Square, Curly };

    TemplateError(Bracket bracket, std::size_t offset);

    Bracket bracket() const noexcept { return bracket_; }
    // Byte offset of the unclosed opener in the text that was compiled.
    std::size_t offset() const noexcept { return offset_; }

private:
    Bracket bracket_;
    std::size_t offset_;
};

// How many variants lie within a length range, and how many bytes they hold.
struct RangeFigures
{
    mpz_class count;
    mpz_class totalBytes;
};

// How many variants have each length, from the shortest to the longest, in
// at most a given number of columns: each column sums, exactly, a run of
// lengthsPerColumn consecutive lengths (the last run may be shorter).
struct LengthColumns
{
    std::uint64_t shortest = 0;
    std::uint64_t longest = 0;
    std::uint64_t lengthsPerColumn = 1;
    std::vector<mpz_class> columns;
    // The length that most variants have (the shortest of several such), and
    // how many have it: exact whatever the columns hold.
    std::uint64_t mostFrequent = 0;
    mpz_class mostFrequentCount;
};

// A figure or an index that would cost more memory or time than the engine
// allows itself. The plain count, streaming and the other figures keep
// working. what() says it in English; the fields say what was refused and by
// how much, for a front end that words it itself.
class LimitError : public std::runtime_error
{
public:
    // What the engine would have built.
    enum class Task {
        Unspecified,
        PositionIndex, // the per-node counts that finding a variant by position reads
        LengthCounts, // the numbers of variants of every length
        LengthChoice, // the spectra that finding a variant by its rank within lengths reads
        DiversePool, // the shingles of the candidates that the most different variants are chosen from
    };
    // Which of its limits that would have passed: memory in bytes, or work in
    // machine-word operations.
    enum class Resource { Memory, Work };

    explicit LimitError(const std::string &message);
    LimitError(Task task, Resource resource, std::uint64_t needed, std::uint64_t allowed);

    Task task() const noexcept { return task_; }
    Resource resource() const noexcept { return resource_; }
    // Zero when the thrower did not say.
    std::uint64_t needed() const noexcept { return needed_; }
    std::uint64_t allowed() const noexcept { return allowed_; }

private:
    Task task_ = Task::Unspecified;
    Resource resource_ = Resource::Memory;
    std::uint64_t needed_ = 0;
    std::uint64_t allowed_ = 0;
};

class CompiledTemplate
{
public:
    // Throws TemplateError for the first unclosed group met; never enumerates.
    // Lengths count by the rule (see withLengthRule()).
    static CompiledTemplate compile(std::string_view text, const LengthRule &rule = {});

    // Exact number of variants (at least 1) and total bytes of all variants.
    // Instant when they fit in 64 bits; otherwise the first call computes them,
    // in time quasi-linear in their number of digits, whatever the template's shape.
    const mpz_class &count() const;
    const mpz_class &totalBytes() const;
    // The same values, or UINT64_MAX when they do not fit: always instant, for
    // deciding whether a result can be held at all.
    std::uint64_t countOrMax() const noexcept;
    std::uint64_t totalBytesOrMax() const noexcept;
    // Length of the longest and of the shortest variant, in characters of the
    // text as written (a literal map changes bytes, not characters), counted
    // by the length rule among the variants it keeps; 0 when it keeps none.
    std::size_t maxLength() const noexcept;
    std::size_t minLength() const noexcept;
    // Whether the range holds every variant's length and the length rule
    // refuses none: it then keeps them all, and every question within it is
    // the question without it.
    bool keepsEveryLength(LengthRange range) const noexcept;

    // The same template whose lengths count by the rule from then on: every
    // question about lengths below (and Enumerator::seekInRange(),
    // BoundedEnumerator, Sample, the diversity selection) measures by it and
    // leaves out the variants it refuses. count(), totalBytes(), variantAt()
    // and the plain Enumerator still cover the whole template. The literal
    // map is kept, and withLiteralsMapped() keeps the rule. Lengths by the
    // rule cost more than plain ones: the spectra gain a dimension of up to
    // mostLimited + 1 rows, and LimitError comes that much sooner; a limit
    // above 4,095 that refuses some variant is refused at once.
    CompiledTemplate withLengthRule(const LengthRule &rule) const;
    const LengthRule &lengthRule() const noexcept;
    // True when the rule refuses every variant (each holds more limited
    // bytes than it allows); never under the plain rule.
    bool keepsNone() const noexcept;

    // The same template with every literal run of text replaced by map(run):
    // a fixed per-byte recoding of the output is done here once, not per variant.
    CompiledTemplate withLiteralsMapped(const std::function<std::string(std::string_view)> &map) const;

    // Every variant, in order. Throws std::length_error when the result cannot
    // be addressed at all; the caller decides whether it fits in memory.
    VariantList expand() const;

    // The variant at a 0-based position of the expansion order, without
    // enumerating: the cost grows with the groups on its path. Throws
    // std::out_of_range past the end, LimitError when the per-node counts that
    // random access needs exceed their memory budget (a million nested pairs
    // groups would need about 10^12 bits).
    std::string variantAt(const mpz_class &position) const;

    // Figures of the variants whose length lies in the range, from the exact
    // number of variants of every length (the length spectrum), without
    // enumerating. Throws LimitError when the spectrum would cost too much:
    // templates of millions of groups whose variants vary in length a lot.
    RangeFigures figuresInRange(LengthRange range) const;
    // Their number alone: where a literal map makes bytes differ from
    // characters, a fraction of the work.
    mpz_class countInRange(LengthRange range) const;
    // The rank-th (0-based) variant in order among those whose length lies in
    // the range; its cost does not depend on how few variants that is. Throws
    // std::out_of_range past the end, LimitError like figuresInRange().
    std::string variantInRange(const mpz_class &rank, LengthRange range) const;
    // The numbers of variants of every length, in at most maxColumns (at
    // least 1) columns; never cut at the bounds of an earlier question.
    // Throws LimitError like figuresInRange().
    LengthColumns lengthColumns(std::size_t maxColumns) const;

private:
    friend struct detail::TemplateAccess;
    explicit CompiledTemplate(std::shared_ptr<const detail::Program> program);
    std::shared_ptr<const detail::Program> program_;
};

// What a call that lists many variants at once wrote: whole lines, each a
// variant followed by the terminator asked for.
struct WrittenLines
{
    std::uint64_t lines = 0;
    std::size_t bytes = 0;
};

// Walks the variants of a compiled template in order. The view returned by
// current() stays valid until the next call to next().
class Enumerator
{
public:
    explicit Enumerator(const CompiledTemplate &compiled);
    // Starts at a position: the first next() gives the variant there, and the
    // following ones go on in order at full speed. Throws like variantAt().
    Enumerator(const CompiledTemplate &compiled, const mpz_class &position);
    ~Enumerator();
    Enumerator(Enumerator &&) noexcept;
    Enumerator &operator=(Enumerator &&) noexcept;

    // Moves to the next variant (the first one on the first call). Returns
    // false once every variant has been visited.
    bool next();
    std::string_view current() const noexcept;
    // Goes on through the variants as next() does, writing each followed by
    // `terminator` into `out`: as many whole ones as fit in `capacity` bytes,
    // and at most `maxLines`. current() is then the last one written, unless
    // the call stopped at one that does not fit: current() is that one, and
    // next() gives it. Writes nothing once every variant has been visited, or
    // when the next one does not fit. The variants of the template's last
    // groups, when they hold plain text, are copied as one block per prefix,
    // so short lines cost little more than their bytes.
    WrittenLines writeLines(char *out, std::size_t capacity, char terminator, std::uint64_t maxLines = UINT64_MAX);
    // Moves so that the next call to next() gives the variant at `position`;
    // at the count itself, next() returns false. Throws like variantAt().
    void seek(const mpz_class &position);
    // Moves so that the next call to next() gives the rank-th variant among
    // those whose length lies in the range; the calls after it go on through
    // every variant in order, whatever its length. Throws like variantInRange().
    void seekInRange(const mpz_class &rank, LengthRange range);

private:
    friend struct detail::TemplateAccess;
    struct State;
    std::unique_ptr<State> state_;
};

// Walks, in order, only the variants whose length lies in a range: exactly
// the filtered list, at a cost that follows the variants kept rather than all
// of them. Between two kept variants it steps through the ones in between
// while that is cheaper than finding the next kept one by rank, and jumps
// otherwise. Where the length spectra would cost too much (LimitError), it
// steps through every variant and filters.
class BoundedEnumerator
{
public:
    // Starts at the rank-th (0-based) variant within the range. Throws
    // std::out_of_range when fewer are kept.
    BoundedEnumerator(const CompiledTemplate &compiled, LengthRange range, const mpz_class &rank = 0);
    ~BoundedEnumerator();
    BoundedEnumerator(BoundedEnumerator &&) noexcept;
    BoundedEnumerator &operator=(BoundedEnumerator &&) noexcept;

    // Moves to the next kept variant; false once there is none.
    bool next()
    {
        if (!everyLength_)
            return nextKept();
        return enumerator_.next();
    }
    std::string_view current() const noexcept { return enumerator_.current(); }
    // Enumerator::writeLines() through the kept variants.
    WrittenLines writeLines(char *out, std::size_t capacity, char terminator, std::uint64_t maxLines = UINT64_MAX);
    // How many variants the range keeps, when that is known already: only
    // while ranks are found from the spectra, not when the range holds every
    // length or the variants are filtered one by one.
    const mpz_class *kept() const noexcept;

private:
    friend struct detail::TemplateAccess;
    struct State;
    bool nextKept();
    void jumpTo(const mpz_class &rank);
    void filterFrom(const mpz_class &rank);
    // The plain walk, when the range holds every length, stays inline.
    Enumerator enumerator_;
    bool everyLength_ = false;
    // A kept variant that writeLines() found but could not fit: next() gives it.
    bool held_ = false;
    std::unique_ptr<State> state_;
};

// Every variant of a template as a whole list: compile(text).expand().
VariantList expandTemplate(std::string_view text);

} // namespace razmnozhator
