// The commands that reach the sending FPGAs and the scaler, run in this
// process against the simulated FPGAs: the FPGA images by address class,
// the FPGA registers, saving the parameter RAM, the LED size from the
// layout, the LED-parameter handshake, the font update, the scaler flash
// commands' bounds and the versions.
#include "tests/remote/commands_fixture.h"

#include <QSettings>

#include "core/globals.h"
#include "core/ram_map.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_layout.h"
#include "fpga/fpga_manage.h"
#include "platform/sim_chips.h"
#include "video_io/zevlosource.h"

// The simulated scaler's serial flash comes with the scaler's flash
// operations; until both are there the flash commands are checked for
// their bounds only.
#if __has_include("platform/c331_sim_osd.h")
#define VYX_SCALER_FLASH 1
#endif

namespace {

using platform::SimFpga;
using namespace fpga_layout;

class FpgaCommands : public Commands {
protected:
    void SetUp() override
    {
        Commands::SetUp();
        fpga = fpga_manage::pInstance();
        fpga->softinit();
    }
    static SimFpga& sim(int f) { return platform::simFpga(f); }

    // FPGA 0 brought up to ready by worker turns on ticks set here.
    void startUp()
    {
        zevlosource::pInstance()->setup_state[0] = 2;
        for (int i = 0; i < 5000 && fpga->get_fpga_status() != 1; ++i) {
            ++G_timeTicks;
            fpga->fpga_manage_deal(nullptr);
        }
        ASSERT_EQ(fpga->get_fpga_status(), 1);
    }
    // A new manager, as after a restart; the FPGAs' flashes keep what they hold.
    void restart()
    {
        fpga_manage::destroyForTest();
        fpga = fpga_manage::pInstance();
        fpga->softinit();
        startUp();
    }
    static int ramWrites(int f)
    {
        int n = 0;
        for (const SimFpga::Access& a : sim(f).accesses())
            n += a.kind == SimFpga::Access::RamWrite;
        return n;
    }
    static Bytes at(const uint8_t* p, size_t n) { return Bytes(p, p + n); }

    fpga_manage* fpga = nullptr;
};

Bytes with(uint8_t first, const Bytes& rest)
{
    Bytes out{first};
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

} // namespace

TEST_F(FpgaCommands, EveryAddressClassReachesItsImageAndItsFpgaRam)
{
    struct Case {
        uint8_t target, addressClass, sub;
        uint32_t address;
        uint8_t* image;
        int ram, fpga;
    };
    const Case cases[] = {
        {1, 0, 0, 200, fpga_manage::MCU_RAM_PARA_func[0], 1, 0},  // parameter RAM
        {2, 0, 0, 1020, fpga_manage::MCU_RAM_PARA_func[1], 1, 1}, // its last bytes, FPGA 1
        {1, 1, 2, 10, fpga_manage::MCU_RAM_TX_func[0], 3, 0},     // even sub-id: transmit image, RAM sub+1
        {2, 1, 4, 900, fpga_manage::MCU_RAM_TX_func[1], 5, 1},
        {1, 2, 0, 0, fpga_manage::MCU_RAM_DEFAULT, 33, 0},       // default image
        {1, 2, 3, 500, fpga_manage::MCU_RAM_ZOOM, 36, 0},        // zoom image, RAM 33+sub
        {2, 4, 0, 64, fpga_manage::MCU_RAM_TX_func[1], 50, 1},   // transmit image as RAM 50
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "class " << int(c.addressClass) << " sub " << int(c.sub));
        const Bytes data = randomBytes(4, ++seed);
        EXPECT_EQ(run(pc::fpgaWriteRam(c.target, c.addressClass, c.sub, c.address, data)), Bytes{0});
        EXPECT_EQ(at(c.image + c.address, 4), data);
        EXPECT_EQ(sim(c.fpga).ram(c.ram, c.address, 4), data);
        // These images are the controller's: reads answer from them, not
        // from what the FPGA holds.
        sim(c.fpga).pokeRam(c.ram, c.address, {0xEE, 0xEE, 0xEE, 0xEE});
        EXPECT_EQ(run(pc::fpgaReadRam(c.target, c.addressClass, c.sub, c.address, 4)), with(0, data));
    }
    // The receive RAMs (odd sub-ids) are the FPGA's: reads come from it and
    // refresh the image.
    sim(1).pokeRam(6, 100, {1, 2, 3});
    EXPECT_EQ(run(pc::fpgaReadRam(2, 1, 5, 100, 3)), (Bytes{0, 1, 2, 3}));
    EXPECT_EQ(at(fpga_manage::MCU_RAM_RX_func[1] + 100, 3), (Bytes{1, 2, 3}));
    // The controller's own parameter image is untouched by all of it.
    EXPECT_EQ(store->ram_para[200], 0);
}

