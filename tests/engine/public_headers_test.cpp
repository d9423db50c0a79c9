// The public headers are what the window and the command-line tool build on;
// each must compile on its own. The sources under headers/ include exactly one
// of them first, and this test proves those sources were built and linked.

#include "headers/public_headers.h"

#include "razmnozhator/memorybudget.h"

#include <gtest/gtest.h>

TEST(PublicHeaders, EachCompilesOnItsOwn)
{
    EXPECT_EQ(variantsOfTwoAlternatives(), 2u);
    EXPECT_EQ(itemsAfterSelfAppend(), 4u);
    EXPECT_EQ(survivorsOfLengthCut(), 2u);
    EXPECT_TRUE(someMemoryIsAvailable());
    EXPECT_TRUE(unboundedRangeBoundsNothing());
    EXPECT_TRUE(plainRuleCountsEveryByte());
    EXPECT_EQ(marksOfOneGroup(), 3u);
    EXPECT_EQ(sizeOfWholeSample(), 3u);
    EXPECT_EQ(chosenOfThreeLines(), 2u);
}

// One rule for what a held line costs, whichever front end holds it.
TEST(PublicHeaders, MemoryToHoldLinesSaturates)
{
    EXPECT_EQ(memoryToHoldTwoLines(), 42u);
    EXPECT_EQ(razmnozhator::memoryToHoldLines(UINT64_MAX / 16 + 1, 0), UINT64_MAX);
    EXPECT_EQ(razmnozhator::memoryToHoldLines(1, UINT64_MAX - 15), UINT64_MAX);
    EXPECT_EQ(razmnozhator::memoryToHoldLines(1, UINT64_MAX - 17), UINT64_MAX - 1);
}
