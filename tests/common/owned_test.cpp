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

}  // namespace
