// Length spectra held packed under a length rule's windows, one short run of
// lengths a period: products and sums worked out by hand, including runs
// that go past the end of a period and on from its start.

#include "figures/polyarithmetic.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

namespace {

using razmnozhator::detail::Poly;
using razmnozhator::detail::PolyArithmetic;

using Coefficients = std::map<std::uint64_t, mp_limb_t>;

constexpr std::uint64_t period = 10;

// The sum of the monomials, made the way a group of alternatives is.
Poly polyOf(const PolyArithmetic &math, const Coefficients &terms)
{
    std::vector<Poly> monomials;
    for (const auto &[length, coefficient] : terms)
        monomials.push_back(math.monomial(length, coefficient));
    return math.sum(monomials);
}

// Every coefficient from 0 to `last`, zeros left out.
Coefficients coefficientsOf(const Poly &poly, std::uint64_t last)
{
    Coefficients held;
    for (std::uint64_t length = 0; length <= last; ++length) {
        if (const mp_limb_t *slot = poly.at(std::int64_t(length), 1); slot && *slot != 0)
            held[length] = *slot;
    }
    return held;
}

struct ProductCase
{
    const char *name;
    Coefficients a;
    Coefficients b;
    std::uint64_t cut;
    Coefficients product;
};

const ProductCase productCases[] = {
    { "comma_or_none_after_words", { { 0, 1 }, { 10, 1 } }, { { 3, 1 }, { 4, 2 } }, razmnozhator::detail::noCut,
        { { 3, 1 }, { 4, 2 }, { 13, 1 }, { 14, 2 } } },
    // Lengths 8 and 11 lie in one run, 8, 9, 0, 1 by residue.
    { "run_past_the_end_of_a_period", { { 8, 1 }, { 11, 3 } }, { { 0, 1 }, { 10, 2 } }, razmnozhator::detail::noCut,
        { { 8, 1 }, { 11, 3 }, { 18, 2 }, { 21, 6 } } },
    { "cut_inside_a_run", { { 0, 1 }, { 10, 1 } }, { { 3, 1 }, { 4, 2 } }, 13, { { 3, 1 }, { 4, 2 }, { 13, 1 } } },
    { "rows_above_the_cut", { { 0, 1 }, { 10, 1 }, { 20, 1 } }, { { 1, 1 }, { 11, 1 } }, 12, { { 1, 1 }, { 11, 2 } } },
};

TEST(PackedSpectra, ProductsKeepTheirRunsApart)
{
    for (const ProductCase &row : productCases) {
        SCOPED_TRACE(row.name);
        const PolyArithmetic math { 1, row.cut, period };
        const Poly a = polyOf(math, row.a);
        const Poly b = polyOf(math, row.b);
        const Poly product = math.multiply(a, b);
        EXPECT_EQ(coefficientsOf(product, 40), row.product);
        // Held packed: fewer slots than lengths from the first to the last.
        EXPECT_TRUE(product.packed());
        EXPECT_LT(product.stored(1), product.slots(1));
        Poly scratch;
        EXPECT_EQ(coefficientsOf(razmnozhator::detail::unpacked(product, 1, scratch), 40), row.product);
    }
}

TEST(PackedSpectra, SumsCoverRunsThatWrapRound)
{
    const PolyArithmetic math { 1, razmnozhator::detail::noCut, period };
    // Residues 9, 2 and 0: one run 9, 0, 1, 2 a row.
    const Coefficients terms { { 9, 1 }, { 12, 2 }, { 20, 3 } };
    const Poly sum = polyOf(math, terms);
    EXPECT_TRUE(sum.packed());
    EXPECT_EQ(sum.run, 4u);
    EXPECT_EQ(coefficientsOf(sum, 40), terms);
    // Added to itself, and to a length whose residue, 1, its run covers.
    const Poly twice = math.sum(std::vector<Poly> { sum, sum });
    EXPECT_EQ(coefficientsOf(twice, 40), (Coefficients { { 9, 2 }, { 12, 4 }, { 20, 6 } }));
    const Poly more = math.sum(std::vector<Poly> { sum, math.monomial(31, 5) });
    EXPECT_EQ(coefficientsOf(more, 40), (Coefficients { { 9, 1 }, { 12, 2 }, { 20, 3 }, { 31, 5 } }));
    const Poly shifted = math.multiply(sum, polyOf(math, { { 1, 1 } }));
    EXPECT_EQ(coefficientsOf(shifted, 40), (Coefficients { { 10, 1 }, { 13, 2 }, { 21, 3 } }));
}

} // namespace
