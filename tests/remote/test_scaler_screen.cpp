// Window layouts written by a PC into the running application, and what its
// scaler chip then puts on the LED screen: the register file the simulated
// chip leaves in "<root>/sim/scaler-registers.bin", read back with the panel
// record the controller publishes.
#include "tests/support/sandbox.h"

#include <QFile>
#include <QImage>
#include <iostream>
#include <memory>
#include <random>

#include "tests/remote/pc_client.h"
#include "tests/scaler/layout_request.h"

using platform::c331screen::Composition;
using platform::c331screen::Rect;
using platform::c331screen::ScreenLayout;

namespace {

class ScalerScreen : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        appRoot = root + "/app-root";
        app = startApp(appRoot, portOffset);
        ASSERT_TRUE(app->waitForStarted(5000));
        tcp = std::make_unique<pc::TcpClient>(pcPort(5005), 5000);
        ASSERT_TRUE(tcp->ok()) << app->readAll().toStdString();
        // The chip is up once it has shown its first screen.
        ASSERT_TRUE(waitFor([&] { return QFile::exists(registersPath()); }, 15000));
    }
    void TearDown() override
    {
        if (app) {
            // A failed test shows how the application ended, and its last words.
            const bool ended = app->waitForFinished(0);
            app->kill();
            app->waitForFinished(5000);
            if (HasFailure()) {
                // A sanitizer's report whole, otherwise the output's end.
                const QByteArray out = app->readAll();
                const int report = out.indexOf("==================\nWARNING:");
                std::cout << "application " << (ended ? "had ended, exit code " + std::to_string(app->exitCode()) : "still ran")
                          << "; its output:\n"
                          << (report >= 0 ? out.mid(report, 20000) : out.right(6000)).toStdString() << std::endl;
            }
        }
        Sandbox::TearDown();
    }
    QString registersPath() const { return QString::fromStdString(appRoot + "/sim/scaler-registers.bin"); }

    // The PC's writes: the image bytes, then register 11 to apply them.
    void send(const layout::Request& r, const std::vector<layout::Crop>& crops = {})
    {
        for (const auto& chunk : layout::imageChunks(r, crops))
            ASSERT_EQ(tcp->ask(pc::writeRam(uint32_t(chunk.first), chunk.second)), Bytes{0});
        ASSERT_EQ(tcp->ask(pc::writeRegister(11, 0x01, 0x01)), Bytes{0});
    }
    // What the screen shows now, placed by the panel record read over the link.
    Composition shown()
    {
        QFile f(registersPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray regs = f.readAll();
        const Bytes record = tcp->ask(pc::readRam(1376, 20));
        if (regs.size() != platform::c331screen::kRegisterFileBytes || record.size() != 21)
            return {};
        return platform::c331screen::decode(
            platform::c331screen::RegisterFile(reinterpret_cast<const uint8_t*>(regs.data())),
            ScreenLayout::fromPublished(record.data() + 1));
    }
    // Waits until the screen shows `want`; the last difference otherwise.
    std::string await(const std::vector<layout::Expected>& want)
    {
        std::string diff = "nothing read back";
        waitFor([&] { return (diff = layout::compare(shown(), want)).empty(); }, 5000);
        return diff;
    }

    // Waits until the screen shows `want` and each window its input; the
    // last difference otherwise.
    std::string await(const layout::Request& r, const std::vector<layout::Crop>& crops,
                      const std::vector<layout::Source>& sources)
    {
        std::string diff = "nothing read back";
        waitFor(
            [&] {
                const Composition c = shown();
                diff = layout::compare(c, layout::expected(r)) + layout::compareInputs(c, r, crops, sources);
                return diff.empty();
            },
            5000);
        return diff;
    }
    // A person's edit of the sources file.
    void editSources(const std::string& text) { writeFile("/app-root/sim/sources", QByteArray::fromStdString(text)); }
    // The window shown at `r`, if one is.
    bool windowAt(const Rect& r, platform::c331screen::Window* out)
    {
        for (const auto& w : shown().windows)
            if (w.screen == r) {
                *out = w;
                return true;
            }
        return false;
    }

    std::string appRoot;
    std::unique_ptr<AppProcess> app;
    std::unique_ptr<pc::TcpClient> tcp;
};

} // namespace

