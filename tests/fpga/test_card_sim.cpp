// The simulated receiving cards as the card jobs will meet them: positions,
// saves, mapping, recovery of a card that lost its set-up, answer policies,
// and the file a person sets the chains in.
#include "cards_fixture.h"

#include "ui/rcvtools/rcvrecovery.h"

namespace {

using platform::SimAnswerPolicy;
using SimCards = CardsTest;

// The answer queued in receive slot `slot` right now (presented), or empty.
Bytes presented(int slot)
{
    static const int lengthLow[5] = {24, 133, 135, 137, 149};
    SimFpga& fpga = platform::simFpga(0);
    if (!(slot < 4 ? (fpga.reg(129) >> (2 * slot)) & 1 : fpga.reg(145) & 1))
        return {};
    int high = (fpga.reg(slot < 4 ? 25 : 153) >> (2 * (slot & 3))) & 3;
    return fpga.ram(2 + 2 * slot, 0, uint32_t((fpga.reg(lengthLow[slot]) | high << 8) + 1));
}

TEST_F(SimCards, JobFramesPlaceSaveAndMapTheCards)
{
    // Positions of the four cards of port 2, one frame each, each answered.
    line_type = LINE_TYPE{64, 32, 0, 100, 2, 2, 2, 4};
    for (uint16_t k = 0; k < 4; ++k) {
        g_send_para.card = k;
        g_send_para.reply = 0;
        send([&](uint8_t* f) { return m->rcv_card_cmd_create(f, 2); }, 2);
        poll();
        EXPECT_EQ(g_send_para.reply.load(), 1) << k;
    }
    EXPECT_EQ(cards().card(2, 0).x(), 0);
    EXPECT_EQ(cards().card(2, 0).y(), 100);
    EXPECT_EQ(cards().card(2, 1).x(), 64);
    EXPECT_EQ(cards().card(2, 2).x(), 64); // snake: the second row runs back
    EXPECT_EQ(cards().card(2, 2).y(), 132);
    EXPECT_EQ(cards().card(2, 3).x(), 0);

    // Saved to flash: the RAM as it is now.
    send([&](uint8_t* f) { return m->save_para_cmd_create(f, 2); }, 2);
    poll();
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(cards().card(2, k).saves, 1);
        EXPECT_EQ(cards().card(2, k).flash, cards().card(2, k).ram);
    }
    // Mapping on for every card of the port, then off.
    g_send_para.mapping = 9;
    send([&](uint8_t* f) { return m->mapping_enable_cmd_create(2, f); }, 2);
    EXPECT_EQ(cards().card(2, 3).mapping(), 9);
    EXPECT_EQ(cards().card(1, 3).mapping(), 0);
    g_send_para.mapping = 0;
    send([&](uint8_t* f) { return m->mapping_enable_cmd_create(2, f); }, 2);
    EXPECT_EQ(cards().card(2, 0).mapping(), 0);

    // Reconfigure reloads the RAM from flash; activation is counted.
    const uint8_t junk[4] = {9, 9, 9, 9};
    send([&](uint8_t* f) { return m->load_write_ram_cmd_create(2, 1, 0x180, junk, 4, f, false); }, 2);
    EXPECT_EQ(cards().card(2, 1).x(), 0x0909);
    send([&](uint8_t* f) { return m->rcv_reconfig_cmd_create(2, 1, junk, 1, f); }, 2);
    EXPECT_EQ(cards().card(2, 1).x(), 64);
    EXPECT_EQ(cards().card(2, 1).reconfigs, 1);
    send([&](uint8_t* f) { return m->rcv_active_firmware_cmd_create(2, 3, junk, 2, f); }, 2);
    EXPECT_EQ(cards().card(2, 3).activations, 1);
    EXPECT_EQ(cards().card(2, 2).activations, 0);
}

