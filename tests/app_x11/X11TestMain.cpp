// The X11 tests run against a private Xvfb started here; the test program's own windows stay on
// Qt's offscreen platform, the hot keys and the programs it starts use the X server.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "XvfbDisplay.h"

int main(int argc, char **argv) {
    qvtest::XvfbDisplay server(/*windowManager=*/false);
    if (!server.Ok()) {
        std::fprintf(stderr, "cannot start Xvfb\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
