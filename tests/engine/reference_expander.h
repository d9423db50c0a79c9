#pragma once

// A deliberately naive expander that follows the template language's
// definition step by step: three mutually recursive functions over plain
// vectors of strings and five list operations that copy freely. It is slow,
// recurses once per group and may use a lot of memory, which is exactly why the
// real engine is checked against it and never replaced by it. It exists only
// for the tests, the fuzzer and the benchmarks.

#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace reference {

using VariantList = std::vector<std::string>;

inline constexpr const char *squareMessage = "Incomplete number of '[]'s";
inline constexpr const char *curlyMessage = "Incomplete number of '{}'s";

// An opener without its closer. The offset is counted from the start of the
// text handed to the public function that was called.
class TemplateError : public std::runtime_error
{
public:
    TemplateError(const char *message, std::size_t offset)
        : std::runtime_error(message)
        , offset_(offset)
    {
    }
    std::size_t offset() const noexcept { return offset_; }

private:
    std::size_t offset_;
};

// Thrown when an expansion would produce more than its budget allows, so that
// differential checks can skip templates that explode instead of running out
// of memory. Distinct from TemplateError on purpose: it says nothing about the
// template's validity.
class BudgetExceeded : public std::runtime_error
{
public:
    BudgetExceeded()
        : std::runtime_error("reference expansion exceeded its budget")
    {
    }
};

// Caps the total work of one call: every item created by a list operation
// counts against `items`, and its bytes against `bytes`.
struct Budget
{
    std::size_t items = std::numeric_limits<std::size_t>::max();
    std::size_t bytes = std::numeric_limits<std::size_t>::max();
};

VariantList expandTemplate(std::string_view text, Budget budget = {});
VariantList expandAlternatives(std::string_view inner, Budget budget = {});
VariantList expandPairs(std::string_view inner, Budget budget = {});

VariantList concatVariants(const VariantList &a, const VariantList &b);
VariantList &appendVariants(VariantList &a, const VariantList &b);
VariantList combineVariants(const VariantList &a, const VariantList &b);
VariantList &combineInPlace(VariantList &a, const VariantList &b);
VariantList prefixVariants(std::string_view prefix, const VariantList &list);

} // namespace reference
