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

const char* const kStoreFile = "/data/ram_device_info";
constexpr int kFileOf = 766; // image offset minus file offset

uint16_t fileWord(const QByteArray& f, int offset)
{
    return le16(reinterpret_cast<const uint8_t*>(f.constData()) + offset);
}

QByteArray defaultFile()
{
    return QByteArray(reinterpret_cast<const char*>(default_para_ramlist.data()), kParamFileSize);
}

using Store = Sandbox;

} // namespace

TEST_F(Store, MissingFileIsCreatedFromTheDefaults)
{
    ASSERT_FALSE(exists(kStoreFile));
    VyxRamPara* p = VyxRamPara::pInstance();

    QByteArray f = readFile(kStoreFile);
    ASSERT_EQ(f, defaultFile());
    // {file offset, word}: marker, LED size, picture (brightness first), EDID
    // requests of inputs 0 and 4, image 0 at 1920 wide, image 5 closed on
    // source 1, image 6 on no source.
    const int img0 = 2272 - kFileOf, rec = 26;
    const int words[][2] = {{0, 0xAAAA}, {612, 1920}, {614, 1080}, {1410, 100}, {1424, 64},
                            {130, 1920}, {132, 1080}, {134, 60},   {154, 3840}, {156, 2160},
                            {img0 + 14, 1920}, {img0 + 5 * rec, 0}, {img0 + 5 * rec + 8, 1}, {img0 + 6 * rec + 8, 0}};
    for (const auto& w : words)
        EXPECT_EQ(fileWord(f, w[0]), w[1]) << w[0];
    // Crop entries free (02 00 00 00 00 00 80 07 38 04); fades and the tail zero.
    const char freeCrop[] = {2, 0, 0, 0, 0, 0, char(0x80), 7, 0x38, 4};
    for (int e : {0, 63})
        EXPECT_EQ(f.mid(1472 - kFileOf + 10 * e, 10), QByteArray(freeCrop, 10)) << e;
    EXPECT_EQ(f.mid(2816 - kFileOf), QByteArray(kParamFileSize - (2816 - kFileOf), 0));

    EXPECT_EQ(le16(p->ram_para + imageRecord(0) + kImgEnable), 1);
    EXPECT_EQ(le16(p->ram_para + imageRecord(0) + kImgSource), 1);
    EXPECT_EQ(std::memcmp(p->ram_para, p->ram_para_bak, kImageSize), 0);
    for (int i = 0; i < kPersistStart; ++i)
        ASSERT_EQ(p->ram_para[i], 0) << i;
    for (int k = 0; k < kModeSlots; ++k)
        EXPECT_EQ(p->VyxUserModeSaved(k), 0);
}

TEST_F(Store, BadMarkerIsReplacedByTheDefaultFile)
{
    QByteArray bad(3330, char(0x33));
    bad[0] = char(0xAA);
    bad[1] = char(0x55);
    writeFile(kStoreFile, bad);
    VyxRamPara* p = VyxRamPara::pInstance();
    EXPECT_EQ(readFile(kStoreFile), defaultFile());
    EXPECT_EQ(le16(p->ram_para + kLedWidth), 1920);
}

TEST_F(Store, ShortFileKeepsDefaultsInTheBytesItLacks)
{
    QByteArray f = defaultFile().left(2 + 200);
    f[2 + (kWifiOff - 768)] = 1;
    f[2 + (kPanelLock - 768)] = 7;
    writeFile(kStoreFile, f);
    VyxRamPara* p = VyxRamPara::pInstance();
    EXPECT_EQ(p->ram_para[kWifiOff], 1);
    EXPECT_EQ(p->ram_para[kPanelLock], 7);
    EXPECT_EQ(le16(p->ram_para + kLedWidth), 1920);
    EXPECT_EQ(le16(p->ram_para + kColourTempBlue), 64);
    // A file with a good marker is never rewritten by the load.
    EXPECT_EQ(readFile(kStoreFile).size(), 202);
}

TEST_F(Store, RestartClearsWhatMustNotSurvive)
{
    // {image offset, word in the file, word after the load}
    const int fixes[][3] = {
        {imageRecord(0) + kImgOutput, 0x0107, 0x0105}, // black, freeze, fade, dot-by-dot: freeze cleared
        {imageRecord(5) + kImgOutput, 0x0107, 0x0105},
        {imageRecord(6) + kImgOutput, 0x0107, 0x0107}, // beyond the window images: kept
        {imageRecord(15) + kImgOutput, 0x0107, 0x0107},
        {kTestPattern, 0x0203, 0},
        {kCurrentMode, 5, 0},
        {kModeSaveRequest, 0x0104, 4}, // only byte 869 is cleared
        {kLedOff, 1, 0},
        {kSpliceMode, 3, 0},
        {kFadeIn + 4 * 2, 0x0210, 0x023C}, // high byte kept
    };
    QByteArray f = defaultFile();
    for (const auto& x : fixes) {
        f[x[0] - kFileOf] = char(x[1] & 0xFF);
        f[x[0] - kFileOf + 1] = char(x[1] >> 8);
    }
    writeFile(kStoreFile, f);

    VyxRamPara* p = VyxRamPara::pInstance();
    for (const auto& x : fixes)
        EXPECT_EQ(le16(p->ram_para + x[0]), x[2]) << x[0];
    for (int w = 0; w < 16; ++w)
        EXPECT_TRUE(p->ram_para[kFadeIn + 4 * w] == 60 && p->ram_para[kFadeOut + 4 * w] == 60) << w;
    // The snapshot holds the fixed image; the file keeps the old values
    // until the next save, which writes them back.
    EXPECT_EQ(std::memcmp(p->ram_para, p->ram_para_bak, kImageSize), 0);
}

