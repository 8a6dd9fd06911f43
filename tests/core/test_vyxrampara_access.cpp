#include "tests/support/sandbox.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "scaler/c331_manage.h"

using namespace ram;

namespace {

class Access : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        p = VyxRamPara::pInstance();
        img = p->ram_para;
    }
    void setImage(int w, bool enabled, uint16_t sourceWord)
    {
        putLe16(img + imageRecord(w) + kImgEnable, enabled ? 1 : 0);
        putLe16(img + imageRecord(w) + kImgSource, sourceWord);
    }
    void setCrop(int e, int source, int number, int x = 0, int y = 0, int w = 100, int h = 100)
    {
        uint8_t* c = img + cropEntry(e);
        putLe16(c + kCropId, uint16_t(kCropUsed | ((number - 1) << 8) | source));
        putLe16(c + kCropX, uint16_t(x));
        putLe16(c + kCropY, uint16_t(y));
        putLe16(c + kCropW, uint16_t(w));
        putLe16(c + kCropH, uint16_t(h));
    }
    void clearImages()
    {
        for (int w = 0; w < kImageRecordCount; ++w)
            setImage(w, false, 0);
    }
    // VyxSourceId_is_on for devices 0..5.
    std::vector<int> devicesOn()
    {
        std::vector<int> on;
        for (int d = 0; d < 6; ++d)
            on.push_back(p->VyxSourceId_is_on(uint8_t(d)));
        return on;
    }

    VyxRamPara* p = nullptr;
    uint8_t* img = nullptr;
};

} // namespace

TEST_F(Access, SourceIdIsOnMapsSourcesToDevicesOverEnabledImagesOnly)
{
    clearImages();
    setImage(0, true, 2);
    setImage(1, false, 3); // disabled: does not count
    setImage(6, true, 1);  // beyond the six window images: does not count
    EXPECT_EQ(devicesOn(), (std::vector<int>{0, 0, 1, 0, 0, 0}));
    setImage(2, true, 5); // sources other than 1..3 count as device 0
    EXPECT_EQ(devicesOn(), (std::vector<int>{1, 0, 1, 0, 0, 0}));
    setCrop(3, 3, 1); // a crop counts by its own source
    setImage(5, true, kSourceIsCrop | 3);
    EXPECT_EQ(devicesOn(), (std::vector<int>{1, 0, 1, 1, 0, 0}));
}

TEST_F(Access, ImageSourceResolvesCropsInTheGivenBuffer)
{
    // A slot's image 1 shows crop entry 7 of the slot's own table
    // (slot data offset 576 + 70), not the live one.
    uint8_t* slotData = p->user_mode[4] + kSlotData;
    putLe16(slotData + imageRecord(1) + kImgSource - kModeStart, 0x8007);
    putLe16(slotData + 576 + 70, uint16_t(kCropUsed | 5));
    setCrop(7, 1, 1);
    short isCrop = -1;
    char cropIndex = 0;
    EXPECT_EQ(p->VyxGetImageSource(slotData, 1, &isCrop, &cropIndex, 1), 5);
    EXPECT_EQ(isCrop, 1);
    EXPECT_EQ(cropIndex, 7);

    EXPECT_EQ(p->VyxGetImageSource(img, 16, &isCrop, &cropIndex, 0), 0xFF);
    EXPECT_EQ(isCrop, 0);
}

