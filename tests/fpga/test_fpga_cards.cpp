// Receiving-card frames, the send protocol, the receive poll with its card
// table, the idle search and the video-link watch, on the simulated FPGA
// and cards.
#include "cards_fixture.h"

#include <atomic>
#include <thread>

namespace {

using namespace fpga_layout;

Bytes withSum(Bytes b)
{
    b.push_back(Utils::BCC(b.data(), unsigned(b.size())));
    return b;
}

Bytes built(const std::function<int(uint8_t*)>& build)
{
    uint8_t frame[rcv::kMaxFrame];
    int n = build(frame);
    return Bytes(frame, frame + std::max(n, 0));
}

using Cards = CardsTest;

TEST_F(Cards, BuildersWriteEveryFamilyAndAddressing)
{
    const uint8_t arg[3] = {0x11, 0x22, 0x33};
    // Saving all cards of port 3 (the example of the send protocol below).
    EXPECT_EQ(built([&](uint8_t* f) { return m->save_para_cmd_create(f, 3); }),
              withSum({0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x04, 0x00, 0x81, 0xFF, 0x00}));
    EXPECT_EQ(g_send_para.frame_length, 13);
    // One card or every card; the card address carries the port's low bits.
    EXPECT_EQ(built([&](uint8_t* f) { return m->save_para2flash_cmd_create(6, 5, f, false); }),
              withSum({0x05, 0x20, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0x81, 0xFF, 0x00}));
    EXPECT_EQ(built([&](uint8_t* f) { return m->save_para2flash_cmd_create(6, 5, f, true); })[1], 0x0F);
    EXPECT_EQ(built([&](uint8_t* f) { return m->load_write_ram_cmd_create(1, 2, 0x12345678, arg, 3, f, false); }),
              withSum({0x02, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x60, 0x78, 0x56, 0x34, 0x12, 0x03, 0x00,
                       0x00, 0x00, 0x11, 0x22, 0x33}));
    EXPECT_EQ(g_send_para.frame_length, 22);
    EXPECT_EQ(built([&](uint8_t* f) { return m->load_write_reg_cmd_create(2, 7, arg, 3, f, true); }),
              withSum({0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0xA0, 0x11, 0x22, 0x33}));
    EXPECT_EQ(built([&](uint8_t* f) { return m->load_write_user_defined_cmd_create(2, 7, arg, 3, f, false); }),
              withSum({0x07, 0x20, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0x11, 0x22, 0x33}));
    EXPECT_EQ(g_send_para.frame_length, 13);
    EXPECT_EQ(built([&](uint8_t* f) { return m->rcv_active_firmware_cmd_create(4, 1, arg, 2, f); }),
              withSum({0x01, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x05, 0x00, 0xB4, 0x11, 0x22}));
    EXPECT_EQ(built([&](uint8_t* f) { return m->rcv_reconfig_cmd_create(5, 1, arg, 1, f); }),
              withSum({0x01, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x06, 0x00, 0x84, 0x11}));
    // Searches are family 0xAA with addressing kind 0xFF.
    EXPECT_EQ(built([&](uint8_t* f) { return m->load_search_rxc_cmd_create(7, arg, 1, f); }),
              withSum({0xFE, 0x3F, 0x00, 0xF0, 0x10, 0xAA, 0xFF, 0x08, 0x00, 0x10, 0x11}));
    g_send_para.mapping = 9;
    EXPECT_EQ(built([&](uint8_t* f) { return m->mapping_enable_cmd_create(0, f); }),
              withSum({0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x01, 0x00, 0xA0, 0x03, 0x0F, 0x01, 0x09}));
    SCAN_PARA scan;
    scan.at32 = 0x101;
    scan.at28 = scan.at29 = 0xFF;
    EXPECT_EQ(built([&](uint8_t* f) { return m->ram_reset_cmd_create(f, scan, 5); }),
              withSum({0xFE, 0x1F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x06, 0x00, 0xA0, 0x01, 0xFF, 0x01, 0xFF}));
    EXPECT_EQ(g_send_para.frame_length, 15);
    // The multi-function card's sensor read.
    EXPECT_EQ(built([&](uint8_t* f) { return m->sensor_read_cmd_create(6, f); }),
              withSum({0x00, 0x60, 0x00, 0xF0, 0x10, 0xBB, 0x03, 0x00, 0x00, 0x61, 0x00, 0x00, 0x00, 0x02, 0x80, 0x00,
                       0x00, 0x00}));
    EXPECT_EQ(m->check_multi_port_send(), 0);

    // A frame beyond the send RAM is not built.
    std::vector<uint8_t> big(1006, 0x5A);
    EXPECT_EQ(built([&](uint8_t* f) { return m->load_write_ram_cmd_create(0, 0, 0, big.data(), 1005, f, true); }).size(),
              1024u);
    EXPECT_TRUE(built([&](uint8_t* f) { return m->load_write_ram_cmd_create(0, 0, 0, big.data(), 1006, f, true); }).empty());
    EXPECT_TRUE(built([&](uint8_t* f) { return m->load_write_user_defined_cmd_create(0, 0, big.data(), 1015, f, true); }).empty());
}

TEST_F(Cards, PositionFrameAddsTheLayoutOffsets)
{
    // Card 3 of a 2 x 2 layout cabled row by row from the top left sits at
    // (128, 64); the offsets move it to (144, 72).
    line_type = LINE_TYPE{128, 64, 16, 8, 2, 2, 2, 10};
    g_send_para.card = 3;
    g_send_para.frame_length = 0;
    EXPECT_EQ(built([&](uint8_t* f) { return m->rcv_card_cmd_create(f, 2); }),
              withSum({0x03, 0x20, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x03, 0x00, 0x60, 0x80, 0x01, 0x00, 0x00, 0x04, 0x00,
                       0x00, 0x00, 0x90, 0x00, 0x48, 0x00}));
    EXPECT_EQ(g_send_para.frame_length, 0);
}

TEST_F(Cards, CablingPatternsPlaceEveryCard)
{
    auto places = [&](int pattern, int rows, int columns, int w, int h, int count) {
        line_type = LINE_TYPE{int16_t(w), int16_t(h), 0, 0, 0, uint8_t(rows), uint8_t(columns), uint8_t(pattern)};
        std::vector<std::pair<int, int>> out;
        for (int k = 0; k < count; ++k) {
            unsigned short x = 1, y = 1;
            m->get_rcvcard_x_y(uint16_t(k), &x, &y);
            out.emplace_back(x, y);
        }
        return out;
    };
    using P = std::vector<std::pair<int, int>>;
    EXPECT_EQ(places(1, 2, 3, 100, 50, 6), (P{{200, 50}, {100, 50}, {0, 50}, {0, 0}, {100, 0}, {200, 0}}));
    EXPECT_EQ(places(7, 3, 2, 64, 32, 6), (P{{0, 0}, {0, 32}, {0, 64}, {64, 64}, {64, 32}, {64, 0}}));
    EXPECT_EQ(places(4, 2, 2, 10, 10, 4), (P{{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    EXPECT_EQ(places(16, 2, 2, 10, 10, 4), (P{{10, 0}, {10, 10}, {0, 0}, {0, 10}}));
    // Pattern 12 keeps every card on the grid whatever its shape, as 15 does.
    EXPECT_EQ(places(12, 2, 3, 10, 10, 6), (P{{0, 10}, {0, 0}, {10, 10}, {10, 0}, {20, 10}, {20, 0}}));
    EXPECT_EQ(places(12, 3, 2, 10, 10, 6), (P{{0, 20}, {0, 10}, {0, 0}, {10, 20}, {10, 10}, {10, 0}}));
    EXPECT_EQ(places(12, 3, 2, 10, 10, 6), places(15, 3, 2, 10, 10, 6));
    // Beyond the layout: its last cell; no layout or no pattern: the origin.
    EXPECT_EQ(places(10, 2, 2, 10, 10, 9).back(), (std::pair<int, int>{10, 10}));
    EXPECT_EQ(places(10, 0, 2, 10, 10, 2), (P{{0, 0}, {0, 0}}));
    EXPECT_EQ(places(17, 2, 2, 10, 10, 2), (P{{0, 0}, {0, 0}}));
}

TEST_F(Cards, SendWritesFrameLengthPortAndStartOfThePair)
{
    // 13 bytes on port 3: send RAM 5, length 12 in register 134, bits 8-9 in
    // register 27 bits 2-3, the port in register 132, pair 1 started.
    send([&](uint8_t* f) { return m->save_para_cmd_create(f, 3); }, 3);
    ASSERT_EQ(ramWrites(5).size(), 1u);
    EXPECT_EQ(ramWrites(5)[0].data.size(), 13u);
    EXPECT_EQ(writes(134).back().data[0], 12);
    EXPECT_EQ(writes(27).back().mask, 0x0C);
    EXPECT_EQ(writes(27).back().data[0] & 0x0C, 0);
    EXPECT_EQ(writes(130).back().mask, 0xF0);
    EXPECT_EQ(writes(130).back().data[0] & 0xF0, 0x20);
    EXPECT_EQ(writes(132).back().data[0], 0x08);
    ASSERT_EQ(sim(0).sentFrames().size(), 1u);
    EXPECT_EQ(sim(0).sentFrames()[0].port, 3);

    // 1024 bytes: all ten length bits.
    Bytes big(1024, 0x33);
    m->Send_to_port(big.data(), 1024, 0, 0);
    EXPECT_EQ(writes(26).back().data[0], 0xFF);
    EXPECT_EQ(writes(27).back().data[0] & 0x03, 0x03);
    // Port 9: pair 4 with its own registers.
    m->Send_to_port(big.data(), 300, 9, 0);
    EXPECT_EQ(ramWrites(11).back().data.size(), 300u);
    EXPECT_EQ(writes(154).back().data[0], 299 & 0xFF);
    EXPECT_EQ(writes(158).back().data[0] & 0x03, 1);
    EXPECT_EQ(writes(148).back().data[0], 0x02);
    EXPECT_EQ(writes(146).back().data[0] & 0xF0, 0x10);
    EXPECT_EQ(sim(0).sentFrames().back().port, 9);

    // Nothing for a port above 15 or a length outside 1-1024.
    size_t accesses = sim(0).accesses().size();
    m->Send_to_port(big.data(), 13, 16, 0);
    m->Send_to_port(big.data(), 1025, 0, 0);
    m->Send_to_port(big.data(), 0, 0, 0);
    EXPECT_EQ(sim(0).accesses().size(), accesses);
    EXPECT_EQ(sim(0).sentFrames().size(), 3u);
    EXPECT_TRUE(bus().busErrors().empty());
}

TEST_F(Cards, APairThatStaysBusyStillGetsItsFrameAfterTheWait)
{
    sim(0).setSendBusy(0x02); // pair 1
    std::atomic<bool> sent{false};
    std::thread ticks([&] {
        while (!sent) {
            ++G_timeTicks;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    uint32_t start = G_timeTicks.load();
    EXPECT_EQ(m->wait_fpga_send_ready(2, 0), 0);
    EXPECT_GT(G_timeTicks.load() - start, 300u);
    send([&](uint8_t* f) { return m->save_para_cmd_create(f, 2); }, 2);
    sent = true;
    ticks.join();
    EXPECT_EQ(sim(0).sentFrames().size(), 1u);
    // A free pair is ready at once; a port above 15 never is.
    EXPECT_EQ(m->wait_fpga_send_ready(0, 0), 1);
    EXPECT_EQ(m->wait_fpga_send_ready(16, 0), 0);
}

TEST_F(Cards, SearchAnswersFillTheCardTableAndFpgaRam)
{
    sim(0).setLinks(0x03FF); // a port without a link has no cards
    // Port 6 answers with byte 7 = 0: slot 3, group 1, port bits 2.
    sim(0).queueAnswer(3, answer(0xF000, 0x2003, 0xAA, 0, 0x10, {0, 7, 0, 1, 0, 0, 0, 0}));
    poll();
    EXPECT_EQ(le16(image() + 568), 7);
    EXPECT_EQ(image()[570], 1);
    ASSERT_FALSE(ramWrites(1).empty());
    EXPECT_EQ(ramWrites(1)[0].addr, 568);
    EXPECT_EQ(ramWrites(1)[0].data, (Bytes{7, 0, 1}));
    EXPECT_EQ(sim(0).queuedAnswers(3), 0u);
    EXPECT_EQ(m->search_reply_mask, 1u << 3);

    // Port 1 (byte 7 = 2): five bytes from 102.
    sim(0).clearLogs();
    sim(0).queueAnswer(0, answer(0xF000, 0x1003, 0xAA, 2, 0x10, {0, 0x34, 0x12, 0}));
    poll();
    EXPECT_EQ(m->get_port_card_num(1), 0x1234);
    EXPECT_EQ(ramWrites(1)[0].addr, 102);
    EXPECT_EQ(ramWrites(1)[0].data.size(), 5u);

    // A wrong checksum, a search that failed (byte 10) or a port above 15
    // change nothing, and each is acknowledged.
    Bytes bad = answer(0xF000, 0x1003, 0xAA, 2, 0x10, {0, 9, 0, 0});
    bad.back() ^= 1;
    sim(0).queueAnswer(0, bad);
    sim(0).queueAnswer(0, answer(0xF000, 0x1003, 0xAA, 2, 0x10, {1, 9, 0, 0}));
    sim(0).queueAnswer(0, answer(0xF000, 0x1003, 0xAA, 17, 0x10, {0, 9, 0, 0}));
    poll(3);
    EXPECT_EQ(m->get_port_card_num(1), 0x1234);
    EXPECT_EQ(sim(0).queuedAnswers(0), 0u);

    // The PC's own searches (to 0xF010) fill the table too.
    sim(0).queueAnswer(4, answer(0xF010, 0x1000, 0xAA, 10, 0x10, {0, 3, 0, 0}));
    poll();
    EXPECT_EQ(m->get_port_card_num(9), 3);
    // The controller's from ports 8-9 come through the last of the five
    // receive slots, and no slot beyond it is read.
    sim(0).clearLogs();
    sim(0).queueAnswer(4, answer(0xF000, 0x1000, 0xAA, 9, 0x10, {0, 5, 0, 0}));
    poll();
    EXPECT_EQ(m->get_port_card_num(8), 5);
    for (auto& a : sim(0).accesses()) {
        if (a.kind == SimFpga::Access::RamRead) {
            EXPECT_EQ(a.id, 10) << "receive RAM of slot 4";
        }
    }
    // Whatever the image holds, ports above 9 have no cards; the total is a
    // 16-bit sum.
    putLe16(image() + kCardCount[10], 55);
    EXPECT_EQ(m->get_port_card_num(10), 0);
    putLe16(image() + kCardCount[0], 0xFFFF);
    EXPECT_EQ(m->check_netport_card(0), uint16_t(0xFFFF + 0x1234 + 7 + 3 + 5));
}

TEST_F(Cards, OnePollTakesOneAnswerTheFirstReadySlotFirst)
{
    const Bytes forPc = answer(0xF010, 0x0001, 0x67, 1, 0x60, {0});
    sim(0).queueAnswer(2, forPc);
    sim(0).queueAnswer(0, forPc);
    m->Rcv_data_from_eth(0);
    EXPECT_EQ(sim(0).queuedAnswers(0), 0u);
    EXPECT_EQ(sim(0).queuedAnswers(2), 1u);
    // Slot 1 comes before slot 2; too short to be a frame, its answer is
    // acknowledged and dropped.
    sim(0).queueAnswer(1, Bytes{1, 2, 3, 4, 5});
    m->Rcv_data_from_eth(0);
    EXPECT_EQ(sim(0).queuedAnswers(1), 0u);
    EXPECT_EQ(sim(0).queuedAnswers(2), 1u);
}

TEST_F(Cards, ControllerAnswersGoToTheStoreAndTheJobsReplyFlag)
{
    // A card's answer to a job frame raises the reply flag.
    send([&](uint8_t* f) { return m->save_para_cmd_create(f, 1); }, 1);
    poll();
    EXPECT_EQ(g_send_para.reply.load(), 1);
    EXPECT_EQ(cards().card(1, 3).saves, 1);

    // A register write's answer to the controller lands in the store.
    g_send_para.reply = 0;
    const uint8_t regs[4] = {0x03, 0x0F, 0x01, 0x09};
    send([&](uint8_t* f) { return m->load_write_reg_cmd_create(2, 1, regs, 4, f, false); }, 2);
    poll();
    RCV_CTRL_ANSWER a;
    ASSERT_TRUE(m->take_controller_answer(&a));
    EXPECT_EQ(a.command, 0xA0);
    EXPECT_EQ(a.data[0], 0);
    EXPECT_EQ(g_send_para.reply.load(), 1);
    EXPECT_FALSE(m->take_controller_answer(&a));
    EXPECT_EQ(cards().card(2, 1).mapping(), 9);
    EXPECT_EQ(cards().card(2, 0).mapping(), 0);

    // A read of 200 bytes keeps answer bytes 10-138.
    const uint8_t data[200] = {1, 2, 3};
    send([&](uint8_t* f) { return m->load_write_ram_cmd_create(3, 0, 0x400, data, 200, f, false); }, 3);
    poll();
    const Bytes read = withSum({0x00, 0x30, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x04, 0x00, 0x61, 0x00, 0x04, 0, 0, 200, 0,
                                0, 0});
    m->Send_to_port(read.data(), int(read.size()), 3, 0);
    poll();
    ASSERT_TRUE(m->take_controller_answer(&a));
    EXPECT_EQ(a.command, 0x61);
    EXPECT_EQ(a.length, 129);
    EXPECT_EQ(Bytes(a.data, a.data + 4), (Bytes{0, 1, 2, 3}));

    // Search answers (family 0xAA) never raise it, not even when a card
    // command's answer for the PC waits in the next slot.
    g_send_para.reply = 0;
    const Bytes search = answer(0xF000, 0x0003, 0xAA, 1, 0x10, {0, 4, 0, 0});
    sim(0).queueAnswer(0, search);
    sim(0).queueAnswer(0, search);
    sim(0).queueAnswer(1, answer(0xF010, 0x1001, 0x67, 3, 0x60, {0}));
    m->Rcv_data_from_eth(0);
    EXPECT_EQ(sim(0).queuedAnswers(0), 0u);
    EXPECT_EQ(g_send_para.reply.load(), 0);
    poll();
    EXPECT_EQ(sim(0).queuedAnswers(1), 0u);
    EXPECT_EQ(g_send_para.reply.load(), 0);
}

TEST_F(Cards, TheSensorCardAnswersTheMultiFunctionRead)
{
    Bytes light(128, 0);
    light[49] = 0xFF;
    light[53] = 0x42;
    cards().setSensorData(0, light);
    RCV_CTRL_ANSWER a;
    const uint8_t regs[3] = {0, 0xFF, 0};
    send([&](uint8_t* f) { return m->load_write_reg_cmd_create(1, 0, regs, 3, f, false); }, 1);
    poll();
    m->sensor_read_send(0); // forgets what the store held
    EXPECT_FALSE(m->take_controller_answer(&a));
    poll();
    ASSERT_TRUE(m->take_controller_answer(&a));
    EXPECT_EQ(a.command, 0x61);
    EXPECT_EQ(a.length, 129);
    EXPECT_EQ(a.data[0], 0);
    EXPECT_EQ(Bytes(a.data + 1, a.data + 129), light);
    EXPECT_EQ(cards().sensorReads(0), 1);
    // No sensor on port 1: nothing comes.
    m->sensor_read_send(1);
    poll();
    EXPECT_FALSE(m->take_controller_answer(&a));
}

TEST_F(Cards, AnFpgaThatStoppedAnsweringIsNoLongerPolled)
{
    sim(0).setReg(22, 0x40);
    sim(0).setReg(31, 0);
    poll();
    EXPECT_EQ(m->shadow(80, 0), 0);
    sim(0).clearLogs();
    sim(0).queueAnswer(0, answer(0xF000, 0x0003, 0xAA, 1, 0x10, {0, 4, 0, 0}));
    poll();
    EXPECT_TRUE(sim(0).accesses().empty());
    EXPECT_EQ(sim(0).queuedAnswers(0), 1u);
}

TEST_F(Cards, IdleSearchKeepsTheTableAndOnlyOddPassesEmptyAPort)
{
    startUp();
    // From a clean slate (the worker's last turn may have searched).
    poll();
    for (int p = 0; p < 10; ++p)
        putLe16(image() + kCardCount[p], 0);
    m->search_passes = 0;
    m->search_reply_mask = m->search_sent_mask = 0;
    m->search_stamp = G_timeTicks.load();
    sim(0).clearLogs();
    G_timeTicks += 100;
    m->Search_Card_Cmd(); // even pass: ports 0 and 2
    auto sent = sim(0).sentFrames();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].port, 0);
    EXPECT_EQ(sent[1].port, 2);
    Bytes search = withSum({0xFE, 0x0F, 0x00, 0xF0, 0x10, 0xAA, 0xFF, 0x01, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            0, 0xFF, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(sent[0].frame, search);
    poll(2);
    EXPECT_EQ(m->get_port_card_num(0), 4);
    EXPECT_EQ(image()[kCardStatus[0]], 1); // the sensor card
    EXPECT_EQ(m->get_port_card_num(2), 4);
    EXPECT_EQ(m->get_port_card_num(1), 0);

    // Not again before 80 quiet ticks.
    m->Search_Card_Cmd();
    EXPECT_EQ(sim(0).sentFrames().size(), 2u);

    // Port 2 loses its cards: the even pass that follows the next one
    // cannot tell; the odd pass's evaluation empties port 3's entry when it
    // is silent, and an odd pass on port 2 (port 3 unlinked) empties it.
    cards().setCards(2, 0);
    G_timeTicks += 81;
    m->Search_Card_Cmd(); // odd pass: ports 1 and 3
    poll(2);
    EXPECT_EQ(m->get_port_card_num(1), 4);
    EXPECT_EQ(m->get_port_card_num(3), 4);
    EXPECT_EQ(m->get_port_card_num(2), 4);
    sim(0).setLinks(0x0007);
    G_timeTicks += 81;
    m->Search_Card_Cmd(); // evaluates the odd pass (all answered); even pass
    poll(2);
    EXPECT_EQ(m->get_port_card_num(2), 4); // an even pass never empties a port
    G_timeTicks += 81;
    m->Search_Card_Cmd(); // odd pass: ports 1 and 2
    poll(2);
    G_timeTicks += 81;
    EXPECT_EQ(m->CHECK_search_cmd_status(), 8);
    EXPECT_EQ(m->get_port_card_num(2), 0);
    EXPECT_EQ(m->card_total, 8);

    // Register 0 bit 3 holds the search off.
    sim(0).clearLogs();
    sim(0).setReg(0, 0x08);
    G_timeTicks += 200;
    m->Search_Card_Cmd();
    EXPECT_TRUE(sim(0).sentFrames().empty());
}

TEST_F(Cards, BrokenVideoLinkIsRetrained)
{
    EXPECT_EQ(m->check_vbo_status(0), 0);
    sim(0).setReg(40, 0x03); // DE, HS and VS fail
    G_timeTicks += 5;
    EXPECT_EQ(m->check_vbo_status(0), 0); // at most every 10 ticks
    G_timeTicks += 10;
    EXPECT_EQ(m->check_vbo_status(0), 1);
    EXPECT_EQ(writes(3).back().mask, 0xC0);
    EXPECT_EQ(writes(3).back().data[0] & 0xC0, 0);
    EXPECT_EQ(m->check_vbo_status(0), 1);
    EXPECT_EQ(writes(3).back().mask, 0x40);
    // Register 22 bit 3 is clear: the training ends with bit 7.
    EXPECT_EQ(m->check_vbo_status(0), 0);
    EXPECT_EQ(writes(3).back().mask, 0x80);
    EXPECT_EQ(writes(3).back().data[0] & 0x80, 0x80);
}

} // namespace
