#include <gtest/gtest.h>

#include <vector>

#include "ui/Published.h"

TEST(Published, DeliversCurrentThenEveryAssignmentWithTheOldValueStillStored) {
    Published<int> property(1);
    property = 5;
    std::vector<std::pair<int, int>> seen; // (delivered, stored while delivering)
    Cancellable handle = property.subscribe([&](const int& value) {
        seen.emplace_back(value, property.value());
        if (value == 3)
            property = 4; // stands over the value being delivered
    });
    std::vector<int> late; // a subscriber after the one that assigns
    Cancellable lateHandle = property.subscribe([&](const int& value) { late.push_back(value); });
    property = 2;
    property = 2;
    property = 3;
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{5, 5}, {2, 5}, {2, 2}, {3, 2}, {4, 2}}));
    EXPECT_EQ(late, (std::vector<int>{5, 2, 2, 4})); // never 3 after the 4 that replaced it
    EXPECT_EQ(property.value(), 4);
}

TEST(Published, ACancelledOrDestroyedHandleStopsDeliveryEvenDuringOne) {
    Published<int> property;
    int calls = 0;
    {
        Cancellable handle = property.subscribe([&](const int&) { ++calls; });
        property = 1;
    }
    property = 2;
    Cancellable second;
    Cancellable first = property.subscribe([&](const int& value) {
        if (value == 3)
            second.cancel();
    });
    second = property.subscribe([&](const int&) { ++calls; });
    property = 3;
    EXPECT_EQ(calls, 3);
}
