// What the windows capture, read back from the chip: each window's port,
// the crop it shows, dot-by-dot windows at 1:1, and a person's edit of the
// sources file reaching the windows of that input and no other.
#include "tests/scaler/input_fixture.h"
#include "tests/scaler/layout_request.h"

#include <set>

#include "platform/video_sim.h"
#include "remote/message_deal.h"
#include "tests/remote/pc_client.h"

using namespace ram;
using platform::c331screen::Composition;
using platform::c331screen::Rect;
using platform::c331screen::ScreenLayout;
using platform::c331screen::Window;

namespace {
class Capture : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        chip().setScreenLayoutSource([this](ScreenLayout* l) {
            *l = ScreenLayout::fromPublished(img + kSpliceMode);
            return true;
        });
    }
    // The layout as a PC writes it, then turns until the inputs settle.
    void apply(const layout::Request& r)
    {
        write([&] { layout::writeImage(r, img); });
        settle();
    }
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            turn();
            save();
        }
    }
    void setCrop(int e, uint16_t id, Rect r)
    {
        write([&] {
            set16(cropEntry(e) + kCropId, id);
            set16(cropEntry(e) + kCropX, uint16_t(r.x));
            set16(cropEntry(e) + kCropY, uint16_t(r.y));
            set16(cropEntry(e) + kCropW, uint16_t(r.w));
            set16(cropEntry(e) + kCropH, uint16_t(r.h));
        });
    }
    Composition screen() const { return chip().composition(ScreenLayout::fromPublished(img + kSpliceMode)); }
    // The window shown at `r`; an empty one when there is none.
    Window at(const Rect& r) const
    {
        for (const Window& w : screen().windows)
            if (w.screen == r)
                return w;
        ADD_FAILURE() << "no window at " << layout::str(r) << "\n" << screen().describe();
        return Window();
    }
};
} // namespace

TEST_F(Capture, AWindowOnCropEntryThreeShowsTheCroppedRectangle)
{
    plug(0, progressive(1920, 1080, 60));
    setCrop(3, 0x8000, Rect{100, 50, 800, 600}); // source 0, crop number 1
    setCrop(4, 0x8000, Rect{960, 540, 960, 540});
    layout::Request r{0, 1920, 1080, -1, -1, {{0, 0, 1920, 1080, 1}, {1200, 600, 640, 360, 0}}};
    r.wins[0].source = 0x8003;
    apply(r);
    EXPECT_EQ(layout::compare(screen(), layout::expected(r)), "");
    Window cropped = at(Rect{0, 0, 1920, 1080});
    EXPECT_EQ(cropped.port, 2);
    EXPECT_EQ(cropped.source, (Rect{0, 0, 1920, 1080}));
    EXPECT_TRUE(cropped.cropped);
    EXPECT_EQ(cropped.crop, (Rect{100, 50, 800, 600}));
    EXPECT_FALSE(cropped.background);
    // The small window shows the whole picture, shrunk.
    Window whole = at(Rect{1200, 600, 640, 360});
    EXPECT_FALSE(whole.cropped);
    EXPECT_TRUE(whole.scaled);
    EXPECT_EQ(whole.shown, (Rect{0, 0, 1920, 1080}));

    // Another entry, then no crop.
    write([&] { set16(imageRecord(0) + kImgSource, 0x8004); });
    settle();
    EXPECT_EQ(at(Rect{0, 0, 1920, 1080}).crop, (Rect{960, 540, 960, 540}));
    write([&] { set16(imageRecord(0) + kImgSource, 0); });
    settle();
    EXPECT_FALSE(at(Rect{0, 0, 1920, 1080}).cropped);

    // The picture named in the file shows the same.
    const QByteArray regs = readFile("/sim/scaler-registers.bin");
    ASSERT_EQ(regs.size(), platform::c331screen::kRegisterFileBytes);
    EXPECT_EQ(platform::c331screen::decode(platform::c331screen::RegisterFile(
                                               reinterpret_cast<const uint8_t*>(regs.data())),
                                           ScreenLayout::fromPublished(img + kSpliceMode))
                  .describe(),
              screen().describe());
}

