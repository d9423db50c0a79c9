#pragma once

// Length spectra as a semiring (algebra.h), in slots only as wide as their
// coefficients need, alone or with byte totals beside them; and what making
// them takes, which is checked before they are made.

#include "figures/multiword.h"
#include "figures/polyarithmetic.h"
#include "program/program.h"

#include <gmp.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace razmnozhator::detail {

// A polynomial packed in slots only as wide as its own coefficients need:
// `bits` bounds the sum of its coefficients, so the product of two such
// polynomials never carries from one slot into the next at the sum of their
// bits. Deep in a long sequence the parts count few variants, and multiplying
// them at the width of the whole template's count would make every level of
// the product tree cost as much as the last one.
struct Packed
{
    Poly poly;
    std::size_t bits = 1;
};

// The same coefficients in slots of `to` words (at least as wide as they need).
Poly repacked(const Poly &poly, std::size_t from, std::size_t to);
// The bits of the sum of the coefficients, which fits `width` words.
std::size_t sumBits(const Poly &poly, std::size_t width);

// Spectra as a semiring: products are convolutions, sums add coefficients
// of equal lengths. Plain text is a monomial z^length, and a product with it
// stays a shift, as PolyArithmetic::multiply makes it. No coefficient needs
// more than `capBits`, the bits of the widest figure of the template. Cut
// spectra count far fewer variants than their nodes have: their bits are
// measured after each step, so that the slots stay as narrow as what the cut
// keeps.
struct Spectra
{
    using Value = Packed;
    std::size_t capBits;
    std::uint64_t cut = noCut;
    std::uint64_t period = 0;

    Value monomial(std::uint64_t length, mp_limb_t coefficient) const
    {
        return { PolyArithmetic { 1, cut }.monomial(length, coefficient),
            std::max<std::size_t>(1, std::bit_width(coefficient)) };
    }
    Value text(std::uint64_t characters, std::uint64_t) const { return monomial(characters, 1); }
    Value add(const Value &a, const Value &b) const
    {
        const Value *both[] = { &a, &b };
        return sumOf(both);
    }
    Value mul(const Value &a, const Value &b) const
    {
        const std::size_t bits = std::min(a.bits + b.bits, capBits);
        const PolyArithmetic math { multiword::wordsFor(bits), cut, period };
        Poly aScratch, bScratch;
        return measured({ math.multiply(atWidth(a, math.width, aScratch), atWidth(b, math.width, bScratch)), bits });
    }
    Value sum(std::span<const Value> values) const
    {
        std::vector<const Value *> all;
        all.reserve(values.size());
        for (const Value &value : values)
            all.push_back(&value);
        return sumOf(all);
    }

    Value sumOf(std::span<const Value *const> values) const
    {
        std::size_t widest = 0;
        for (const Value *value : values)
            widest = std::max(widest, value->bits);
        const std::size_t bits = std::min(widest + std::bit_width(values.size() - 1), capBits);
        const PolyArithmetic math { multiword::wordsFor(bits), cut, period };
        std::vector<Poly> scratch(values.size());
        std::vector<const Poly *> polys;
        polys.reserve(values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            polys.push_back(&atWidth(*values[i], math.width, scratch[i]));
        return measured({ math.sum(polys), bits });
    }

    Value measured(Value value) const
    {
        if (cut == noCut)
            return value;
        const std::size_t bits = std::min(value.bits, sumBits(value.poly, multiword::wordsFor(value.bits)));
        value.poly = repacked(value.poly, multiword::wordsFor(value.bits), multiword::wordsFor(bits));
        value.bits = bits;
        return value;
    }

private:
    // The polynomial of value in slots of `width` words: its own when they
    // are that wide already, else a copy made in scratch.
    static const Poly &atWidth(const Value &value, std::size_t width, Poly &scratch)
    {
        if (multiword::wordsFor(value.bits) == width)
            return value.poly;
        scratch = repacked(value.poly, multiword::wordsFor(value.bits), width);
        return scratch;
    }
};

// Count and byte total side by side, as a dual number g + h e over spectra:
// g counts the variants of each length, h sums their bytes.
struct Weighted
{
    Packed g;
    Packed h;
};

struct WeightedSpectra
{
    using Value = Weighted;
    Spectra spectra;

    Value text(std::uint64_t characters, std::uint64_t bytes) const
    {
        return { spectra.monomial(characters, 1), spectra.monomial(characters, bytes) };
    }
    Value add(const Value &a, const Value &b) const { return { spectra.add(a.g, b.g), spectra.add(a.h, b.h) }; }
    Value mul(const Value &a, const Value &b) const
    {
        return { spectra.mul(a.g, b.g), spectra.add(spectra.mul(a.g, b.h), spectra.mul(a.h, b.g)) };
    }
    Value sum(std::span<const Value> values) const
    {
        std::vector<const Packed *> g, h;
        for (const Value &value : values) {
            g.push_back(&value.g);
            h.push_back(&value.h);
        }
        return { spectra.sumOf(g), spectra.sumOf(h) };
    }
};

// Words a coefficient takes: enough for the template's whole count.
std::size_t spectraWidth(const Program &program);
// The template's own spectrum is one number of this many words.
double rootWords(const Program &program, std::uint64_t cut, std::size_t width);
// Throws LimitError when spectra cut at `cut`, `width` words a coefficient,
// would take too much memory, or the last products, of `largestWords`, too
// much time.
void checkSpectraBudget(std::uint64_t cut, std::size_t width, double slots, double largestWords);

} // namespace razmnozhator::detail
