// The OSD: attributes, the text store, drawing into the simulated OSD
// memory, the OSD window on the output channels and the scroll.
#include "tests/scaler/osd_fixture.h"

#include <cstring>

using namespace ram;
using platform::SimScalerChip;

namespace {
class Osd : public OsdTest {
protected:
    void SetUp() override
    {
        OsdTest::SetUp();
        loadFonts();
        bringUp();
    }
    // Sets the text store from UTF-32 lines.
    void setText(const std::vector<std::u32string>& lines)
    {
        static unsigned int store[64][128];
        std::memset(store, 0, sizeof store);
        std::vector<int> lengths;
        for (size_t i = 0; i < lines.size() && i < 64; ++i) {
            for (size_t k = 0; k < lines[i].size() && k < 128; ++k)
                store[i][k] = lines[i][k];
            lengths.push_back(int(lines[i].size()));
        }
        scaler->vyxApi_OsdSetUnicode(int(lines.size()), lengths.data(), store);
    }
    // A text window of w x h at (x, y) on the LED screen, 64-dot characters.
    void textWindow(int x, int y, int w, int h)
    {
        scaler->load_char();
        for (auto tv : {std::pair<int, int>{5, x}, {6, w}, {7, y}, {8, h}, {3, 1}, {14, 1}, {9, x}, {10, w},
                        {11, y}, {12, h}, {0, 1}})
            scaler->vyxApi_OsdSet(tv.first, tv.second);
    }
    // The pending OSD work, as the manager thread's next turn does it.
    void draw()
    {
        ops.clear();
        turn();
    }
    std::vector<SimScalerChip::EngineJob> jobsSince(size_t from) const
    {
        auto all = chip().engineJobs();
        return std::vector<SimScalerChip::EngineJob>(all.begin() + long(std::min(from, all.size())), all.end());
    }
    // After bring-up the panel is what the LED screen needs: 3840 x 1080,
    // two ports of 1920 x 1080 side by side. The OSD picture is the panel.
    int panelW() const { return scaler->PS_PANEL_HW; }
    int panelH() const { return scaler->PS_PANEL_VW; }
    int hst0() const { return scaler->PS_ACTHST - 4; }
    int vst0() const { return scaler->PS_ACTVST + 1; }
    static constexpr uint32_t kOsd1 = 0x74B80000;
    static constexpr uint32_t kPitchUnits = 60; // 3840 pixels, twice over
    static constexpr uint32_t kPitch = kPitchUnits * 128;
    // Address of a pixel of the scroll copy.
    static uint32_t osd1(int x, int y) { return kOsd1 + uint32_t(x) + uint32_t(y) * kPitch; }
};
} // namespace

