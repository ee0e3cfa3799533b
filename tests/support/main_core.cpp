// One runner per test program, in a fresh sandbox; main_gui.cpp builds it with a QApplication.
#include "support/Sandbox.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#ifndef LUMADOC_TEST_APP
#define LUMADOC_TEST_APP QCoreApplication
#endif

int main(int argc, char** argv) {
    sandbox::enter(argv);
    // Widgets are tested off screen, also when ctest lists the tests (no test environment then).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        LUMADOC_TEST_APP app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    sandbox::leave();
    return result;
}
