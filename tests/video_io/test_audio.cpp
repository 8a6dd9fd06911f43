// The audio route: which input's sound the GPIO expander passes on.
#include "video_fixture.h"

class AudioTest : public VideoTest {
protected:
    // Image `image` shows `sourceWord` (bit 15: a crop entry) with sound on
    // or off, and the audio image points at `audioImage`.
    void showOnImage(int image, uint16_t sourceWord, bool sound, int audioImage)
    {
        setImage16(2112, uint16_t(audioImage));
        setImage16(2272 + 26 * image + 8, sourceWord);
        setImage16(2272 + 26 * image + 20, sound ? 0x8000 : 0);
    }
    // Raises the flag and returns the expander's output once served. The
    // manager clears the flag before it reads the image: the service is over
    // only once it has written the expander.
    uint8_t route(zevlosource* z)
    {
        simI2c().clearRecords();
        z->audio_route_flag = 1;
        EXPECT_TRUE(waitFor([] {
            for (const platform::SimI2c::Record& r : simI2c().records())
                if (r.addr == vbus::kExpander && !r.read && r.data.size() == 2)
                    return true;
            return false;
        }));
        return simI2c().expanderOutput();
    }
};

TEST_F(AudioTest, TheExpanderGetsTheShownInputsBitKeepsItsOtherBitsAndRetries)
{
    zevlosource* z = start();
    setImage16(1472 + 10 * 3, 0x8000 | 0x0100 | 1); // crop entry 3: crop 2 of source 1
    setImage16(1472 + 10 * 4, 0x0001);              // crop entry 4: free
    setImage16(1472 + 10 * 45, 0x8001);             // past the 40 entries: never looked at
    struct Case {
        uint8_t before;
        uint16_t source;
        bool sound;
        int audioImage;
        uint8_t after;
    } cases[] = {
        {0xFF, 2, true, 1, 0x8B | 16}, // the other audio bits go, the rest stays
        {0x01, 0, true, 1, 0x01 | 64},
        {0x74, 4, true, 1, 0},   // a source with no sound input
        {0x74, 0, false, 1, 0},
        {0x74, 0, true, 300, 0}, // an audio image beyond the records
        {0x00, 0x8003, true, 1, 32},
        // A word naming a free entry, or one past the table: the whole DVI
        // input is shown, and its sound goes with it.
        {0x74, 0x8004, true, 1, 64},
        {0x74, 0x8000 | 45, true, 1, 64},
    };
    for (const Case& c : cases) {
        simI2c().setExpanderOutput(c.before);
        showOnImage(1, c.source, c.sound, c.audioImage);
        EXPECT_EQ(route(z), c.after) << "source " << c.source << " image " << c.audioImage;
    }
    // A write the expander did not take is tried again.
    showOnImage(1, 3, true, 1);
    simI2c().failNext(vbus::kExpander, 3);
    z->audio_route_flag = 1;
    EXPECT_TRUE(waitFor([] { return simI2c().expanderOutput() == 4; }));
}
