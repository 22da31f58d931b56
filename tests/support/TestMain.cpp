#include <QApplication>
#include <gtest/gtest.h>

// Every test program gets a real QApplication, so widget and event-loop tests run the same way
// as the plain ones (the offscreen platform is set by ctest).
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
