// PC frames for the receiving cards and the way their answers go back to
// the transport that asked.
#include "fpga/fpga_manage.h"

#include <QMutexLocker>
#include <cstring>
#include <memory>

#include "core/globals.h"
#include "core/utils.h"
#include "remote/networkmanage.h"
#include "remote/pclink.h"
#include "remote/uart_inout.h"
#include "remote/udpnetmanage.h"

using namespace rcv;

namespace {
constexpr uint8_t kMaxPcPort = 32;

// Changes one byte of a frame and keeps its checksum (the last byte) right.
void setByte(uint8_t* frame, int length, int at, uint8_t value)
{
    frame[length - 1] ^= uint8_t(frame[at] ^ value);
    frame[at] = value;
}

// The multicast flag is also cleared by the PC's write of the extension
// image; both sides change and read it under its own mutex.
void setMulticast(uint8_t& flag, uint8_t value)
{
    QMutexLocker lock(&Utils::_fpga_multicast_mutex);
    flag = value;
}
uint8_t multicastOf(const uint8_t& flag)
{
    QMutexLocker lock(&Utils::_fpga_multicast_mutex);
    return flag;
}

template <class Record, class Fill>
void queueRecord(ReplyListOf<Record>& list, protocol_phy* phy, const uint8_t* answer, int length, Fill fill)
{
    std::unique_ptr<Record> record(new Record);
    uint8_t scratch[kMaxFrame];
    record->length = uint32_t(protocol_phy::data_re_transf_meaning(phy, record->frame, answer, length, scratch));
    fill(*record);
    list.clear();
    list.push_back(std::move(record));
}
} // namespace

int fpga_manage::Dealwith1_PC_to_eth(int length, unsigned char* frame)
{
    // Too long for the send RAM, or too short to carry the header.
    if (!frame || length >= kMaxFrame || length < kMinFrame)
        return 1;
    pthread_mutex_lock(&rcv_mutex);
    setMulticast(multicast, 0);
    write_to_register(147, 0x0F, 0x00, 0);
    write_to_register(131, 0x0F, 0x00, 0);
    expected_command = frame[9];
    const uint8_t kind = frame[6], port = frame[7];
    int q = -1;
    bool unchanged = false;
    if (kind == 0) {
        if (port == 0)
            q = 0, unchanged = true;
        else if (port <= kMaxPcPort)
            q = port - 1;
    } else if (kind == kKindCard || kind == kKindSensor || kind == kKindSearch) {
        if (port == kMulticastPort) {
            setMulticast(multicast, 1);
            answered_ports = 0;
            multicast_sent = 0;
            broadcast_kind = le16(frame) == kPortCards ? 1 : 0;
            expected_family = frame[5];
            expected_port = -1;
            multi_port_send(frame, length);
        } else if (port == 0) {
            q = (le16(frame) >> 12) & 3;
        } else if (port <= kMaxPcPort) {
            q = port - 1;
        }
    }
    if (q >= 0) {
        if (!unchanged)
            setByte(frame, length, 1, uint8_t(frame[1] | (q & 3) << 4));
        expected_port = q;
        Send_to_port(frame, length, uint8_t(q), 0); // ports above 15 send nothing
    }
    pthread_mutex_unlock(&rcv_mutex);
    return 1;
}

void fpga_manage::multi_port_send(unsigned char* frame, int length)
{
    uint16_t mask = 0;
    if (shadow(80, 0) == 3) {
        read_from_register(128, 0);
        read_from_register(144, 0);
        mask = uint16_t(shadow(144, 0) << 8 | shadow(128, 0));
    }
    for (uint8_t q = 0; q < kPorts; ++q) {
        if (!(mask & (1u << q)) || get_port_card_num(q) == 0)
            continue;
        setByte(frame, length, 1, uint8_t((frame[1] & 0xCF) | (q & 3) << 4));
        Send_to_port(frame, length, q, 0);
    }
    multicast_stamp = G_timeTicks.load();
    multicast_sent = 1;
}

void fpga_manage::answer_to_pc(uint8_t* R, int n, uint8_t fpga, uint8_t group, bool valid)
{
    const uint16_t source = le16(R + 2);
    const uint8_t portInGroup = uint8_t((source >> 12) & 3);
    if (!multicastOf(multicast) && R[7] != kMulticastPort) {
        if (R[7] == 0)
            setByte(R, n, 7, uint8_t(16 * fpga + 4 * group + portInGroup + 1));
        setByte(R, n, 3, uint8_t(R[3] & 0xCF));
    } else {
        // Search answers count as every other family's: a PC searching all
        // ports at once gets the collective answer too (the card table took
        // each port's count before this).
        if (valid && (R[7] == kMulticastPort || le16(R) == kPc)) {
            if (R[5] != expected_family)
                return;
            answered_ports |= 1u << (16 * fpga + 4 * group + portInGroup);
        }
        read_from_register(128, 0);
        read_from_register(144, 0);
        uint32_t expected = uint32_t(shadow(144, 0) << 8 | shadow(128, 0));
        for (uint8_t q = 0; q < kPorts; ++q)
            if (get_port_card_num(q) == 0)
                expected &= ~(1u << q);
        if (answered_ports != expected)
            return; // the others have yet to answer
        uint16_t collective = broadcast_kind ? kPortCards : kEveryCard;
        broadcast_kind = 0;
        setByte(R, n, 2, uint8_t(collective));
        setByte(R, n, 3, uint8_t(collective >> 8));
        setByte(R, n, 7, kMulticastPort);
        if (multicast_sent) {
            answered_ports = 0;
            QMutexLocker lock(&Utils::_system_mutex);
            multicast_sent = 0;
        }
    }
    deliver_to_pc(R, n);
}

void fpga_manage::deliver_to_pc(const uint8_t* R, int n)
{
    // Answers carry nothing that names their request: one that answers
    // another command or comes from another port is a late answer to an
    // earlier request and must not reach the PC waiting now.
    if (R[9] != expected_command || (expected_port >= 0 && R[7] != expected_port + 1))
        return;
    switch (g_passby_trans_port.load()) {
    case pclink::kTransportSerial: {
        Tz_uart_inout* link = Tz_uart_inout::p_uart_inout;
        if (!link)
            return;
        queueRecord(link->ReplyList, &link->phy, R, n, [&](SerialReplyRecord& r) { r.handle = link->uart_fd; });
        break;
    }
    case pclink::kTransport4G: {
        Tz_uart_inout_4G* link = Tz_uart_inout_4G::p_uart_inout_4g;
        if (!link)
            return;
        queueRecord(link->ReplyList, &link->phy, R, n, [&](SerialReplyRecord& r) { r.handle = link->uart_fd; });
        break;
    }
    case pclink::kTransportTcp: {
        networkManage* link = networkManage::p_networkManage;
        if (!link)
            return;
        queueRecord(link->ReplyList, &link->phy, R, n, [&](TcpReplyRecord& r) { r.client_fd = link->client_fd; });
        break;
    }
    case pclink::kTransportUdp: {
        udpnetManage* link = udpnetManage::p_udpnetManage;
        if (!link)
            return;
        queueRecord(link->ReplyList, &link->phy, R, n,
                    [&](UdpReplyRecord& r) { std::memcpy(r.sender, link->sender, sizeof r.sender); });
        break;
    }
    default:
        return; // nobody waits: dropped
    }
    g_passby_trans_port = 255;
    answer_arrived = 1;
}
