// The keyed permutation behind samples: a permutation in either domain, and
// the same values as earlier releases where samples rely on them.

#include "selection/permutation.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using razmnozhator::detail::Permutation;
using razmnozhator::detail::Random;

constexpr std::uint64_t seed = 7;

struct OrderCase
{
    const char *size;
    const char *values[4]; // at 0, 1, 2 and 999
};

// Written by the previous release for seed 7: one word, two words and more.
const OrderCase orderCases[] = {
    { "1000003", { "652450", "578352", "900073", "464611" } },
    { "2305843009213693953",
        { "1957120139016079500", "1509322645834499798", "1249088808559195236", "1850108605355254011" } },
    { "717897987691852588770249",
        { "277888537701264031374500", "53461571363963974993285", "318683245382541345690197",
            "42487304253284322964903" } },
    { "1000000000000000000000000000000000000000000007",
        { "615960488616025806748854379904335048945736188", "507800902110375947155230436103396649129240793",
            "383502971330444127003573197849984068686672833", "537898474206769912351226381058331365686988334" } },
};

TEST(Permutation, KeepsTheOrderSamplesHadBefore)
{
    for (const OrderCase &row : orderCases) {
        Random random(seed);
        const Permutation permutation(mpz_class(row.size), random);
        const unsigned long indexes[] = { 0, 1, 2, 999 };
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(permutation.at(mpz_class(indexes[i])).get_str(), row.values[i]) << row.size << " at " << indexes[i];
    }
}

struct DomainCase
{
    const char *size;
    unsigned long drawn; // every index when the size is as small
};

const DomainCase domainCases[] = {
    { "1", 1 },
    { "2", 2 },
    { "5", 5 },
    { "1025", 1025 }, // 11 bits: halves of 6 and 5
    { "4097", 4097 },
    { "590295810358705651715", 3000 }, // 2^69 + 3, 70 bits, two words
    { "1180591620717411303427", 3000 }, // 2^70 + 3, 71 bits
};

TEST(Permutation, EveryDomainGivesEachIndexItsOwnValue)
{
    for (const auto domain : { Permutation::Domain::PowerOfFour, Permutation::Domain::PowerOfTwo }) {
        for (const DomainCase &row : domainCases) {
            SCOPED_TRACE(std::string(row.size) + (domain == Permutation::Domain::PowerOfTwo ? ", power of two" : ""));
            const mpz_class size(row.size);
            Random random(seed);
            const Permutation permutation(size, random, domain);
            std::set<mpz_class> values;
            for (unsigned long index = 0; index < row.drawn; ++index) {
                const mpz_class value = permutation.at(mpz_class(index));
                ASSERT_LT(value, size);
                ASSERT_TRUE(values.insert(value).second) << "twice: " << value.get_str();
            }
        }
    }
}

TEST(Permutation, DomainsAgreeWhenTheBitsAreEven)
{
    // 1000003 - 1 takes 20 bits: a power of four holds it as tightly.
    Random four(seed);
    Random two(seed);
    const Permutation byFour(mpz_class(1000003), four);
    const Permutation byTwo(mpz_class(1000003), two, Permutation::Domain::PowerOfTwo);
    for (unsigned long index : { 0ul, 5ul, 999ul, 1000002ul })
        EXPECT_EQ(byFour.at(mpz_class(index)), byTwo.at(mpz_class(index)));
}

} // namespace
