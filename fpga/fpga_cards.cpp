// Frames to and from the receiving cards behind the output ports: the frame
// builders, the send protocol, the receive poll with the card table, the
// idle-time card search and the video-link watch.
#include "fpga/fpga_manage.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <unistd.h>

#include "core/globals.h"
#include "core/utils.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_layout.h"
#include "fpga/fpga_pads.h"
#include "platform/spi.h"
#include "remote/pclink.h"
#include "ui/rcvtools/rcvrecovery.h"

using namespace rcv;
using fpga_layout::kCardCount;
using fpga_layout::kCardStatus;
using fpga_layout::kParamRam;

namespace {
// Send registers per pair: the length's low byte; its bits 8-9 sit in
// register 27 (pairs 0-3) or 158 (pairs 4-7), two bits per pair; the start
// strobe is the high nibble of register 130 or 146.
constexpr uint8_t kSendLengthLow[8] = {26, 134, 136, 138, 154, 155, 156, 157};
// Receive slots 0-4 (ports 0-1 .. 8-9): the length's low byte; bits 8-9 in
// register 25 (slots 0-3) or 153 (slot 4).
constexpr uint8_t kRecvLengthLow[5] = {24, 133, 135, 137, 149};
constexpr int kRecvSlots = 5; // not fpga_manage::kSlots, the 16 port slots of the layout
constexpr uint32_t kSendReadyTicks = 300;
// The tick counter is advanced by the GUI thread; should it stall, a
// send-ready wait still ends after the same time by the clock.
constexpr auto kSendReadyClock = std::chrono::milliseconds(3000);
constexpr uint32_t kVboTicks = 10;
constexpr int kVboTrainingPolls = 1000;

struct RcvLock {
    explicit RcvLock(pthread_mutex_t* m)
        : m(m)
    {
        pthread_mutex_lock(m);
    }
    ~RcvLock() { pthread_mutex_unlock(m); }
    pthread_mutex_t* m;
};

void head(uint8_t* f, uint16_t destination, uint8_t family, uint8_t kind, uint8_t portByte, uint8_t command)
{
    putLe16(f, destination);
    putLe16(f + 2, kController);
    f[4] = 0x10;
    f[5] = family;
    f[6] = kind;
    f[7] = portByte;
    f[8] = 0;
    f[9] = command;
}

int seal(uint8_t* f, int bodyLength)
{
    f[bodyLength] = Utils::BCC(f, unsigned(bodyLength));
    return bodyLength + 1;
}

// A job frame: its length goes into the mailbox.
int sealJob(uint8_t* f, int bodyLength)
{
    int n = seal(f, bodyLength);
    g_send_para.frame_length = uint16_t(n);
    return n;
}

bool fits(const uint8_t* frame, int length) { return frame && length <= kMaxFrame; }

uint8_t portByte(uint8_t port) { return uint8_t(port + 1); }

bool slotReady(int slot, uint8_t r129, uint8_t r145)
{
    return slot < 4 ? (r129 >> (2 * slot)) & 1 : r145 & 1;
}

bool running(uint8_t state) { return state == 2 || state == 3; }
} // namespace

// ---------------------------------------------------------------------------
// Frame builders

int fpga_manage::rcv_card_cmd_create(uint8_t* frame, uint8_t port)
{
    if (!frame)
        return 0;
    uint16_t card = g_send_para.card;
    unsigned short x = 0, y = 0;
    get_rcvcard_x_y(card, &x, &y);
    x = uint16_t(x + line_type.x_offset);
    y = uint16_t(y + line_type.y_offset);
    head(frame, cardAddress(port, card), kFamilyCard, kKindCard, portByte(port), kWriteRam);
    putLe32(frame + 10, kPositionAddress);
    putLe16(frame + 14, 4);
    frame[16] = frame[17] = 0;
    putLe16(frame + 18, x);
    putLe16(frame + 20, y);
    return seal(frame, 22);
}

int fpga_manage::load_write_ram_cmd_create(uint8_t port, uint16_t card, uint32_t address, const uint8_t* data,
                                           uint16_t n, uint8_t* frame, bool all)
{
    if (!fits(frame, n + 19) || (n && !data))
        return 0;
    head(frame, all ? kEveryCard : cardAddress(port, card), kFamilyCard, kKindCard, portByte(port), kWriteRam);
    putLe32(frame + 10, address);
    putLe16(frame + 14, n);
    frame[16] = frame[17] = 0;
    if (n)
        std::memcpy(frame + 18, data, n);
    return sealJob(frame, 18 + n);
}

