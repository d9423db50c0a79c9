#pragma once

// The compiled form of a template, shared by the compiler, the statistics and
// the enumerator.
//
// A sequence is literal_0 group_1 literal_1 ... group_k literal_k. A group
// holds sequences as its pieces: the alternatives of "[...]", or for "{...}"
// the separator followed by the items. Groups that can produce only one
// variant never appear: a single-piece "[...]" is spliced into the sequence
// around it, so every group left gives its enumerator frame at least two
// choices. Sequences and groups refer to each other by index, never by pointer,
// and nothing is nested on the C++ stack.

#include "razmnozhator/lengthrule.h"

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace razmnozhator::detail {

// 32 bits are enough: a template is under 2 GiB and its literals, even
// recoded, are refused beyond 4 GiB; the compiled form of a template with
// millions of groups is mostly spans.
struct Span
{
    std::uint32_t offset;
    std::uint32_t length;
};

struct Sequence
{
    std::uint32_t literalBegin; // groupCount + 1 entries of Program::literals
    std::uint32_t groupBegin; // groupCount entries of Program::groupRefs
    std::uint32_t groupCount;
};

enum class GroupKind : std::uint8_t { Alternatives, Pairs };

struct Group
{
    GroupKind kind;
    std::uint32_t pieceBegin; // pieceCount entries of Program::pieces
    std::uint32_t pieceCount;
    // Number of choices of the group's own digit: ordered pairs of items for
    // pairs; for alternatives the entries of Program::choicePieces from
    // choiceBegin on, which are the pieces with nested bare alternatives
    // ("[[a|b]|c]") flattened into them, so that they need no frame of their own.
    std::uint64_t choices;
    std::uint32_t choiceBegin;
    // When every choice's sequence (pairs: every piece) is plain text: where
    // their spans start in Program::pieceLiterals, else noLiterals. The
    // enumerator's fastest path.
    std::uint32_t pieceLiteralsBegin;
};

inline constexpr std::uint32_t noLiterals = UINT32_MAX;
// Bytes past the last literal of Program::pool, so that a short literal can
// be copied as one word of this size.
inline constexpr std::size_t poolSlack = 16;
inline constexpr std::uint32_t groupTag = 1u << 31;

using LiteralMap = std::function<std::string(std::string_view)>;

// The figures every template gets at once, in 64-bit arithmetic that sticks at
// UINT64_MAX instead of wrapping. Lengths count characters (the bytes of the
// text as written); bytes count what the variants hold after the literal map.
struct Figures
{
    std::uint64_t count = 1;
    std::uint64_t bytes = 0;
    std::uint64_t shortest = 0;
    std::uint64_t longest = 0;
    std::uint64_t longestBytes = 0;
};

// Under a length rule whose limit on limited bytes refuses some variants,
// lengths inside the engine carry the number of limited bytes as well: a
// variant of length d by the rule with k of them has the length
// d + period * k, with period one more than the spread of lengths by the rule,
// so that both decode uniquely, and every literal's k counted as at most
// limit + 1, so that sums never outgrow what matters. Bounds by the rule then
// keep `repeats` windows, one period apart, the highest for k = limit: the
// spectra cut above it hold exactly what matters, and a count within bounds
// reads running totals summed over the windows (windowsums.h).
struct RuleLengths
{
    // False: lengths are the rule's own, and no variant is refused.
    bool weighted = false;
    std::uint64_t base = 0; // the shortest length by the rule, limit aside
    std::uint64_t period = 1;
    std::uint32_t repeats = 1;
    // Among the variants the rule keeps, by the rule; 0 when it keeps none.
    std::uint64_t shortest = 0;
    std::uint64_t longest = 0;
    bool keepsNone = false;
    // When weighted: how many bytes fewer than its engine length a variant
    // holds per limited byte, when that is the same for every variant (each
    // limited byte uncounted, or none uncounted).
    std::optional<std::uint64_t> bytesDropPerLimited;
    // When weighted, per node (sequences, then groups): the spread of its
    // lengths by the rule, and of its numbers of limited bytes, from the
    // shortest and the fewest. Its spectrum holds about that many runs of
    // that many slots (see Poly).
    struct Runs
    {
        std::uint64_t span = 0;
        std::uint64_t rows = 0;
        std::uint64_t shortest = 0;
        std::uint64_t fewest = 0;
    };
    std::vector<Runs> nodeRuns;
    // When weighted, per literal: its limited bytes as the engine counts
    // them (at most limit + 1); its engine length less period times these
    // is its length by the rule.
    std::vector<std::uint32_t> literalLimited;
};

class PositionIndex;
class SpectrumIndex;
class RangeIndex;

struct Program
{
    std::string source; // the text compiled, kept to recompile with another literal map
    LiteralMap literalMap; // empty: literals are copied as they are

    std::string pool; // every literal's bytes, then poolSlack more
    std::vector<Span> literals;
    // Characters of each literal in the text as written, as the length rule
    // weighs them (see lengthweights.h); empty when no map changed the
    // literals and the rule is plain, so that a literal's length is its
    // span's length.
    std::vector<std::uint64_t> literalCharacters;
    std::vector<std::uint32_t> groupRefs;
    std::vector<Sequence> sequences;
    std::vector<Group> groups;
    std::vector<std::uint32_t> pieces;
    std::vector<std::uint32_t> choicePieces;
    std::vector<Span> pieceLiterals;
    std::uint32_t root = 0;
    // Every sequence and group in the order compiling finished them, children
    // before parents; a group's pieces in the order they were compiled.
    std::vector<std::uint32_t> postorder;

    Figures figures;
    LengthRule lengthRule;
    RuleLengths ruleLengths;

    std::uint64_t characters(std::uint32_t literal) const
    {
        return literalCharacters.empty() ? literals[literal].length : literalCharacters[literal];
    }

    // Computed on first request.
    mutable std::once_flag exactOnce;
    mutable mpz_class exactCount;
    mutable mpz_class exactTotalBytes;
    mutable std::mutex indexMutex;
    mutable std::shared_ptr<const PositionIndex> positionIndex;
    mutable std::shared_ptr<const SpectrumIndex> spectrumIndex;
    mutable std::shared_ptr<const RangeIndex> rangeIndex;
    // The same cut at the longest length that a question keeps, for the
    // last few such lengths.
    mutable std::vector<std::shared_ptr<const SpectrumIndex>> cutSpectrumIndexes;
    mutable std::vector<std::shared_ptr<const RangeIndex>> cutRangeIndexes;
};

enum class EntryPoint { Template, AlternativesInner, PairsInner };

// What analyzing a template's syntax collects while it compiles: every group
// met, and the bars that split groups, in the order the parser meets them.
struct SyntaxRecorder
{
    enum Kind : std::uint8_t { Opener, Closer, Bar };
    struct Mark
    {
        std::uint32_t offset;
        std::uint32_t opener; // the opener of the group the mark belongs to
        Kind kind;
    };
    std::vector<Mark> marks;
};

// Throws TemplateError; the returned program is complete and immutable.
// A recorder, when given, hears of every group and splitting bar met.
// Lengths count by the rule.
std::shared_ptr<const Program> compileProgram(std::string source, EntryPoint entry, LiteralMap literalMap,
    SyntaxRecorder *recorder = nullptr, const LengthRule &rule = {});

// A literal's length while compiling: its bytes under the plain rule; under
// another, its counted bytes, with the limited ones above bit 32, until
// weighLiterals() has seen them all.
std::uint64_t literalWeight(const LengthRule &rule, std::string_view text) noexcept;
// Turns the literals' lengths noted while compiling into the engine's, and
// fills program.ruleLengths. Throws LimitError when a limit beyond a few
// thousand limited bytes refuses some variants.
void weighLiterals(Program &program);
// The saturated figures of the whole template, from its structure.
Figures computeFigures(const Program &program);
// The exact count and byte total, computed on first request in time
// quasi-linear in their size for every shape of template.
const mpz_class &exactCount(const Program &program);
const mpz_class &exactTotalBytes(const Program &program);
// The shortest and the longest variant of every sequence and group, in
// characters.
struct NodeLengths
{
    struct Bounds
    {
        std::uint64_t shortest;
        std::uint64_t longest;
    };
    std::vector<Bounds> sequences;
    std::vector<Bounds> groups;
};
NodeLengths nodeLengths(const Program &program);
// Coefficients in all the length spectra of the program's nodes: the sum of
// their spreads from shortest to longest variant, or to `cut` when that is
// shorter.
double spectrumSlots(const Program &program, std::uint64_t cut = UINT64_MAX);

} // namespace razmnozhator::detail
