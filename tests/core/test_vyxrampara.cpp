#include "tests/support/sandbox.h"

#include <QDir>
#include <cstring>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/shell.h"

using namespace ram;

namespace {

const char* const kFile = "/data/ram_device_info";

uint16_t fileWord(const QByteArray& f, int offset)
{
    return le16(reinterpret_cast<const uint8_t*>(f.constData()) + offset);
}

QByteArray defaultFile()
{
    return QByteArray(reinterpret_cast<const char*>(default_para_ramlist.data()), kParamFileSize);
}

int countCommand(const std::string& command)
{
    int n = 0;
    for (const auto& c : platform::simShell().log())
        n += c == command;
    return n;
}

using Store = Sandbox;

} // namespace

TEST_F(Store, DefaultTableFollowsTheByteMap)
{
    QByteArray f = defaultFile();
    EXPECT_EQ(uint8_t(f[0]), 0xAA);
    EXPECT_EQ(uint8_t(f[1]), 0xAA);
    EXPECT_EQ(fileWord(f, 612), 1920); // LED width
    EXPECT_EQ(fileWord(f, 614), 1080); // LED height
    EXPECT_EQ(fileWord(f, 1410), 100); // brightness
    EXPECT_EQ(fileWord(f, 4), 100);    // 770
    EXPECT_EQ(fileWord(f, 2270 - 766), 1);
    // EDID requests: 1920x1080@60 for inputs 0..3, 3840x2160@60 for 4 and 5.
    for (int i = 0; i < 6; ++i) {
        int at = 896 + 6 * i - 766;
        EXPECT_EQ(fileWord(f, at), i < 4 ? 1920 : 3840) << i;
        EXPECT_EQ(fileWord(f, at + 2), i < 4 ? 1080 : 2160) << i;
        EXPECT_EQ(fileWord(f, at + 4), 60) << i;
    }
    const uint16_t picture[] = {100, 50, 10, 50, 2, 64, 64, 64};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(fileWord(f, 2176 + 2 * i - 766), picture[i]) << i;
    for (int w = 0; w < 16; ++w)
        EXPECT_EQ(fileWord(f, 2208 + 2 * w - 766), w);
    // All 64 crop entries free: 02 00 00 00 00 00 80 07 38 04.
    const char entry[] = {2, 0, 0, 0, 0, 0, char(0x80), 7, 0x38, 4};
    for (int e = 0; e < 64; ++e)
        EXPECT_EQ(f.mid(1472 + 10 * e - 766, 10), QByteArray(entry, 10)) << e;
    // Images 0..5: source 1 at 1920x1080, only image 0 open; 6..15 zero.
    for (int w = 0; w < 16; ++w) {
        int r = 2272 + 26 * w - 766;
        EXPECT_EQ(fileWord(f, r), w == 0 ? 1 : 0) << w;
        EXPECT_EQ(fileWord(f, r + 8), w < 6 ? 1 : 0) << w;
        EXPECT_EQ(fileWord(f, r + 14), w < 6 ? 1920 : 0) << w;
        EXPECT_EQ(fileWord(f, r + 16), w < 6 ? 1080 : 0) << w;
    }
    EXPECT_EQ(f.mid(2816 - 766), QByteArray(kParamFileSize - (2816 - 766), 0)); // fades and the tail
}

TEST_F(Store, MissingFileIsCreatedFromTheDefaults)
{
    ASSERT_FALSE(exists(kFile));
    VyxRamPara* p = VyxRamPara::pInstance();

    QByteArray f = readFile(kFile);
    EXPECT_EQ(f, defaultFile());
    EXPECT_EQ(fileWord(f, 612), 1920);
    EXPECT_EQ(fileWord(f, 614), 1080);
    EXPECT_EQ(fileWord(f, 1410), 100);
    EXPECT_EQ(le16(p->ram_para + imageRecord(0) + kImgEnable), 1);
    EXPECT_EQ(le16(p->ram_para + imageRecord(0) + kImgSource), 1);
    EXPECT_EQ(std::memcmp(p->ram_para, p->ram_para_bak, kImageSize), 0);
    // Volatile status starts at zero.
    for (int i = 0; i < kPersistStart; ++i)
        ASSERT_EQ(p->ram_para[i], 0) << i;
    // No mode files: every slot empty.
    for (int k = 0; k < kModeSlots; ++k)
        EXPECT_EQ(p->VyxUserModeSaved(k), 0);
    EXPECT_EQ(p->user_mode[0][0], 0xFF);
}

