// SPDX-License-Identifier: GPL-3.0-or-later
// gtest entry for test programs that create widgets: one QApplication for the whole run, on the
// offscreen platform unless the caller chose another (for example xcb under Xvfb).
#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