TEST_F(ScalerScreen, LayoutsFromThePcReachTheScreen)
{
    const layout::Request cases[] = {
        {0, 1920, 1080, -1, -1, {{0, 0, 1920, 1080, 0}}},
        {0, 1920, 1080, -1, -1, {{0, 0, 960, 1080, 0}, {960, 0, 960, 1080, 1}}},
        {0, 1920, 1080, -1, -1, {{0, 0, 960, 540, 0}, {960, 0, 960, 540, 1}, {0, 540, 960, 540, 2}, {960, 540, 960, 540, 3}}},
        // Two outputs side by side, a window on each.
        {3, 3840, 1080, 1920, 1080, {{200, 100, 1500, 900, 1}, {1920, 0, 1920, 1080, 0}}},
        // Partly off the right edge of the screen, over a full-screen window.
        {0, 1920, 1080, -1, -1, {{0, 0, 1920, 1080, 1}, {1500, 300, 800, 500, 0}}},
    };
    for (const layout::Request& r : cases) {
        SCOPED_TRACE("LED " + std::to_string(r.ledW) + "x" + std::to_string(r.ledH) + ", " +
                     std::to_string(r.wins.size()) + " windows");
        send(r);
        EXPECT_EQ(await(layout::expected(r)), "");
    }
    // A window over both outputs shows on output 1's channel only.
    send(layout::Request{3, 3840, 1080, 1920, 1080, {{1000, 0, 2000, 1080, 0}}});
    EXPECT_EQ(await({{Rect{1000, 0, 920, 1080}, 0, 0}}), "");
}

TEST_F(ScalerScreen, SweepOfGeneratedLayouts)
{
    std::mt19937 rng(424242);
    layout::Request r;
    std::vector<layout::Source> sources(4);
    int compared = 0;
    for (int i = 0; i < 300 && !HasFailure(); ++i) {
        // A new screen every tenth layout, a large one now and then; new
        // sources every fifth, written into the sources file as a person
        // would; random inputs and crops with every layout.
        if (i % 10 == 0)
            r = layout::randomRequest(rng, i % 50 == 40);
        else
            layout::randomWindows(rng, r);
        if (i % 5 == 0) {
            sources = layout::randomSources(rng);
            editSources(layout::sourcesFile(sources));
        }
        const std::vector<layout::Crop> crops = layout::randomInputs(rng, r);
        SCOPED_TRACE("layout " + std::to_string(i) + " on LED " + std::to_string(r.ledW) + "x" + std::to_string(r.ledH) +
                     ", sources " + layout::sourcesFile(sources));
        send(r, crops);
        const int cell = r.ledW * r.ledH > 9800000 ? (r.ledW + 7) / 8 * 4 : (r.ledW + 3) / 4 * 4;
        if (layout::channelsNeeded(r, cell) <= 8) {
            EXPECT_EQ(await(r, crops, sources), "");
            ++compared;
        }
    }
    EXPECT_GT(compared, 250);
    // Still answering.
    EXPECT_EQ(tcp->ask(pc::readRam(1378, 2)).size(), 3u);
}