TEST_F(Capture, DotByDotWindowsShowTheirSourceOneToOne)
{
    plug(0, progressive(1280, 720, 60));
    layout::Request r{0, 1920, 1080, -1, -1, {{0, 0, 1920, 1080, 0}}};
    r.wins[0].output = 0x0100; // dot by dot, single input
    apply(r);
    EXPECT_EQ(layout::compare(screen(), {{Rect{0, 0, 1280, 720}, 0, 0}}), "");
    Window w = at(Rect{0, 0, 1280, 720});
    EXPECT_FALSE(w.scaled);
    EXPECT_EQ(w.shown, (Rect{0, 0, 1280, 720}));
    EXPECT_EQ(w.source, (Rect{0, 0, 1280, 720}));
    EXPECT_FALSE(w.background); // never for a dot-by-dot window

    // A picture larger than the window: its top left corner, still 1:1.
    plug(0, progressive(1920, 1080, 60));
    r.wins[0] = {100, 100, 800, 600, 0};
    r.wins[0].output = 0x0100;
    apply(r);
    w = at(Rect{100, 100, 800, 600});
    EXPECT_FALSE(w.scaled);
    EXPECT_EQ(w.shown, (Rect{0, 0, 800, 600}));
    EXPECT_TRUE(w.cropped);
}

TEST_F(Capture, ALayoutNamingACropNotInUseShowsTheWholeDviInputThere)
{
    plug(0, progressive(1280, 720, 60));
    plug(1, progressive(1920, 1080, 60));
    setCrop(3, 0x0001, Rect{100, 50, 800, 600}); // freed, its rectangle left
    // The first layout is loaded whole, the second word is a source change.
    for (uint16_t word : {uint16_t(0x8003), uint16_t(0x80FF)}) {
        layout::Request r{0, 1920, 1080, -1, -1, {{0, 0, 960, 1080, 0}, {960, 0, 960, 1080, 1}}};
        r.wins[0].source = 1;
        r.wins[1].source = word;
        apply(r);
        EXPECT_EQ(layout::compare(screen(), layout::expected(r)), "") << word;
        const Window w = at(Rect{960, 0, 960, 1080});
        EXPECT_EQ(w.port, portOf(0)) << word;
        EXPECT_FALSE(w.cropped) << word;
        EXPECT_EQ(w.source, (Rect{0, 0, 1280, 720})) << word;
    }
}

// ---------------------------------------------------------------------------
// A person edits "<root>/sim/sources" while windows show three inputs.

namespace {
class SourcesFile : public Capture {
protected:
    // One look of the input-source thread at the file and the receivers,
    // then one scaler turn.
    void tick()
    {
        platform::videoSources().lookAgain();
        sources->sourcecheck();
        turn();
        save();
    }
    void edit(const char* text)
    {
        writeFile("/sim/sources", text);
        ticksTaken = -1;
    }
    // Ticks until `done`, at most 5.
    bool within(const std::function<bool()>& done)
    {
        for (int t = 1; t <= 5; ++t) {
            tick();
            if (done()) {
                ticksTaken = t;
                return true;
            }
        }
        return false;
    }
    // The registers of a window: those of its output channels and of its
    // input channels (by bank and address; bank 0's channel enables and
    // modes are shared by both kinds and left out).
    std::set<std::pair<int, int>> registersOf(int w) const
    {
        std::set<std::pair<int, int>> out;
        for (int k = 0; k < 8; ++k) {
            if (scaler->PM_WIN_NUM[k] != w)
                continue;
            for (int bank : {0x08, 0x09, 0x0A})
                for (int a = 0; a < 128; ++a)
                    out.insert({bank + 16 * k, a});
            for (int a = 0x08; a <= 0x1B; ++a)
                out.insert({0x16 + 16 * k, a});
            for (int a : {0x30, 0x6C, 0x6D})
                out.insert({0x16 + 16 * k, a});
            out.insert({0, 0x69 + k});
        }
        for (int i = 0; i < 8 && scaler->win_ich[w][i] >= 0; ++i) {
            const int c = scaler->win_ich[w][i];
            for (int bank : {0x10, 0x11, 0x12, 0x14, 0x15, 0x17})
                for (int a = 0; a < 128; ++a)
                    out.insert({bank + 16 * c, a});
            for (int a = 0x1C; a <= 0x2F; ++a)
                out.insert({0x16 + 16 * c, a});
            for (int a : {0x31, 0x5B, 0x66, 0x67, 0x68})
                out.insert({0x16 + 16 * c, a});
            out.insert({0, 0x10 + c});
            out.insert({0, 0x71 + c});
        }
        return out;
    }
    // Writes since `mark` to any of `others`.
    std::vector<std::string> othersWritten(uint64_t mark, const std::set<std::pair<int, int>>& others) const
    {
        std::vector<std::string> out;
        for (const auto& write : chip().journal(mark))
            if (others.count({write.bank, write.addr})) {
                char text[40];
                std::snprintf(text, sizeof text, "%02X:%02X=%02X", write.bank, write.addr, write.value);
                out.push_back(text);
            }
        return out;
    }
    int ticksTaken = -1;
};
} // namespace