TEST_F(Store, BadMarkerIsReplacedByTheDefaultFile)
{
    QByteArray bad(3330, char(0x33));
    bad[0] = char(0xAA);
    bad[1] = char(0x55);
    writeFile(kFile, bad);
    VyxRamPara* p = VyxRamPara::pInstance();
    EXPECT_EQ(readFile(kFile), defaultFile());
    EXPECT_EQ(le16(p->ram_para + kLedWidth), 1920);
}

TEST_F(Store, ShortFileKeepsDefaultsInTheBytesItLacks)
{
    QByteArray f = defaultFile().left(2 + 200);
    f[2 + (kWifiOff - 768)] = 1;
    f[2 + (kTestPattern - 768)] = 0; // a file value within what it holds
    f[2 + (kPanelLock - 768)] = 7;
    writeFile(kFile, f);
    VyxRamPara* p = VyxRamPara::pInstance();
    EXPECT_EQ(p->ram_para[kWifiOff], 1);
    EXPECT_EQ(p->ram_para[kPanelLock], 7);
    EXPECT_EQ(le16(p->ram_para + kLedWidth), 1920);
    EXPECT_EQ(le16(p->ram_para + kBrightness), 100);
    EXPECT_EQ(le16(p->ram_para + kColourTempBlue), 64);
    // A file with a good marker is never rewritten by the load.
    EXPECT_EQ(readFile(kFile).size(), 202);
}

TEST_F(Store, RestartClearsWhatMustNotSurvive)
{
    QByteArray f = defaultFile();
    auto put = [&](int imageOffset, uint16_t v) {
        f[imageOffset - 766] = char(v & 0xFF);
        f[imageOffset - 766 + 1] = char(v >> 8);
    };
    for (int w = 0; w < 16; ++w)
        put(imageRecord(w) + kImgOutput, 0x0107); // black, freeze, fade, dot-by-dot
    put(kTestPattern, 0x0203);
    put(kCurrentMode, 5);
    put(kModeSaveRequest, 0x0104);
    put(kLedOff, 1);
    put(kSpliceMode, 3);
    put(kFadeIn + 4 * 2, 0x0210);
    put(kFadeOut + 4 * 15, 0x0000);
    writeFile(kFile, f);

    VyxRamPara* p = VyxRamPara::pInstance();
    const uint8_t* img = p->ram_para;
    for (int w = 0; w < 6; ++w)
        EXPECT_EQ(le16(img + imageRecord(w) + kImgOutput), 0x0105) << w;
    for (int w = 6; w < 16; ++w)
        EXPECT_EQ(le16(img + imageRecord(w) + kImgOutput), 0x0107) << w;
    EXPECT_EQ(le16(img + kTestPattern), 0);
    EXPECT_EQ(le16(img + kCurrentMode), 0);
    EXPECT_EQ(p->VyxGetCurrentModeIndex(), 0);
    EXPECT_EQ(le16(img + kModeSaveRequest), 4); // only byte 869 is cleared
    EXPECT_EQ(le16(img + kLedOff), 0);
    EXPECT_EQ(le16(img + kSpliceMode), 0);
    EXPECT_EQ(le16(img + kFadeIn + 4 * 2), 0x023C); // high byte kept
    for (int w = 0; w < 16; ++w) {
        EXPECT_EQ(img[kFadeIn + 4 * w], 60);
        EXPECT_EQ(img[kFadeOut + 4 * w], 60);
    }
    // The snapshot holds the fixed image; the file keeps the old values
    // until the next save, which writes them back.
    EXPECT_EQ(std::memcmp(p->ram_para, p->ram_para_bak, kImageSize), 0);
}

