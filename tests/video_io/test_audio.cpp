// The audio route: which input's sound the GPIO expander passes on.
#include "video_fixture.h"

namespace {
constexpr int kImages = 2272;
constexpr int kRecord = 26;
}

class AudioTest : public VideoTest {
protected:
    void showOnImage(int image, uint16_t sourceWord, bool sound)
    {
        setImage16(2112, uint16_t(image));
        setImage16(kImages + kRecord * image + 8, sourceWord);
        setImage16(kImages + kRecord * image + 20, sound ? 0x8000 : 0);
    }
    // Raises the flag and returns the expander's output once served.
    uint8_t route(zevlosource* z)
    {
        finishTurn(z);
        return platform::simI2c().expanderOutput();
    }
};

TEST_F(AudioTest, SourceTwoWithSoundSelectsSixteenAndKeepsTheOtherBits)
{
    zevlosource* z = start();
    platform::simI2c().setExpanderOutput(0xFF);
    showOnImage(1, 2, true);
    EXPECT_EQ(route(z), 0x8B | 16);

    platform::simI2c().setExpanderOutput(0x00);
    showOnImage(1, 2, true);
    EXPECT_EQ(route(z), 16);
}

TEST_F(AudioTest, EachInputHasItsBitAndEverythingElseIsSilence)
{
    zevlosource* z = start();
    platform::simI2c().setExpanderOutput(0x01);
    const uint8_t expect[6] = {64, 32, 16, 4, 0, 0};
    for (int src = 0; src < 6; ++src) {
        showOnImage(0, uint16_t(src), true);
        EXPECT_EQ(route(z), 0x01 | expect[src]) << "source " << src;
    }
    showOnImage(0, 0, false);
    EXPECT_EQ(route(z), 0x01);
    // An audio image beyond the records is silence, not a stray read.
    showOnImage(0, 0, true);
    setImage16(2112, 300);
    EXPECT_EQ(route(z), 0x01);
}

TEST_F(AudioTest, ACropSourceTakesItsInputFromTheCropEntry)
{
    zevlosource* z = start();
    platform::simI2c().setExpanderOutput(0);
    setImage16(1472 + 10 * 3, 0x8000 | 0x0100 | 1); // entry 3: crop 2 of source 1
    showOnImage(5, 0x8003, true);
    EXPECT_EQ(route(z), 32);
    setImage16(1472 + 10 * 3, 0x0001); // a free entry shows nothing
    EXPECT_EQ(route(z), 0);
    setImage16(1472 + 10 * 3, 0x8003);
    showOnImage(5, 0x8000 | 45, true); // past the 40 entries
    EXPECT_EQ(route(z), 0);
}

TEST_F(AudioTest, AFailedWriteIsTriedAgain)
{
    zevlosource* z = start();
    platform::simI2c().setExpanderOutput(0);
    showOnImage(0, 3, true);
    platform::simI2c().failNext(vbus::kExpander, 3);
    z->audio_route_flag = 1;
    EXPECT_TRUE(waitFor([] { return platform::simI2c().expanderOutput() == 4; }));
    EXPECT_EQ(route(z), 4);
}
