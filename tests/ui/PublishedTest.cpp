#include <gtest/gtest.h>

#include <vector>

#include "ui/Published.h"

TEST(Published, DeliversEveryAssignmentEqualOnesTooWhileTheOldValueIsStillStored) {
    Published<int> property(1);
    std::vector<std::pair<int, int>> seen; // (delivered, stored while delivering)
    Cancellable handle =
        property.subscribe([&](const int& value) { seen.emplace_back(value, property.value()); });
    property = 2;
    property = 2;
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}, {2, 2}}));
    EXPECT_EQ(property.value(), 2);
}

TEST(Published, LateSubscriberGetsOnlyTheCurrentValueThenLaterOnes) {
    Published<int> property;
    property = 5;
    property = 6;
    std::vector<int> seen;
    Cancellable handle = property.subscribe([&](const int& value) { seen.push_back(value); });
    property = 7;
    EXPECT_EQ(seen, (std::vector<int>{6, 7}));
}

TEST(Published, DestroyedHandleOrOneCancelledDuringDeliveryStopsIt) {
    Published<int> property;
    int calls = 0;
    {
        Cancellable handle = property.subscribe([&](const int&) { ++calls; });
        property = 1;
    }
    property = 2;
    EXPECT_EQ(calls, 2);

    Cancellable second;
    Cancellable first = property.subscribe([&](const int& value) {
        if (value == 3)
            second.cancel();
    });
    second = property.subscribe([&](const int&) { ++calls; });
    property = 3;
    EXPECT_EQ(calls, 3);
}

TEST(Published, AnAssignmentMadeByASubscriberStandsOverTheOneBeingDelivered) {
    Published<int> property(0);
    std::vector<int> seen;
    Cancellable handle = property.subscribe([&](const int& value) {
        seen.push_back(value);
        if (value == 1)
            property = 2; // e.g. the list download failing while the device screen is shown
    });
    property = 1;
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(property.value(), 2);
}