TEST_F(Access, AWordNamingNoCropInUseShowsTheWholeDviInput)
{
    // Entry 5 was freed (its id word keeps source 2), entry 40 is past the
    // table: neither is a crop, in the live image or in a slot.
    putLe16(img + cropEntry(5), 0x0102);
    putLe16(img + cropEntry(40), uint16_t(kCropUsed | 3));
    uint8_t* slotData = p->user_mode[2] + kSlotData;
    putLe16(slotData + cropEntry(5) - kModeStart, 0x0003);
    putLe16(slotData + imageRecord(0) + kImgSource - kModeStart, 0x8005);
    for (const uint16_t word : {uint16_t(0x8005), uint16_t(0x8028), uint16_t(0x80FF)}) {
        setImage(1, true, word);
        short isCrop = -1;
        char cropIndex = 9;
        EXPECT_EQ(p->VyxGetImageSource(img, 1, &isCrop, &cropIndex, 0), 0) << word;
        EXPECT_EQ(isCrop, 0) << word;
        EXPECT_EQ(cropIndex, 9) << word;
        EXPECT_EQ(le16(img + imageRecord(1) + kImgSource), word); // the word stays as written
    }
    short isCrop = -1;
    char cropIndex = 9;
    EXPECT_EQ(p->VyxGetImageSource(slotData, 0, &isCrop, &cropIndex, 1), 0);
    EXPECT_EQ(isCrop, 0);
    // The keypad's source light and the receivers take it as DVI too.
    clearImages();
    setImage(0, true, 0x8005);
    EXPECT_EQ(devicesOn(), (std::vector<int>{1, 0, 0, 0, 0, 0}));
}

namespace {

class Crops : public Access {
protected:
    void SetUp() override
    {
        Access::SetUp();
        // The request protocol alone: no scaler thread to take the request.
        scaler = c331_manage::createForTest();
        scaler->para_changed = 0;
        // Source 2 has crops 1, 2 and 4 (3 was deleted); source 0 has crop 1.
        setCrop(0, 2, 1, 10, 20, 30, 40);
        setCrop(1, 0, 1);
        setCrop(2, 2, 2);
        setCrop(4, 2, 4, 1, 2, 3, 4);
        p->VyxCropSourceInit();
    }
    uint16_t cropId(int e) { return le16(img + cropEntry(e) + kCropId); }
    // Runs a request that must leave the image alone and ask nothing of the scaler.
    void expectRefused(const char* what, const std::function<void()>& request)
    {
        uint8_t before[kImageSize];
        std::memcpy(before, img, kImageSize);
        scaler->para_changed = 0;
        request();
        EXPECT_EQ(std::memcmp(before, img, kImageSize), 0) << what;
        EXPECT_EQ(scaler->para_changed, 0) << what;
    }
    c331_manage* scaler = nullptr;
};

} // namespace

TEST_F(Crops, OrdinalsFollowTheBitmap)
{
    EXPECT_EQ(p->VyxGetCropID(2, 3), 4);
    EXPECT_EQ(p->VyxGetCropID(2, 0), 0);
    EXPECT_EQ(p->VyxAddCropID(5), 1);
    EXPECT_EQ(p->VyxGetSourceNum(2, 3), 2); // rank of entry 2 among source 2's crops

    CROP_PARA c{-1, -1, -1, -1, -1};
    int entry = -1;
    p->VyxGetCropPara(2, 3, &c, &entry);
    EXPECT_EQ(entry, 4);
    EXPECT_EQ((std::vector<int>{c.source, c.x, c.y, c.w, c.h}), (std::vector<int>{0x8302, 1, 2, 3, 4}));
    CROP_PARA untouched{7, 7, 7, 7, 7};
    p->VyxGetCropPara(2, 4, &untouched, &entry);
    EXPECT_EQ(entry, 40);
    EXPECT_EQ(untouched.source, 7);
}

TEST_F(Crops, EntriesTheBitmapCannotHoldAreSkipped)
{
    // The PC may write any id word.
    putLe16(img + cropEntry(10), uint16_t(kCropUsed | (0x7F << 8) | 2)); // crop number 128
    putLe16(img + cropEntry(11), uint16_t(kCropUsed | 0xFF));            // source 255
    putLe16(img + cropEntry(12), uint16_t(kCropUsed | (39 << 8) | 6));   // source 6
    p->VyxCropSourceInit();
    EXPECT_EQ(p->VyxGetSourceNum(2, 40), 4);
    EXPECT_EQ(p->VyxGetCropID(2, 4), 0);
    // Sources above 5 are refused by every ordinal function.
    EXPECT_EQ(p->VyxGetCropID(6, 1) + p->VyxAddCropID(6) + p->VyxAddCropID(255) + p->VyxGetSourceNum(6, 40), 0);
    // Source 5's last bit is the bitmap's last bit.
    setCrop(13, 5, 40);
    p->VyxCropSourceInit();
    EXPECT_EQ(g_cut_source_state[kCutSourceStateSize - 1], 0x80);
    EXPECT_EQ(p->VyxGetCropID(5, 1), 40);
}