TEST_F(ScalerScreen, ACropEntryAndADotByDotWindowFromThePc)
{
    editSources("0 1920x1080@60\n1 1280x720@60\n");
    // Window 0 on crop entry 3 of source 0, window 1 dot by dot on source 1.
    const std::vector<layout::Crop> crops = {{3, 0, 100, 50, 800, 600}};
    layout::Request r{0, 1920, 1080, -1, -1, {{0, 0, 1920, 1080, 1}, {200, 100, 1600, 900, 0}}};
    r.wins[0].source = 0x8003;
    r.wins[1].source = 1;
    r.wins[1].output = 0x0100;
    send(r, crops);
    platform::c331screen::Window cropped, dbd;
    EXPECT_TRUE(waitFor(
        [&] { return windowAt(Rect{0, 0, 1920, 1080}, &cropped) && cropped.crop == Rect{100, 50, 800, 600}; }, 5000))
        << shown().describe();
    EXPECT_TRUE(cropped.cropped);
    EXPECT_EQ(cropped.source, (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(cropped.port, 2);
    // Shown 1:1: 1280 x 720 of the 1600 x 900 window.
    ASSERT_TRUE(waitFor([&] { return windowAt(Rect{200, 100, 1280, 720}, &dbd); }, 5000)) << shown().describe();
    EXPECT_FALSE(dbd.scaled);
    EXPECT_EQ(dbd.shown, (Rect{0, 0, 1280, 720}));
    EXPECT_EQ(dbd.port, 1);
}

TEST_F(ScalerScreen, APersonsEditOfTheSourcesFileReachesThePicture)
{
    // Images 0, 1, 2 show sources 0, 2 and 1.
    editSources("0 1920x1080@60\n1 1280x720@60\n2 none\n");
    layout::Request r{0, 1920, 1080, -1, -1, {{0, 0, 960, 540, 0}, {960, 0, 960, 540, 1}, {0, 540, 960, 540, 2}}};
    r.wins[1].source = 2;
    r.wins[2].source = 1;
    send(r);
    const Rect second{960, 0, 960, 540};
    platform::c331screen::Window w;
    std::string others;
    auto othersNow = [&] {
        std::string text;
        for (const auto& o : shown().windows)
            if (o.screen != second)
                text += o.screen == Rect{} ? "" : layout::str(o.screen) + " " + std::to_string(o.port) + " " +
                                                      layout::str(o.source) + (o.background ? " bkg\n" : "\n");
        return text;
    };
    // Until the other two show their sources.
    ASSERT_TRUE(waitFor(
        [&] {
            others = othersNow();
            return windowAt(second, &w) && w.background &&
                   others == "960x540+0+540 1 1280x720+0+0\n960x540+0+0 2 1920x1080+0+0\n";
        },
        5000))
        << others;
    struct Step {
        const char* line;
        int height;
        bool background;
    };
    for (const Step& s : {Step{"2 1920x1080@60", 1080, false}, Step{"2 720x576i@50", 576, false}, Step{"2 none", 0, true}}) {
        SCOPED_TRACE(s.line);
        editSources(std::string("0 1920x1080@60\n1 1280x720@60\n") + s.line + "\n");
        EXPECT_TRUE(waitFor(
            [&] {
                return windowAt(second, &w) && w.background == s.background && (!s.height || w.source.h == s.height);
            },
            5000))
            << shown().describe();
        EXPECT_EQ(othersNow(), others);
    }

    // A line that cannot be read is named, and changes nothing.
    editSources("0 1920x1080@60\n1 1280x720@60\n2 1920x1080@61x\n7 none\n");
    ASSERT_TRUE(waitFor([&] { return exists("/app-root/sim/sources.errors"); }, 5000));
    const QByteArray errors = readFile("/app-root/sim/sources.errors");
    EXPECT_TRUE(errors.contains("line 3: 2 1920x1080@61x")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("line 4: 7 none")) << errors.toStdString();
    QByteArray output;
    EXPECT_TRUE(outputHas(*app, output, "lines not read"));
    EXPECT_TRUE(windowAt(second, &w) && w.background);
    // Mended: the errors go.
    editSources("0 1920x1080@60\n");
    EXPECT_TRUE(waitFor([&] { return !exists("/app-root/sim/sources.errors"); }, 5000));
}

TEST_F(ScalerScreen, DiagnosticRegistersApplyWhatTheImageHoldsAsRegister11Does)
{
    // Image bytes written and not yet applied...
    const layout::Request r{0, 1920, 1080, -1, -1, {{0, 0, 960, 1080, 0}, {960, 0, 960, 1080, 1}}};
    for (const auto& chunk : layout::imageChunks(r, {}))
        ASSERT_EQ(tcp->ask(pc::writeRam(uint32_t(chunk.first), chunk.second)), Bytes{0});
    // ...are applied by the scaler pass that a diagnostic register asks for.
    ASSERT_EQ(tcp->ask(pc::writeRegister(164, 0xFF, 0x01)), Bytes{0});
    EXPECT_EQ(await(layout::expected(r)), "");
}

TEST_F(ScalerScreen, TheOsdBarLeavesTheWindowLabelsReadable)
{
    // The OSD on, over the one full-screen window the screen starts with.
    ASSERT_EQ(tcp->ask(pc::writeRam(2124, {1, 0})), Bytes{0});
    ASSERT_EQ(tcp->ask(pc::writeRegister(11, 0x01, 0x01)), Bytes{0});
    const QString picture = QString::fromStdString(appRoot + "/sim/screen.png");
    int labelPixels = 0;
    std::string seen = "no OSD shown";
    waitFor(
        [&] {
            QFile f(registersPath());
            const Bytes record = tcp->ask(pc::readRam(1376, 20));
            if (!f.open(QIODevice::ReadOnly) || record.size() != 21)
                return false;
            const QByteArray regs = f.readAll();
            if (regs.size() != platform::c331screen::kRegisterFileBytes)
                return false;
            const platform::c331screen::RegisterFile file(reinterpret_cast<const uint8_t*>(regs.data()));
            const ScreenLayout layout = ScreenLayout::fromPublished(record.data() + 1);
            const auto overlays = platform::c331screen::decodeOverlays(file, layout);
            const Composition screen = platform::c331screen::decode(file, layout);
            const QImage image(picture);
            if (overlays.empty() || screen.windows.empty() || image.isNull() || !layout.valid())
                return false;
            // The picture's own scale: the LED screen under a header line.
            const double scale = double(image.width()) / layout.ledWidth;
            const int header = image.height() - int(std::lround(layout.ledHeight * scale));
            const Rect bar = overlays.front().rect, window = screen.windows.front().screen;
            seen = "bar " + std::to_string(bar.y) + "+" + std::to_string(bar.h) + ", window at " +
                   std::to_string(window.y);
            // Just under the bar, inside the window: its label's light text.
            const int top = header + int((bar.y + bar.h) * scale) + 3;
            const int left = int(window.x * scale) + 3;
            labelPixels = 0;
            for (int y = top; y < std::min(image.height(), top + 50); ++y)
                for (int x = left; x < std::min(image.width() - 3, left + 300); ++x) {
                    const QRgb c = image.pixel(x, y);
                    labelPixels += qRed(c) > 230 && qGreen(c) > 230 && qBlue(c) > 230;
                }
            return labelPixels > 50;
        },
        10000);
    EXPECT_GT(labelPixels, 50) << seen;
}