TEST_F(FpgaCommands, CommandAndExtensionImagesStayInTheController)
{
    sim(0).clearLogs();
    fpga->multicast = 1;
    EXPECT_EQ(run(pc::fpgaWriteRam(1, 6, 0, 40, {0x11, 0x22})), Bytes{0});
    EXPECT_EQ(fpga->multicast, 0); // the PC has taken the outputs over
    EXPECT_EQ(run(pc::fpgaWriteRam(2, 0, 0, 0x800 + 42, {0x33})), Bytes{0});
    EXPECT_EQ(at(fpga_manage::MCU_RAM_EXTEND + 40, 3), (Bytes{0x11, 0x22, 0x33}));
    EXPECT_EQ(run(pc::fpgaReadRam(1, 0, 0, 0x800 + 40, 3)), (Bytes{0, 0x11, 0x22, 0x33}));
    EXPECT_EQ(run(pc::fpgaReadRam(2, 6, 0, 40, 3)), (Bytes{0, 0x11, 0x22, 0x33}));

    EXPECT_EQ(run(pc::fpgaWriteRam(1, 5, 0, 0, {0xAA, 3})), Bytes{0});
    EXPECT_EQ(at(fpga_manage::MCU_RAM_CMD, 2), (Bytes{0xAA, 3}));
    EXPECT_EQ(ramWrites(0) + ramWrites(1), 0);

    // The command image shows the controller's version and, in its last
    // byte, whether the start-up loader starts this application; that byte
    // of the image itself stays as the PC wrote it.
    EXPECT_EQ(run(pc::fpgaReadRam(1, 5, 0, 24, 10)), (Bytes{0, 1, 17, 0, 0, 0xFF, 1, 0, 0, 0, 0}));
    EXPECT_EQ(run(pc::fpgaWriteRam(1, 5, 0, 1022, {0x44, 0x55})), Bytes{0});
    g_update_status = 1;
    EXPECT_EQ(run(pc::fpgaReadRam(1, 5, 0, 1022, 2)), (Bytes{0, 0x44, 1}));
    g_update_status = 0;
    EXPECT_EQ(run(pc::fpgaReadRam(2, 5, 0, 1023, 1)), (Bytes{0, 0}));
    EXPECT_EQ(fpga_manage::MCU_RAM_CMD[1023], 0x55);
}

TEST_F(FpgaCommands, RequestsOutsideAnImageOrWithoutAnFpgaAreRefused)
{
    const Bytes eight(8, 0x5C);
    const Bytes refused[] = {
        pc::fpgaWriteRam(1, 0, 0, 1020, eight),        // an end beyond 1024
        pc::fpgaWriteRam(1, 0, 0, 0x400, {1}),         // between the parameter RAM and the extension image
        pc::fpgaWriteRam(1, 0, 0, 0xBFC, eight),       // past the extension image
        pc::fpgaWriteRam(1, 6, 0, 0xFFFFFF, {1}),
        pc::fpgaReadRam(2, 5, 0, 1000, 25),
        pc::fpgaWriteRam(1, 1, 255, 0, {1}),           // no RAM 256
        pc::fpgaWriteRam(1, 2, 223, 0, {1}),
        pc::fpgaWriteRam(1, 3, 0, 0, {1}),             // no class 3
        pc::fpgaReadRam(1, 7, 0, 0, 1),
        pc::fpgaWriteRam(3, 0, 0, 0, {1}),             // no FPGA 2
        pc::fpgaWriteRam(0, 1, 1, 0, {1}),             // the controller has no class 1
        pc::fpgaReadRam(0, 4, 0, 0, 1),
    };
    sim(0).clearLogs();
    for (const Bytes& r : refused)
        EXPECT_EQ(run(r), Bytes{1}) << ::testing::PrintToString(r);
    EXPECT_EQ(ramWrites(0), 0);
    EXPECT_EQ(at(fpga_manage::MCU_RAM_PARA_func[0] + 1020, 4), Bytes(4, 0));
    EXPECT_EQ(fpga_manage::MCU_RAM_EXTEND[0x3FC], 0);
    // Nothing to move is done at once.
    EXPECT_EQ(run(pc::fpgaWriteRam(1, 0, 0, 1024, {})), Bytes{0});

    fpga_manage::destroyForTest();
    EXPECT_EQ(run(pc::fpgaWriteRam(1, 0, 0, 0, {1})), Bytes{1});
    EXPECT_EQ(run(pc::fpgaReadRam(1, 5, 0, 0, 1)), Bytes{1});
    EXPECT_EQ(run(pc::writeRegister(3, 0xFF, 1, 1)), Bytes{1});
    EXPECT_EQ(run(pc::readRegister(3, 1, 2)), Bytes{1});
}

