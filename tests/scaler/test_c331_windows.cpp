// Windows from the image records onto the output channels: load, channel
// allocation and sharing, and the composition the chip then shows.
#include "tests/scaler/input_fixture.h"
#include "tests/scaler/layout_request.h"

#include <QImage>
#include <random>

using namespace ram;
using platform::c331screen::Composition;
using platform::c331screen::Rect;
using platform::c331screen::ScreenLayout;

namespace {

class Windows : public ScalerTest {
protected:
    void SetUp() override
    {
        ScalerTest::SetUp();
        chip().setScreenLayoutSource([this](ScreenLayout* l) {
            *l = ScreenLayout::fromPublished(img + kSpliceMode);
            return true;
        });
        bringUp();
    }

    // The layout written the way a PC writes it, then one dispatcher turn
    // and the save its change signal brings.
    void apply(const layout::Request& r)
    {
        write([&] { layout::writeImage(r, img); });
        turn();
        save();
    }
    void applyWord(int offset, uint16_t value)
    {
        change16(offset, value);
        turn();
        save();
    }
    Composition screen() const { return chip().composition(ScreenLayout::fromPublished(img + kSpliceMode)); }
    void expectScreen(const layout::Request& r) { EXPECT_EQ(layout::compare(screen(), layout::expected(r)), ""); }

    // A channel grid set directly: arrangement, cell size, mode.
    void grid(int arrangement, int cw, int ch, bool oneChannel)
    {
        ST_PANEL& p = scaler->panel;
        p.arrangement = arrangement;
        p.use1och = oneChannel;
        p.och.width = cw;
        p.och.height = ch;
        p.och_HCnt = uint8_t(arrangement == ARRANG2K4_4x1_8K ? 4 : arrangement == ARRANG2K4_1x2 ? 1 : 2);
        p.och_VCnt = uint8_t(arrangement == ARRANG2K4_2x2_8K || arrangement == ARRANG2K4_1x2 ? 2 : 1);
        for (int w = 0; w < 6; ++w)
            scaler->win_loaded[w] = 0;
    }
    void window(int w, int x, int y, int ww, int hh)
    {
        scaler->win_loaded[w] = 1;
        scaler->win_rect[w] = ST_RECT{x, y, ww, hh};
        ST_WIN_INFO& info = scaler->pwinfo[w];
        info.x = uint16_t(x);
        info.y = uint16_t(y);
        info.w = uint16_t(ww);
        info.h = uint16_t(hh);
    }
    std::vector<int> channels(int w) const
    {
        const ST_WIN_INFO& info = scaler->pwinfo[w];
        return std::vector<int>(info.och, info.och + info.hcnt * info.vcnt);
    }
};

layout::Request full() { return layout::Request{0, 1920, 1080, -1, -1, {{0, 0, 1920, 1080, 0}}}; }

} // namespace

TEST_F(Windows, LoadFallsBackToOneWholeScreenWindow)
{
    // No image shown: one window on the LED screen, a defined picture.
    layout::Request r = full();
    r.wins[0].enabled = false;
    scaler->pwinfo[0].input = 3;
    apply(r);
    EXPECT_EQ(scaler->mwin.n, 1);
    EXPECT_EQ(scaler->win_rect[0].w, 1920);
    EXPECT_EQ(scaler->win_rect[0].h, 1080);
    EXPECT_EQ(scaler->pwinfo[0].input, 0);
    EXPECT_EQ(scaler->PM_INPUT[0], 2);
    EXPECT_EQ(layout::compare(screen(), {{Rect{0, 0, 1920, 1080}, 0, 0}}), "");

    // One window the canvas cannot hold, a source without a port or a
    // rotation above 3 replaces the whole set.
    const layout::Win ok{0, 0, 960, 540, 0}, second{960, 0, 960, 540, 1};
    for (layout::Win bad : {layout::Win{0, 600, 100, 500, 1}, layout::Win{0, 0, 100, 100, 1, true, 6},
                            layout::Win{0, 0, 100, 100, 1, true, 0, 0, 4}}) {
        apply(layout::Request{0, 1920, 1080, -1, -1, {ok, second}});
        ASSERT_EQ(screen().windows.size(), 2u);
        apply(layout::Request{0, 1920, 1080, -1, -1, {ok, bad}});
        EXPECT_EQ(layout::compare(screen(), {{Rect{0, 0, 1920, 1080}, 0, 0}}), "");
        EXPECT_FALSE(scaler->winLoaded(1));
    }
}