TEST_F(Osd, AttributeTypesSetStateAndPendingWork)
{
    scaler->osd_set_pending = 0;
    scaler->osd_update_pending = 0;
    EXPECT_EQ(scaler->vyxApi_OsdSet(4, 10), 1);
    EXPECT_EQ(scaler->PM_OSD_SCROLL_MODE, 1);
    EXPECT_EQ(scaler->osd_set_pending.exchange(0), 1);
    EXPECT_EQ(scaler->vyxApi_OsdSet(13, 200), 1);
    EXPECT_EQ(scaler->PM_OSD_SCROLL_SPEED, int8_t(-56));
    EXPECT_EQ(scaler->vyxApi_OsdSet(14, 0), 1);
    EXPECT_EQ(scaler->PM_OSD_CHAR_64DOT, 0);
    EXPECT_EQ(scaler->osd_update_pending.exchange(0), 1);
    EXPECT_EQ(scaler->osd_set_pending.exchange(0), 1);
    EXPECT_EQ(scaler->vyxApi_OsdSet(32, 0x40), 1);
    EXPECT_EQ(scaler->osd_update_pending.exchange(0), 1);
    EXPECT_EQ(scaler->osd_set_pending.load(), 0);

    // Margins on the panel follow the LED picture's x offset.
    ASSERT_EQ(panelW(), 3840);
    ASSERT_EQ(panelH(), 1080);
    set16(kPictureOffsetX, 100);
    scaler->vyxApi_OsdSet(5, 20);
    scaler->vyxApi_OsdSet(6, 1000);
    scaler->vyxApi_OsdSet(7, 30);
    scaler->vyxApi_OsdSet(8, 500);
    EXPECT_EQ(scaler->PM_OSD_OUTPUT_OFFSET[0], 120);
    EXPECT_EQ(scaler->PM_OSD_OUTPUT_OFFSET[1], 3840 - 1000 - 120);
    EXPECT_EQ(scaler->PM_OSD_OUTPUT_OFFSET[2], 30);
    EXPECT_EQ(scaler->PM_OSD_OUTPUT_OFFSET[3], 1080 - 500 - 30);
    scaler->vyxApi_OsdSet(16, 0x7F123456);
    EXPECT_EQ(scaler->PS_BG_COLOR, 0x123456u);
    scaler->vyxApi_OsdSet(19, 9000);
    EXPECT_EQ(scaler->PS_BG_HACT, 8191);

    // Unknown types change nothing.
    const int32_t mode = scaler->PM_OSD_SCROLL_MODE;
    for (int type : {23, 31, 36, 40, 47, 49, -1}) {
        EXPECT_EQ(scaler->vyxApi_OsdSet(type, 1), 0) << type;
        EXPECT_EQ(scaler->osd_set_pending.load() | scaler->osd_update_pending.load(), 0);
    }
    EXPECT_EQ(scaler->PM_OSD_SCROLL_MODE, mode);
}

TEST_F(Osd, TextStoreCountsLinesModuloSixtyFourAndCutsLongLines)
{
    setText({U"Ab", U"\u4E2D\u6587x"});
    EXPECT_EQ(scaler->g_unicode_line, 2);
    EXPECT_EQ(scaler->osd_text[1][0], 0x4E2D);
    EXPECT_EQ(scaler->osd_line_narrow[1], 1);
    EXPECT_EQ(scaler->osd_line_wide[1], 2);
    setText({std::u32string(300, U'x'), U"\U0001F600"});
    EXPECT_EQ(scaler->osd_line_len[0], 128);
    EXPECT_EQ(scaler->osd_text[1][0], 0xFFFD); // beyond the 16-bit store
    EXPECT_EQ(scaler->osd_line_len[2], 0);
    // A count below 1 clears the text; 64 counts as 0.
    setText(std::vector<std::u32string>(64, U"line"));
    EXPECT_EQ(scaler->g_unicode_line, 0);
    EXPECT_EQ(scaler->osd_line_len[0], 0);
    setText({});
    EXPECT_EQ(scaler->g_unicode_line, 0);
}