namespace {
// Command and n argument bytes from byte 10.
int argumentFrame(uint8_t* frame, uint16_t destination, uint8_t family, uint8_t kind, uint8_t portByte,
                  uint8_t command, const uint8_t* data, uint16_t n)
{
    if (!fits(frame, n + 11) || (n && !data))
        return 0;
    head(frame, destination, family, kind, portByte, command);
    if (n)
        std::memcpy(frame + 10, data, n);
    return sealJob(frame, 10 + n);
}
} // namespace

int fpga_manage::rcv_active_firmware_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t n,
                                                uint8_t* frame)
{
    return argumentFrame(frame, cardAddress(port, card), kFamilyCard, kKindCard, portByte(port), kActivateFirmware,
                         data, n);
}

int fpga_manage::rcv_reconfig_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t n,
                                         uint8_t* frame)
{
    return argumentFrame(frame, cardAddress(port, card), kFamilyCard, kKindCard, portByte(port), kReconfigure, data,
                         n);
}

int fpga_manage::load_write_reg_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t n,
                                           uint8_t* frame, bool all)
{
    return argumentFrame(frame, all ? kEveryCard : cardAddress(port, card), kFamilyCard, kKindCard, 0,
                         kWriteRegister, data, n);
}

int fpga_manage::load_write_user_defined_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t n,
                                                    uint8_t* frame, bool all)
{
    if (!fits(frame, n + 10) || (n && !data))
        return 0;
    head(frame, all ? kEveryCard : cardAddress(port, card), kFamilyCard, kKindCard, 0, 0);
    if (n)
        std::memcpy(frame + 9, data, n);
    return sealJob(frame, 9 + n);
}

int fpga_manage::load_search_rxc_cmd_create(uint8_t port, const uint8_t* data, uint16_t n, uint8_t* frame)
{
    return argumentFrame(frame, cardAddress(port, kPortCards), kFamilySearch, kKindSearch, portByte(port),
                         kSearchCards, data, n);
}

int fpga_manage::save_para2flash_cmd_create(uint8_t port, uint16_t card, uint8_t* frame, bool all)
{
    static const uint8_t kArgs[2] = {0xFF, 0x00};
    return argumentFrame(frame, all ? kEveryCard : cardAddress(port, card), kFamilyCard, kKindCard, 0, kSaveToFlash,
                         kArgs, 2);
}

int fpga_manage::save_para_cmd_create(uint8_t* frame, uint8_t port)
{
    static const uint8_t kArgs[2] = {0xFF, 0x00};
    return argumentFrame(frame, kEveryCard, kFamilyCard, kKindCard, portByte(port), kSaveToFlash, kArgs, 2);
}

int fpga_manage::mapping_enable_cmd_create(uint8_t port, uint8_t* frame)
{
    const uint8_t args[4] = {0x03, 0x0F, 0x01, uint8_t(g_send_para.mapping.load())};
    return argumentFrame(frame, kEveryCard, kFamilyCard, kKindCard, portByte(port), kWriteRegister, args, 4);
}

int fpga_manage::ram_reset_cmd_create(uint8_t* frame, const SCAN_PARA& scan, uint8_t port)
{
    const uint8_t args[4] = {uint8_t(scan.at32), scan.at28, 0x01, scan.at29};
    return argumentFrame(frame, cardAddress(port, kPortCards), kFamilyCard, kKindCard, portByte(port),
                         kWriteRegister, args, 4);
}

int fpga_manage::sensor_read_cmd_create(uint8_t slot, uint8_t* frame)
{
    if (!frame)
        return 0;
    head(frame, uint16_t(kSensorCard + 0x1000 * (slot % 4)), kFamilySensor, kKindSensor, 0, kReadRam);
    putLe32(frame + 10, kSensorAddress);
    putLe16(frame + 14, kSensorBytes);
    frame[16] = frame[17] = 0;
    return seal(frame, kSensorFrame - 1);
}

// ---------------------------------------------------------------------------
// Card table