TEST_F(FpgaCommands, ParameterRamLayoutFieldsAreKeptInTheLayoutBlock)
{
    uint8_t* block = fpga_manage::MCU_RAM_ETH_BACK_PARA_func[0];
    const Bytes rect1 = {0x10, 0, 0x20, 0, 0x80, 2, 0xE0, 1}; // slot 1 at 19: 16, 32, 640, 480
    // One write spanning slot 1's rectangle and the card table behind it.
    Bytes span = rect1;
    span.resize(rect1.size() + 6, 0x77);
    EXPECT_EQ(run(pc::fpgaWriteRam(1, 0, 0, uint32_t(rectBase(1)), span)), Bytes{0});
    EXPECT_EQ(at(block + blockRect(1), 8), rect1);
    EXPECT_EQ(run(pc::fpgaWriteRam(1, 0, 0, kOriginX, {1, 0, 2, 0, 0x80, 7, 0x38, 4})), Bytes{0});
    EXPECT_EQ(le16(block + kBlockOriginX), 1);
    EXPECT_EQ(le16(block + kBlockOriginY), 2);
    EXPECT_EQ(le16(block + kBlockW), 1920);
    EXPECT_EQ(le16(block + kBlockH), 1080);
    EXPECT_EQ(run(pc::fpgaWriteRam(1, 0, 0, uint32_t(rectBase(12)) + 4, {0x40, 1})), Bytes{0});
    EXPECT_EQ(le16(block + blockRect(12) + 4), 320);
    // Everything else of the parameter RAM is not layout.
    const Bytes before = at(block, fpga_manage::kEthBlock);
    EXPECT_EQ(run(pc::fpgaWriteRam(1, 0, 0, 96, Bytes(20, 0x99))), Bytes{0});
    EXPECT_EQ(at(block, fpga_manage::kEthBlock), before);
    EXPECT_EQ(sim(0).ram(kParamRam, 96, 20), Bytes(20, 0x99));
}

TEST_F(FpgaCommands, FpgaRegistersGoThroughTheManagerAndAnswerFromTheShadow)
{
    sim(0).clearLogs();
    EXPECT_EQ(run(pc::writeRegister(3, 0x20, 0xFF, 1)), Bytes{0});
    EXPECT_EQ(sim(0).reg(3), 0x20);
    EXPECT_EQ(run(pc::writeRegister(70, 0x0F, 0x5A, 1)), Bytes{0}); // kept by the controller only
    EXPECT_EQ(run(pc::writeRegister(80, 0xFF, 3, 2)), Bytes{0});
    int regWrites = 0;
    for (const SimFpga::Access& a : sim(0).accesses())
        regWrites += a.kind == SimFpga::Access::RegWrite;
    EXPECT_EQ(regWrites, 1);
    EXPECT_EQ(run(pc::readRegister(70, 1, 1)), (Bytes{0, 0x0A}));
    EXPECT_EQ(run(pc::readRegister(80, 1, 2)), (Bytes{0, 3}));
    EXPECT_EQ(run(pc::readRegister(80, 1, 1)), (Bytes{0, 0}));
    // The FPGA's own registers are read from it first.
    sim(1).setReg(7, 0x42);
    EXPECT_EQ(run(pc::readRegister(28, 4, 2)), (Bytes{0, 0x01, 0x04, 0x04, 0x25}));
    EXPECT_EQ(run(pc::readRegister(6, 2, 2)), (Bytes{0, 0, 0x42}));
    EXPECT_EQ(run(pc::readRegister(168, 2, 1)), (Bytes{0, 0, 0}));

    // A plain screen off (mask 4) is the user's: it becomes the image's
    // LED-off word.
    EXPECT_EQ(run(pc::writeRegister(0, 0x04, 0x04, 1)), Bytes{0});
    EXPECT_EQ(le16(store->ram_para + ram::kLedOff), 1);
    EXPECT_EQ(ScreenState.load(), 0);

    // Writes that would change nothing, and registers past the shadow.
    for (int reg : {97, 100, 127, 170, 255, 256})
        EXPECT_EQ(run(pc::writeRegister(uint16_t(reg), 0xFF, 1, 1)), Bytes{1}) << reg;
    EXPECT_EQ(run(pc::readRegister(168, 3, 1)), Bytes{1});
    EXPECT_EQ(run(pc::writeRegister(3, 0xFF, 1, 3)), Bytes{1});
}

