// Every test executable runs its tests inside one QApplication on the
// offscreen platform, so widgets and queued signals behave as on the panel.
// Started as a child (tests/support/child.h) it runs that child instead.
#include <QApplication>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>

#include "tests/support/child.h"
#include "tests/support/panel.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // A link the program under test closed must fail the test, not kill it.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    int code = 0;
    if (runChildIfAsked(&code))
        return code;
    ::testing::InitGoogleTest(&argc, argv);
    paneltest::setFailureReporter([](const char* message) { ADD_FAILURE() << message; });
    return RUN_ALL_TESTS();
}
