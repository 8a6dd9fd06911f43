#include "tests/support/sandbox.h"

#include "core/globals.h"
#include "core/utils.h"
#include "platform/mtd.h"
#include "platform/shell.h"

#include <mutex>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

using ShellRunner = Sandbox;

TEST_F(ShellRunner, StatusAndRawWaitStatus)
{
    platform::simShell().script("false", 256);
    int raw = -1;
    EXPECT_EQ(Utils::system_mutex("true", &raw), 0);
    EXPECT_EQ(raw, 0);
    EXPECT_EQ(Utils::system_mutex("false", &raw), 255);
    EXPECT_EQ(raw, 256);
    EXPECT_EQ(Utils::system_mutex("false"), 255);
    auto log = platform::simShell().log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "true");
}

TEST_F(ShellRunner, CommandsNeverOverlap)
{
    // The log records each command's start, the observer its end: with the
    // runner serialising, every start is followed by its own end.
    platform::simShell().setDelayMs(20);
    std::vector<std::string> ends;
    std::mutex endsMutex;
    platform::simShell().setObserver([&](const std::string& c) {
        std::lock_guard<std::mutex> l(endsMutex);
        ends.push_back(c);
        EXPECT_EQ(platform::simShell().log().size(), ends.size()) << "a command started before " << c << " ended";
    });
    std::thread a([] { for (int i = 0; i < 3; ++i) Utils::system_mutex("cmd-a"); });
    std::thread b([] { for (int i = 0; i < 3; ++i) Utils::system_mutex("cmd-b"); });
    a.join();
    b.join();
    EXPECT_EQ(platform::simShell().log(), ends);
    EXPECT_EQ(ends.size(), 6u);
}

TEST_F(ShellRunner, CaptureReturnsScriptedOutput)
{
    platform::simShell().script("ifconfig eth0", 0, "eth0 Link encap:Ethernet\n");
    std::string cmd = "ifconfig eth0 | grep HWaddr";
    EXPECT_EQ(Utils::shell_exec(cmd, 100), "eth0 Link encap:Ethernet\n");
}

using RawFlash = Sandbox;

TEST_F(RawFlash, EraseCoversWholeBlocks)
{
    platform::simMtd().declare("/dev/mtd8", 0x100000, 0x10000, 2048);
    int fd = ::open(path("/dev/mtd8").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Utils::non_region_erase(fd, 0, 0x60000, 0), 0);
    auto ops = platform::simMtd().ops();
    ASSERT_EQ(ops.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(ops[i].kind, 'e');
        EXPECT_EQ(ops[i].offset, i * 0x10000);
        EXPECT_EQ(ops[i].length, 0x10000u);
    }
    platform::simMtd().reset();
    platform::simMtd().declare("/dev/mtd8", 0x100000, 0x10000, 2048);
    EXPECT_EQ(Utils::non_region_erase(fd, 0, 0x60001, 1), 0);
    ops = platform::simMtd().ops();
    EXPECT_EQ(ops.size(), 14u); // seven blocks, each unlocked then erased
    EXPECT_EQ(ops[0].kind, 'u');
    EXPECT_EQ(ops[1].kind, 'e');
    EXPECT_EQ(Utils::non_region_erase(fd, 0, 0, 0), 0);
    ::close(fd);
}

TEST_F(RawFlash, FailedEraseLeavesTheDescriptorToItsOwner)
{
    platform::simMtd().declare("/dev/mtd10", 0x500000, 0x10000, 2048);
    int fd = ::open(path("/dev/mtd10").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    platform::simMtd().failEraseAt(2);
    EXPECT_EQ(Utils::non_region_erase(fd, 0, 0x50000, 0), 8);
    EXPECT_EQ(platform::simMtd().ops().size(), 2u); // the rest stay as they were
    // Still open: the caller closes it exactly once.
    EXPECT_EQ(::fcntl(fd, F_GETFD), 0);
    EXPECT_EQ(::close(fd), 0);
}

TEST_F(RawFlash, WriteInPagesThenRemainder)
{
    platform::simMtd().declare("/dev/mtd8", 0x60000, 0x10000, 2048);
    int fd = ::open(path("/dev/mtd8").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    std::vector<unsigned char> data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 7);
    EXPECT_EQ(Utils::non_region_write(fd, data.data(), 5000, 0x100), 0);
    auto ops = platform::simMtd().ops();
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].length, 2048u);
    EXPECT_EQ(ops[1].length, 2048u);
    EXPECT_EQ(ops[2].length, 904u);
    EXPECT_EQ(ops[2].offset, 0x100u + 4096u);
    ::close(fd);
    QByteArray flash = readFile("/dev/mtd8");
    EXPECT_EQ(flash.mid(0x100, 5000), QByteArray(reinterpret_cast<const char*>(data.data()), 5000));
    EXPECT_EQ(static_cast<unsigned char>(flash[0xFF]), 0xFF);
}

TEST_F(RawFlash, NotAFlashDevice)
{
    writeFile("/data/plain", "abc");
    int fd = ::open(path("/data/plain").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    unsigned char b[4] = {1, 2, 3, 4};
    EXPECT_EQ(Utils::non_region_erase(fd, 0, 0x10000, 0), 8);
    EXPECT_EQ(Utils::non_region_write(fd, b, 4, 0), 1);
    EXPECT_TRUE(platform::simMtd().ops().empty());
    ::close(fd);
}

TEST(CharacterSets, RoundTrips)
{
    std::string text = "\xe4\xb8\xad\xe6\x96\x87"; // two Chinese characters in UTF-8
    std::string gb = text;
    Utils::UTF8ToGB2312(gb);
    EXPECT_EQ(gb, "\xd6\xd0\xce\xc4");
    Utils::GB2312ToUTF8(gb);
    EXPECT_EQ(gb, text);

    std::string ucs = "AB";
    Utils::UTF8ToUnicode(ucs);
    EXPECT_EQ(ucs, std::string("A\0B\0", 4));
    Utils::UnicodeToUTF8(ucs);
    EXPECT_EQ(ucs, "AB");

    unsigned int inLen = 1, outLen = 4;
    char out[4];
    EXPECT_EQ(Utils::ChangeCode("no-such-set", "UTF-8", "a", &inLen, out, &outLen), -1);
}

using FileHelpers = Sandbox;

TEST_F(FileHelpers, ExistenceChecksStayInsideTheRoot)
{
    writeFile("/data/configs/x.ini", "k=v");
    EXPECT_TRUE(Utils::isFileExists("/data/configs/x.ini", true));
    EXPECT_FALSE(Utils::isFileExists("/data/configs", true));
    EXPECT_TRUE(Utils::isFileExists("/data/configs", false));
    EXPECT_TRUE(Utils::isDirExists("/data/configs"));
    EXPECT_FALSE(Utils::isDirExists("/data/configs/x.ini"));
    EXPECT_EQ(Utils::change_file_formt("/data/none"), -1);
    EXPECT_EQ(Utils::change_file_formt("/data/configs/x.ini"), 0);
    auto log = platform::simShell().log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "dos2unix /data/configs/x.ini");
}