TEST_F(FpgaCommands, SavedParameterRamComesBackAfterARestartWithTheOffsetAddedOnce)
{
    putLe16(store->ram_para + ram::kPictureOffsetX, 10);
    startUp();
    // The PC lays out slot 0 and saves.
    EXPECT_EQ(run(pc::fpgaWriteRam(1, 0, 0, uint32_t(rectBase(0)), pc::cat({pc::u16(100), pc::u16(0)}))), Bytes{0});
    sim(0).clearLogs();
    EXPECT_EQ(run(command(message_deal::CMD_PARAM_SAVE, {1})), Bytes{0});
    const auto ops = sim(0).flashOps();
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops[0].kind, SimFpga::FlashOp::Erase);
    EXPECT_EQ(ops[0].addr, kFlashParamMarker);
    EXPECT_EQ(ops[0].length, 4096u);
    EXPECT_EQ(sim(0).flash(kFlashParamMarker, 1), Bytes{kMarker});
    EXPECT_EQ(sim(0).flash(kFlashParam, fpga_manage::kRamImage), at(fpga_manage::MCU_RAM_PARA_func[0], fpga_manage::kRamImage));

    // After a restart the running FPGA has the offset added to the layout.
    restart();
    EXPECT_EQ(le16(fpga_manage::MCU_RAM_PARA_func[0] + rectBase(0)), 110);
    EXPECT_EQ(le16(fpga_manage::MCU_RAM_ETH_BACK_PARA_func[0] + blockRect(0)), 100);
    // Saved again from there, and restarted: still added once.
    EXPECT_EQ(run(command(message_deal::CMD_PARAM_SAVE, {1})), Bytes{0});
    EXPECT_EQ(le16(sim(0).flash(kFlashParam + rectBase(0), 2).data()), 100);
    restart();
    EXPECT_EQ(le16(fpga_manage::MCU_RAM_PARA_func[0] + rectBase(0)), 110);
    EXPECT_EQ(sim(0).ram(kParamRam, uint32_t(rectBase(0)), 2), pc::u16(110));

    // FPGA 1 has a flash of its own; a flash that does not finish is a
    // storage failure.
    EXPECT_EQ(run(command(message_deal::CMD_PARAM_SAVE, {2})), Bytes{0});
    EXPECT_EQ(sim(1).flash(kFlashParamMarker, 1), Bytes{kMarker});
    sim(0).setFlashDead(true);
    fpga_drv::busy_limit_ms = 5;
    EXPECT_EQ(run(command(message_deal::CMD_PARAM_SAVE, {1})), Bytes{7});
    fpga_drv::busy_limit_ms = 3000;
    for (const Bytes& bad : {Bytes{0}, Bytes{3}})
        EXPECT_EQ(run(command(message_deal::CMD_PARAM_SAVE, bad)), Bytes{1});
    EXPECT_EQ(run(command(message_deal::CMD_PARAM_SAVE, {})), Bytes{2});
}

TEST_F(FpgaCommands, ATableTheCommandImageStoresIsAnsweredWithWhatTheFlashTook)
{
    startUp();
    // A brightness record to keep (mode 1, 48 values).
    Bytes record{0xAA, 3, 0xAA, 0, 0, 0, 49, 0, 1};
    for (int i = 0; i < 48; ++i)
        record.push_back(uint8_t(i * 5));
    const Bytes store = pc::fpgaWriteRam(1, 5, 0, 0, record);
    const Bytes run2 = pc::writeRegister(2, 0x04, 0x04, 1);
    EXPECT_EQ(run(store), Bytes{0});
    EXPECT_EQ(run(run2), Bytes{0});
    EXPECT_EQ(sim(0).flash(0x30F000, uint32_t(record.size())), record);

    // Into a flash that does not finish: the PC hears of it.
    EXPECT_EQ(run(store), Bytes{0});
    sim(0).setFlashDead(true);
    fpga_drv::busy_limit_ms = 5;
    EXPECT_EQ(run(run2), Bytes{7});
    fpga_drv::busy_limit_ms = 3000;
}