TEST_F(Crops, RefusedRequestsChangeNothing)
{
    CROP_PARA in{0, 1, 2, 3, 4};
    expectRefused("edit of a missing crop", [&] { p->VyxSetCropPara(2, 9, &in); });
    expectRefused("delete of a missing crop", [&] { p->VyxDeleteCrop(3, 1); });
    expectRefused("new crop of source 6", [&] { p->VyxAddNewCrop(6, &in); });
    expectRefused("image 16", [&] { p->VyxSetImageSource(0, 1, 16); });
    expectRefused("EDID of input 6", [&] { p->VyxSetEDIDPara(6, 1, 1, 1); });
    expectRefused("EDID of input -1", [&] { p->VyxSetEDIDPara(-1, 1, 1, 1); });

    for (int e = 0; e < kCropEntries; ++e)
        setCrop(e, 1, e + 1);
    p->VyxCropSourceInit();
    expectRefused("new crop in a full table", [&] {
        p->VyxAddNewCrop(0, &in);
        p->VyxAddNewCrop(1, &in);
    });
}

TEST_F(Crops, EditsGoThroughTheScalerRequest)
{
    CROP_PARA in{2, 100, 200, 300, 0x12345};
    p->VyxAddNewCrop(2, &in);
    EXPECT_EQ(cropId(3), 0x8202); // first free entry, crop number 3
    EXPECT_EQ(le16(img + cropEntry(3) + kCropH), 0x2345);
    EXPECT_EQ(scaler->para_changed, 1);

    scaler->para_changed = 0;
    CROP_PARA edit{0, 5, 6, 7, 8};
    p->VyxSetCropPara(2, 2, &edit); // crop number 2, entry 2
    EXPECT_EQ(le16(img + cropEntry(2) + kCropH), 8);
    EXPECT_EQ(cropId(2), 0x8102); // the id is not the caller's
    EXPECT_EQ(scaler->para_changed, 1);

    scaler->para_changed = 0;
    p->VyxDeleteCrop(2, 1);
    EXPECT_EQ(cropId(0), 0);
    EXPECT_EQ(le16(img + cropEntry(0) + kCropX), 10); // the rest stays
    EXPECT_EQ(scaler->para_changed, 1);

    scaler->para_changed = 0;
    p->VyxSetEDIDPara(5, 3840, 2160, 30);
    EXPECT_EQ(std::vector<uint8_t>(img + edidRequest(5), img + edidRequest(5) + 6),
              (std::vector<uint8_t>{0x00, 0x0F, 0x70, 0x08, 30, 0})); // 3840 x 2160 @ 30
    EXPECT_EQ(scaler->para_changed, 1);

    // A pending request that also resynchronises the user-mode files keeps
    // doing so.
    scaler->para_changed = 2;
    p->VyxSetEDIDPara(5, 1920, 1080, 60);
    EXPECT_EQ(scaler->para_changed, 2);
}

TEST_F(Crops, DeletingACropPutsItsWholeSourceOnEveryImageThatShowedIt)
{
    // Source 2's crop 2 (entry 2) is shown by images 1, 3 (disabled) and 12;
    // image 4 shows source 2's crop 4, image 0 all of source 2.
    clearImages();
    setImage(0, true, 2);
    setImage(1, true, 0x8002);
    setImage(3, false, 0x8002);
    setImage(4, true, 0x8004);
    setImage(12, true, 0x8002);
    putLe16(img + kCurrentMode, 3);
    putLe16(p->ram_para_bak + kCurrentMode, 3);
    p->VyxDeleteCrop(2, 2);
    EXPECT_EQ(cropId(2), 0);
    std::vector<uint16_t> words;
    for (int w : {0, 1, 3, 4, 12})
        words.push_back(le16(img + imageRecord(w) + kImgSource));
    EXPECT_EQ(words, (std::vector<uint16_t>{2, 2, 2, 0x8004, 2}));
    EXPECT_EQ(scaler->para_changed, 1);
    EXPECT_EQ(le16(img + kCurrentMode), 3); // the mode is not left for it

    // Source 0's crop 1: the whole input is DVI, source word 0.
    setImage(5, true, 0x8001);
    p->VyxDeleteCrop(0, 1);
    EXPECT_EQ(le16(img + imageRecord(5) + kImgSource), 0);
}

