// Diagnostics asked for by a PC: the debug registers run once inside a pass
// and print, the full register dump, the probes and device tests.
#include "tests/scaler/osd_fixture.h"

#include <sstream>

#include "remote/message_deal.h"
#include "tests/remote/pc_client.h"

using namespace ram;

namespace {
class Diag : public OsdTest {
protected:
    void SetUp() override
    {
        OsdTest::SetUp();
        bringUp();
        // The OSD work the bring-up left pending.
        printed([&] { turn(), turn(); });
    }
    // A PC register write, then the scaler thread's next turn; what it printed.
    std::string pcRegister(uint16_t reg, uint8_t value)
    {
        Bytes buf = pc::writeRegister(reg, 0xFF, value);
        const size_t n = buf.size();
        buf.resize(256);
        EXPECT_GT(handler.message_group_deal(buf.data(), int(n), int(buf.size())), 0);
        EXPECT_EQ(buf[10], 0) << "status";
        ops.clear();
        return printed([&] { turn(); });
    }
    message_deal handler;
};
} // namespace

TEST_F(Diag, PcDebugRegistersRunTheirDiagnosticOnce)
{
    // 162 -> r34: the output test bar, once.
    uint64_t mark = chip().mark();
    std::string out = pcRegister(162, 0x02);
    EXPECT_EQ(passOps(), (Ops{"test_signal(1)", "output_slidebar()"}));
    EXPECT_TRUE(contains(out, "output_slidebar over"));
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(chip().writes(0x085701, 16 * k, mark), (std::vector<uint32_t>{9}));
        EXPECT_EQ(chip().lastWrite(0x085E02, 16 * k, mark), 1376u);
        EXPECT_EQ(chip().lastWrite(0x086301, 16 * k, mark), 3u);
    }
    EXPECT_EQ(store->local_reg[34], 0);
    mark = chip().mark();
    printed([&] { turn(); });
    EXPECT_TRUE(chip().writes(0x085701, 0, mark).empty());

    // 163 -> r35 = value + 1: parameter section 0, the full dump.
    out = pcRegister(163, 0);
    EXPECT_TRUE(contains(out, "[vyxDbg_c331_param] parameters")) << out.substr(0, 200);
    for (const char* heading : {"<<===OCH SPEC", "<<===PM_WIN_SHAPE", "<<===PM OSD", "<<===OSD_WIN", "<<===PI HDMI INFO"})
        EXPECT_TRUE(contains(out, heading)) << heading;
    EXPECT_EQ(store->local_reg[35], 0);

    // 164 -> r36 bit 0: the register groups of every window.
    out = pcRegister(164, 0x01);
    EXPECT_TRUE(contains(out, "WIN0 ICH:")) << out.substr(0, 200);
    EXPECT_TRUE(contains(out, "OSFLD0")) << out.substr(0, 400);

    // 165 -> r33 bit 0: the input device test, its reference cleared again.
    mark = chip().mark();
    out = pcRegister(165, 0x01);
    EXPECT_TRUE(contains(out, "sync_c331_device_test_input over"));
    EXPECT_EQ(chip().lastWrite(0x004801, 0, mark), 0x89u);
    EXPECT_EQ(chip().lastWrite(0x004B01, 0, mark), 0x10u);
    EXPECT_EQ(chip().writes(0x080F01, 0, mark), (std::vector<uint32_t>{0xC4, 0}));
    EXPECT_EQ(store->local_reg[33], 0);

    // Values that name no diagnostic do nothing (r33 keeps its value).
    for (auto rv : {std::pair<uint16_t, uint8_t>{165, 0x30}, {164, 0x02}}) {
        mark = chip().mark();
        out = pcRegister(rv.first, rv.second);
        EXPECT_EQ(passOps(), (Ops{"test_signal(1)"})) << rv.first;
        EXPECT_TRUE(chip().journal(mark).empty());
        EXPECT_FALSE(contains(out, "over")) << out;
    }
    EXPECT_EQ(store->local_reg[33], 0x30);
    EXPECT_EQ(store->local_reg[36], 0);
}

