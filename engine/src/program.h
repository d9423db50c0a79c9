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
    std::uint32_t groupBegin;   // groupCount entries of Program::groupRefs
    std::uint32_t groupCount;
};

enum class GroupKind : std::uint8_t { Alternatives, Pairs };

struct Group
{
    GroupKind kind;
    std::uint32_t pieceBegin; // pieceCount entries of Program::pieces
    std::uint32_t pieceCount;
    // Number of choices of the group's own digit: pieces for alternatives,
    // ordered pairs of items for pairs.
    std::uint64_t choices;
};

using LiteralMap = std::function<std::string(std::string_view)>;

struct Program
{
    std::string source;   // the text compiled, kept to recompile with another literal map
    LiteralMap literalMap; // empty: literals are copied as they are

    std::string pool; // every literal's bytes
    std::vector<Span> literals;
    std::vector<std::uint32_t> groupRefs;
    std::vector<Sequence> sequences;
    std::vector<Group> groups;
    std::vector<std::uint32_t> pieces;
    std::uint32_t root = 0;

    mpz_class count;
    mpz_class totalBytes;
    std::size_t maxLength = 0;
};

enum class EntryPoint { Template, AlternativesInner, PairsInner };

// Throws TemplateError; the returned program is complete and immutable.
Program compileProgram(std::string source, EntryPoint entry, LiteralMap literalMap);

} // namespace razmnozhator::detail