TEST_F(Windows, LoadTakesLayersSourcesAndModesFromTheRecords)
{
    layout::Request r{0, 1920, 1080, -1, -1, {{0, 0, 100, 100, 0}, {100, 0, 100, 100, 0}, {200, 0, 100, 100, 7}}};
    r.wins[1].output = kOutDotByDot;
    r.wins[2].source = kSourceIsCrop | 3;
    write([&] {
        layout::writeImage(r, img);
        set16(imageRecord(1) + kImgDotMode, 10); // out of range: single input
        set16(cropEntry(3) + kCropId, 0x8001);
    });
    turn();
    // Equal priorities: the later one takes the lowest free layer; 7 acts as 1.
    EXPECT_EQ(scaler->pwinfo[0].layer, 0);
    EXPECT_EQ(scaler->pwinfo[1].layer, 1);
    EXPECT_EQ(scaler->pwinfo[2].layer, 2);
    EXPECT_EQ(scaler->PM_WIN_DBD_MODE[1], DBD_SINGLE_INPUT);
    EXPECT_EQ(scaler->pwinfo[2].input, 1);
    EXPECT_EQ(scaler->PM_INPUT[2], 1);
    EXPECT_EQ(scaler->PM_INPUT_OFFSET_EN[2], 1);
    EXPECT_EQ(scaler->win_layer[0], 5); // in front
}

TEST_F(Windows, ImagesKeepTheirNumbersWhenOthersAreClosed)
{
    layout::Request r{0, 1920, 1080, -1, -1, {{0, 0, 960, 540, 0}, {960, 0, 960, 540, 1}, {0, 540, 960, 540, 2}}};
    r.wins[0].enabled = false;
    apply(r);
    EXPECT_FALSE(scaler->winLoaded(0));
    EXPECT_TRUE(scaler->winLoaded(2));
    EXPECT_EQ(scaler->PM_WIN_SHAPE[0][0], 0);
    expectScreen(r);

    // Image 2's attribute reaches window 2, not the window after the gap.
    ops.clear();
    applyWord(imageRecord(2) + kImgMirror, 1);
    EXPECT_TRUE(called("c331_SetWinAttr(2,1)"));
    EXPECT_FALSE(called("vyxApi_initEnvC331()"));
    EXPECT_EQ(scaler->PM_WIN_HMIRROR[2], 1);
    EXPECT_EQ(scaler->PM_WIN_HMIRROR[1], 0);
    bool mirrored = false;
    for (const auto& w : screen().windows)
        if (w.screen == Rect{0, 540, 960, 540})
            mirrored = w.hmirror;
    EXPECT_TRUE(mirrored);

    // Its position too; and with images 0 and 1 closed it is still image 2.
    r.wins[2].x = 500;
    r.wins[1].enabled = false;
    apply(r);
    expectScreen(r);
    EXPECT_EQ(scaler->mwin.n, 1);
}

