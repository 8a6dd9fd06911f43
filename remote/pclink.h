#pragma once
// The road every PC link shares: check a collected frame, run the
// controller's command or hand a receiving-card frame to the FPGA manager,
// and bring the cards' answer back from the link's reply list.

#include <atomic>
#include <cstdint>
#include <deque>
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

// g_passby_trans_port values: the transport whose reply list gets the
// cards' next answer.
constexpr uint8_t kTransportSerial = 1; // PC serial link (RS-485)
constexpr uint8_t kTransportTcp = 2;
constexpr uint8_t kTransportUdp = 3;
constexpr uint8_t kTransport4G = 4;     // the 4G modem link, with its own list

constexpr uint16_t kPcAddress = 0xF010;
constexpr uint16_t kCardAddressEnd = 0xF000; // card addresses lie below
constexpr uint16_t kController = 0xF100;
constexpr uint16_t kController2 = 0xF101;

// Link threads sleep in poll until input arrives; while they wait for the
// cards' answer they poll the FPGA manager this often.
constexpr int kPollMs = 10;
// A request for the cards is given up when its answer has not come after
// this many ticks and another request waits its turn, or after the cap in
// any case. The PC then gets no answer to it, as for any frame the cards
// leave unanswered.
constexpr uint32_t kCardAnswerTicks = 200;
constexpr uint32_t kCardAnswerCapTicks = 3000;
// Requests a link keeps waiting for their turn; more are dropped.
constexpr size_t kMaxQueuedCardFrames = 64;
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

// Decodes the frame `phy` has just collected into buf.body and checks its
// length and checksum: the body length, or -1 when it is to be dropped.
int checked_body(const protocol_phy& phy, Buffers& buf);

// Makes the `reply` bytes in buf.body an answer (addresses exchanged,
// checksum) and encodes it into buf.out; returns the encoded length.
int encode_reply(Buffers& buf, int reply);

// Takes the frame `phy` has just collected through the road.
Outcome deal_frame(const protocol_phy& phy, message_deal& handler, Buffers& buf, int* length);

// The card frames of one link (a TCP or UDP server, a serial link), kept by
// that link's thread. The cards' answers carry nothing that ties them to
// their request, so one request is in flight at a time over every link; a
// request waits in its link's queue until the exchange is free (the links
// take turns), and its answer reaches only the client that sent it.
class CardRequests {
public:
    explicit CardRequests(uint8_t transport);
    ~CardRequests();
    CardRequests(const CardRequests&) = delete;
    CardRequests& operator=(const CardRequests&) = delete;

    // Queues a frame of `client` (the decoded body, checksum included). A
    // newer frame of the client whose request is in flight ends that wait
    // (the client has moved on; the old answer could only be taken for the
    // new request).
    void add(uint64_t client, const uint8_t* body, int length);
    // The client went away: its frames are dropped and its wait ends.
    void forget(uint64_t client);
    // A request waits or is in flight: poll every kPollMs.
    bool busy() const { return m_inFlight || !m_queue.empty(); }

    // One turn: polls for the answer of the request in flight, gives it up
    // after its time, and sends the next queued one when no exchange is in
    // flight anywhere. `prepare(client)` runs under the receive mutex just
    // before a frame goes out: it empties the link's reply list and saves
    // where the answer goes. Returns the answer, and its client in *client.
    template <class Record>
    std::unique_ptr<Record> turn(ReplyListOf<Record>* list, const std::function<void(uint64_t)>& prepare,
                                 uint64_t* client)
    {
        std::unique_ptr<Record> record;
        auto take = [&] {
            if (!list || list->empty())
                return false;
            record = std::move(list->front());
            list->pop_front();
            return true;
        };
        uint64_t who = 0;
        if (step(take, prepare, &who) && client)
            *client = who;
        return record;
    }

private:
    struct Request {
        uint64_t client;
        std::vector<uint8_t> body;
    };
    bool step(const std::function<bool()>& take, const std::function<void(uint64_t)>& prepare, uint64_t* client);
    void endWait();
    void dropQueue();

    const uint8_t m_transport;
    std::deque<Request> m_queue;
    bool m_inFlight = false;
    uint64_t m_client = 0;
    uint32_t m_stamp = 0;
};

// The whole road for one collected frame: a reply goes to `reply`; a frame
// for the cards is queued on `cards` for `client`.
void handle_frame(const protocol_phy& phy, message_deal& handler, Buffers& buf,
                  const std::function<void(const uint8_t* data, int length)>& reply, CardRequests& cards,
                  uint64_t client);

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

// Runs `fn` under the FPGA manager's receive mutex (without a manager, just
// runs it).
void under_receive_mutex(const std::function<void()>& fn);

// Sets a link's instance pointer. The FPGA manager's answer path finds the
// link waiting for the cards through it, under the receive mutex: a link
// sets it before its threads start and clears it before it is torn down,
// both under that mutex, so an answer never meets a half-built or deleted
// link.
template <class Link>
void set_instance(Link*& instance, Link* link)
{
    under_receive_mutex([&] { instance = link; });
}

} // namespace pclink
