#include "tests/support/sandbox.h"

#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"

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

    VyxRamPara* p = nullptr;
    uint8_t* img = nullptr;
};

} // namespace

TEST_F(Access, SourceIdIsOnMapsSourcesToDevicesOverEnabledImagesOnly)
{
    clearImages();
    setImage(0, true, 2);
    setImage(1, false, 3);  // disabled: does not count
    setImage(6, true, 1);   // beyond the six window images: does not count
    EXPECT_EQ(p->VyxSourceId_is_on(2), 1);
    EXPECT_EQ(p->VyxSourceId_is_on(3), 0);
    EXPECT_EQ(p->VyxSourceId_is_on(1), 0);
    EXPECT_EQ(p->VyxSourceId_is_on(0), 0);

    // Sources other than 1..3 count as device 0.
    setImage(2, true, 5);
    EXPECT_EQ(p->VyxSourceId_is_on(0), 1);
    EXPECT_EQ(p->VyxSourceId_is_on(5), 0);

    // A crop counts by its own source.
    setCrop(3, 3, 1);
    setImage(5, true, kSourceIsCrop | 3);
    EXPECT_EQ(p->VyxSourceId_is_on(3), 1);
}

TEST_F(Access, ImageSourceResolvesCropsInTheGivenBuffer)
{
    setCrop(3, 2, 1);
    setImage(0, true, 0x8003);
    short isCrop = -1;
    char cropIndex = 0;
    EXPECT_EQ(p->VyxGetImageSource(img, 0, &isCrop, &cropIndex, 0), 2);
    EXPECT_EQ(isCrop, 1);
    EXPECT_EQ(cropIndex, 3);

    setImage(1, true, 0x0004);
    cropIndex = 9;
    EXPECT_EQ(p->VyxGetImageSource(img, 1, &isCrop, &cropIndex, 0), 4);
    EXPECT_EQ(isCrop, 0);
    EXPECT_EQ(cropIndex, 9);

    // A slot's image 1 shows crop entry 7 of the slot's own table
    // (slot data offset 576 + 70), not the live one.
    uint8_t* slotData = p->user_mode[4] + kSlotData;
    putLe16(slotData + imageRecord(1) + kImgSource - kModeStart, 0x8007);
    putLe16(slotData + 576 + 70, uint16_t(kCropUsed | 5));
    setCrop(7, 1, 1);
    EXPECT_EQ(p->VyxGetImageSource(slotData, 1, &isCrop, &cropIndex, 1), 5);
    EXPECT_EQ(cropIndex, 7);

    EXPECT_EQ(p->VyxGetImageSource(img, 16, &isCrop, &cropIndex, 0), 0xFF);
    EXPECT_EQ(isCrop, 0);
}