TEST_F(Windows, CellsByColumnAndRow)
{
    // A row of four cells W wide: W/2 .. 2W covers cells 0 and 1; a right
    // edge exactly on a border stays in the cell it ends in.
    const int W = 1000, H = 800;
    grid(ARRANG2K4_4x1_8K, W, H, false);
    window(0, W / 2, 0, W + W / 2, H);
    window(1, 2 * W, 0, W, H);
    scaler->vyxApi_MultiWinChAlloc(1);
    EXPECT_EQ(channels(0), (std::vector<int>{0, 1}));
    EXPECT_EQ(scaler->pwinfo[0].vcnt, 1);
    EXPECT_EQ(channels(1), (std::vector<int>{2}));

    // 2 x 2: the whole canvas, and one column over both rows.
    grid(ARRANG2K4_2x2_8K, W, H, false);
    window(0, 0, 0, 2 * W, 2 * H);
    window(1, W + 10, 100, 200, H);
    scaler->vyxApi_MultiWinChAlloc(1);
    EXPECT_EQ(channels(0), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(channels(1), (std::vector<int>{1, 3}));
    EXPECT_EQ(scaler->pwinfo[1].hcnt, 1);
    EXPECT_EQ(scaler->pwinfo[1].vcnt, 2);

    // One channel per output in a row of two: one channel for any window.
    grid(ARRANG2K4_2x1, W, H, true);
    window(0, W / 2, 0, W, H);
    scaler->vyxApi_MultiWinChAlloc(1);
    EXPECT_EQ(channels(0), (std::vector<int>{0}));

    // No cell at all (a canvas without width, an empty window on a border):
    // no channels.
    grid(ARRANG2K4_2x1, 0, H, true);
    window(0, 0, 0, 10, 10);
    scaler->vyxApi_MultiWinChAlloc(1);
    EXPECT_TRUE(channels(0).empty());
    grid(ARRANG2K4_4x1_8K, W, H, false);
    window(0, W, 0, 0, H);
    scaler->vyxApi_MultiWinChAlloc(1);
    EXPECT_TRUE(channels(0).empty());
}

TEST_F(Windows, SharedChannelsMoveToIdleOnesOnTheirCell)
{
    const int W = 1000, H = 800;
    grid(ARRANG2K4_4x1_8K, W, H, false);
    window(0, 0, 0, 500, 500);
    window(1, 100, 100, 500, 500);
    scaler->vyxApi_MultiWinChAlloc(1);
    scaler->vyxApi_MultiWinChInit();
    EXPECT_EQ(channels(1), (std::vector<int>{1}));
    EXPECT_EQ(std::vector<int32_t>(scaler->PM_OVERLAY, scaler->PM_OVERLAY + 8),
              (std::vector<int32_t>{1, 1, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(std::vector<int32_t>(scaler->PM_WIN_NUM, scaler->PM_WIN_NUM + 8),
              (std::vector<int32_t>{0, 1, 6, 6, 6, 6, 6, 6}));
    EXPECT_EQ(std::vector<int32_t>(scaler->PM_AREA_NUM, scaler->PM_AREA_NUM + 8),
              (std::vector<int32_t>{0, 0, 8, 8, 8, 8, 8, 8}));
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(chip().value(0x000801 + 0x100u * unsigned(c)) & 1, c < 2 ? 1u : 0u) << c;

    // Fewer windows: the ones gone keep no shape.
    grid(ARRANG2K4_4x1_8K, W, H, false);
    window(0, 0, 0, W, H);
    scaler->vyxApi_MultiWinChAlloc(1);
    scaler->vyxApi_MultiWinChInit();
    EXPECT_EQ(scaler->PM_WIN_SHAPE[1][0], 0);
    EXPECT_EQ(scaler->PM_WIN_SHAPE[2][0], 0);
    EXPECT_EQ(scaler->PM_INPUT[2], 6);
}

TEST_F(Windows, WindowMarginsInsideTheirCells)
{
    grid(ARRANG2K4_4x1_8K, 1920, 1080, false);
    ST_WIN_INFO wi{};
    wi.x = 1000;
    wi.w = 2000;
    wi.y = 50;
    wi.h = 600;
    wi.hcnt = 2;
    wi.vcnt = 1;
    EXPECT_EQ(scaler->vyxApi_OchGetWinOffset1(&wi, 0), 1000);
    EXPECT_EQ(scaler->vyxApi_OchGetWinOffset1(&wi, 1), 840);
    EXPECT_EQ(scaler->vyxApi_OchGetWinOffset1(&wi, 2), 50);
    EXPECT_EQ(scaler->vyxApi_OchGetWinOffset1(&wi, 3), 430);
    EXPECT_EQ(scaler->vyxApi_OchGetWinOffset1(&wi, 4), 0);
    grid(ARRANG2K4_4x1_8K, 0, 0, false);
    EXPECT_EQ(scaler->vyxApi_OchGetWinOffset1(&wi, 0), 0);
    EXPECT_EQ(scaler->vyxApi_OchGetWinOffset1(&wi, 3), 0);
}

TEST_F(Windows, ScreensAsAsked)
{
    // One window, two side by side, four quarters, overlapping by priority.
    apply(full());
    expectScreen(full());
    layout::Request two{0, 1920, 1080, -1, -1, {{0, 0, 960, 1080, 0}, {960, 0, 960, 1080, 1}}};
    apply(two);
    expectScreen(two);
    layout::Request quarters{0, 1920, 1080, -1, -1,
                             {{0, 0, 960, 540, 3}, {960, 0, 960, 540, 2}, {0, 540, 960, 540, 1}, {960, 540, 960, 540, 0}}};
    apply(quarters);
    expectScreen(quarters);
    layout::Request stacked{0, 1920, 1080, -1, -1, {{0, 0, 1200, 800, 2}, {400, 200, 1200, 800, 0}, {800, 400, 1120, 680, 1}}};
    apply(stacked);
    expectScreen(stacked);
    // The comparison sees a pixel off and a wrong stacking.
    std::vector<layout::Expected> wrong = layout::expected(stacked);
    std::swap(wrong[0].layer, wrong[1].layer);
    EXPECT_NE(layout::compare(screen(), wrong), "");
    wrong = layout::expected(stacked);
    wrong[2].rect.w -= 1;
    EXPECT_NE(layout::compare(screen(), wrong), "");
    Composition s = screen();
    ASSERT_EQ(s.windows.size(), 3u);
    EXPECT_EQ(s.windows.back().screen, (Rect{400, 200, 1200, 800})); // priority 0 in front
    // A new priority restacks them.
    applyWord(kLayerPriority + 2 * 2, 5);
    s = screen();
    EXPECT_EQ(s.windows.front().screen, (Rect{800, 400, 1120, 680}));

    // Partly off the right edge: clipped there. Off the bottom is beyond the
    // canvas (one cell high): the whole set falls back to one window.
    layout::Request right{0, 1920, 1080, -1, -1, {{1500, 100, 800, 400, 0}}};
    apply(right);
    EXPECT_EQ(layout::compare(screen(), {{Rect{1500, 100, 420, 400}, 0, 0}}), "");
    layout::Request below{0, 1920, 1080, -1, -1, {{100, 900, 400, 400, 0}}};
    apply(below);
    EXPECT_EQ(layout::compare(screen(), {{Rect{0, 0, 1920, 1080}, 0, 0}}), "");
}

TEST_F(Windows, ScreensOverTwoOutputs)
{
    // 3840 x 1080 split at 1920: output 1 the left half, output 2 the right.
    layout::Request halves{SPLICE_H, 3840, 1080, 1920, 1080, {{0, 0, 1920, 1080, 0}, {1920, 0, 1920, 1080, 1}}};
    apply(halves);
    expectScreen(halves);
    layout::Request inner{SPLICE_H, 3840, 1080, 1920, 1080, {{100, 100, 1000, 800, 1}, {2500, 50, 1000, 900, 0}}};
    apply(inner);
    expectScreen(inner);
    // As the chip set does it: a window over both halves shows on output 1's
    // channel only, cut at the split.
    layout::Request across{SPLICE_H, 3840, 1080, 1920, 1080, {{1000, 0, 2000, 1080, 0}}};
    apply(across);
    EXPECT_EQ(layout::compare(screen(), {{Rect{1000, 0, 920, 1080}, 0, 0}}), "");

    // Output 1 narrower than half the canvas: its part is pushed right.
    layout::Request narrow{SPLICE_H, 3000, 1000, 1000, 1000, {{0, 0, 1000, 1000, 0}, {1000, 0, 2000, 1000, 1}}};
    apply(narrow);
    EXPECT_EQ(le16(img + kPictureOffsetX), 1000);
    expectScreen(narrow);

    // Stacked outputs, output 1 on top.
    layout::Request top{SPLICE_V, 1920, 1080, 1920, 400, {{0, 0, 1920, 400, 1}, {0, 400, 1920, 680, 0}}};
    apply(top);
    expectScreen(top);

    // Two channels per output: windows cut along the channel border.
    layout::Request large{0, 3840, 2600, -1, -1, {{1000, 100, 2000, 2000, 0}, {0, 0, 1920, 2600, 1}, {3000, 0, 840, 500, 2}}};
    apply(large);
    ASSERT_EQ(scaler->panel.use1och, 0);
    expectScreen(large);
    for (const auto& w : screen().windows) {
        if (w.screen == Rect{1000, 100, 2000, 2000}) {
            EXPECT_EQ(w.channels.size(), 2u);
        }
    }
}

TEST_F(Windows, ANewLedSizeAloneReprogrammesTheWindows)
{
    apply(full());
    write([&] {
        set16(kLedWidth, 1280);
        set16(kLedHeight, 720);
    });
    turn();
    save();
    // The record still asks for 1920 x 1080: beyond the new canvas.
    EXPECT_EQ(layout::compare(screen(), {{Rect{0, 0, 1280, 720}, 0, 0}}), "");
    layout::Request small{0, 1280, 720, -1, -1, {{0, 0, 640, 720, 0}, {640, 0, 640, 720, 1}}};
    apply(small);
    expectScreen(small);
    applyWord(kLedWidth, 1920);
    expectScreen(layout::Request{0, 1920, 720, -1, -1, small.wins});
}

TEST_F(Windows, SweepOfGeneratedLayouts)
{
    std::mt19937 rng(20240611);
    zevlosource* sources = zevlosource::pInstance(); // its thread is not started
    // The picture is not needed here; the register file is.
    chip().setScreenLayoutSource(nullptr);
    int checked = 0, crowded = 0;
    std::vector<layout::Source> plugged(4);
    for (int i = 0; i < 300; ++i) {
        const bool large = i % 5 == 4;
        layout::Request r = layout::randomRequest(rng, large);
        // Random sources, crops and scan modes: the sources change now and
        // then between layouts, the windows' inputs with every layout.
        const std::vector<layout::Crop> crops = layout::randomInputs(rng, r);
        if (i % 3 == 0) {
            plugged = layout::randomSources(rng);
            for (int s = 0; s < 4; ++s) {
                VideoTiming t;
                const bool on = plugged[size_t(s)].signal() && parseTimingText(plugged[size_t(s)].text, &t);
                plugSource(sources, s, on ? &t : nullptr, on ? lanesFor(t.pclkKHz) : 0);
            }
        }
        const uint64_t mark = chip().mark();
        write([&] { layout::writeImage(r, img, crops); });
        turn();
        save();
        // The new ports are described and their windows set up again.
        turn();
        turn();
        SCOPED_TRACE("layout " + std::to_string(i) + ": LED " + std::to_string(r.ledW) + "x" + std::to_string(r.ledH) +
                     ", sources " + layout::sourcesFile(plugged));
        const int cell = scaler->panel.och.width;
        if (layout::channelsNeeded(r, cell) <= 8) {
            EXPECT_EQ(layout::compare(screen(), layout::expected(r)), "");
            EXPECT_EQ(layout::compareInputs(screen(), r, crops, plugged), "");

            ++checked;
        } else {
            // Not enough output channels: whatever shows lies inside what was asked.
            ++crowded;
            for (const auto& w : screen().windows) {
                bool inside = false;
                for (const auto& e : layout::expected(r))
                    inside |= e.rect.intersected(w.screen) == w.screen;
                EXPECT_TRUE(inside) << layout::str(w.screen);
            }
        }
        // Nothing written outside the banks of the chip's register map.
        for (const auto& w : chip().journal(mark))
            ASSERT_FALSE(w.bank >= 0x97 && w.bank != 0xFF) << std::hex << int(w.bank) << ":" << int(w.addr);
        if (HasFailure())
            break;
    }
    EXPECT_GT(checked, 250);
    EXPECT_TRUE(platform::simSpiBus().busErrors().empty());
    std::printf("%d layouts compared, %d with too few channels\n", checked, crowded);
}

TEST_F(Windows, ScreenFilesFollowTheComposition)
{
    const uint64_t before = chip().screensWritten();
    apply(layout::Request{0, 1920, 1080, -1, -1, {{0, 0, 960, 1080, 0}, {960, 0, 960, 1080, 1}}});
    EXPECT_GT(chip().screensWritten(), before);
    ASSERT_TRUE(exists("/sim/screen.png"));
    const QByteArray regs = readFile("/sim/scaler-registers.bin");
    ASSERT_EQ(regs.size(), platform::c331screen::kRegisterFileBytes);
    const Composition fromFile =
        platform::c331screen::decode(platform::c331screen::RegisterFile(reinterpret_cast<const uint8_t*>(regs.data())),
                                     ScreenLayout::fromPublished(img + kSpliceMode));
    EXPECT_EQ(fromFile.describe(), screen().describe());
    // A picture change alone leaves the files as they are.
    const uint64_t written = chip().screensWritten();
    applyWord(kContrast, 77);
    EXPECT_EQ(chip().screensWritten(), written);
}

TEST_F(Windows, TestPatternsShowOnTheScreenPicture)
{
    apply(full());
    const struct {
        uint8_t number;
        const char* pattern;
        QRgb centre; // the picture's pixel at the screen's centre
    } cases[] = {
        {1, "solid ff0000", qRgb(255, 0, 0)}, {2, "solid 00ff00", qRgb(0, 255, 0)},
        {3, "solid 0000ff", qRgb(0, 0, 255)}, {4, "solid ffffff", qRgb(255, 255, 255)},
        {5, "solid 000000", qRgb(0, 0, 0)},   {6, "colour bars", qRgb(255, 0, 255)},
        {7, "vertical lines", 0},             {8, "horizontal lines", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.number));
        write([&] { img[kTestPattern] = c.number; });
        turn();
        save();
        ASSERT_EQ(screen().windows.size(), 1u);
        EXPECT_EQ(screen().windows[0].pattern.describe(), c.pattern);
        const QImage picture(QString::fromStdString(path("/sim/screen.png")));
        ASSERT_FALSE(picture.isNull());
        // Below the 22-pixel heading the LED screen fills the picture.
        const QRgb centre = picture.pixel(picture.width() / 2 + 2, 22 + (picture.height() - 22) / 2 + 2);
        if (c.centre) {
            EXPECT_EQ(centre & 0xFFFFFF, c.centre & 0xFFFFFF) << std::hex << centre;
        }
    }
    // The bars run white to black from left to right.
    write([&] { img[kTestPattern] = 6; });
    turn();
    save();
    const QImage shown(QString::fromStdString(path("/sim/screen.png")));
    const int y = 22 + (shown.height() - 22) * 3 / 4;
    EXPECT_EQ(shown.pixel(shown.width() / 16, y) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(shown.pixel(shown.width() * 15 / 16, y) & 0xFFFFFF, 0u);

    // Off again: the window shows its input.
    write([&] { img[kTestPattern] = 0; });
    turn();
    EXPECT_FALSE(screen().windows[0].pattern.on());
    EXPECT_EQ(screen().describe().find("test pattern"), std::string::npos);
}
