#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "common/owned.h"

namespace {

std::vector<int> released;

void release(int handle) { released.push_back(handle); }

using Handle = veskcheck::Owned<int, release, -1>;

struct OwnedTest : ::testing::Test {
    void SetUp() override { released.clear(); }
};

TEST_F(OwnedTest, ReleasesWhatItHoldsOnceAndNeverTheEmptyValue) {
    {
        const Handle held(7);
        const Handle none;
        Handle filled;
        *filled.put() = 8;
    }
    EXPECT_EQ(released, (std::vector<int>{8, 7}));  // in reverse order of construction
}

TEST_F(OwnedTest, MovesTheHandleOn) {
    Handle first(1);
    Handle second(std::move(first));
    EXPECT_EQ(first.get(), -1);
    EXPECT_EQ(second.get(), 1);
    Handle third(3);
    third = std::move(second);  // 3 is released, 1 moves on
    EXPECT_EQ(released, (std::vector<int>{3}));
    third = std::move(third);  // moving onto itself keeps the handle
    EXPECT_EQ(third.get(), 1);
    EXPECT_EQ(released, (std::vector<int>{3}));
}

TEST_F(OwnedTest, PutReleasesFirstAndDetachGivesUpWithoutReleasing) {
    Handle owner(4);
    *owner.put() = 5;
    EXPECT_EQ(released, (std::vector<int>{4}));
    EXPECT_EQ(owner.detach(), 5);
    EXPECT_EQ(owner.get(), -1);
    owner.reset(6);
    owner.reset();
    EXPECT_EQ(released, (std::vector<int>{4, 6}));
}

// A handle that is a pair of words, as security package handles are: all ones means none, and
// release takes the handle by reference.
struct Pair {
    int low;
    int high;
};
std::vector<int> releasedPairs;
struct PairTraits {
    using Handle = Pair;
    static Handle none() { return {-1, -1}; }
    static bool holds(const Handle& h) { return h.low != -1 || h.high != -1; }
    static void release(Handle& h) { releasedPairs.push_back(h.low); }
};
using PairOwner = veskcheck::Owner<PairTraits>;

TEST(Owner, TraitsSayWhatIsHeldAndAddressOfUpdatesInPlace) {
    releasedPairs.clear();
    {
        PairOwner owner;
        EXPECT_FALSE(owner);
        *owner.put() = {1, 0};
        EXPECT_TRUE(owner);
        owner.addressOf()->low = 2;  // a call continuing the same handle: nothing is released
        EXPECT_TRUE(releasedPairs.empty());
        PairOwner moved(std::move(owner));
        EXPECT_FALSE(owner);
    }
    EXPECT_EQ(releasedPairs, (std::vector<int>{2}));
}

}  // namespace
