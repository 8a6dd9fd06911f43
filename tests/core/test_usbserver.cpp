#include "tests/support/sandbox.h"

#include <QElapsedTimer>
#include <QThread>
#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/usbserver.h"
#include "platform/uevent.h"

using namespace std::string_literals;

namespace {

const std::string kDisk = "add@/devices/platform/soc/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/sda";
const std::string kRemove = "remove@/devices/platform/soc/usb1/1-1";

// The header is followed by NUL-separated fields, as the kernel sends it.
void inject(const std::string& header) { platform::simUevents().inject(header + "\0ACTION=add\0SUBSYSTEM=block\0"s); }

// Lets the watcher reach its next wait (it polls every 10 ms).
void settle() { pumpEvents(150); }

void passTicks(unsigned ticks)
{
    settle();
    G_timeTicks += ticks;
}

} // namespace

class UsbWatcher : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        start();
    }
    void TearDown() override
    {
        UsbServer::setSettingsMenuCloser(nullptr);
        Sandbox::TearDown();
    }
    // The codes are recorded in this thread, as events are pumped.
    UsbServer* start()
    {
        UsbServer* usb = UsbServer::pInstance();
        QObject::connect(usb, &UsbServer::sig_usb_update, usb, [this](int code) { codes.push_back(code); });
        return usb;
    }
    bool codesBecome(const std::vector<int>& expected, int ms = 2000)
    {
        return waitFor([&] { return codes == expected; }, ms);
    }
    void makeStorage() { writeFile("/proc/scsi/usb-storage", ""); }
    // Opens the gate and plugs in a partition; the watcher is then waiting for the storage.
    void plugPartition()
    {
        g_delay_usbserver = 1;
        inject(kDisk + "/sda1");
        ASSERT_TRUE(codesBecome({100}));
        settle();
    }

    std::vector<int> codes;
};

TEST_F(UsbWatcher, EventsWaitForTheGate)
{
    inject(kRemove);
    inject(kDisk);
    pumpEvents(100);
    EXPECT_TRUE(codes.empty());
    g_delay_usbserver = 1;
    EXPECT_TRUE(codesBecome({101, 100}));
}

TEST_F(UsbWatcher, PartitionGivesStorageReadyOnceStoragePresentAnd301TicksPassed)
{
    QThread* closedIn = nullptr;
    int closes = 0;
    UsbServer::setSettingsMenuCloser([&] {
        closedIn = QThread::currentThread();
        ++closes;
    });
    g_page_focus = 5;
    plugPartition();
    passTicks(400); // time passing without the storage does not count
    makeStorage();
    passTicks(300);
    settle();
    EXPECT_EQ(codes, std::vector<int>{100});
    G_timeTicks += 1;
    EXPECT_TRUE(codesBecome({100, 102}));
    // The settings menu closes, in the GUI thread...
    ASSERT_TRUE(waitFor([&] { return closes == 1; }));
    EXPECT_EQ(closedIn, QThread::currentThread());

    // ...but only while it is the screen on top.
    g_page_focus = 1;
    inject(kDisk + "/sda2");
    passTicks(301);
    ASSERT_TRUE(codesBecome({100, 102, 100, 102}));
    pumpEvents(50);
    EXPECT_EQ(closes, 1);
}

TEST_F(UsbWatcher, OnlyPartitionsOneToNineOfTheFirstDiskGiveStorageReady)
{
    makeStorage();
    g_delay_usbserver = 1;
    inject(kDisk);                           // the whole disk
    inject(kDisk + "/sda10");                // above 9
    inject("add@/devices/x/block/sdb/sdb1"); // not the first disk
    inject("add@/devices/x/block/sda/sd");   // too short a name
    // Had any of them started the 3 s wait, this would not arrive with the
    // time base standing still.
    inject(kRemove);
    EXPECT_TRUE(codesBecome({100, 100, 100, 100, 101}, 1000)) << codes.size();

    // Pulling the stick removes its partition: that is no storage ready.
    inject("remove@/devices/x/block/sda/sda1");
    EXPECT_TRUE(codesBecome({100, 100, 100, 100, 101, 101}, 1000)) << codes.size();
    passTicks(301);
    settle();
    EXPECT_EQ(codes, (std::vector<int>{100, 100, 100, 100, 101, 101}));

    // A name that is not a number counts as partition 0.
    inject("change@/devices/x/block/sda/sdaX");
    passTicks(301);
    EXPECT_TRUE(codesBecome({100, 100, 100, 100, 101, 101, 102}));
}

TEST_F(UsbWatcher, WithoutStorageTheWatcherGivesUpAndStaysAlive)
{
    plugPartition();
    G_timeTicks += 3001;
    inject(kRemove);
    EXPECT_TRUE(codesBecome({100, 101}));

    // The abandoned partition never reports storage later.
    makeStorage();
    G_timeTicks += 1000;
    pumpEvents(100);
    EXPECT_EQ(codes, (std::vector<int>{100, 101}));
}

TEST_F(UsbWatcher, DestroyStopsAWaitingWatcherPromptly)
{
    plugPartition();
    QElapsedTimer t;
    t.start();
    UsbServer::destroyForTest();
    EXPECT_LT(t.elapsed(), 500);
}

TEST_F(UsbWatcher, RefusedBindStartsNoWatcher)
{
    UsbServer::destroyForTest();
    platform::simUevents().setBindFails(true);
    EXPECT_EQ(start()->initialize(), 255);
    g_delay_usbserver = 1;
    inject(kDisk);
    pumpEvents(100);
    EXPECT_TRUE(codes.empty());
}

TEST_F(UsbWatcher, AWaitThatKeepsFailingIsNamedOncePerCause)
{
    auto linesWhile = [](const std::function<void()>& act) {
        testing::internal::CaptureStdout();
        act();
        const std::string out = testing::internal::GetCapturedStdout();
        int n = 0;
        for (size_t at = out.find("UsbServer select error"); at != std::string::npos;
             at = out.find("UsbServer select error", at + 1))
            ++n;
        return n;
    };
    g_delay_usbserver = 1;
    settle();
    // Each failed wait is followed by a 100 ms pause: several per span.
    EXPECT_EQ(linesWhile([] {
        platform::simUevents().setReceiveFails(EBADF);
        pumpEvents(450);
    }), 1);
    EXPECT_EQ(linesWhile([] {
        platform::simUevents().setReceiveFails(EINTR);
        pumpEvents(450);
    }), 1) << "another cause";
    EXPECT_EQ(linesWhile([] {
        G_timeTicks += 150;
        pumpEvents(450);
    }), 1) << "again after a second";
    // A wait that works, then the first cause again.
    EXPECT_EQ(linesWhile([] {
        platform::simUevents().setReceiveFails(0);
        pumpEvents(150);
        inject(kRemove);
        pumpEvents(250);
    }), 0);
    EXPECT_TRUE(codesBecome({101}));
    EXPECT_EQ(linesWhile([] {
        platform::simUevents().setReceiveFails(EBADF);
        pumpEvents(450);
    }), 1);
    platform::simUevents().setReceiveFails(0);
}