TEST_F(Osd, TextIsDrawnFromTheFontsAndShownThroughTheWindow)
{
    textWindow(0, 0, 1920, 256);
    setText({U"Hello A", U"", U"\u4E2D x"});
    scaler->vyxApi_OsdSet(17, 0x0000FF); // characters red (BBGGRR)
    scaler->vyxApi_OsdSet(16, 0x402020);
    scaler->vyxApi_OsdSet(18, 0);
    const size_t jobs = chip().engineJobs().size();
    draw();
    EXPECT_TRUE(called("update_osd()"));

    // The background first, then one character job per non-empty line.
    const auto done = jobsSince(jobs);
    ASSERT_GE(done.size(), 3u);
    EXPECT_EQ(done[0].kind, 1);
    EXPECT_EQ(done[0].fill, 1);
    EXPECT_EQ(done[0].dst, 0x725C0000u);
    EXPECT_EQ(done[0].width, 3840);
    EXPECT_EQ(done[0].height, 1080);
    EXPECT_EQ(done[0].dstPitch, int(kPitchUnits));
    EXPECT_EQ(done[1].kind, 3);
    EXPECT_EQ(done[1].glyphs, (std::vector<uint16_t>{0x28, 0x45, 0x4C, 0x4C, 0x4F, 0x00, 0x21}));
    EXPECT_EQ(done[2].kind, 3);
    EXPECT_EQ(done[2].glyphs, (std::vector<uint16_t>{96 + 0x2D, 0x00, 0x58}));
    EXPECT_EQ(chip().value(0x042A01), 72u);
    EXPECT_EQ(chip().value(0x041B01), kPitchUnits);
    // Lines 64 apart: the third line starts two cells down.
    EXPECT_EQ(done[2].dst - done[1].dst, 2u * 64 * kPitch);

    // Palette: 1 the background, 2 the characters.
    EXPECT_EQ(chip().osdPalette(1), 0x202040u);
    EXPECT_EQ(chip().osdPalette(2), 0xFF0000u);

    // The window: channel 0 shows the whole 1920 x 256 from the scroll copy.
    const auto ports = chip().osdPorts();
    EXPECT_TRUE(ports[0].shown);
    EXPECT_EQ(ports[0].control, 0x4003);
    EXPECT_EQ(ports[0].hst, hst0());
    EXPECT_EQ(ports[0].hw, 1920);
    EXPECT_EQ(ports[0].vst, vst0());
    EXPECT_EQ(ports[0].vw, 256);
    EXPECT_EQ(ports[0].source, kOsd1);
    EXPECT_EQ(ports[0].mwi, int(kPitchUnits));
    EXPECT_FALSE(ports[1].shown);
    EXPECT_EQ(chip().osdTexts(), (Lines{"Hello A", "\xE4\xB8\xAD x"}));

    // The picture, four times over for the scroll.
    for (auto at : {std::pair<int, int>{1920, 0}, {0, 256}, {1920, 256}})
        EXPECT_EQ(chip().osdTextsAt(osd1(at.first, at.second), kPitch, 1920, 256),
                  (Lines{"Hello A", "\xE4\xB8\xAD x"}));

    // The glyph pixels come from the font memory: 'H' is glyph 0x28 of the
    // 64-dot ASCII font, drawn at (0, 0) of the picture.
    const Bytes8 glyph = chip().memory(0x7F293000 + 0x28 * 512, 512);
    for (int row : {0, 17, 63})
        for (int col : {0, 9, 31}) {
            const bool set = glyph[size_t(row * 8 + col / 8)] & (0x80 >> (col % 8));
            EXPECT_EQ(chip().osdPixel(osd1(col, row)), set ? 2 : 1) << row << "," << col;
        }
    EXPECT_TRUE(chip().memoryErrors().empty()) << chip().memoryErrors().front();
}

TEST_F(Osd, AlignmentPlacesLinesInsideWhatTheWindowShows)
{
    textWindow(0, 0, 1920, 640);
    setText({U"abcd", U"\u4E2D\u4E2D"});
    scaler->vyxApi_OsdSet(34, 1);
    EXPECT_EQ(scaler->osd_line_hoffs[0], (1920 - 4 * 32) / 2);
    EXPECT_EQ(scaler->osd_line_hoffs[1], (1920 - 2 * 64) / 2);
    scaler->vyxApi_OsdSet(34, 2);
    EXPECT_EQ(scaler->osd_line_hoffs[0], 1920 - 4 * 32);
    scaler->vyxApi_OsdSet(35, 2);
    EXPECT_EQ(scaler->osd_valign_offs, 640 - 2 * 64);
    scaler->vyxApi_OsdSet(35, 1);
    EXPECT_EQ(scaler->osd_valign_offs, (640 - 2 * 64) / 2);
    draw();
    EXPECT_EQ(chip().osdTextsAt(osd1(1920 - 128, 256), kPitch, 128, 64), (Lines{"abcd"}));

    // Justified: the characters spread over the width, the first at the left.
    scaler->vyxApi_OsdSet(34, 3);
    const size_t jobs = chip().engineJobs().size();
    scaler->vyxApi_OsdSet(15, 1);
    draw();
    int single = 0;
    for (const auto& j : jobsSince(jobs))
        if (j.kind == 3)
            single += j.glyphs.size() == 1;
    EXPECT_EQ(single, 6);
    EXPECT_EQ(chip().osdTextsAt(osd1(1920 - 32, 256), kPitch, 32, 64), (Lines{"d"}));
}

