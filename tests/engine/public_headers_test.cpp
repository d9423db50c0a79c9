// The public headers are what the window and the command-line tool build on;
// each must compile on its own. The sources under headers/ include exactly one
// of them first, and this test proves those sources were built and linked.

#include "headers/public_headers.h"

#include <gtest/gtest.h>

TEST(PublicHeaders, EachCompilesOnItsOwn)
{
    EXPECT_EQ(variantsOfTwoAlternatives(), 2u);
    EXPECT_EQ(itemsAfterSelfAppend(), 4u);
    EXPECT_EQ(survivorsOfLengthCut(), 2u);
    EXPECT_TRUE(someMemoryIsAvailable());
    EXPECT_EQ(marksOfOneGroup(), 3u);
    EXPECT_EQ(sizeOfWholeSample(), 3u);
    EXPECT_EQ(shinglesOfFourWords(), 2u);
}
