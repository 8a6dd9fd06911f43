#include "tests/support/sandbox.h"

#include "platform/platform.h"
#include "platform/serial.h"
#include "platform/shell.h"

#include <QFileInfo>

using SimShellTest = Sandbox;

TEST_F(SimShellTest, FileCommandsActInsideTheRoot)
{
    platform::Shell& sh = platform::shell();
    writeFile("/data/modes/custom_mode10", "slot");
    EXPECT_EQ(sh.run("cp /data/modes/custom_mode10  /data/modes/MO0a.json"), 0);
    EXPECT_EQ(readFile("/data/modes/MO0a.json"), "slot");
    EXPECT_EQ(sh.run("mv /data/modes/MO0a.json /data/modes/MO0b.json"), 0);
    EXPECT_FALSE(exists("/data/modes/MO0a.json"));
    EXPECT_TRUE(exists("/data/modes/MO0b.json"));
    EXPECT_EQ(sh.run("mkdir -p /data/a/b/c"), 0);
    EXPECT_TRUE(exists("/data/a/b/c"));
    EXPECT_EQ(sh.run("chmod 755 /data/modes/MO0b.json"), 0);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path("/data/modes/MO0b.json"))).isExecutable());
    writeFile("/data/rcvrecovery/a.bin", "1");
    writeFile("/data/rcvrecovery/b.bin", "2");
    EXPECT_EQ(sh.run("rm -rf /data/rcvrecovery/*"), 0);
    EXPECT_FALSE(exists("/data/rcvrecovery/a.bin"));
    EXPECT_TRUE(exists("/data/rcvrecovery"));
    EXPECT_EQ(sh.run("rm /data/modes/custom_mode10 ; sync"), 0);
    EXPECT_FALSE(exists("/data/modes/custom_mode10"));
    EXPECT_EQ(sh.run("chattr +S /data/configs/tcpip.ini"), 0);

    auto log = platform::simShell().log();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[0], "cp /data/modes/custom_mode10  /data/modes/MO0a.json"); // verbatim, blanks and all
    EXPECT_EQ(readFile("/sim/shell.log").count('\n'), 7);
}

TEST_F(SimShellTest, NothingLeavesTheRoot)
{
    writeFile("/data/x", "1");
    platform::Shell& sh = platform::shell();
    sh.run("cp /data/x /data/../../escaped");
    sh.run("rm -rf /data/../..");
    sh.run("rm -rf /");
    sh.run("cp /data/x relative-target");
    EXPECT_TRUE(exists("/data/x"));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(root + "/../escaped")));
    EXPECT_FALSE(QFileInfo::exists("relative-target"));
}

TEST_F(SimShellTest, HostCommandsAreOnlyRecorded)
{
    int reboots = 0;
    platform::simShell().setRebootHandler([&] { ++reboots; });
    platform::Shell& sh = platform::shell();
    EXPECT_EQ(sh.run("ifconfig eth0 192.168.0.199 netmask 255.255.255.0 up"), 0);
    EXPECT_EQ(sh.run("hwclock -w"), 0);
    EXPECT_EQ(sh.run("reboot"), 0);
    EXPECT_EQ(reboots, 1);
    EXPECT_EQ(platform::simShell().log().size(), 3u);
}

TEST_F(SimShellTest, ScriptedStatusAndOutput)
{
    platform::simShell().script("ifconfig eth0 &>/dev/null", 256);
    platform::simShell().script("cat /proc/version", 0, "Linux\n");
    writeFile("/data/keep", "1");
    platform::simShell().script("rm /data/keep", 256);
    platform::Shell& sh = platform::shell();
    EXPECT_EQ(sh.run("ifconfig eth0 &>/dev/null"), 256);
    bool started = false;
    EXPECT_EQ(sh.capture("cat /proc/version", 100, &started), "Linux\n");
    EXPECT_TRUE(started);
    EXPECT_EQ(sh.run("rm /data/keep"), 256);
    EXPECT_TRUE(exists("/data/keep")); // a command scripted to fail does nothing
}

TEST(ShellWords, QuotesAndRedirections)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(platform::shellWords("ifconfig eth0 &>/dev/null"), (V{"ifconfig", "eth0"}));
    EXPECT_EQ(platform::shellWords("echo 'a b' \"c\" > /dev/null 2>&1"), (V{"echo", "a b", "c"}));
}

TEST_F(SimShellTest, PathsMapUnderTheRoot)
{
    EXPECT_EQ(platform::sysPath("/data/ram_device_info"), root + "/data/ram_device_info");
    EXPECT_EQ(platform::sysPath(QString("/etc/udhcpd.conf")), QString::fromStdString(root + "/etc/udhcpd.conf"));
    EXPECT_EQ(platform::sysPath("relative"), "relative");
    EXPECT_TRUE(exists("/data/configs"));
    EXPECT_TRUE(exists("/data/modes"));
}

// The device runs for months: what the simulation records keeps its size.
TEST_F(SimShellTest, RecordsOfALongRunStayBounded)
{
    platform::SimShell& sh = platform::simShell();
    const size_t commands = platform::SimShell::kLogLimit + 10;
    for (size_t i = 0; i < commands; ++i)
        sh.run("sync " + std::to_string(i));
    auto log = sh.log();
    ASSERT_EQ(log.size(), platform::SimShell::kLogLimit);
    EXPECT_EQ(log.front(), "sync 10");
    EXPECT_EQ(log.back(), "sync " + std::to_string(commands - 1));

    // The file moves aside once past its limit and starts afresh.
    writeFile("/sim/shell.log", QByteArray(platform::SimShell::kLogFileLimit, 'x'));
    sh.run("hwclock -w");
    EXPECT_EQ(readFile("/sim/shell.log"), "hwclock -w\n");
    EXPECT_EQ(readFile("/sim/shell.log.1").size(), platform::SimShell::kLogFileLimit);
    // Without the file the log keeps them all the same.
    sh.setLogFile(false);
    sh.run("sync off");
    sh.setLogFile(true);
    EXPECT_EQ(sh.log().back(), "sync off");
    EXPECT_EQ(readFile("/sim/shell.log"), "hwclock -w\n");

    // Every reply on the RS-485 port switches the driver twice.
    platform::SimSerial& serial = platform::simSerial();
    int fd = serial.open(2, 115200);
    ASSERT_GE(fd, 0);
    for (size_t i = 0; i < platform::SimSerial::kDirectionLogLimit; ++i) {
        serial.setTransmit(fd, true);
        serial.setTransmit(fd, false);
    }
    serial.setTransmit(fd, true);
    auto directions = serial.directionLog();
    ASSERT_EQ(directions.size(), platform::SimSerial::kDirectionLogLimit);
    EXPECT_EQ(directions.back(), std::make_pair(2, true));
    EXPECT_EQ(directions.front(), std::make_pair(2, false));
}