TEST_F(Crops, CropEditWaitsForTheScalerMutex)
{
    pthread_mutex_lock(&scaler->para_mutex);
    std::atomic<bool> done{false};
    std::thread editor([&] {
        CROP_PARA edit{0, 9, 9, 9, 9};
        p->VyxSetCropPara(2, 1, &edit);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(done.load());
    EXPECT_EQ(le16(img + cropEntry(0) + kCropX), 10);
    pthread_mutex_unlock(&scaler->para_mutex);
    editor.join();
    EXPECT_EQ(le16(img + cropEntry(0) + kCropX), 9);
}

TEST_F(Crops, SetImageSourceWritesTheWordAndLeavesASavedMode)
{
    putLe16(img + kCurrentMode, 4);
    putLe16(p->ram_para_bak + kCurrentMode, 4);
    p->VyxSetImageSource(0, 3, 1);
    EXPECT_EQ(le16(img + imageRecord(1) + kImgSource), 3);
    EXPECT_EQ(le16(img + kCurrentMode), 0);
    EXPECT_EQ(scaler->para_changed, 1);

    // A mode not yet saved in the file stays current.
    putLe16(img + kCurrentMode, 5);
    p->VyxSetImageSource(3, 2, 2); // source 2's third crop: entry 4
    EXPECT_EQ(le16(img + imageRecord(2) + kImgSource), 0x8004);
    EXPECT_EQ(le16(img + kCurrentMode), 5);

    p->VyxSetImageSource(4, 2, 2); // no fourth crop: whole input 0
    EXPECT_EQ(le16(img + imageRecord(2) + kImgSource), 0);
}

TEST_F(Crops, FreezeAndBlackActOnTheCurrentImage)
{
    clearImages();
    g_image_current = 1;
    p->VyxSetImageFreeze(); // disabled: bit kept, request raised
    EXPECT_EQ(le16(img + imageRecord(1) + kImgOutput), 0);
    EXPECT_EQ(scaler->para_changed, 1);
    p->VyxSetImageBlack(); // toggles regardless
    EXPECT_EQ(le16(img + imageRecord(1) + kImgOutput), kOutBlack);

    setImage(1, true, 1);
    p->VyxSetImageFreeze();
    EXPECT_EQ(le16(img + imageRecord(1) + kImgOutput), kOutBlack | kOutFreeze);
    p->VyxSetImageFreeze();
    p->VyxSetImageBlack();
    EXPECT_EQ(le16(img + imageRecord(1) + kImgOutput), 0);
}

TEST_F(Access, LanguageCheckForcesAnOfferedLanguageUntilTheNextSave)
{
    img[kLanguage] = 2;
    img[kLanguageAux] = 9;
    g_lcd_lang_valid = 0x12; // languages 1 and 4
    EXPECT_EQ(p->VyxLanguageChanged(), 1);
    EXPECT_EQ(img[kLanguage], 1);
    EXPECT_EQ(img[kLanguageAux], 0);
    p->ram_para_persist();
    EXPECT_EQ(p->VyxLanguageChanged(), 0);
}

TEST_F(Access, WritersWorkWithoutAScaler)
{
    ASSERT_EQ(c331_manage::p_c331_manage, nullptr);
    p->VyxSetEDIDPara(0, 1280, 720, 50);
    EXPECT_EQ(le16(img + edidRequest(0)), 1280);
}