TEST_F(FpgaCommands, LedSizeFollowsThePortLayout)
{
    auto setRect = [](int f, int slot, int x, int y, int w, int h) {
        uint8_t* r = fpga_manage::MCU_RAM_PARA_func[f] + rectBase(slot);
        putLe16(r, uint16_t(x));
        putLe16(r + 2, uint16_t(y));
        putLe16(r + 4, uint16_t(w));
        putLe16(r + 6, uint16_t(h));
    };
    fpga->eth_param_init(1, 0); // every port 1280 x 512 at the origin
    const Bytes sync = command(message_deal::CMD_SET_PARA_SYNC, {});
    EXPECT_EQ(run(sync), pc::cat({{0}, pc::u16(1280), pc::u16(512)}));
    EXPECT_EQ(le16(store->ram_para + ram::kLedWidth), 1280);
    EXPECT_EQ(le16(store->ram_para + ram::kLedHeight), 512);

    setRect(0, 5, 1280, 0, 640, 512);
    setRect(1, 0, 0, 512, 1920, 640);
    // FPGA 1 counts once it has a screen.
    EXPECT_EQ(run(sync), pc::cat({{0}, pc::u16(1920), pc::u16(512)}));
    putLe16(fpga_manage::MCU_RAM_PARA_func[1] + kScreenW, 1920);
    putLe16(fpga_manage::MCU_RAM_PARA_func[1] + kScreenH, 640);
    EXPECT_EQ(run(sync), pc::cat({{0}, pc::u16(1920), pc::u16(1152)}));
    EXPECT_EQ(le16(store->ram_para + ram::kLedHeight), 1152);
    EXPECT_EQ(scaler->para_changed, 0); // applied by register 11, as any RAM write

    // A size the panel cannot drive is reported, not stored.
    setRect(1, 0, 0, 512, 9000, 640);
    EXPECT_EQ(run(sync), pc::cat({{1}, pc::u16(9000), pc::u16(1152)}));
    setRect(1, 0, 0, 0, 0, 0);
    putLe16(fpga_manage::MCU_RAM_PARA_func[1] + kScreenW, 0);
    for (int s = 0; s < 10; ++s)
        setRect(0, s, 0, 0, 0, 0);
    EXPECT_EQ(run(sync), pc::cat({{1}, pc::u16(0), pc::u16(0)}));
    EXPECT_EQ(le16(store->ram_para + ram::kLedWidth), 1920);
    EXPECT_EQ(le16(store->ram_para + ram::kLedHeight), 1152);
}

TEST_F(FpgaCommands, LedHandshakeStartsOnlyWhileFpga0Runs)
{
    for (uint8_t code : {message_deal::CMD_REG_MCU_FLAG, message_deal::CMD_REG_UPDATE_10}) {
        SCOPED_TRACE(int(code));
        g_set_led_para = 0;
        fpga->write_to_register(80, 0xFF, 0, 0);
        EXPECT_EQ(run(command(code, {})), Bytes{9});
        EXPECT_EQ(g_set_led_para.load(), 0);
        fpga->write_to_register(80, 0xFF, 3, 0);
        g_set_led_setup = 2;
        EXPECT_EQ(run(command(code, {})), Bytes{0});
        EXPECT_EQ(g_set_led_para.load(), 1);
        EXPECT_EQ(g_set_led_setup.load(), 0);
        // A new LED size the scaler applied still waits for its FPGA
        // restart, which alone lights the screen again.
        g_set_led_para = 2;
        EXPECT_EQ(run(command(code, {})), Bytes{6});
        EXPECT_EQ(g_set_led_para.load(), 2);
    }
    fpga_manage::destroyForTest();
    EXPECT_EQ(run(command(message_deal::CMD_REG_MCU_FLAG, {})), Bytes{1});
}