TEST_F(Diag, SectionsProbesAndDeviceTests)
{
    // Section 15 is section 1 (15 mod 14); 14 is the full dump.
    std::string out = printed([&] { scaler->vyxDbg_c331_param(15); });
    EXPECT_TRUE(contains(out, "[vyxDbg_c331_param] input ports"));
    EXPECT_TRUE(contains(out, "PORT5 PI_UPDATE"));
    out = printed([&] { scaler->vyxDbg_c331_param(14); });
    EXPECT_TRUE(contains(out, "<<===OCH SPEC"));
    for (int n : {3, 4, 11, 12, 13}) {
        const uint64_t mark = chip().mark();
        out = printed([&] { scaler->vyxDbg_c331_param(n); });
        EXPECT_TRUE(chip().journal(mark).empty()) << n;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << n;
    }
    // Sections that force colours and zoom controls.
    uint64_t mark = chip().mark();
    printed([&] {
        scaler->vyxDbg_c331_param(6);
        scaler->vyxDbg_c331_param(8);
    });
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(chip().lastWrite(0x084903, 16 * k, mark), 0xFFFFFFu);
        EXPECT_EQ(chip().lastWrite(0x084801, 16 * k, mark), 1u);
        EXPECT_EQ(chip().lastWrite(0x504B03, 16 * k, mark), 0x80FF80u);
    }

    // Probes: measured totals plus one, a register written back plus 100.
    chip().set(0xAE4002, 2199);
    chip().set(0xAE5C03, 1124);
    chip().set(0x501702, 500);
    out = printed([&] {
        scaler->read_c331_b174bug(scaler->c331_fd);
        scaler->write_read_c331_b80_iacthstch5(scaler->c331_fd);
    });
    EXPECT_TRUE(contains(out, "B174_VI11FHM = 2200  B174_VI11FVM = 1125")) << out;
    EXPECT_TRUE(contains(out, "B80_IACTHSTCH5 = 500, written 600, read back 600")) << out;

    // Frame-lock tests: the reference, then every output channel's total.
    mark = chip().mark();
    printed([&] { scaler->sync_c331_device_test_frame_lock_vbyrx2(scaler->c331_fd); });
    EXPECT_EQ(chip().lastWrite(0x080F01, 0, mark), 0x84u);
    EXPECT_EQ(chip().lastWrite(0x081802, 0, mark), 2u);
    const uint32_t total = uint32_t((scaler->panel.och.vtt > 0 ? scaler->panel.och.vtt : scaler->PS_VTOTAL) * 1.1);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(chip().lastWrite(0x080C02, 16 * k, mark), total);
        EXPECT_EQ(chip().lastWrite(0x081D02, 16 * k, mark), 1u);
    }
    mark = chip().mark();
    printed([&] { scaler->sync_c331_device_test_frame_lock(scaler->c331_fd); });
    EXPECT_EQ(chip().lastWrite(0x080C02, 112, mark), 5489u);
    EXPECT_EQ(chip().lastWrite(0x005502, 0, mark), 0x40u);
}

TEST_F(Diag, FullRegisterDumpReadsEveryRegisterButTheDataPorts)
{
    const std::string out = printed([&] { scaler->c331_print(); });

    std::istringstream lines(out);
    std::string line;
    int count = 0;
    bool identity = false;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_EQ(line.size(), 17u) << line;
        identity |= line == "B20801  00000024h";
        EXPECT_NE(line.substr(0, 6), "045201");
        EXPECT_NE(line.substr(0, 6), "092001");
    }
    EXPECT_TRUE(identity);
    EXPECT_GT(count, 7000);
    // Reading a data port would have taken a byte meant for a flash read.
    EXPECT_TRUE(chip().memoryErrors().empty()) << chip().memoryErrors().front();
}