uint16_t fpga_manage::get_port_card_num(uint8_t port)
{
    if (port > 9)
        return 0;
    return le16(m_ram_para[0] + kCardCount[port]);
}

uint16_t fpga_manage::check_netport_card(uint8_t fpga)
{
    if (!valid(fpga))
        return 0;
    uint16_t total = 0;
    for (int p = 0; p < fpga_layout::kWiredSlots; ++p)
        total = uint16_t(total + le16(m_ram_para[fpga] + kCardCount[p]));
    return total;
}

void fpga_manage::update_eth_rcv_num(const uint8_t* answer, uint8_t port, uint8_t fpga)
{
    if (!valid(fpga) || port > 15 || !answer)
        return;
    uint8_t* ram = m_ram_para[fpga];
    ram[kCardCount[port]] = answer[11];
    ram[kCardCount[port] + 1] = answer[12];
    ram[kCardStatus[port]] = answer[13];
    write_fpga_ram(ram + kCardCount[port], uint32_t(kCardCount[port]),
                   uint32_t(kCardStatus[port] - kCardCount[port] + 1), kParamRam, fpga);
}

void fpga_manage::zero_card_entry(uint8_t port, uint8_t fpga)
{
    uint8_t* ram = m_ram_para[fpga];
    putLe16(ram + kCardCount[port], 0);
    ram[kCardStatus[port]] = 0;
    write_fpga_ram(ram + kCardCount[port], uint32_t(kCardCount[port]),
                   uint32_t(kCardStatus[port] - kCardCount[port] + 1), kParamRam, fpga);
}

// ---------------------------------------------------------------------------
// Send

uint8_t fpga_manage::wait_fpga_send_ready(uint8_t port, uint8_t fpga)
{
    if (port > 15 || !valid(fpga))
        return 0;
    const uint8_t reg = port < 8 ? 129 : 145;
    const uint8_t busy = uint8_t(1u << (2 * ((port & 7) >> 1) + 1));
    const uint32_t stamp = G_timeTicks.load();
    const auto started = std::chrono::steady_clock::now();
    for (;;) {
        if (m_worker.stopRequested())
            return 0;
        read_from_register(reg, fpga);
        if (!(shadow(reg, fpga) & busy))
            return 1;
        if (Utils::getTimeSpace(stamp) > kSendReadyTicks || std::chrono::steady_clock::now() - started > kSendReadyClock)
            return 0;
        ::usleep(1000);
    }
}

void fpga_manage::Send_to_port(const uint8_t* frame, int len, uint8_t port, uint8_t fpga)
{
    if (!frame || len < 1 || len > kMaxFrame || port > 15 || !valid(fpga))
        return;
    RcvLock lock(&rcv_mutex);
    // Sent whether the pair became ready or not.
    wait_fpga_send_ready(port, fpga);
    if (port < 8)
        write_to_register(132, 0xFF, uint8_t(1u << port), fpga);
    else
        write_to_register(148, 0xFF, uint8_t(1u << (port - 8)), fpga);
    const int pair = port >> 1;
    const uint32_t last = uint32_t(len - 1);
    const int shift = 2 * (pair & 3);
    write_fpga_ram(frame, 0, uint32_t(len), uint8_t(3 + 2 * pair), fpga);
    write_to_register(kSendLengthLow[pair], 0xFF, uint8_t(last), fpga);
    write_to_register(pair < 4 ? 27 : 158, uint8_t(3u << shift), uint8_t(((last >> 8) & 3) << shift), fpga);
    write_to_register(pair < 4 ? 130 : 146, 0xF0, uint8_t(0x10u << (pair & 3)), fpga);
}

// ---------------------------------------------------------------------------
// Receive

bool fpga_manage::read_answer(uint8_t fpga, int slot, uint8_t* out, int* length)
{
    read_from_register(kRecvLengthLow[slot], fpga);
    uint8_t high = shadow(slot < 4 ? 25 : 153, fpga);
    int n = (shadow(kRecvLengthLow[slot], fpga) | ((high >> (2 * (slot & 3))) & 3) << 8) + 1;
    std::memset(out, 0, kMaxFrame);
    if (read_fpga_ram(out, 0, uint32_t(n), uint8_t(2 + 2 * slot), fpga) != 0)
        return false;
    *length = n;
    return true;
}