TEST_F(FpgaCommands, FontUpdatePointsTheLoaderAtThisApplicationUnlessItIsAlready)
{
    const std::string loader = "/data/configs/led_load_config.ini";
    Bytes reply = run(command(message_deal::CMD_REG_UPDATE_0E, {}));
    EXPECT_EQ(reply, (Bytes{0, store->local_reg[43]}));
    QSettings ini(QString::fromStdString(path(loader)), QSettings::IniFormat);
    EXPECT_EQ(ini.value("app-1/app_path").toString(), "/data/app/vyxQ58N -platform linuxfb");
    EXPECT_EQ(ini.value("app-1/app_name").toString(), "vyxQ58N");
    EXPECT_EQ(g_update_status.load(), 1);

    // Already the loader's application: the file is left alone.
    writeFile(loader, "[app-1]\napp_path=/data/app/vyxQ58N -platform linuxfb\nkeep=1\n");
    EXPECT_EQ(run(command(message_deal::CMD_REG_UPDATE_0E, {})), reply);
    EXPECT_EQ(readFile(loader), QByteArray("[app-1]\napp_path=/data/app/vyxQ58N -platform linuxfb\nkeep=1\n"));

    c331_manage::destroyForTest();
    EXPECT_EQ(run(command(message_deal::CMD_REG_UPDATE_0E, {})), (Bytes{1, 0}));
}

TEST_F(FpgaCommands, ScalerFlashCommandsStayInsideTheFlash)
{
    const uint32_t lastUnit = message_deal::kScalerFlashSize / 4096;
    auto erase = [&](uint32_t unit, uint16_t count, uint8_t mode) {
        return run(command(message_deal::CMD_ERASE_FLASH, pc::cat({pc::u32(unit), pc::u16(count), {mode}})));
    };
    EXPECT_EQ(erase(16, 3, 2), Bytes{0});
    EXPECT_EQ(erase(lastUnit - 16, 1, 2), Bytes{0});
    EXPECT_EQ(erase(5, 0, 0), Bytes{0}); // sets the controller up only
    EXPECT_EQ(erase(lastUnit - 16, 2, 2), Bytes{1});
    EXPECT_EQ(erase(lastUnit, 1, 0), Bytes{1});
    EXPECT_EQ(erase(0xFFFFFFF0u, 0xFFFF, 2), Bytes{1});
    EXPECT_EQ(erase(4, 1, 1), Bytes{1}); // not on a 32 KB boundary: would erase more than asked
    EXPECT_EQ(erase(0, 1, 3), Bytes{1});
    EXPECT_EQ(run(command(message_deal::CMD_ERASE_FLASH, {0, 0, 0, 0, 1, 0})), Bytes{2});

    auto write = [&](uint32_t address, const Bytes& data) {
        return run(command(message_deal::CMD_WRITE_FLASH, pc::cat({pc::u32(address), pc::u16(uint16_t(data.size())), data})));
    };
    EXPECT_EQ(write(0x100, randomBytes(300, 5)), Bytes{0});
    EXPECT_EQ(write(message_deal::kScalerFlashSize - 4, Bytes(4, 1)), Bytes{0});
    EXPECT_EQ(write(message_deal::kScalerFlashSize - 3, Bytes(4, 1)), Bytes{1});
    EXPECT_EQ(write(0, {}), Bytes{1});
    EXPECT_EQ(write(0, Bytes(message_deal::kMaxFlashBlock + 1, 0)), Bytes{1});
    EXPECT_EQ(run(command(message_deal::CMD_WRITE_FLASH, pc::cat({pc::u32(0), pc::u16(8), {1, 2}}))), Bytes{2});

    auto read = [&](uint32_t address, uint16_t n, int capacity = protocol_phy::kMaxBody) {
        return run(command(message_deal::CMD_READ_FLASH, pc::cat({pc::u32(address), pc::u16(n)})), capacity);
    };
    Bytes r = read(0x100, 300);
    EXPECT_EQ(r.size(), 301u);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(read(message_deal::kScalerFlashSize - 1, 2), Bytes{1});
    EXPECT_EQ(read(0, 0), Bytes{5});
    EXPECT_EQ(read(0, message_deal::kMaxFlashBlock + 1), Bytes{5});
    EXPECT_EQ(read(0, 100, 64), Bytes{5}); // no room for the reply
    EXPECT_EQ(run(command(message_deal::CMD_READ_FLASH, {0, 0, 0})), Bytes{2});

    c331_manage::destroyForTest();
    EXPECT_EQ(erase(0, 1, 0), Bytes{1});
    EXPECT_EQ(write(0, {1}), Bytes{1});
    EXPECT_EQ(read(0, 1), Bytes{1});
}