TEST_F(SimCards, ACardThatLostItsSetUpIsFoundAndRestored)
{
    cards().setConfigId(1, 0x12345678);
    cards().loseSetup(1, 2);
    EXPECT_TRUE(cards().card(1, 2).needs_recovery);
    // The recovery check's search names the screen and the card.
    m->rcv_check_waiting = true;
    m->p_rcvRecovery->screen_info.config_id = 0x12345678;
    g_send_para.result = 65535;
    m->check_error_rcv_search_card_cmd(1, 0, 0x12345678, 0, 1);
    poll();
    EXPECT_EQ(g_send_para.result.load(), 2);
    EXPECT_EQ(m->get_port_card_num(1), 4);

    // Another screen's identifier leaves the result alone.
    m->p_rcvRecovery->screen_info.config_id = 0x1111;
    g_send_para.result = 65535;
    m->check_error_rcv_search_card_cmd(1, 0, 0x1111, 0, 1);
    poll();
    EXPECT_EQ(g_send_para.result.load(), 65535);

    // A save alone does not restore it; written and then saved it is whole.
    send([&](uint8_t* f) { return m->save_para2flash_cmd_create(1, 2, f, false); }, 1);
    EXPECT_TRUE(cards().card(1, 2).needs_recovery);
    const uint8_t params[3] = {1, 2, 3};
    send([&](uint8_t* f) { return m->load_write_ram_cmd_create(1, 2, 0x40, params, 3, f, false); }, 1);
    send([&](uint8_t* f) { return m->save_para2flash_cmd_create(1, 2, f, false); }, 1);
    EXPECT_FALSE(cards().card(1, 2).needs_recovery);
    EXPECT_EQ(cards().card(1, 2).flash.at(0x41), 2);
    m->p_rcvRecovery->screen_info.config_id = 0x12345678;
    poll(4);
    m->check_error_rcv_search_card_cmd(1, 0, 0x12345678, 0, 1);
    poll();
    EXPECT_EQ(g_send_para.result.load(), 255);
}

TEST_F(SimCards, AnswerPoliciesForTests)
{
    const uint8_t none[1] = {0};
    auto ask = [&](int port) {
        send([&](uint8_t* f) { return m->load_write_reg_cmd_create(uint8_t(port), 0, none, 1, f, false); }, uint8_t(port));
    };
    // Silent port; silent card.
    cards().setPolicy(0, SimAnswerPolicy::Silent);
    ask(0);
    EXPECT_TRUE(presented(0).empty());
    cards().setPolicy(0, SimAnswerPolicy::Normal);
    cards().setCardSilent(0, 0, true);
    ask(0);
    EXPECT_TRUE(presented(0).empty());
    EXPECT_EQ(cards().card(0, 0).frames, 2); // it heard them all the same

    // A wrong checksum.
    cards().setPolicy(2, SimAnswerPolicy::BadChecksum);
    ask(2);
    Bytes a = presented(1);
    ASSERT_EQ(a.size(), 12u);
    EXPECT_NE(Utils::BCC(a.data(), 11), a.back());
    poll();

    // Late by three receive polls.
    cards().setPolicy(3, SimAnswerPolicy::Late, 3);
    ask(3);
    EXPECT_EQ(sim(0).heldAnswers(), 1u);
    poll(2);
    EXPECT_EQ(sim(0).heldAnswers(), 1u);
    poll();
    EXPECT_EQ(sim(0).heldAnswers(), 0u);
    EXPECT_FALSE(presented(1).empty());
    poll();
    EXPECT_TRUE(presented(1).empty());

    // The first two answers lost.
    cards().setPolicy(1, SimAnswerPolicy::DropFirst, 2);
    for (int i = 0; i < 3; ++i)
        ask(1);
    EXPECT_EQ(cards().answers(1), 1);
    EXPECT_EQ(sim(0).queuedAnswers(0), 1u);
}