TEST_F(Store, LanguageOutsideTheOfferedSetIsReplacedAndWrittenBackOnSave)
{
    QByteArray f = defaultFile();
    f[2] = 3; // Vietnamese
    writeFile(kFile, f);
    g_lcd_lang_valid = 0x12; // only English and Traditional Chinese
    VyxRamPara* p = VyxRamPara::pInstance();
    EXPECT_EQ(p->ram_para[kLanguage], 1);
    EXPECT_EQ(g_language.load(), 1);

    // The snapshot already holds the fixed byte, so another change carries it.
    p->ram_para[kContrast] = 51;
    EXPECT_EQ(p->ram_para_persist(), 1);
    EXPECT_EQ(uint8_t(readFile(kFile)[2]), 1);
}

TEST_F(Store, LanguageMaskWithBits0And17DropsBit0AndTheHighBits)
{
    QByteArray f = defaultFile();
    f[2] = 0;
    writeFile(kFile, f);
    g_lcd_lang_valid = 0x3001C | 0x1; // bits 0, 2, 3, 4, 16, 17
    VyxRamPara* p = VyxRamPara::pInstance();
    EXPECT_EQ(g_lcd_lang_valid.load(), 0x1Cu);
    EXPECT_EQ(p->ram_para[kLanguage], 2);

    // No language 0..4 offered: the language stays as read.
    VyxRamPara::destroyForTest();
    f[2] = 7;
    writeFile(kFile, f);
    g_lcd_lang_valid = 0x20;
    p = VyxRamPara::pInstance();
    EXPECT_EQ(p->ram_para[kLanguage], 7);
    EXPECT_EQ(g_language.load(), 7);
}

TEST_F(Store, LoadsOnceAndInitialisesTheRegisters)
{
    VyxRamPara* p = VyxRamPara::pInstance();
    const uint8_t expected[][2] = {{37, 0x80}, {38, 0x1F}, {39, 0x07}, {40, 0}, {52, 0}, {53, 0xC3},
                                   {54, 0x10}, {55, 0xFF}, {58, 0xFF}, {59, 0xC0}, {60, 0xFF}};
    for (const auto& e : expected)
        EXPECT_EQ(p->local_reg[e[0]], e[1]) << int(e[0]);
    for (int r = 60; r <= 1060; ++r)
        ASSERT_EQ(p->local_reg[r], 0xFF) << r;
    for (int r : {0, 31, 32, 36, 1061, 1063})
        EXPECT_EQ(p->local_reg[r], 0) << r;

    // A later call returns the same store without reloading it.
    p->ram_para[kContrast] = 77;
    p->ram_para[300] = 9;
    EXPECT_EQ(VyxRamPara::pInstance(), p);
    EXPECT_EQ(p->ram_para[kContrast], 77);
    EXPECT_EQ(p->ram_para[300], 9);
}

TEST_F(Store, PcWritesStayInsideTheImageAndTheSlots)
{
    VyxRamPara* p = VyxRamPara::pInstance();
    uint8_t data[16];
    for (int i = 0; i < 16; ++i)
        data[i] = uint8_t(0xC0 + i);
    uint8_t before[kImageSize];
    std::memcpy(before, p->ram_para, kImageSize);

    EXPECT_EQ(p->VyxRamParaDeal(data, 16, 4090), 1u);
    EXPECT_EQ(p->VyxRamParaDeal(data, 16, 0xFFFFFFF8u), 1u); // no wrap-around
    EXPECT_EQ(std::memcmp(before, p->ram_para, kImageSize), 0);
    EXPECT_EQ(p->VyxRamParaDeal(data, 6, 4090), 0u);
    EXPECT_EQ(p->ram_para[4095], 0xC5);
    EXPECT_EQ(p->VyxRamParaDeal(data, 0, 4096), 0u);

    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 4, 0x1000), 0u);
    EXPECT_EQ(std::memcmp(p->user_mode[0], data, 4), 0);
    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 2, 0x10FFE), 0u);
    EXPECT_EQ(p->user_mode[15][4094], 0xC0);
    EXPECT_EQ(p->user_mode[15][4095], 0xC1);

    uint8_t slotCopy[kModeSlots][kModeSlotSize];
    std::memcpy(slotCopy, p->user_mode, sizeof slotCopy);
    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 4, 0x10FFE), 1u); // would pass the slot's 4096 bytes
    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 4, 0x0800), 1u);  // slot number 0
    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 4, 0x11000), 1u); // slot number 17
    EXPECT_EQ(std::memcmp(slotCopy, p->user_mode, sizeof slotCopy), 0);
}

