#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// The widget tests need one QApplication for the whole run; without a display they use the
// offscreen platform, so the suite runs the same on a desktop and in CI.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