TEST_F(SimCards, FramesTheCardsCannotTakeAreNotAnswered)
{
    uint8_t frame[rcv::kMaxFrame];
    // A wrong checksum, a card beyond the chain, a port without cards, a
    // port without a cable and receive slot (10-15).
    int n = m->save_para2flash_cmd_create(0, 1, frame, false);
    frame[n - 1] ^= 1;
    m->Send_to_port(frame, n, 0, 0);
    m->Send_to_port(frame, m->save_para2flash_cmd_create(0, 4, frame, false), 0, 0);
    m->Send_to_port(frame, m->save_para_cmd_create(frame, 5), 5, 0);
    m->Send_to_port(frame, m->save_para_cmd_create(frame, 11), 11, 0);
    for (int slot = 0; slot < 5; ++slot)
        EXPECT_EQ(sim(0).queuedAnswers(slot), 0u) << slot;
    EXPECT_EQ(cards().card(0, 1).saves, 0);
    EXPECT_EQ(sim(0).sentFrames().size(), 4u);
    // A read longer than a receive slot holds is refused.
    const Bytes tooLong = {0x00, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x01, 0x00, 0x61, 0, 0, 0, 0, 0xFF, 0x03, 0, 0};
    Bytes f = tooLong;
    f.push_back(Utils::BCC(f.data(), unsigned(f.size())));
    m->Send_to_port(f.data(), int(f.size()), 0, 0);
    poll();
    RCV_CTRL_ANSWER a;
    ASSERT_TRUE(m->take_controller_answer(&a));
    EXPECT_EQ(a.data[0], 1);
}

TEST_F(SimCards, APersonSetsTheChainsInAFile)
{
    writeFile("/sim/cards", "# comment\n"
                            "1 off\n"
                            "2 6 sensor id=0x55 lost=4 mute=5\n"
                            "7 3 late=2\n"
                            "14 9\n"
                            "99 4\n"
                            "nonsense\n");
    // The file is looked at when the FPGA's links are read.
    ASSERT_TRUE(waitFor([&] {
        m->read_from_register(128, 0);
        return cards().cards(1) == 6;
    }));
    EXPECT_EQ(cards().cards(0), 0);
    EXPECT_TRUE(cards().hasSensor(1));
    EXPECT_FALSE(cards().hasSensor(0));
    EXPECT_EQ(cards().card(1, 5).config_id, 0x55u);
    EXPECT_TRUE(cards().card(1, 4).needs_recovery);
    EXPECT_TRUE(cards().card(1, 5).silent);
    EXPECT_EQ(cards().cards(6), 3);
    EXPECT_EQ(cards(1).cards(3), 9);
    EXPECT_EQ(sim(0).links(), 0x004E); // ports 2, 3, 4 and 7 (1-based)
    EXPECT_EQ(sim(1).links(), 0x000B);
    cards().setPolicy(6, SimAnswerPolicy::Normal);

    // Only lines that changed are applied again: the card recovered since
    // stays recovered when another line changes.
    const uint8_t params[1] = {1};
    send([&](uint8_t* f) { return m->load_write_ram_cmd_create(1, 4, 0, params, 1, f, false); }, 1);
    send([&](uint8_t* f) { return m->save_para2flash_cmd_create(1, 4, f, false); }, 1);
    EXPECT_FALSE(cards().card(1, 4).needs_recovery);
    writeFile("/sim/cards", "1 off\n2 6 sensor id=0x55 lost=4 mute=5\n7 3 late=2\n14 9\n3 2\n");
    ASSERT_TRUE(waitFor([&] {
        m->read_from_register(128, 0);
        return cards().cards(2) == 2;
    }));
    EXPECT_FALSE(cards().card(1, 4).needs_recovery);
    // The template a person finds when there is none says what to write.
    EXPECT_TRUE(exists("/sim/cards"));
}

TEST_F(SimCards, WithoutAFileATemplateAppears)
{
    ASSERT_TRUE(waitFor([&] {
        m->read_from_register(128, 0);
        return exists("/sim/cards");
    }));
    EXPECT_TRUE(readFile("/sim/cards").startsWith("# Receiving cards"));
    // Comments only: the start-up chains stay.
    m->read_from_register(128, 0);
    EXPECT_EQ(cards().cards(0), 4);
    EXPECT_EQ(cards(1).cards(1), 2);
    EXPECT_TRUE(cards().hasSensor(0));
}

} // namespace