void fpga_manage::acknowledge(uint8_t fpga, int slot)
{
    if (slot < 4) {
        uint8_t bit = uint8_t(1u << slot);
        write_to_register(130, bit, bit, fpga);
        write_to_register(131, bit, 0, fpga);
    } else {
        write_to_register(146, 0x01, 0x01, fpga);
        write_to_register(147, 0x01, 0x00, fpga);
    }
}

void fpga_manage::check_fpga_net_data_status(uint8_t fpga)
{
    if (!valid(fpga) || !running(shadow(80, fpga)))
        return;
    read_from_register(129, fpga);
    read_from_register(145, fpga);
    if ((shadow(129, fpga) | shadow(145, fpga)) & 0x55)
        reply_pending[fpga] = 1;
}

void fpga_manage::reg_IRQ_Dealwith(uint8_t fpga, uint8_t force)
{
    if (!valid(fpga) || !running(shadow(80, fpga)))
        return;
    RcvLock lock(&rcv_mutex);
    bool pending = force == 1;
    if (!pending && fpga_drv::pads_ready())
        pending = platform::socWindow().read16(fpga_pads::kInterrupt[fpga]) & 1;
    if (!pending) {
        reply_pending[fpga] = 0;
        // While a PC multicast collects its answers, look at the ready bits
        // every other tick even without the interrupt.
        if (pc_cmd_valid.load() == 1 && multicast_sent.load() == 1) {
            if (poll_phase[fpga] == 0) {
                poll_phase[fpga] = 1;
                poll_stamp[fpga] = G_timeTicks.load();
            } else if (Utils::getTimeSpace(poll_stamp[fpga]) > 1) {
                check_fpga_net_data_status(fpga);
                poll_phase[fpga] = 0;
            }
        }
        return;
    }
    poll_phase[fpga] = 0;
    reply_pending[fpga] = 0;
    write_to_register(22, 0x20, 0x00, fpga);
    read_from_register(22, fpga);
    if (shadow(22, fpga) & 0x40) {
        write_to_register(22, 0x60, 0x00, fpga);
        read_from_register(31, fpga);
        uint8_t version = shadow(31, fpga);
        if (version < 25 || version > 48) {
            write_to_register(80, 0xFF, 0, fpga);
            state_reset_stamp[fpga] = G_timeTicks.load();
        }
    }
    read_from_register(129, fpga);
    read_from_register(145, fpga);
    if ((shadow(129, fpga) | shadow(145, fpga)) & 0x55)
        Rcv_data_from_eth(fpga);
    update_eth_state(fpga);
}

uint8_t fpga_manage::deal_with_search_concurrent(uint8_t fpga)
{
    if (!valid(fpga))
        return 0;
    for (uint8_t r : {129, 25, 145, 153})
        read_from_register(r, fpga);
    const uint8_t r129 = shadow(129, fpga), r145 = shadow(145, fpga);
    uint8_t taken = 0;
    uint8_t* R = m_answer;
    for (int slot = 0; slot < kRecvSlots; ++slot) {
        int n = 0;
        if (!slotReady(slot, r129, r145) || !read_answer(fpga, slot, R, &n))
            continue;
        if (le16(R) != kController || R[9] != kSearchCards)
            continue; // left for Rcv_data_from_eth
        if (n >= kMinFrame && Utils::BCC(R, unsigned(n - 1)) == R[n - 1]) {
            search_reply_mask |= 1u << (8 * fpga + slot);
            if (R[10] == 0 && n > 14)
                Search_concurrent_back_result(R, uint8_t(slot >> 1), fpga, n);
            taken = 1;
        }
        acknowledge(fpga, slot);
    }
    return taken;
}

void fpga_manage::Search_concurrent_back_result(uint8_t* answer, uint8_t group, uint8_t fpga, int length)
{
    if (!answer || !valid(fpga) || length < 15)
        return;
    if (answer[7] == 0)
        answer[7] = uint8_t(4 * group + ((le16(answer + 2) >> 12) & 3) + 1);
    uint8_t port = uint8_t(answer[7] - 1);
    if (port > 15)
        return;
    update_eth_rcv_num(answer, port, fpga);
    // The recovery check asks every chain whether a card of the screen it
    // walks needs recovery: the answer names the card (byte 22). Only an
    // answer the check waits for counts; a search a scan file or the PC
    // makes must not name a card to restore.
    if (!rcv_check_waiting.load())
        return;
    rcv_check_answered = true;
    if (length >= 23 && p_rcvRecovery && le32(answer + 18) == p_rcvRecovery->screen_info.config_id)
        g_send_para.result = answer[22];
}

