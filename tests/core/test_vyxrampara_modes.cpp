#include "tests/support/sandbox.h"

#include <QFile>
#include <algorithm>
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
    EXPECT_EQ(f.left(3), QByteArray("\xAA\xAA\x5C"));
    EXPECT_EQ(readFile("/data/modes/MO0a.json"), QByteArray("{\"menu\":1}"));
    // A later save without a menu file keeps the copy it has.
    QFile::remove(QString::fromStdString(path("/data/configs/omenu.json")));
    EXPECT_EQ(p->mode_file_write(9, 0), 1);
    EXPECT_EQ(readFile("/data/modes/MO0a.json"), QByteArray("{\"menu\":1}"));

    // Op 2 never copies the menu; neither does op 0 with the OSD off.
    EXPECT_EQ(p->mode_file_write(3, 2), 1);
    putLe16(p->ram_para + kOsdOn, 0);
    EXPECT_EQ(p->mode_file_write(4, 0), 1);
    EXPECT_TRUE(exists("/data/modes/custom_mode4") && exists("/data/modes/custom_mode5"));
    EXPECT_FALSE(exists("/data/modes/MO04.json") || exists("/data/modes/MO05.json"));

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
    EXPECT_FALSE(exists("/data/modes/custom_mode16") || exists("/data/modes/MO10.json"));
    EXPECT_EQ(p->user_mode[15][0], 0xFF);
    EXPECT_EQ(p->user_mode[15][1], 0xFF);
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
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(p->user_mode[2]), 101), f + char(0x77));
    EXPECT_EQ(p->VyxUserModeSaved(2), 0); // neither saved nor empty

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

    // {current, direction, expected} with modes 2 and 9 saved.
    markSaved({2, 9});
    const int cases[][3] = {{2, 1, 9}, {2, 0, 9}, {2, 2, 2}, {9, 1, 2}, {10, 0, 9}, {3, 2, 9}, {2, 3, 0x100}};
    for (const auto& c : cases)
        EXPECT_EQ(p->VyxUserModeIndex(char(c[0]), char(c[1])), c[2]) << c[0] << "/" << c[1];

    // 16: the whole ring, from the top going back, from 0 going forward.
    markSaved({0, 15});
    EXPECT_EQ(p->VyxUserModeIndex(16, 0), 15);
    EXPECT_EQ(p->VyxUserModeIndex(16, 1), 0);
    EXPECT_EQ(p->VyxUserModeIndex(16, 2), 0);

    markSaved({});
    for (int direction = 0; direction <= 2; ++direction)
        EXPECT_EQ(p->VyxUserModeIndex(5, char(direction)), 0x100);
}
