#include "tests/remote/commands_fixture.h"

#include "core/globals.h"

#include <thread>

TEST_F(Commands, RamAndRegistersWithinTheirBoundsOnly)
{
    store->ram_para[4094] = 0x22;
    store->ram_para[4095] = 0x33;
    store->local_reg[20] = 0xF0;
    store->local_reg[168] = 0xA1;
    store->local_reg[169] = 0xA2;
    store->local_reg[170] = 0x5A;
    Bytes shortWrite = pc::writeRam(100, {1, 2, 3, 4}); // announces more data than it carries
    shortWrite.erase(shortWrite.end() - 3, shortWrite.end() - 1);
    const struct {
        Bytes request, reply;
    } cases[] = {
        // The parameter image ends at 4096: nothing is written or read past it.
        {pc::writeRam(4090, Bytes(16, 0xEE)), {1}},
        {pc::readRam(4090, 16), {1}},
        {pc::readRam(4094, 2), {0, 0x22, 0x33}},
        // User-mode slots 1..16; nothing runs past a slot.
        {pc::writeRam(0x3002, {7, 8, 9}), {0}},
        {pc::readRam(0x3002, 3), {0, 7, 8, 9}},
        {pc::writeRam(0x10000, {1}), {0}},
        {pc::readRam(0x10FFE, 4), {1}},
        {pc::writeRam(0x11000, {1}), {1}},
        {pc::readRam(0x11000, 1), {1}},
        {pc::readRam(0xFFFFFFF0u, 16), {1}},
        // The controller itself has address class 0 only; FPGA targets
        // need the FPGA manager, absent here.
        {pc::writeRam(16, {1}, 1), {1}},
        {pc::readRam(16, 1, 5), {1}},
        {pc::writeRegister(5, 0xFF, 1, 1), {1}},
        {pc::readRegister(5, 1, 2), {1}},
        // Local registers r0..r169, merged under the mask.
        {pc::writeRegister(20, 0x3C, 0x55), {0}},
        {pc::readRegister(20, 1), {0, 0xD4}},
        {pc::readRegister(168, 2), {0, 0xA1, 0xA2}},
        {pc::readRegister(169, 2), {1}},
        {pc::writeRegister(170, 0xFF, 1), {1}},
        // Unknown, or too short for the command's fields or announced data.
        {command(0x7E, {1, 2, 3}), {0xFF}},
        {command(0x60, {0, 0, 0}), {2}},
        {shortWrite, {2}},
        {command(0x61, {}), {2}},
        {command(0xA0, {11, 0, 1, 1}), {2}},
        {command(0xA1, {0, 0, 1}), {2}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run(c.request), c.reply) << ::testing::PrintToString(c.request);
    EXPECT_EQ(store->user_mode[2][2], 7);
    EXPECT_EQ(store->user_mode[15][0], 1);
    EXPECT_EQ(store->local_reg[170], 0x5A);
    EXPECT_EQ(store->ram_para[100], 0);
    EXPECT_EQ(scaler->para_changed, 0);

    // A reply that would not fit the buffer is refused, not written past it;
    // below the smallest frame nothing is answered.
    EXPECT_EQ(run(pc::readRam(0, 64), 40), Bytes{1});
    EXPECT_EQ(run(pc::readRam(0, 1), message_deal::kMinCapacity - 1), Bytes{});
    Bytes tiny(10, 0);
    EXPECT_EQ(handler.message_group_deal(tiny.data(), 10, 64), 0);
}

TEST_F(Commands, RegistersThatAskTheScaler)
{
    // Masked-out bits ask nothing; nor does the dump, which runs on the
    // PC's own thread.
    EXPECT_EQ(run(pc::writeRegister(11, 0x00, 0xFF)), Bytes{0});
    EXPECT_EQ(run(pc::writeRegister(161, 0x02, 0x02)), Bytes{0});
    EXPECT_EQ(scaler->para_changed, 0);

    // The diagnostic registers reach the scaler's own and ask for an apply.
    const uint8_t values[] = {0x04, 0x02, 0x01, 0x08}; // r162..r165
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(run(pc::writeRegister(uint16_t(162 + i), 0xFF, values[i])), Bytes{0});
    EXPECT_EQ(Bytes(store->local_reg + 33, store->local_reg + 37), (Bytes{0x08, 0x04, 0x03, 0x01})); // r33..r36
    EXPECT_EQ(scaler->para_changed, 1);
    // That does not weaken a pending apply-with-user-modes.
    EXPECT_EQ(run(pc::writeRegister(11, 0x01, 0x01)), Bytes{0});
    EXPECT_EQ(run(pc::writeRegister(165, 0xFF, 0x01)), Bytes{0});
    EXPECT_EQ(scaler->para_changed, 2);

    c331_manage::destroyForTest();
    EXPECT_EQ(run(pc::writeRegister(11, 0x01, 0x01)), Bytes{1});
    EXPECT_EQ(run(pc::writeRegister(161, 0x02, 0x02)), Bytes{0});
}

TEST_F(Commands, NetworkResetRegisterSignalsUnlessAtDefaults)
{
    std::vector<int> codes;
    QObject::connect(store, &VyxRamPara::sig_update_para, [&](int code) { codes.push_back(code); });
    const std::pair<const char*, uint8_t> steps[] = {{"192.168.0.199", 1}, {"10.1.2.3", 0}, {"10.1.2.3", 1}};
    for (const auto& s : steps) {
        g_str_ip = s.first;
        EXPECT_EQ(run(pc::writeRegister(message_deal::kRegNetReset, 0x01, s.second)), Bytes{0});
    }
    EXPECT_EQ(codes, std::vector<int>{3});
}

TEST_F(Commands, DeviceInfoIsTheDeviceId)
{
    Bytes expected{0};
    for (int i = 0; i < 32; ++i)
        expected.push_back(g_pid[i] = uint8_t(0x40 + i));
    EXPECT_EQ(run(command(message_deal::CMD_GET_DEVICE_INFO, {})), expected);
}

TEST_F(Commands, PcRegisterWritesAndTheInputThreadNeverLoseEachOthersBits)
{
    // The PC toggles bit 7 of r0 while the input-source thread raises and
    // clears bit 0 the way it serves a request: atomically.
    std::atomic<bool> lost{false};
    std::thread input([&] {
        for (int i = 0; i < 20000 && !lost; ++i) {
            __atomic_fetch_or(&store->local_reg[0], uint8_t(0x01), __ATOMIC_RELAXED);
            if (!(__atomic_load_n(&store->local_reg[0], __ATOMIC_RELAXED) & 0x01))
                lost = true;
            __atomic_fetch_and(&store->local_reg[0], uint8_t(~0x01), __ATOMIC_RELAXED);
        }
    });
    message_deal pcSide;
    for (int i = 0; i < 20000 && !lost; ++i)
        runOn(pcSide, pc::writeRegister(0, 0x80, uint8_t(i & 1 ? 0x80 : 0)));
    input.join();
    EXPECT_FALSE(lost);
}