void fpga_manage::Rcv_data_from_eth(uint8_t fpga)
{
    if (!valid(fpga))
        return;
    deal_with_search_concurrent(fpga);
    for (uint8_t r : {129, 25, 145, 153})
        read_from_register(r, fpga);
    const uint8_t r129 = shadow(129, fpga), r145 = shadow(145, fpga);
    int slot = 0;
    while (slot < kRecvSlots && !slotReady(slot, r129, r145))
        ++slot;
    uint8_t* R = m_answer;
    int n = 0;
    if (slot == kRecvSlots || !read_answer(fpga, slot, R, &n))
        return;
    if (n < kMinFrame) {
        acknowledge(fpga, slot); // not a frame
        return;
    }
    const uint16_t destination = le16(R), source = le16(R + 2);
    const bool valid = Utils::BCC(R, unsigned(n - 1)) == R[n - 1];
    const bool forController = destination >= kController && destination <= kControllerLast && source < kCardsEnd;

    if (R[9] == kSearchCards && destination == kController) {
        // Taking it reads every ready slot into R: judge this answer first.
        const bool reply = forController && R[5] == kFamilyCard;
        deal_with_search_concurrent(fpga);
        if (reply)
            g_send_para.reply = 1;
        return;
    }
    acknowledge(fpga, slot);
    if (valid && R[9] == kSearchCards && destination == kPc && R[10] == 0 && n > 14) {
        // An answer to a multicast names no port (255): like one with 0 it
        // comes from the slot's group and the source's port bits.
        int port = R[7] != 0 && R[7] != kMulticastPort ? R[7] - 1 - (R[7] > 10 * fpga ? 10 * fpga : 0)
                                                       : 4 * (slot >> 1) + ((source >> 12) & 3);
        if (port >= 0 && port <= 15)
            update_eth_rcv_num(R, uint8_t(port), fpga);
    }
    if (forController && R[5] == kFamilyCard)
        g_send_para.reply = 1;
    if ((R[9] == kReadRam || R[9] == kWriteRegister) && destination == kController) {
        ctrl_answer.command = R[9];
        ctrl_answer.length = uint8_t(std::min(n - kHead, int(sizeof ctrl_answer.data)));
        std::memset(ctrl_answer.data, 0, sizeof ctrl_answer.data);
        std::memcpy(ctrl_answer.data, R + kHead, ctrl_answer.length);
        ctrl_answer.ready = 1;
        return;
    }
    if (forController && (R[5] == kFamilyBrightness || R[5] == kFamilyCard))
        return;
    answer_to_pc(R, n, fpga, uint8_t(slot >> 1), valid);
}

// ---------------------------------------------------------------------------
// The light sensor

void fpga_manage::sensor_read_send(uint8_t slot)
{
    uint8_t frame[kSensorFrame];
    RcvLock lock(&rcv_mutex);
    ctrl_answer.ready = 0;
    Send_to_port(frame, sensor_read_cmd_create(slot, frame), slot, 0);
}

bool fpga_manage::take_controller_answer(RCV_CTRL_ANSWER* out)
{
    RcvLock lock(&rcv_mutex);
    if (!ctrl_answer.ready)
        return false;
    if (out)
        *out = ctrl_answer;
    ctrl_answer.ready = 0;
    return true;
}

// ---------------------------------------------------------------------------
// Idle search

void fpga_manage::check_error_rcv_search_card_cmd(uint8_t port, uint8_t fpga, uint32_t a, uint32_t b, uint8_t flag)
{
    uint8_t f[30] = {};
    head(f, cardAddress(port, kPortCards), kFamilySearch, kKindSearch, portByte(port), kSearchCards);
    f[16] = flag & 1;
    putLe32(f + 17, a);
    f[21] = 0xFF;
    putLe32(f + 23, b);
    seal(f, 29);
    RcvLock lock(&rcv_mutex);
    write_to_register(port < 8 ? 131 : 147, uint8_t(1u << ((port & 7) >> 1)), 0, fpga);
    Send_to_port(f, 30, port, fpga);
}

