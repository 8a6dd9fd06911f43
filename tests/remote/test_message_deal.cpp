#include "tests/support/sandbox.h"

#include "core/globals.h"
#include "core/vyxrampara.h"
#include "remote/message_deal.h"
#include "remote/protocol_phy.h"
#include "scaler/c331_manage.h"
#include "tests/remote/pc_client.h"

namespace {
class Commands : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        store = VyxRamPara::pInstance();
        scaler = c331_manage::pInstance();
    }

    // Runs one request; returns the reply data (status first).
    Bytes run(const Bytes& request, int capacity = protocol_phy::kMaxBody)
    {
        Bytes buf(request);
        buf.resize(size_t(std::max<int>(capacity, int(request.size()))));
        int n = handler.message_group_deal(buf.data(), int(request.size()), capacity);
        if (n <= 0)
            return {};
        return Bytes(buf.begin() + 10, buf.begin() + n);
    }
    uint8_t runStatus(const Bytes& request)
    {
        Bytes r = run(request);
        return r.empty() ? 0xEE : r[0];
    }

    message_deal handler;
    VyxRamPara* store = nullptr;
    c331_manage* scaler = nullptr;
};
} // namespace

TEST_F(Commands, RamOfTheParameterImage)
{
    EXPECT_EQ(run(pc::writeRam(2176, {0x50, 0x00})), Bytes{0});
    EXPECT_EQ(store->ram_para[2176], 0x50);
    EXPECT_EQ(run(pc::readRam(2176, 2)), (Bytes{0, 0x50, 0x00}));
    // The image ends at 4096: nothing is written or read past it.
    store->ram_para[4095] = 0x33;
    EXPECT_EQ(run(pc::writeRam(4090, Bytes(16, 0xEE))), Bytes{1});
    EXPECT_EQ(store->ram_para[4095], 0x33);
    EXPECT_EQ(run(pc::readRam(4090, 16)), Bytes{1});
    EXPECT_EQ(run(pc::readRam(4080, 16)).size(), 17u);
    EXPECT_EQ(run(pc::readRam(0, 0)), Bytes{0});
}

TEST_F(Commands, RamOfTheUserModeSlots)
{
    EXPECT_EQ(run(pc::writeRam(0x3000 + 2, {7, 8, 9})), Bytes{0});
    EXPECT_EQ(store->user_mode[2][2], 7);
    EXPECT_EQ(store->user_mode[2][4], 9);
    EXPECT_EQ(run(pc::readRam(0x3002, 3)), (Bytes{0, 7, 8, 9}));
    // Slot 16 is the last; a read may not run past a slot.
    EXPECT_EQ(runStatus(pc::writeRam(0x10000, {1})), 0);
    EXPECT_EQ(store->user_mode[15][0], 1);
    EXPECT_EQ(runStatus(pc::readRam(0x10FFE, 4)), 1);
    EXPECT_EQ(runStatus(pc::writeRam(0x11000, {1})), 1);
    EXPECT_EQ(runStatus(pc::readRam(0x11000, 1)), 1);
    EXPECT_EQ(runStatus(pc::readRam(0xFFFFFFF0u, 16)), 1);
}

TEST_F(Commands, OtherAddressClassesAndTargetsAreRefusedForNow)
{
    EXPECT_EQ(runStatus(pc::writeRam(16, {1}, 1)), 1);
    EXPECT_EQ(runStatus(pc::readRam(16, 1, 5)), 1);
    EXPECT_EQ(runStatus(pc::writeRegister(5, 0xFF, 1, 1)), 1);
    EXPECT_EQ(runStatus(pc::readRegister(5, 1, 2)), 1);
}

TEST_F(Commands, LocalRegistersMergeUnderTheMask)
{
    store->local_reg[20] = 0xF0;
    EXPECT_EQ(run(pc::writeRegister(20, 0x3C, 0x55)), Bytes{0});
    EXPECT_EQ(store->local_reg[20], 0xD4);
    store->local_reg[168] = 0xA1;
    store->local_reg[169] = 0xA2;
    EXPECT_EQ(run(pc::readRegister(168, 2)), (Bytes{0, 0xA1, 0xA2}));
    EXPECT_EQ(run(pc::readRegister(169, 2)), Bytes{1});
    store->local_reg[170] = 0x5A;
    EXPECT_EQ(run(pc::writeRegister(170, 0xFF, 1)), Bytes{1});
    EXPECT_EQ(store->local_reg[170], 0x5A);
    EXPECT_EQ(run(pc::readRegister(0, 0)), Bytes{0});
    EXPECT_EQ(scaler->para_changed, 0);
}