TEST_F(SourcesFile, AnEditReachesOnlyTheWindowsOfThatInput)
{
    // Images 0, 1, 2 show sources 0, 2 and 1 (ports 2, 0 and 1).
    edit("0 1920x1080@60\n1 1280x720@60\n2 none\n");
    layout::Request r{0, 1920, 1080, -1, -1, {{0, 0, 960, 540, 0}, {960, 0, 960, 540, 1}, {0, 540, 960, 540, 2}}};
    r.wins[1].source = 2;
    r.wins[2].source = 1;
    apply(r);
    ASSERT_TRUE(within([&] { return scaler->PI_STATE[2] == 4 && scaler->PI_STATE[1] == 4; }));
    for (int i = 0; i < 3; ++i)
        tick();
    ASSERT_EQ(scaler->PI_STATE[0], 0);
    EXPECT_TRUE(at(Rect{960, 0, 960, 540}).background); // no signal yet

    std::set<std::pair<int, int>> others = registersOf(0);
    for (const auto& reg : registersOf(2))
        others.insert(reg);
    struct Step {
        const char* file;
        int state, scan;
        bool background;
    };
    const Step steps[] = {
        {"0 1920x1080@60\n1 1280x720@60\n2 1920x1080@60\n", 4, 0, false},
        {"0 1920x1080@60\n1 1280x720@60\n2 720x576i@50\n", 8, 1, false},
        {"0 1920x1080@60\n1 1280x720@60\n2 none\n", 0, 0, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.file);
        const uint64_t mark = chip().mark();
        edit(s.file);
        ASSERT_TRUE(within([&] {
            return scaler->PI_STATE[0] == s.state && scaler->PI_SCAN_MODE[0] == s.scan &&
                   at(Rect{960, 0, 960, 540}).background == s.background;
        }));
        EXPECT_LE(ticksTaken, 2);
        // Window 1 was programmed for it; windows 0 and 2 were not touched.
        EXPECT_FALSE(chip().journal(mark).empty());
        EXPECT_EQ(othersWritten(mark, others), std::vector<std::string>{});
        const Window w = at(Rect{960, 0, 960, 540});
        EXPECT_EQ(w.port, 0);
        if (s.state) {
            EXPECT_EQ(w.source.h, s.scan ? 576 : 1080);
        }
        EXPECT_EQ(scaler->PI_STATE[2], 4);
        EXPECT_EQ(scaler->PI_STATE[1], 4);
    }
    EXPECT_FALSE(exists("/sim/sources.errors"));
}

// ---------------------------------------------------------------------------
// A picture wider than one path takes: its line split into two halves, each
// written by its own path into the window's frame memory.

TEST_F(Capture, TheTwoHalvesOfASplitLineNeverOverlapInMemory)
{
    // The panel's own case: LED 3840 x 2160, a 3840 x 2160 source on the
    // HDMI 2.0 input, shown 1:1, then zoomed (a quarter of it on the whole
    // screen), then shrunk.
    plug(3, progressive(3840, 2160, 60), lanesFor(594000));
    struct Case {
        const char* what;
        Rect window;
        uint16_t source;
        bool scaled;
    } cases[] = {
        {"1:1", Rect{0, 0, 3840, 2160}, 3, false},
        {"zoomed", Rect{0, 0, 3840, 2160}, 0x8005, true},
        {"shrunk", Rect{960, 540, 1920, 1080}, 3, true},
    };
    setCrop(5, 0x8003, Rect{960, 540, 1920, 1080});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        layout::Request r{0, 3840, 2160, -1, -1, {{c.window.x, c.window.y, c.window.w, c.window.h, 0}}};
        r.wins[0].source = c.source;
        apply(r);
        const Window w = at(c.window);
        EXPECT_EQ(w.port, 5);
        EXPECT_EQ(w.source, (Rect{0, 0, 3840, 2160}));
        EXPECT_EQ(w.scaled, c.scaled);
        EXPECT_TRUE(w.split);
        EXPECT_FALSE(w.halvesOverlap) << screen().describe();
    }
    EXPECT_EQ(readFile("/sim/scaler-registers.bin").size(), platform::c331screen::kRegisterFileBytes);
}

