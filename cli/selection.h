#pragma once

// What a run writes, one variant at a time, in the way the options chose:
// every kept variant in order, a shuffle of them, the K-th alone, a uniform
// sample, or one slice of the ordered output. A selection is made ready
// before the output is opened, so that a refusal (a shuffle too big to hold,
// a position past the end, an index too costly to build) leaves an existing
// output file as it was.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include <QString>

#include "lengthrules.h"
#include "razmnozhator/engine.h"

namespace razmnozhator::cli {

struct Options;
enum class Encoding;

class Selection
{
public:
    virtual ~Selection() = default;

    // Moves to the next variant to write; false once there is none. The view
    // from current() stays valid until the next call.
    virtual bool next() = 0;
    virtual std::string_view current() const = 0;
    // Moves on through many variants at once where the selection can, writing
    // each followed by the terminator straight into `out`: as many whole ones
    // as fit in `capacity` bytes, and at most `maxLines`. Writes nothing where
    // it cannot, when the next variant does not fit, or when there is none;
    // next() then goes on.
    virtual WrittenLines fill(char * /*out*/, std::size_t /*capacity*/, char /*terminator*/, std::uint64_t /*maxLines*/)
    {
        return {};
    }

    // How many variants will be written, when that is known in advance.
    virtual QString totalText() const = 0;
    // The part of the work done once `written` variants are out.
    virtual double fraction(std::uint64_t written) const = 0;
};

// The selection that options.choice names; nothing to write for an empty
// template. Throws Failure when the options ask for what cannot be given.
// Why nothing is kept when the length rule refuses every variant: "every
// variant holds more than 15 narrow characters", "every variant holds "!"".
QString everyVariantOverLimit(const lengthrules::FieldRule &rule);

// How many variants the selection of these options writes. Throws
// LimitError where the count is too costly.
mpz_class writtenCount(const std::optional<CompiledTemplate> &compiled, const Options &options);

std::unique_ptr<Selection> selectVariants(const std::optional<CompiledTemplate> &compiled, const Options &options);

} // namespace razmnozhator::cli
