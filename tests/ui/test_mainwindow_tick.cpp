#include "tests/support/sandbox.h"

#include "core/globals.h"
#include "platform/shell.h"
#include "ui/shell/mainwindow.h"

using Tick = Sandbox;

TEST_F(Tick, AdvancesTimeOpensUsbGateAndRebootsOnce)
{
    MainWindow w;
    // Only what the tick runs: the window's start-up loaded the parameters.
    platform::simShell().clearLog();
    int reboots = 0;
    platform::simShell().setRebootHandler([&] { ++reboots; });

    for (int i = 0; i < 999; ++i)
        w.slot_update_timer_ticks();
    EXPECT_EQ(G_timeTicks.load(), 999u);
    EXPECT_EQ(g_delay_usbserver.load(), 0);
    w.slot_update_timer_ticks();
    EXPECT_EQ(g_delay_usbserver.load(), 1);

    G_reboot_tickTicks = G_timeTicks.load();
    g_app_reset_flag = 1;
    for (int i = 0; i < 299; ++i)
        w.slot_update_timer_ticks();
    EXPECT_EQ(reboots, 0);
    w.slot_update_timer_ticks();
    EXPECT_EQ(reboots, 1);
    for (int i = 0; i < 10; ++i)
        w.slot_update_timer_ticks();
    EXPECT_EQ(reboots, 1);
    EXPECT_EQ(platform::simShell().log(), std::vector<std::string>{"reboot"});
}
