#pragma once

// The compiled form of a template, shared by the compiler and the enumerator.
//
// A sequence is literal_0 group_1 literal_1 ... group_k literal_k. A group
// holds sequences as its pieces: the alternatives of "[...]", or for "{...}"
// the separator followed by the items. Groups that can produce only one
// variant never appear: a single-piece "[...]" is spliced into the sequence
// around it, so every group left gives its enumerator frame at least two
// choices. Sequences and groups refer to each other by index, never by pointer,
// and nothing is nested on the C++ stack.

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace razmnozhator::detail {

struct Span
{
    std::uint64_t offset;
    std::uint64_t length;
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

using LiteralMap = std::function<std::string(std::string_view)>;

struct Program
{
    std::string source; // the text compiled, kept to recompile with another literal map
    LiteralMap literalMap; // empty: literals are copied as they are

    std::string pool; // every literal's bytes
    std::vector<Span> literals;
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

    // Saturated at detail::saturated when the true value does not fit.
    std::uint64_t count = 0;
    std::uint64_t totalBytes = 0;
    std::size_t maxLength = 0;

    // Exact values, computed on first request.
    mutable std::once_flag exactOnce;
    mutable mpz_class exactCount;
    mutable mpz_class exactTotalBytes;
};

inline constexpr std::uint32_t groupTag = 1u << 31;

// Computes exactCount and exactTotalBytes from the program's structure.
void computeExactStatistics(const Program &program);

enum class EntryPoint { Template, AlternativesInner, PairsInner };

// Throws TemplateError; the returned program is complete and immutable.
std::shared_ptr<const Program> compileProgram(std::string source, EntryPoint entry, LiteralMap literalMap);

} // namespace razmnozhator::detail
