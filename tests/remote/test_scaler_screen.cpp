// Window layouts written by a PC into the running application, and what its
// scaler chip then puts on the LED screen: the register file the simulated
// chip leaves in "<root>/sim/scaler-registers.bin", read back with the panel
// record the controller publishes.
#include "tests/support/sandbox.h"

#include <QFile>
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
            app->kill();
            app->waitForFinished(5000);
        }
        Sandbox::TearDown();
    }
    QString registersPath() const { return QString::fromStdString(appRoot + "/sim/scaler-registers.bin"); }

    // The PC's writes: the image bytes, then register 11 to apply them.
    void send(const layout::Request& r)
    {
        for (const auto& chunk : layout::imageChunks(r))
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

    std::string appRoot;
    std::unique_ptr<QProcess> app;
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
    int compared = 0;
    for (int i = 0; i < 300 && !HasFailure(); ++i) {
        // A new screen every tenth layout, a large one now and then.
        if (i % 10 == 0)
            r = layout::randomRequest(rng, i % 50 == 40);
        else
            layout::randomWindows(rng, r);
        SCOPED_TRACE("layout " + std::to_string(i) + " on LED " + std::to_string(r.ledW) + "x" + std::to_string(r.ledH));
        send(r);
        const int cell = r.ledW * r.ledH > 9800000 ? (r.ledW + 7) / 8 * 4 : (r.ledW + 3) / 4 * 4;
        if (layout::channelsNeeded(r, cell) <= 8) {
            EXPECT_EQ(await(layout::expected(r)), "");
            ++compared;
        }
    }
    EXPECT_GT(compared, 250);
    // Still answering.
    EXPECT_EQ(tcp->ask(pc::readRam(1378, 2)).size(), 3u);
}
