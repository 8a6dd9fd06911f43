#include "tests/support/sandbox.h"

#include <QElapsedTimer>
#include <array>
#include <thread>

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

TEST_F(SimDevices, SocIdRegistersComeFromTheSimFile)
{
    platform::SocUniqueId id;
    writeFile(platform::kSimSocIdFile, "garbage");
    EXPECT_FALSE(platform::readSocUniqueId(&id));
    writeFile(platform::kSimSocIdFile, "0x00A1 fFfF 7\n");
    ASSERT_TRUE(platform::readSocUniqueId(&id));
    EXPECT_EQ((std::array<uint16_t, 3>{id.x, id.y, id.z}), (std::array<uint16_t, 3>{0x00A1, 0xFFFF, 0x0007}));
}
