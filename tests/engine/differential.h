#pragma once

// What the engine and the reference expander each make of one text, in a form
// that compares exactly and prints readably. Shared by the differential tests
// and the fuzzer, so both judge a disagreement the same way.

#include "groupexpansion.h"
#include "reference_expander.h"
#include "testtext.h"

#include "razmnozhator/engine.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace differential {

// Either the variants in order, or the first error with its offset.
struct Outcome
{
    bool failed = false;
    std::string message;
    std::size_t offset = 0;
    std::vector<std::string> variants;

    friend bool operator==(const Outcome &, const Outcome &) = default;
};

// Which of the three expansion functions to call on the text.
enum class Entry { Template, Alternatives, Pairs };

inline const char *entryName(Entry entry)
{
    switch (entry) {
    case Entry::Template:
        return "expandTemplate";
    case Entry::Alternatives:
        return "expandAlternatives";
    case Entry::Pairs:
        return "expandPairs";
    }
    return "?";
}

// Bytes as a C string literal, so that Cyrillic bytes, spaces and empty
// strings are all visible in a failure message.
inline std::string quoted(std::string_view bytes)
{
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    out += '"';
    return out;
}

inline std::ostream &operator<<(std::ostream &out, const Outcome &outcome)
{
    if (outcome.failed)
        return out << "error " << quoted(outcome.message) << " at " << outcome.offset;
    out << outcome.variants.size() << " variants {";
    for (std::size_t i = 0; i < outcome.variants.size(); ++i)
        out << (i == 0 ? "" : ", ") << quoted(outcome.variants[i]);
    return out << "}";
}

inline Outcome fromList(const razmnozhator::VariantList &list)
{
    Outcome outcome;
    outcome.variants = testtext::toStrings(list);
    return outcome;
}

inline Outcome fromError(const char *message, std::size_t offset)
{
    Outcome outcome;
    outcome.failed = true;
    outcome.message = message;
    outcome.offset = offset;
    return outcome;
}

// std::nullopt when the reference gave up on its budget.
inline std::optional<Outcome> referenceOutcome(Entry entry, std::string_view text, reference::Budget budget = {})
{
    try {
        Outcome outcome;
        switch (entry) {
        case Entry::Template:
            outcome.variants = reference::expandTemplate(text, budget);
            break;
        case Entry::Alternatives:
            outcome.variants = reference::expandAlternatives(text, budget);
            break;
        case Entry::Pairs:
            outcome.variants = reference::expandPairs(text, budget);
            break;
        }
        return outcome;
    } catch (const reference::TemplateError &error) {
        return fromError(error.what(), error.offset());
    } catch (const reference::BudgetExceeded &) {
        return std::nullopt;
    }
}

// The engine's whole-list functions.
inline Outcome engineOutcome(Entry entry, std::string_view text)
{
    try {
        switch (entry) {
        case Entry::Template:
            return fromList(razmnozhator::expandTemplate(text));
        case Entry::Alternatives:
            return fromList(razmnozhator::expandAlternatives(text));
        case Entry::Pairs:
            return fromList(razmnozhator::expandPairs(text));
        }
    } catch (const razmnozhator::TemplateError &error) {
        return fromError(error.what(), error.offset());
    }
    return {};
}

// Every variant an Enumerator visits, in order.
inline std::vector<std::string> enumerateAll(const razmnozhator::CompiledTemplate &compiled)
{
    std::vector<std::string> variants;
    razmnozhator::Enumerator enumerator(compiled);
    while (enumerator.next())
        variants.emplace_back(enumerator.current());
    return variants;
}

// How a listing hands out its buffers: their size, the most lines asked for
// at a time, and how often a variant is taken by next() between two calls.
struct LineBuffers
{
    std::size_t capacity;
    std::uint64_t maxLines = UINT64_MAX;
    int nextEvery = 0; // 0: only when writeLines() wrote nothing
    char terminator = '\n';
};

// Every variant that an Enumerator or a BoundedEnumerator lists through
// writeLines(), cut at the terminators, which the variants must not hold;
// next() takes over whenever writeLines() writes nothing. Lines that do not
// end where the call said, or a current() that is not the last line written
// after a call that the line cap stopped, add a marked line so that the
// comparison fails.
template <class Lines> std::vector<std::string> listInLines(Lines &lines, const LineBuffers &buffers)
{
    std::vector<std::string> variants;
    std::string buffer(buffers.capacity, '\0');
    for (int call = 1;; ++call) {
        const razmnozhator::WrittenLines written
            = lines.writeLines(buffer.data(), buffers.capacity, buffers.terminator, buffers.maxLines);
        std::size_t start = 0;
        for (std::uint64_t line = 0; line < written.lines; ++line) {
            const std::size_t end = std::min(buffer.find(buffers.terminator, start), written.bytes);
            variants.push_back(buffer.substr(start, end - start));
            start = end + 1;
        }
        if (start != written.bytes || written.lines > buffers.maxLines
            || (written.lines != 0 && written.lines == buffers.maxLines && lines.current() != variants.back()))
            variants.emplace_back("<lines other than reported>");
        if (written.lines == 0 || (buffers.nextEvery != 0 && call % buffers.nextEvery == 0)) {
            if (!lines.next())
                return variants;
            variants.emplace_back(lines.current());
        }
    }
}

inline std::size_t totalLength(const std::vector<std::string> &variants)
{
    std::size_t total = 0;
    for (const std::string &variant : variants)
        total += variant.size();
    return total;
}

inline std::size_t longest(const std::vector<std::string> &variants)
{
    std::size_t length = 0;
    for (const std::string &variant : variants)
        length = variant.size() > length ? variant.size() : length;
    return length;
}

inline std::size_t shortest(const std::vector<std::string> &variants)
{
    std::size_t length = SIZE_MAX;
    for (const std::string &variant : variants)
        length = variant.size() < length ? variant.size() : length;
    return length;
}

} // namespace differential