TEST_F(Commands, RegisterElevenAsksTheScalerToApply)
{
    // Masked-out bits do nothing.
    EXPECT_EQ(runStatus(pc::writeRegister(11, 0x00, 0xFF)), 0);
    EXPECT_EQ(scaler->para_changed, 0);
    EXPECT_EQ(runStatus(pc::writeRegister(11, 0x01, 0x01)), 0);
    EXPECT_EQ(scaler->para_changed, 2);
}

TEST_F(Commands, DiagnosticRegistersReachTheScalersRegisters)
{
    store->local_reg[162] = 0;
    EXPECT_EQ(runStatus(pc::writeRegister(162, 0xFF, 0x04)), 0);
    EXPECT_EQ(scaler->para_changed, 1);
    EXPECT_EQ(runStatus(pc::writeRegister(163, 0xFF, 0x02)), 0);
    EXPECT_EQ(runStatus(pc::writeRegister(164, 0xFF, 0x01)), 0);
    EXPECT_EQ(runStatus(pc::writeRegister(165, 0xFF, 0x08)), 0);
    EXPECT_EQ(store->local_reg[34], 0x04);
    EXPECT_EQ(store->local_reg[35], 0x03);
    EXPECT_EQ(store->local_reg[36], 0x01);
    EXPECT_EQ(store->local_reg[33], 0x08);
    EXPECT_EQ(store->local_reg[162], 0);
    // A pending apply-with-user-modes is not weakened to a plain apply.
    scaler->para_changed = 2;
    EXPECT_EQ(runStatus(pc::writeRegister(165, 0xFF, 0x01)), 0);
    EXPECT_EQ(scaler->para_changed, 2);
    // The dump register only runs on the PC's thread; it must not ask.
    scaler->para_changed = 0;
    EXPECT_EQ(runStatus(pc::writeRegister(161, 0x02, 0x02)), 0);
    EXPECT_EQ(scaler->para_changed, 0);
}

TEST_F(Commands, NoScalerManagerMeansRefused)
{
    c331_manage::destroyForTest();
    EXPECT_EQ(runStatus(pc::writeRegister(11, 0x01, 0x01)), 1);
    EXPECT_EQ(runStatus(pc::writeRegister(161, 0x02, 0x02)), 0);
}

TEST_F(Commands, NetworkResetRegisterSignalsUnlessAtDefaults)
{
    std::vector<int> codes;
    QObject::connect(store, &VyxRamPara::sig_update_para, [&](int code) { codes.push_back(code); });
    g_str_ip = "192.168.0.199";
    EXPECT_EQ(runStatus(pc::writeRegister(message_deal::kRegNetReset, 0x01, 0x01)), 0);
    EXPECT_TRUE(codes.empty());
    g_str_ip = "10.1.2.3";
    EXPECT_EQ(runStatus(pc::writeRegister(message_deal::kRegNetReset, 0x01, 0x00)), 0);
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(runStatus(pc::writeRegister(message_deal::kRegNetReset, 0x01, 0x01)), 0);
    EXPECT_EQ(codes, std::vector<int>{3});
}

TEST_F(Commands, DeviceInfoIsTheDeviceId)
{
    for (int i = 0; i < 32; ++i)
        g_pid[i] = uint8_t(0x40 + i);
    Bytes r = run(pc::body(pc::kController, pc::kPc, message_deal::CMD_GET_DEVICE_INFO, {}));
    ASSERT_EQ(r.size(), 33u);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(Bytes(r.begin() + 1, r.end()), Bytes(g_pid, g_pid + 32));
}

TEST_F(Commands, MalformedAndUnknownRequests)
{
    // Unknown command.
    EXPECT_EQ(run(pc::body(pc::kController, pc::kPc, 0x7E, {1, 2, 3})), Bytes{0xFF});
    // Too short for the command's fields, or for its announced data.
    EXPECT_EQ(run(pc::body(pc::kController, pc::kPc, 0x60, {0, 0, 0})), Bytes{2});
    Bytes shortWrite = pc::writeRam(100, {1, 2, 3, 4});
    shortWrite.erase(shortWrite.end() - 3, shortWrite.end() - 1);
    EXPECT_EQ(run(shortWrite), Bytes{2});
    EXPECT_EQ(store->ram_para[100], 0);
    EXPECT_EQ(run(pc::body(pc::kController, pc::kPc, 0x61, {})), Bytes{2});
    EXPECT_EQ(run(pc::body(pc::kController, pc::kPc, 0xA0, {11, 0, 1, 1})), Bytes{2});
    EXPECT_EQ(run(pc::body(pc::kController, pc::kPc, 0xA1, {0, 0, 1})), Bytes{2});
    // A reply that would not fit the buffer is refused, not written past it.
    EXPECT_EQ(run(pc::readRam(0, 64), 40), Bytes{1});
    // Below the smallest frame nothing is answered.
    Bytes tiny(10, 0);
    EXPECT_EQ(handler.message_group_deal(tiny.data(), 10, 64), 0);
}
