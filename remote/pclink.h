#pragma once
// The road every PC link shares: check a collected frame, run the
// controller's command or hand a receiving-card frame to the FPGA manager,
// and bring the cards' answer back from the link's reply list.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <pthread.h>
#include <string>
#include <vector>

#include "fpga/fpga_manage.h"
#include "remote/message_deal.h"
#include "remote/protocol_phy.h"
#include "remote/reply_records.h"

namespace pclink {

// g_passby_trans_port values.
constexpr uint8_t kTransportSerial = 1; // PC serial link and 4G link
constexpr uint8_t kTransportTcp = 2;
constexpr uint8_t kTransportUdp = 3;

constexpr uint16_t kPcAddress = 0xF010;
constexpr uint16_t kCardAddressEnd = 0xF000; // card addresses lie below
constexpr uint16_t kController = 0xF100;
constexpr uint16_t kController2 = 0xF101;

// Link threads sleep in poll until input arrives; while they wait for the
// cards' answer they poll the FPGA manager this often.
constexpr int kPollMs = 10;
constexpr int kIdlePollMs = 1000;
// Failed opens of a port are retried this often.
constexpr int kRetryMs = 1000;

// Wakes a link thread out of its poll so that it sees a stop request.
class Waker {
public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;
    int fd() const { return m_fd; }
    // Stays readable from now on.
    void wake();

private:
    int m_fd;
};

// Working memory of one link thread.
struct Buffers {
    Buffers();
    std::vector<uint8_t> body; // decoded frame, then the reply
    std::vector<uint8_t> out;  // encoded reply
};

enum class Outcome {
    Dropped, // broken, not for us, or nothing to answer
    Reply,   // out[0..length) is the encoded reply
    Cards,   // body[0..length) is a frame for the receiving cards (checksum included)
};

// Takes the frame `phy` has just collected through the road.
Outcome deal_frame(const protocol_phy& phy, message_deal& handler, Buffers& buf, int* length);

// The whole road for one collected frame: a reply goes to `reply`; a card
// frame is passed on (see pass_to_cards). True when the link now waits for
// the cards' answer.
bool handle_frame(const protocol_phy& phy, message_deal& handler, Buffers& buf, uint8_t transport,
                  const std::function<void(const uint8_t* data, int length)>& reply,
                  const std::function<bool()>& prepare);

// Hands a receiving-card frame to the FPGA manager on behalf of `transport`.
// `prepare` runs under the receive mutex first (empty the reply list, save
// where the answer goes) and returns false when there is nowhere to queue
// an answer. False when the frame was not passed on.
bool pass_to_cards(uint8_t transport, uint8_t* body, int length, const std::function<bool()>& prepare);

// One receive poll while a link waits for the cards' answer; returns the
// answer when the FPGA manager has queued one.
template <class Record>
std::unique_ptr<Record> take_answer(ReplyListOf<Record>& list)
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (!fpga)
        return nullptr;
    std::unique_ptr<Record> record;
    pthread_mutex_lock(&fpga->rcv_mutex);
    fpga->reg_IRQ_Dealwith(0, 0);
    if (fpga->answer_arrived == 1 && !list.empty()) {
        record = std::move(list.front());
        list.pop_front();
        fpga->answer_arrived = 0;
    }
    pthread_mutex_unlock(&fpga->rcv_mutex);
    return record;
}

// One step of a link's wait for the cards' answer. `stillMine` turns false
// once another link or server has passed a newer frame on, which ends the
// wait, as does a missing list.
template <class Record>
std::unique_ptr<Record> await_answer(bool* waiting, bool stillMine, ReplyListOf<Record>* list)
{
    if (!*waiting)
        return nullptr;
    if (!stillMine || !list) {
        *waiting = false;
        return nullptr;
    }
    std::unique_ptr<Record> answer = take_answer(*list);
    if (answer)
        *waiting = false;
    return answer;
}

// The encoded length of a queued answer, never beyond its record.
template <class Record>
int answer_length(const Record& record)
{
    return int(record.length < sizeof record.frame ? record.length : sizeof record.frame);
}

// A bound, non-blocking UDP or TCP (listening) socket for PC port `port`,
// moved by the simulation's port offset: 127.0.0.1 on a host, every
// interface on the device. -1 on failure. The first failure of a streak is
// reported (see report_open); `*failing` keeps the streak.
int open_server(int type, uint16_t port, bool* failing);

// Says on standard error that `what` (e.g. "TCP port 5005") could not be
// opened, with the reason in errno, the first time of a streak of failures,
// and that it is open once it opens after one. `*failing` keeps the streak.
void report_open(bool opened, const std::string& what, bool* failing);

// Writes every byte to a non-blocking descriptor, waiting at most
// `timeoutMs` for room. Sockets are written without SIGPIPE.
bool write_all(int fd, const uint8_t* data, int length, bool socket, int timeoutMs = 1000);

// Waits for input on `fd` or a wake-up, at most `timeoutMs`. True when `fd`
// is ready (readable, or in error).
bool wait_input(int fd, const Waker& waker, int timeoutMs);

} // namespace pclink
