#include "tests/support/sandbox.h"

#include <cstring>

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/shell.h"

using namespace ram;

namespace {

class Modes : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        p = VyxRamPara::pInstance();
        platform::simShell().clearLog();
    }
    void markSaved(std::initializer_list<int> saved)
    {
        for (int k = 0; k < kModeSlots; ++k)
            p->user_mode[k][0] = p->user_mode[k][1] = kMarkerEmpty;
        for (int k : saved)
            p->user_mode[k][0] = p->user_mode[k][1] = kMarkerSaved;
    }
    VyxRamPara* p = nullptr;
};

} // namespace

TEST_F(Modes, WriteStoresTheSlotAndCopiesTheMenuOnlyWithTheOsdOn)
{
    writeFile("/data/configs/omenu.json", "{\"menu\":1}");
    putLe16(p->ram_para + kOsdOn, 1);
    std::memset(p->user_mode[9] + kSlotData, 0x5C, 10);
    EXPECT_EQ(p->mode_file_write(9, 0), 1);

    QByteArray f = readFile("/data/modes/custom_mode10");
    ASSERT_EQ(f.size(), kModeFileSize);
    EXPECT_EQ(uint8_t(f[0]), 0xAA);
    EXPECT_EQ(uint8_t(f[1]), 0xAA);
    EXPECT_EQ(uint8_t(f[2]), 0x5C);
    EXPECT_EQ(readFile("/data/modes/MO0a.json"), QByteArray("{\"menu\":1}"));
    std::vector<std::string> log = platform::simShell().log();
    EXPECT_NE(std::find(log.begin(), log.end(), "cp  /data/configs/omenu.json /data/modes/MO0a.json"), log.end());
    EXPECT_EQ(p->VyxUserModeSaved(9), 1);

    // Op 2 never copies the menu; neither does op 0 with the OSD off.
    platform::simShell().clearLog();
    EXPECT_EQ(p->mode_file_write(3, 2), 1);
    putLe16(p->ram_para + kOsdOn, 0);
    EXPECT_EQ(p->mode_file_write(4, 0), 1);
    EXPECT_TRUE(exists("/data/modes/custom_mode4"));
    EXPECT_TRUE(exists("/data/modes/custom_mode5"));
    EXPECT_FALSE(exists("/data/modes/MO04.json"));
    EXPECT_FALSE(exists("/data/modes/MO05.json"));
    for (const auto& c : platform::simShell().log())
        EXPECT_EQ(c.rfind("cp", 0), std::string::npos) << c;

    // Op 1 first takes the live settings.
    putLe16(p->ram_para + kBrightness, 12);
    EXPECT_EQ(p->mode_file_write(0, 1), 1);
    EXPECT_EQ(le16(p->user_mode[0] + slotOffset(kBrightness)), 12);
}

TEST_F(Modes, DeleteRemovesBothFilesAndEmptiesTheSlot)
{
    putLe16(p->ram_para + kOsdOn, 1);
    std::memcpy(p->user_mode[15] + kSlotData, p->ram_para + kModeStart, kModeLength);
    ASSERT_EQ(p->mode_file_write(15, 0), 1);
    writeFile("/data/modes/MO10.json", "{}");
    platform::simShell().clearLog();

    p->mode_file_deal(15, 1);
    std::vector<std::string> expected = {"rm  -rf  /data/modes/custom_mode16", "rm  -rf  /data/modes/MO10.json",
                                         "sync"};
    EXPECT_EQ(platform::simShell().log(), expected);
    EXPECT_FALSE(exists("/data/modes/custom_mode16"));
    EXPECT_FALSE(exists("/data/modes/MO10.json"));
    EXPECT_EQ(p->user_mode[15][0], 0xFF);
    EXPECT_EQ(p->user_mode[15][1], 0xFF);
    EXPECT_EQ(p->VyxUserModeSaved(15), 0);
    EXPECT_EQ(le16(p->user_mode[15] + slotOffset(kOsdOn)), 0);
}