void fpga_manage::Search_Card_Cmd()
{
    read_from_register(0, 0);
    if (shadow(0, 0) & 0x08) {
        search_stamp = G_timeTicks.load();
        return;
    }
    auto linkMask = [this] {
        if (shadow(80, 0) != 3)
            return uint16_t(0);
        read_from_register(128, 0);
        read_from_register(144, 0);
        return uint16_t(shadow(144, 0) << 8 | shadow(128, 0));
    };
    uint16_t mask = linkMask();
    if (Utils::getTimeSpace(search_stamp) < kSearchQuietTicks) {
        if (!search_active)
            return;
    } else {
        mask = linkMask();
        if (shadow(80, 0) != 3 || mask == 0) {
            search_active = 0;
            search_stamp = G_timeTicks.load();
            return;
        }
        search_active = 1;
    }
    const uint32_t b = search_b_enable ? search_b : 0;
    const bool even = (search_passes++ % 2) == 0;
    CHECK_search_cmd_status();
    for (uint8_t k = 0; k < 5; ++k) {
        uint8_t first = uint8_t(even ? 2 * k : 2 * k + 1), second = uint8_t(even ? 2 * k + 1 : 2 * k);
        uint8_t port = (mask >> first) & 1 ? first : (mask >> second) & 1 ? second : 0xFF;
        if (port == 0xFF)
            continue;
        if (k != 4)
            write_to_register(131, uint8_t(1u << k), 0, 0);
        check_error_rcv_search_card_cmd(port, 0, 0, b, 0);
        {
            RcvLock lock(&rcv_mutex);
            if (even)
                search_reply_mask &= ~(0xFFFF0000u | 1u << 14);
            else
                search_reply_mask |= 0xC0000000u;
            search_sent_mask |= 1u << port;
        }
    }
    search_active = 0;
    search_stamp = G_timeTicks.load();
}

uint16_t fpga_manage::CHECK_search_cmd_status()
{
    RcvLock lock(&rcv_mutex);
    // Only a pass that preferred the odd ports is judged: a chain that
    // stayed silent then has no cards.
    if (search_reply_mask & 0x80000000u) {
        const bool odd = search_reply_mask & 0x40000000u;
        for (uint8_t k = 0; k < 8; ++k) {
            if (search_reply_mask & (1u << k))
                continue;
            uint8_t first = uint8_t(odd ? 2 * k + 1 : 2 * k), second = uint8_t(odd ? 2 * k : 2 * k + 1);
            if (search_sent_mask & (1u << first))
                zero_card_entry(first, 0);
            else if (search_sent_mask & (1u << second))
                zero_card_entry(second, 0);
        }
    }
    search_reply_mask = 0;
    search_sent_mask = 0;
    card_total = check_netport_card(0);
    return card_total;
}

// ---------------------------------------------------------------------------
// Video link

uint8_t fpga_manage::check_vbo_status(uint8_t fpga)
{
    if (!valid(fpga))
        return 0;
    if (!vbo_training[fpga]) {
        if (Utils::getTimeSpace(vbo_stamp[fpga]) < kVboTicks)
            return 0;
        vbo_stamp[fpga] = G_timeTicks.load();
        int bad = 0;
        for (int i = 0; i < 8; ++i) {
            read_from_register(40, fpga);
            if ((shadow(40, fpga) & 0x1C) != 0x1C)
                ++bad;
        }
        if (bad > 3) {
            write_to_register(3, 0xC0, 0x00, fpga);
            vbo_training[fpga] = 1;
            vbo_step[fpga] = 0;
        }
        return vbo_training[fpga];
    }
    if (vbo_step[fpga] == 0) {
        write_to_register(3, 0x40, 0x40, fpga);
        vbo_step[fpga] = 1;
        vbo_count[fpga] = 0;
        return 1;
    }
    read_from_register(22, fpga);
    ++vbo_count[fpga];
    if (!(shadow(22, fpga) & 0x08) || vbo_count[fpga] >= kVboTrainingPolls) {
        write_to_register(3, 0x80, 0x80, fpga);
        vbo_training[fpga] = 0;
    }
    return vbo_training[fpga];
}