TEST_F(Osd, AWindowOverSeveralOutputPortsIsSplitAtTheirEdges)
{
    textWindow(1800, 100, 400, 128);
    setText({U"0123456789ABCDEF"});
    draw();
    const auto ports = chip().osdPorts();
    EXPECT_EQ(ports[0].hw, 120);
    EXPECT_EQ(ports[0].hst, hst0() + 1800);
    EXPECT_EQ(ports[1].hw, 280);
    EXPECT_EQ(ports[1].hst, hst0());
    EXPECT_EQ(ports[1].source, kOsd1 + 120);
    EXPECT_EQ(ports[0].vst, vst0() + 100);
    EXPECT_FALSE(ports[2].shown);
    // Shown: the characters that start inside the 400 pixels.
    EXPECT_EQ(chip().osdTexts(), (Lines{"0123456789ABC"}));
}

TEST_F(Osd, ScrollIsSetOnEveryPortTwiceLastWithTheMode)
{
    textWindow(0, 0, 1920, 128);
    setText({U"scroll"});
    for (auto modeControl : {std::pair<int, uint32_t>{0, 0x80}, {1, 0x81}, {4, 0xB1}, {8, 0xF1}}) {
        SCOPED_TRACE(modeControl.first);
        scaler->vyxApi_OsdSet(4, modeControl.first);
        scaler->vyxApi_OsdSet(13, 30);
        const uint64_t mark = chip().mark();
        scaler->set_scroll(scaler->c331_fd);
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(chip().writes(0x093C01, 16 * k, mark), (std::vector<uint32_t>{0, modeControl.second}));
            EXPECT_EQ(chip().lastWrite(0x093D01, 16 * k, mark), 30u);
            EXPECT_EQ(chip().lastWrite(0x094002, 16 * k, mark), 1920u);
            EXPECT_EQ(chip().lastWrite(0x094202, 16 * k, mark), 128u);
        }
        EXPECT_EQ(chip().writes(0x093C01, 16 * 2, mark).size(), 0u);
    }
}

TEST_F(Osd, SwitchingOffShowsThePlainPictureAndOffDropsTheEnableBits)
{
    textWindow(0, 0, 1920, 128);
    setText({U"on and off"});
    draw();
    // The re-render first shows the unwrapped picture, then the copy.
    uint64_t mark = chip().mark();
    scaler->update_osd(scaler->c331_fd);
    EXPECT_EQ(chip().writes(0x091A04, 0, mark), (std::vector<uint32_t>{0x725C0000, kOsd1}));
    // set_osd(1) and set_scroll between set_rtct(2) and set_rtct(1).
    const auto rtct = chip().writes(0x002201, 0, mark);
    ASSERT_EQ(rtct.size(), 4u);
    EXPECT_EQ(rtct[2], 0xFFu);
    EXPECT_EQ(rtct[3], 0x99u);

    mark = chip().mark();
    scaler->vyxApi_OsdSet(0, 0);
    draw();
    EXPECT_EQ(chip().lastWrite(0x090802, 0, mark), 0x4000u);
    EXPECT_EQ(chip().osdTexts(), Lines{});
}

TEST_F(Osd, DrawingEndsWithAMessageWhenNoFrameOrEngineEverComes)
{
    textWindow(0, 0, 1920, 128);
    setText({U"no vsync"});
    chip().setNoVsync(true);
    const std::string out = printed([&] { draw(); });
    EXPECT_TRUE(contains(out, "no output vertical sync")) << out;
    EXPECT_EQ(chip().osdTexts(), (Lines{"no vsync"}));
    chip().setNoVsync(false);

    // A 2D engine that never finishes: drawing stops, the window is left as it was.
    chip().setStuckBusy(true);
    const uint64_t mark = chip().mark();
    scaler->vyxApi_OsdSet(15, 1);
    const std::string stuck = printed([&] { draw(); });
    EXPECT_TRUE(contains(stuck, "2D engine still busy")) << stuck;
    EXPECT_EQ(chip().writes(0x090802, 0, mark).size(), 0u);
}

