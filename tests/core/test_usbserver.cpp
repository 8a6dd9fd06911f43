#include "tests/support/sandbox.h"

#include <QElapsedTimer>
#include <QThread>
#include <mutex>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/usbserver.h"
#include "platform/uevent.h"

namespace {

const std::string kDisk = "add@/devices/platform/soc/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/sda";

std::string kernelEvent(const std::string& header)
{
    // The header is followed by NUL-separated fields, as the kernel sends it.
    std::string d = header;
    d.push_back('\0');
    d += "ACTION=add";
    d.push_back('\0');
    d += "SUBSYSTEM=block";
    d.push_back('\0');
    return d;
}

void inject(const std::string& header) { platform::simUevents().inject(kernelEvent(header)); }

// Lets the watcher reach its next wait (it polls every 10 ms).
void settle() { QThread::msleep(150); }

} // namespace

class UsbWatcher : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        UsbServer* usb = UsbServer::pInstance();
        QObject::connect(
            usb, &UsbServer::sig_usb_update, usb,
            [this](int code) {
                std::lock_guard<std::mutex> l(m_mutex);
                m_codes.push_back(code);
            },
            Qt::DirectConnection);
    }
    void TearDown() override
    {
        UsbServer::setSettingsMenuCloser(nullptr);
        Sandbox::TearDown();
    }

    std::vector<int> codes()
    {
        std::lock_guard<std::mutex> l(m_mutex);
        return m_codes;
    }
    bool codesBecome(const std::vector<int>& expected, int ms = 2000)
    {
        return waitFor([&] { return codes() == expected; }, ms);
    }
    void makeStorage() { writeFile("/proc/scsi/usb-storage", ""); }

private:
    std::mutex m_mutex;
    std::vector<int> m_codes;
};

TEST_F(UsbWatcher, EventsWaitForTheGate)
{
    inject("remove@/devices/platform/soc/usb1/1-1");
    inject(kDisk);
    pumpEvents(100);
    EXPECT_TRUE(codes().empty());
    g_delay_usbserver = 1;
    EXPECT_TRUE(codesBecome({101, 100}));
}

TEST_F(UsbWatcher, PartitionGivesStorageReadyOnlyOnceStoragePresentAnd301TicksPassed)
{
    g_delay_usbserver = 1;
    inject(kDisk + "/sda1");
    ASSERT_TRUE(codesBecome({100}));

    // Time passing without the storage does not count.
    settle();
    G_timeTicks += 400;
    settle();
    EXPECT_EQ(codes(), std::vector<int>{100});

    makeStorage();
    settle();
    G_timeTicks += 300;
    settle();
    EXPECT_EQ(codes(), std::vector<int>{100});
    G_timeTicks += 1;
    EXPECT_TRUE(codesBecome({100, 102}));
}

TEST_F(UsbWatcher, OtherDevicesGiveOnlyAddedOrRemoved)
{
    makeStorage();
    g_delay_usbserver = 1;
    inject(kDisk);                          // the whole disk
    inject(kDisk + "/sda10");               // above 9
    inject("add@/devices/x/block/sdb/sdb1"); // not the first disk
    inject("add@/devices/x/block/sda/sd");   // too short a name
    // Had any of them started the 3 s wait, this would not arrive with the
    // time base standing still.
    inject("remove@/devices/platform/soc/usb1/1-1");
    EXPECT_TRUE(codesBecome({100, 100, 100, 100, 101}, 1000)) << codes().size();
}

TEST_F(UsbWatcher, NonNumericPartitionCountsAsPartitionZero)
{
    makeStorage();
    g_delay_usbserver = 1;
    inject("change@/devices/x/block/sda/sdaX");
    settle();
    G_timeTicks += 301;
    EXPECT_TRUE(codesBecome({102}));
}

TEST_F(UsbWatcher, WithoutStorageTheWatcherGivesUpAndStaysAlive)
{
    g_delay_usbserver = 1;
    inject(kDisk + "/sda1");
    ASSERT_TRUE(codesBecome({100}));
    settle();
    G_timeTicks += 3001;
    inject("remove@/devices/platform/soc/usb1/1-1");
    EXPECT_TRUE(codesBecome({100, 101}));

    // The abandoned partition never reports storage later.
    makeStorage();
    G_timeTicks += 1000;
    pumpEvents(100);
    EXPECT_EQ(codes(), (std::vector<int>{100, 101}));
}

TEST_F(UsbWatcher, StorageReadyClosesTheSettingsMenuInTheGuiThread)
{
    QThread* closedIn = nullptr;
    int closes = 0;
    UsbServer::setSettingsMenuCloser([&] {
        closedIn = QThread::currentThread();
        ++closes;
    });
    makeStorage();
    g_delay_usbserver = 1;

    g_page_focus = 5;
    inject(kDisk + "/sda1");
    ASSERT_TRUE(codesBecome({100}));
    settle();
    G_timeTicks += 301;
    ASSERT_TRUE(waitFor([&] { return closes == 1; }));
    EXPECT_EQ(closedIn, QThread::currentThread());

    // Another screen on top: the menu is left alone.
    g_page_focus = 1;
    inject(kDisk + "/sda2");
    ASSERT_TRUE(codesBecome({100, 102, 100}));
    settle();
    G_timeTicks += 301;
    ASSERT_TRUE(codesBecome({100, 102, 100, 102}));
    pumpEvents(50);
    EXPECT_EQ(closes, 1);
}

TEST_F(UsbWatcher, DestroyStopsAWaitingWatcherPromptly)
{
    g_delay_usbserver = 1;
    inject(kDisk + "/sda1");
    ASSERT_TRUE(codesBecome({100}));
    settle();
    QElapsedTimer t;
    t.start();
    UsbServer::destroyForTest();
    EXPECT_LT(t.elapsed(), 500);
    EXPECT_EQ(UsbServer::p_UsbServer, nullptr);
}

using UsbWatcherBind = Sandbox;

TEST_F(UsbWatcherBind, RefusedBindStartsNoWatcher)
{
    platform::simUevents().setBindFails(true);
    UsbServer* usb = UsbServer::pInstance();
    int emitted = 0;
    QObject::connect(usb, &UsbServer::sig_usb_update, usb, [&](int) { ++emitted; }, Qt::DirectConnection);
    EXPECT_EQ(usb->initialize(), 255);
    g_delay_usbserver = 1;
    inject(kDisk);
    pumpEvents(100);
    EXPECT_EQ(emitted, 0);
}