TEST_F(Modes, LoadTakesTheFileAsItIs)
{
    // A short file loads what it holds; the rest of the slot stays.
    std::memset(p->user_mode[2], 0x77, kModeSlotSize);
    QByteArray f(100, char(0x11));
    f[0] = char(0xAA);
    f[1] = char(0x00);
    writeFile("/data/modes/custom_mode3", f);
    EXPECT_EQ(p->mode_file_deal(2, 0), 1);
    EXPECT_EQ(p->user_mode[2][0], 0xAA);
    EXPECT_EQ(p->user_mode[2][1], 0x00);
    EXPECT_EQ(p->user_mode[2][99], 0x11);
    EXPECT_EQ(p->user_mode[2][100], 0x77);
    // Neither saved nor empty.
    EXPECT_EQ(p->VyxUserModeSaved(2), 0);

    // The load at start-up reads every existing file.
    VyxRamPara::destroyForTest();
    QByteArray saved(kModeFileSize, 0);
    saved[0] = saved[1] = char(0xAA);
    writeFile("/data/modes/custom_mode7", saved);
    p = VyxRamPara::pInstance();
    for (int k = 0; k < kModeSlots; ++k)
        EXPECT_EQ(p->VyxUserModeSaved(k), k == 6 ? 1 : 0) << k;
}

TEST_F(Modes, SlotsOutsideTheRangeAreRefused)
{
    uint8_t before[kModeSlots][kModeSlotSize];
    std::memcpy(before, p->user_mode, sizeof before);
    EXPECT_EQ(p->mode_file_deal(-1, 1), 0);
    EXPECT_EQ(p->mode_file_deal(16, 0), 0);
    EXPECT_EQ(p->mode_file_write(16, 0), 0);
    EXPECT_EQ(p->mode_file_write(-1, 2), 0);
    EXPECT_EQ(p->VyxUserModeSaved(16), 0);
    EXPECT_EQ(std::memcmp(before, p->user_mode, sizeof before), 0);
    EXPECT_TRUE(platform::simShell().log().empty());
}

TEST_F(Modes, IndexSearchIsCyclic)
{
    markSaved({4});
    for (int current = 0; current <= 16; ++current)
        for (int direction = 0; direction <= 2; ++direction)
            EXPECT_EQ(p->VyxUserModeIndex(char(current), char(direction)), 4) << current << "/" << direction;

    markSaved({2, 9});
    EXPECT_EQ(p->VyxUserModeIndex(2, 1), 9);
    EXPECT_EQ(p->VyxUserModeIndex(2, 0), 9);
    EXPECT_EQ(p->VyxUserModeIndex(2, 2), 2);
    EXPECT_EQ(p->VyxUserModeIndex(9, 1), 2);
    EXPECT_EQ(p->VyxUserModeIndex(10, 0), 9);
    EXPECT_EQ(p->VyxUserModeIndex(3, 2), 9);
    EXPECT_EQ(p->VyxUserModeIndex(2, 3), 0x100);

    // 16: the whole ring, from the top going back, from 0 going forward.
    markSaved({0, 15});
    EXPECT_EQ(p->VyxUserModeIndex(16, 0), 15);
    EXPECT_EQ(p->VyxUserModeIndex(16, 1), 0);
    EXPECT_EQ(p->VyxUserModeIndex(16, 2), 0);

    markSaved({});
    for (int direction = 0; direction <= 2; ++direction)
        EXPECT_EQ(p->VyxUserModeIndex(5, char(direction)), 0x100);
}

TEST_F(Modes, CurrentModeAbove16ReadsAsNone)
{
    p->ram_para[kCurrentMode] = 16;
    EXPECT_EQ(p->VyxGetCurrentModeIndex(), 16);
    p->ram_para[kCurrentMode] = 17;
    EXPECT_EQ(p->VyxGetCurrentModeIndex(), 0);
}
