#pragma once
// Answers of the receiving cards on their way back to the PC. The FPGA
// manager encodes an answer (protocol_phy::data_re_transf_meaning), fills a
// record of the waiting transport, empties that transport's ReplyList and
// appends the record; the transport sends it. Both sides touch a ReplyList
// only while holding fpga_manage::rcv_mutex.

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>

// Serial link (also carries the 4G link's answers).
struct SerialReplyRecord {
    uint8_t frame[65556]; // encoded frame
    int32_t handle;       // the serial link's port handle
    uint32_t length;      // encoded length
};
static_assert(sizeof(SerialReplyRecord) == 65564, "serial reply record size");
static_assert(offsetof(SerialReplyRecord, handle) == 65556, "serial reply record handle");
static_assert(offsetof(SerialReplyRecord, length) == 65560, "serial reply record length");

struct TcpReplyRecord {
    uint8_t frame[131072];
    uint32_t length;
    int32_t client_fd; // the TCP manager's saved client descriptor
};
static_assert(sizeof(TcpReplyRecord) == 131080, "TCP reply record size");
static_assert(offsetof(TcpReplyRecord, length) == 131072, "TCP reply record length");
static_assert(offsetof(TcpReplyRecord, client_fd) == 131076, "TCP reply record descriptor");

struct UdpReplyRecord {
    uint8_t frame[131072];
    uint32_t length;
    uint8_t sender[16]; // the UDP manager's saved sender address (sockaddr_in)
};
static_assert(sizeof(UdpReplyRecord) == 131092, "UDP reply record size");
static_assert(offsetof(UdpReplyRecord, length) == 131072, "UDP reply record length");
static_assert(offsetof(UdpReplyRecord, sender) == 131076, "UDP reply record sender");

template <class Record>
using ReplyListOf = std::list<std::unique_ptr<Record>>;
