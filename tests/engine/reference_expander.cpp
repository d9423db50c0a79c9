#include "reference_expander.h"

#include <utility>

namespace reference {

namespace {

std::size_t totalLength(const VariantList &list)
{
    std::size_t total = 0;
    for (const std::string &item : list)
        total += item.size();
    return total;
}

// A piece of a group's inner text together with its offset in the caller's text.
struct Piece
{
    std::string_view text;
    std::size_t offset;
};

class Expander
{
public:
    explicit Expander(Budget budget)
        : budget_(budget)
    {
    }

    VariantList expandTemplate(std::string_view text, std::size_t base);
    VariantList expandAlternatives(std::string_view inner, std::size_t base);
    VariantList expandPairs(std::string_view inner, std::size_t base);

private:
    void charge(std::size_t items, std::size_t bytes);
    void chargeCombine(const VariantList &a, const VariantList &b);

    Budget budget_;
};

void Expander::charge(std::size_t items, std::size_t bytes)
{
    if (items > budget_.items || bytes > budget_.bytes)
        throw BudgetExceeded();
    budget_.items -= items;
    budget_.bytes -= bytes;
}

// Charged before combining so that an explosive product is refused before any
// memory is spent on it.
void Expander::chargeCombine(const VariantList &a, const VariantList &b)
{
    std::size_t items = 0;
    std::size_t bytesOfA = 0;
    std::size_t bytesOfB = 0;
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(a.size(), b.size(), &items)
        || __builtin_mul_overflow(totalLength(a), b.size(), &bytesOfA)
        || __builtin_mul_overflow(totalLength(b), a.size(), &bytesOfB)
        || __builtin_add_overflow(bytesOfA, bytesOfB, &bytes))
        throw BudgetExceeded();
    charge(items, bytes);
}

// A group's closer: only brackets of the opener's own kind move the depth.
std::size_t findCloser(std::string_view text, std::size_t opener, std::size_t base)
{
    const char open = text[opener];
    const char close = open == '[' ? ']' : '}';
    std::size_t depth = 1;
    for (std::size_t i = opener + 1; i < text.size(); ++i) {
        if (text[i] == open) {
            ++depth;
        } else if (text[i] == close) {
            if (--depth == 0)
                return i;
        }
    }
    throw TemplateError(open == '[' ? squareMessage : curlyMessage, base + opener);
}

// A group's pieces: both kinds of brackets move one shared depth, which may
// go below zero; only bars at depth exactly zero split.
std::vector<Piece> splitPieces(std::string_view inner, std::size_t base)
{
    std::vector<Piece> pieces;
    long depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        const char c = inner[i];
        if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ']' || c == '}') {
            --depth;
        } else if (c == '|' && depth == 0) {
            pieces.push_back({ inner.substr(start, i - start), base + start });
            start = i + 1;
        }
    }
    pieces.push_back({ inner.substr(start), base + start });
    return pieces;
}

// The head, the first group, then the tail expanded after the group's inside.
VariantList Expander::expandTemplate(std::string_view text, std::size_t base)
{
    const std::size_t j = text.find_first_of("[{");
    if (j == std::string_view::npos) {
        charge(1, text.size());
        return VariantList { std::string(text) };
    }
    const std::size_t k = findCloser(text, j, base);
    const std::string_view inner = text.substr(j + 1, k - j - 1);
    const VariantList group
        = text[j] == '[' ? expandAlternatives(inner, base + j + 1) : expandPairs(inner, base + j + 1);

    const std::string_view head = text.substr(0, j);
    charge(group.size(), head.size() * group.size() + totalLength(group));
    VariantList result = prefixVariants(head, group);

    const VariantList tail = expandTemplate(text.substr(k + 1), base + k + 1);
    chargeCombine(result, tail);
    combineInPlace(result, tail);
    return result;
}

// Every piece's variants, piece after piece.
VariantList Expander::expandAlternatives(std::string_view inner, std::size_t base)
{
    VariantList result;
    for (const Piece &piece : splitPieces(inner, base)) {
        const VariantList expanded = expandTemplate(piece.text, piece.offset);
        charge(expanded.size(), totalLength(expanded));
        appendVariants(result, expanded);
    }
    return result;
}

// Every ordered pair of two different items: item, separator, item; the parts
// expanded afresh for each pair, second item first.
VariantList Expander::expandPairs(std::string_view inner, std::size_t base)
{
    std::vector<Piece> parts = splitPieces(inner, base);
    while (parts.size() <= 2)
        parts.push_back({ std::string_view(), base + inner.size() });
    const std::size_t n = parts.size();

    VariantList result;
    for (std::size_t r = 1; r < n; ++r) {
        for (std::size_t f = 1; f < n; ++f) {
            if (f == r)
                continue;
            const VariantList second = expandTemplate(parts[f].text, parts[f].offset);
            const VariantList separator = expandTemplate(parts[0].text, parts[0].offset);
            const VariantList first = expandTemplate(parts[r].text, parts[r].offset);
            chargeCombine(first, separator);
            const VariantList joined = combineVariants(first, separator);
            chargeCombine(joined, second);
            const VariantList pair = combineVariants(joined, second);
            charge(pair.size(), totalLength(pair));
            appendVariants(result, pair);
        }
    }
    return result;
}

} // namespace

VariantList expandTemplate(std::string_view text, Budget budget)
{
    return Expander(budget).expandTemplate(text, 0);
}

VariantList expandAlternatives(std::string_view inner, Budget budget)
{
    return Expander(budget).expandAlternatives(inner, 0);
}

VariantList expandPairs(std::string_view inner, Budget budget)
{
    return Expander(budget).expandPairs(inner, 0);
}

VariantList concatVariants(const VariantList &a, const VariantList &b)
{
    VariantList result = a;
    result.insert(result.end(), b.begin(), b.end());
    return result;
}

// Appends in place rather than rebuilding a from scratch: the result is the
// same, and a pairs group appends once per ordered pair, which would otherwise
// make the reference quadratic in the group's output.
VariantList &appendVariants(VariantList &a, const VariantList &b)
{
    if (&a == &b) {
        const VariantList copy = b;
        a.insert(a.end(), copy.begin(), copy.end());
    } else {
        a.insert(a.end(), b.begin(), b.end());
    }
    return a;
}

VariantList combineVariants(const VariantList &a, const VariantList &b)
{
    VariantList result;
    for (const std::string &x : a) {
        for (const std::string &y : b)
            result.push_back(x + y);
    }
    return result;
}

VariantList &combineInPlace(VariantList &a, const VariantList &b)
{
    a = combineVariants(a, b);
    return a;
}

VariantList prefixVariants(std::string_view prefix, const VariantList &list)
{
    return combineVariants(VariantList { std::string(prefix) }, list);
}

} // namespace reference