TEST_F(FpgaCommands, CardVersionNamesTheControllerTheFpgasAndTheLoader)
{
    g_update_status = 1;
    sim(1).setReg(31, 0x26);
    EXPECT_EQ(run(command(message_deal::CMD_GET_CARD_VERSION, {})),
              (Bytes{0, 1, 17, 0, 0, 0x01, 0x04, 0x04, 0x25, 0x01, 0x04, 0x04, 0x26, 1}));
    fpga_manage::destroyForTest();
    g_update_status = 0;
    EXPECT_EQ(run(command(message_deal::CMD_GET_CARD_VERSION, {})),
              (Bytes{0, 1, 17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

#ifdef VYX_SCALER_FLASH
TEST_F(FpgaCommands, ScalerFlashCommandsReachTheChipsFlashAndFonts)
{
    platform::SimScalerChip& chip = platform::simScaler();
    auto erase = [&](uint32_t unit, uint16_t count, uint8_t mode) {
        return run(command(message_deal::CMD_ERASE_FLASH, pc::cat({pc::u32(unit), pc::u16(count), {mode}})));
    };
    auto write = [&](uint32_t address, const Bytes& data) {
        return run(command(message_deal::CMD_WRITE_FLASH,
                           pc::cat({pc::u32(address), pc::u16(uint16_t(data.size())), data})));
    };
    chip.flashLoad(0x10000, Bytes(0x30000, 0x00));
    EXPECT_EQ(erase(16, 3, 2), Bytes{0});
    std::vector<uint32_t> erased;
    for (const auto& op : chip.flashOps())
        if (op.kind == platform::SimScalerChip::FlashOp::Erase)
            erased.push_back(op.addr);
    EXPECT_EQ(erased, (std::vector<uint32_t>{0x10000, 0x20000, 0x30000}));
    EXPECT_EQ(chip.flashContent(0x10000, 0x30000), Bytes(0x30000, 0xFF));

    const Bytes data = randomBytes(300, 9);
    EXPECT_EQ(write(0x10100, data), Bytes{0});
    EXPECT_EQ(chip.flashContent(0x10100, 300), data);
    EXPECT_EQ(run(command(message_deal::CMD_READ_FLASH, pc::cat({pc::u32(0x10100), pc::u16(300)}))), with(0, data));

    // A 64-dot Chinese font header written by the PC; the font update
    // copies the fonts into the chip and reports what it found.
    Bytes header(35, 0);
    header[0] = 'P';
    header[17] = 64;
    header[18] = 64;
    EXPECT_EQ(erase(0x450, 1, 0), Bytes{0});
    EXPECT_EQ(write(0x450000, header), Bytes{0});
    EXPECT_EQ(run(command(message_deal::CMD_REG_UPDATE_0E, {})), (Bytes{0, 0xA8}));
    std::vector<uint32_t> copied;
    for (const auto& job : chip.dmaJobs())
        copied.push_back(job.flashAddr);
    EXPECT_EQ(copied, (std::vector<uint32_t>{0x23, 0x10023, 0x410023, 0x450023}));
    EXPECT_TRUE(chip.memoryErrors().empty());
}

TEST_F(FpgaCommands, AScalerFlashWriteOverOldDataIsAStorageFailure)
{
    platform::SimScalerChip& chip = platform::simScaler();
    auto write = [&](uint32_t address, const Bytes& data) {
        return run(command(message_deal::CMD_WRITE_FLASH,
                           pc::cat({pc::u32(address), pc::u16(uint16_t(data.size())), data})));
    };
    // Programming only clears bits: over 0x0F the flash keeps 0x00.
    chip.flashLoad(0x20000, Bytes(300, 0x0F));
    EXPECT_EQ(write(0x20000, Bytes(300, 0xF0)), Bytes{7});
    EXPECT_EQ(chip.flashContent(0x20000, 300), Bytes(300, 0x00));
    // Bits already as asked read back equal; after an erase the write holds.
    EXPECT_EQ(write(0x20000, Bytes(300, 0x00)), Bytes{0});
    EXPECT_EQ(run(command(message_deal::CMD_ERASE_FLASH, pc::cat({pc::u32(0x20), pc::u16(1), {0}}))), Bytes{0});
    EXPECT_EQ(write(0x20000, Bytes(300, 0xF0)), Bytes{0});
    EXPECT_EQ(chip.flashContent(0x20000, 300), Bytes(300, 0xF0));
}
#endif
