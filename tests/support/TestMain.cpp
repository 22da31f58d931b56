#include <QApplication>
#include <gtest/gtest.h>

// Every test program gets a real QApplication (ctest sets the offscreen platform).
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