TEST_F(Store, LoadKeepsTheLanguageWithinTheOfferedSet)
{
    // {file language, offered mask, language after load, mask after load}
    const uint32_t cases[][4] = {
        {3, 0x12, 1, 0x12},    // Vietnamese not offered: first offered of 0..4
        {0, 0x3001D, 2, 0x1C}, // bits 0 and 17 together: bit 0 and the high bits dropped
        {7, 0x20, 7, 0x20},    // nothing offered among 0..4: kept as read
    };
    QByteArray f = defaultFile();
    for (const auto& c : cases) {
        VyxRamPara::destroyForTest();
        f[2] = char(c[0]);
        writeFile(kStoreFile, f);
        g_lcd_lang_valid = c[1];
        VyxRamPara* p = VyxRamPara::pInstance();
        EXPECT_EQ(p->ram_para[kLanguage], c[2]) << c[0];
        EXPECT_EQ(g_language.load(), c[2]) << c[0];
        EXPECT_EQ(g_lcd_lang_valid.load(), c[3]) << c[0];
        // The snapshot already holds the fixed byte, so another change carries it.
        p->ram_para[kContrast] = 51;
        EXPECT_EQ(p->ram_para_persist(), 1);
        EXPECT_EQ(uint8_t(readFile(kStoreFile)[2]), c[2]) << c[0];
    }
}

TEST_F(Store, LoadsOnceAndInitialisesTheRegisters)
{
    VyxRamPara* p = VyxRamPara::pInstance();
    // {register, value}; those the table does not list read 0.
    const int expected[][2] = {{37, 0x80}, {38, 0x1F}, {39, 0x07}, {52, 0},      {53, 0xC3}, {54, 0x10}, {55, 0xFF},
                               {58, 0xFF}, {59, 0xC0}, {60, 0xFF}, {1060, 0xFF}, {0, 0},     {36, 0},    {1061, 0}};
    for (const auto& e : expected)
        EXPECT_EQ(p->local_reg[e[0]], e[1]) << e[0];

    // A later call must not reload and throw away live changes.
    p->ram_para[kContrast] = 77;
    EXPECT_EQ(VyxRamPara::pInstance(), p);
    EXPECT_EQ(p->ram_para[kContrast], 77);
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

    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 4, 0x1000), 0u);
    EXPECT_EQ(std::memcmp(p->user_mode[0], data, 4), 0);
    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 2, 0x10FFE), 0u);
    EXPECT_EQ(p->user_mode[15][4095], 0xC1);

    uint8_t slotCopy[kModeSlots][kModeSlotSize];
    std::memcpy(slotCopy, p->user_mode, sizeof slotCopy);
    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 4, 0x10FFE), 1u); // would pass the slot's 4096 bytes
    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 4, 0x0800), 1u);  // slot number 0
    EXPECT_EQ(p->VyxModeUserRamParaDeal(data, 4, 0x11000), 1u); // slot number 17
    EXPECT_EQ(std::memcmp(slotCopy, p->user_mode, sizeof slotCopy), 0);
}

TEST_F(Store, FailedSaveIsRetriedUntilItReachesTheFile)
{
    VyxRamPara* p = VyxRamPara::pInstance();
    // A directory where the file should be: nothing can open it.
    QFile::remove(QString::fromStdString(path(kStoreFile)));
    QDir().mkpath(QString::fromStdString(path(kStoreFile)));

    putLe16(p->ram_para + kContrast, 33);
    EXPECT_EQ(p->ram_para_persist(), 0);
    // The snapshot follows the image all the same.
    EXPECT_EQ(le16(p->ram_para_bak + kContrast), 33);
    EXPECT_EQ(p->ram_para_persist(), 0);

    // Once the obstacle is gone the missing file is recreated in full.
    QDir(QString::fromStdString(path(kStoreFile))).removeRecursively();
    EXPECT_EQ(p->ram_para_persist(), 1);
    EXPECT_EQ(readFile(kStoreFile), QByteArray("\xAA\xAA") + QByteArray(reinterpret_cast<const char*>(p->ram_para_bak) +
                                                                   kPersistStart, kPersistLength) + QByteArray(766, 0));

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
    EXPECT_EQ(readFile(kStoreFile), defaultFile());
    EXPECT_EQ(le16(p->ram_para + kBrightness), 100);
    EXPECT_EQ(std::memcmp(p->ram_para, p->ram_para_bak, kImageSize), 0);
}
