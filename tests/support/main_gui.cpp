#include "support/Sandbox.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    sandbox::enter(argv);
    // Widgets are tested off screen, also when ctest lists the tests (no test environment then).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    sandbox::leave();
    return result;
}
