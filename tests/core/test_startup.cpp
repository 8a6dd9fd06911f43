#include "tests/support/sandbox.h"


#include "core/globals.h"
#include "platform/shell.h"

using StartUp = Sandbox;

TEST_F(StartUp, RunsOnAnEmptyRootAndSurvivesAKill)
{
    std::string appRoot = root + "/app-root";
    std::unique_ptr<AppProcess> app = startApp(appRoot);
    ASSERT_TRUE(app->waitForStarted(5000));
    // Still running after start-up: it is in its event loop.
    EXPECT_FALSE(app->waitForFinished(1500));
    for (const char* dir : {"/data/configs", "/data/modes", "/data/edidramtable", "/mnt/usb1"})
        EXPECT_TRUE(exists("/app-root" + std::string(dir))) << dir;
    app->kill();
    app->waitForFinished(5000);
}

TEST(Globals, StartUpValues)
{
    resetGlobalsForTest();
    EXPECT_EQ(g_debugSwitch, 254);
    EXPECT_EQ(g_port.load(), 5005u);
    EXPECT_EQ(g_int_tcp_port.load(), 5005u);
    EXPECT_EQ(g_BPS, 115200u);
    EXPECT_EQ(g_dataLen, 32u);
    EXPECT_EQ(g_passby_trans_port.load(), 255);
    EXPECT_EQ(ScreenState.load(), 1);
    EXPECT_EQ(g_auto_lock_time, 30000u);
    EXPECT_EQ(g_back_to_mainwindow_time, 3000u);
    EXPECT_EQ(g_str_wifi_ip, "192.168.22.101");
    EXPECT_TRUE(g_check_edid.isEmpty());
}
