#include "tests/support/sandbox.h"

#include <QElapsedTimer>
#include <array>
#include <thread>
#include <vector>

#include "platform/socid.h"
#include "platform/uevent.h"

using SimDevices = Sandbox;

TEST_F(SimDevices, UeventsAreCutToTheBufferAndWakeAWaitingReceiver)
{
    platform::Uevents& ev = platform::uevents();
    ASSERT_TRUE(ev.open());
    char buf[8];
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(ev.receive(buf, sizeof buf, 20), 0);
    EXPECT_GE(t.elapsed(), 15); // waited, did not spin

    platform::simUevents().inject(std::string("add@/a\0X=1", 10));
    EXPECT_EQ(ev.receive(buf, sizeof buf, 20), 8);
    EXPECT_EQ(std::string(buf, 8), std::string("add@/a\0X", 8));

    // A waiting receiver wakes for an event injected meanwhile.
    std::thread later([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        platform::simUevents().inject("add@/z");
    });
    EXPECT_EQ(ev.receive(buf, sizeof buf, 2000), 6);
    later.join();
}

TEST_F(SimDevices, AnInterruptedSourceGivesNothingUntilOpenedAgain)
{
    platform::Uevents& ev = platform::uevents();
    ASSERT_TRUE(ev.open());
    char buf[16];
    // A receiver that waits long is let go at once: its thread is being
    // stopped.
    std::thread waiting([&] { EXPECT_EQ(ev.receive(buf, sizeof buf, 600000), 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ev.interrupt();
    waiting.join();
    // So is every later one, even with an event waiting, until the next open.
    platform::simUevents().inject("add@/b");
    EXPECT_EQ(ev.receive(buf, sizeof buf, 600000), 0);
    ASSERT_TRUE(ev.open());
    EXPECT_EQ(ev.receive(buf, sizeof buf, 20), 6);
}

TEST_F(SimDevices, SocIdRegistersComeFromTheSimFile)
{
    platform::SocUniqueId id;
    writeFile(platform::kSimSocIdFile, "garbage");
    EXPECT_FALSE(platform::readSocUniqueId(&id));
    writeFile(platform::kSimSocIdFile, "0x00A1 fFfF 7\n");
    ASSERT_TRUE(platform::readSocUniqueId(&id));
    EXPECT_EQ((std::array<uint16_t, 3>{id.x, id.y, id.z}), (std::array<uint16_t, 3>{0x00A1, 0xFFFF, 0x0007}));
}

// Events the simulation sends for the stick file, read until `count` came.
static std::vector<std::string> stickEvents(size_t count)
{
    std::vector<std::string> got;
    char buf[512];
    // The file is looked at every quarter second: a few receives cover it.
    for (int i = 0; i < 12 && got.size() < count; ++i) {
        int n = platform::uevents().receive(buf, sizeof buf, 50);
        if (n > 0)
            got.emplace_back(buf, size_t(n));
    }
    return got;
}

TEST_F(SimDevices, TheStickFilePlugsAndPullsTheStickAsTheKernelAnnouncesIt)
{
    platform::simUevents().reset();
    // No stick at the start: "out" changes nothing.
    writeFile("/sim/usb", "out\n");
    EXPECT_TRUE(stickEvents(1).empty());
    writeFile("/sim/usb", "in\n");
    ASSERT_EQ(stickEvents(2).size(), 2u);

    writeFile("/sim/usb", "# pulled\nout\n");
    std::vector<std::string> out = stickEvents(2);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].rfind("remove@/devices/", 0), 0u);
    EXPECT_NE(out[0].find("/block/sda/sda1"), std::string::npos);
    EXPECT_EQ(out[1].rfind("remove@/devices/", 0), 0u);

    writeFile("/sim/usb", "in # plugged again\n");
    std::vector<std::string> in = stickEvents(2);
    ASSERT_EQ(in.size(), 2u);
    EXPECT_EQ(in[0].rfind("add@/devices/", 0), 0u);
    EXPECT_EQ(in[1].rfind("add@/devices/", 0), 0u);
    EXPECT_NE(in[1].find("/block/sda/sda1"), std::string::npos);
    // What the watcher waits for before it reads the stick.
    EXPECT_TRUE(exists("/proc/scsi/usb-storage"));

    // A word it does not know changes nothing.
    writeFile("/sim/usb", "maybe\n");
    EXPECT_TRUE(stickEvents(1).empty());
    platform::simUevents().reset();
}