// ---------------------------------------------------------------------------
// A dot-by-dot window over two ports (ports 0 and 1 side by side) as the
// parameter image brings it: at start, and from a PC's layout write.

namespace {
// Two 1920 x 1080 pictures on sources 2 and 1 (ports 0 and 1), one window
// over the whole 3840 x 1080 screen showing them side by side.
layout::Request twoPortRequest()
{
    layout::Request r{0, 3840, 1080, -1, -1, {{0, 0, 3840, 1080, 0}}};
    r.wins[0].source = 2;
    r.wins[0].output = 0x0100; // dot by dot
    return r;
}
constexpr uint16_t kTwoPortsSideBySide = 1; // DBD_CMOS_IN12

// Both ports captured by the window's own channels, each its picture, and
// the window on the screen showing them rather than its background.
void expectTwoPortsCaptured(c331_manage* scaler, const Composition& screen)
{
    std::vector<int> channels;
    for (int i = 0; i < 8 && scaler->win_ich[0][i] >= 0; ++i)
        channels.push_back(scaler->win_ich[0][i]);
    ASSERT_EQ(channels.size(), 2u);
    std::vector<uint32_t> selects, widths;
    for (int c : channels) {
        selects.push_back(platform::simScaler().value(0x001001 + 0x100u * unsigned(c)));
        widths.push_back(platform::simScaler().value(0x101902, 16 * c));
    }
    EXPECT_EQ(selects, (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(widths, (std::vector<uint32_t>{1920, 1920}));
    ASSERT_EQ(screen.windows.size(), 1u) << screen.describe();
    const Window& w = screen.windows[0];
    EXPECT_EQ(w.screen, (Rect{0, 0, 3840, 1080}));
    EXPECT_EQ(w.inputChannel, channels[0]);
    EXPECT_EQ(w.port, 0);
    EXPECT_FALSE(w.background);
}

class DotByDotAtStart : public ScalerTest {
protected:
    void SetUp() override
    {
        ScalerTest::SetUp();
        sources = zevlosource::pInstance();
        chip().setScreenLayoutSource([this](ScreenLayout* l) {
            *l = ScreenLayout::fromPublished(img + kSpliceMode);
            return true;
        });
    }
    zevlosource* sources = nullptr;
};
} // namespace

TEST_F(DotByDotAtStart, AWindowOverTwoPortsGetsItsChannels)
{
    const VideoTiming t = progressive(1920, 1080, 60);
    plugSource(sources, 2, &t, 0);
    plugSource(sources, 1, &t, 0);
    layout::writeImage(twoPortRequest(), img);
    set16(imageRecord(0) + kImgDotMode, kTwoPortsSideBySide);
    save();
    bringUp();
    for (int i = 0; i < 3; ++i)
        turn();
    ASSERT_EQ(scaler->PM_WIN_DBD_MODE[0], DBD_CMOS_IN12);
    expectTwoPortsCaptured(scaler, chip().composition(ScreenLayout::fromPublished(img + kSpliceMode)));
}

TEST_F(Capture, AWindowOverTwoPortsWrittenByAPcGetsItsChannels)
{
    plug(2, progressive(1920, 1080, 60));
    plug(1, progressive(1920, 1080, 60));
    // The PC writes the layout and the mode, then asks for the apply.
    message_deal handler;
    auto pcRequest = [&](const Bytes& request) {
        Bytes buf(request);
        buf.resize(4096);
        const int n = handler.message_group_deal(buf.data(), int(request.size()), int(buf.size()));
        return n <= 10 ? Bytes{} : Bytes(buf.begin() + 10, buf.begin() + n);
    };
    for (const auto& chunk : layout::imageChunks(twoPortRequest()))
        ASSERT_EQ(pcRequest(pc::writeRam(uint32_t(chunk.first), chunk.second)), Bytes{0});
    ASSERT_EQ(pcRequest(pc::writeRam(uint32_t(imageRecord(0) + kImgDotMode), {kTwoPortsSideBySide, 0})), Bytes{0});
    ASSERT_EQ(pcRequest(pc::writeRegister(11, 0xFF, 1)), Bytes{0});
    settle();
    ASSERT_EQ(scaler->PM_WIN_DBD_MODE[0], DBD_CMOS_IN12);
    expectTwoPortsCaptured(scaler, screen());
}