TEST_F(Osd, BitmapModeCopiesTheBitmapAndItsPaletteFromTheFlash)
{
    // A palette in the flash: entry 1 dark blue, entry 2 orange.
    Bytes8 palette(816, 0);
    const uint8_t entries[2][3] = {{0x10, 0x20, 0x80}, {0xFF, 0xA0, 0x00}};
    std::copy(entries[0], entries[0] + 3, palette.begin() + 3);
    std::copy(entries[1], entries[1] + 3, palette.begin() + 6);
    chip().flashLoad(0x10D3C00, palette);
    chip().flashLoad(0xED9800, Bytes8{1, 2, 2, 1});
    // The margins count from the text picture (the panel): the whole panel.
    textWindow(0, 0, panelW(), panelH());
    scaler->vyxApi_OsdSet(3, 0);
    const size_t dma = chip().dmaJobs().size(), jobs = chip().engineJobs().size();
    const uint64_t mark = chip().mark();
    draw();
    const auto copies = chip().dmaJobs();
    ASSERT_EQ(copies.size(), dma + 2);
    EXPECT_EQ(copies[dma].flashAddr, 0xED9800u);
    EXPECT_EQ(copies[dma].length, 1920u * 1080);
    EXPECT_EQ(copies[dma].dest, 0x70000000u);
    EXPECT_EQ(copies[dma + 1].flashAddr, 0x10D3C00u);
    EXPECT_EQ(copies[dma + 1].length, 816u);
    EXPECT_EQ(copies[dma + 1].target, 4);
    EXPECT_EQ(copies[dma + 1].dest, 0u);
    EXPECT_EQ(chip().writes(0xFF0101, 0, mark), (std::vector<uint32_t>{1, 0}));
    EXPECT_EQ(chip().osdPalette(1), 0x102080u);
    EXPECT_EQ(chip().osdPalette(2), 0xFFA000u);
    // The bitmap staged in chip memory, copied into the OSD picture whole.
    const auto done = jobsSince(jobs);
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done[0].kind, 2);
    EXPECT_EQ(done[0].src, 0x70000000u);
    EXPECT_EQ(done[0].dst, 0x725C0000u);
    EXPECT_EQ(done[0].width, 1920);
    EXPECT_EQ(done[0].height, 1080);
    EXPECT_EQ(chip().osdPixel(kOsd1 + 1), 2);
    EXPECT_EQ(chip().osdPixel(kOsd1 + 3), 1);
    EXPECT_EQ(chip().osdPixel(kOsd1 + 1920 + 1), 2); // the scroll copy beside it
    // Shown as a bitmap: enable value 2.
    EXPECT_EQ(chip().osdPorts()[0].control & 3, 2);
    EXPECT_TRUE(chip().memoryErrors().empty()) << chip().memoryErrors().front();
}

TEST_F(Osd, ExtremePositionsStayInsideTheRegistersAndTheOsdMemory)
{
    scaler->vyxApi_OsdSet(21, INT32_MAX);
    scaler->vyxApi_OsdSet(5, INT32_MAX);
    scaler->vyxApi_OsdSet(6, INT32_MIN);
    EXPECT_EQ(scaler->PS_CHAR_HST, 65535);
    EXPECT_EQ(scaler->PM_OSD_OUTPUT_OFFSET[0], 65535);
    EXPECT_EQ(scaler->PM_OSD_OUTPUT_OFFSET[1], 65535);
    // A picture taller than the OSD memory holds is cut to what fits.
    textWindow(0, 0, 1920, 128);
    scaler->vyxApi_OsdSet(20, 100000);
    setText({U"tall"});
    const size_t jobs = chip().engineJobs().size();
    draw();
    const auto done = jobsSince(jobs);
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done[0].kind, 1);
    EXPECT_EQ(uint64_t(done[0].height) * kPitch, (0x74B80000ull - 0x725C0000ull) / kPitch * kPitch);
}