TEST_F(Store, PersistWritesOnlyChangedStoredBytes)
{
    VyxRamPara* p = VyxRamPara::pInstance();
    platform::simShell().clearLog();

    p->ram_para[100] = 1; // volatile only
    EXPECT_EQ(p->ram_para_persist(), 0);
    EXPECT_EQ(p->ram_para_bak[100], 0);
    EXPECT_TRUE(platform::simShell().log().empty());

    putLe16(p->ram_para + kContrast, 42);
    EXPECT_EQ(p->ram_para_persist(), 1);
    QByteArray f = readFile(kFile);
    EXPECT_EQ(f.size(), kParamFileSize);
    EXPECT_EQ(fileWord(f, 1412), 42);
    EXPECT_EQ(uint8_t(f[0]), 0xAA);
    EXPECT_EQ(uint8_t(f[1]), 0xAA);
    EXPECT_EQ(uint8_t(f[2050]), 60); // the load's fixes reach the file with it
    EXPECT_EQ(p->ram_para_bak[100], 1); // the whole image is re-snapshotted
    EXPECT_EQ(countCommand("sync"), 1);
}

TEST_F(Store, FailedSaveIsRetriedUntilItReachesTheFile)
{
    VyxRamPara* p = VyxRamPara::pInstance();
    // A directory where the file should be: nothing can open it.
    QFile::remove(QString::fromStdString(path(kFile)));
    QDir().mkpath(QString::fromStdString(path(kFile)));

    putLe16(p->ram_para + kContrast, 33);
    EXPECT_EQ(p->ram_para_persist(), 0);
    // The snapshot follows the image all the same.
    EXPECT_EQ(le16(p->ram_para_bak + kContrast), 33);
    EXPECT_EQ(p->ram_para_persist(), 0);

    // Once the obstacle is gone the missing file is recreated in full.
    QDir(QString::fromStdString(path(kFile))).removeRecursively();
    EXPECT_EQ(p->ram_para_persist(), 1);
    QByteArray f = readFile(kFile);
    ASSERT_EQ(f.size(), kParamFileSize);
    EXPECT_EQ(uint8_t(f[0]), 0xAA);
    EXPECT_EQ(uint8_t(f[1]), 0xAA);
    EXPECT_EQ(fileWord(f, 1412), 33);
    EXPECT_EQ(f.mid(3330), QByteArray(766, 0));

    // Written: nothing more to do.
    platform::simShell().clearLog();
    EXPECT_EQ(p->ram_para_persist(), 0);
    EXPECT_TRUE(platform::simShell().log().empty());
}

TEST_F(Store, ResetRewritesTheDefaultFile)
{
    VyxRamPara* p = VyxRamPara::pInstance();
    putLe16(p->ram_para + kBrightness, 5);
    p->ram_para_persist();
    p->ram_para_reset();
    EXPECT_EQ(readFile(kFile), defaultFile());
    EXPECT_EQ(le16(p->ram_para + kBrightness), 100);
    EXPECT_EQ(std::memcmp(p->ram_para, p->ram_para_bak, kImageSize), 0);
}
