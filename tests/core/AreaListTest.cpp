// The list of damaged areas: whatever order places are found in, it keeps them sorted and
// apart, merged where they overlap or touch, and answers for every byte.

#include "core/AreaList.h"

#include <gtest/gtest.h>
#include <vector>

namespace fr {
namespace {

std::vector<ByteRange> areasOf(const AreaList& list) {
    return {list.begin(), list.end()};
}

TEST(AreaList, MergesOverlappingAndTouchingRunsWhateverTheOrder) {
    AreaList list;
    list.add({100, 200});
    list.add({0, 10});
    list.add({300, 310});
    list.add({10, 20});   // touches the first area: one area
    list.add({150, 305}); // overlaps two areas: they become one
    list.add({50, 50});   // empty: nothing
    EXPECT_EQ(areasOf(list), (std::vector<ByteRange>{{0, 20}, {100, 310}}));
    EXPECT_EQ(list.totalBytes(), 20 + 210);

    // A run that swallows every area, given in another order, gives the same list.
    AreaList other;
    other.add({300, 310});
    other.add({0, 310});
    list.merge(other);
    EXPECT_EQ(areasOf(list), (std::vector<ByteRange>{{0, 310}}));
}

TEST(AreaList, AnswersForEveryByteAtTheEdgesOfItsAreas) {
    AreaList list;
    list.add({10, 20});
    list.add({30, 40});
    EXPECT_FALSE(list.contains(9));
    EXPECT_TRUE(list.contains(10));
    EXPECT_TRUE(list.contains(19));
    EXPECT_FALSE(list.contains(20)) << "the end is not part of an area";
    EXPECT_FALSE(list.overlaps({20, 30}));
    EXPECT_TRUE(list.overlaps({0, 11}));
    EXPECT_TRUE(list.overlaps({39, 100}));
    EXPECT_TRUE(list.overlaps({21, 31}));
    EXPECT_FALSE(list.overlaps({35, 35})) << "an empty run holds no byte";
}

} // namespace
} // namespace fr
