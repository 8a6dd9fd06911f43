#include "remote/uart_inout.h"

#include <cerrno>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "core/globals.h"
#include "platform/platform.h"
#include "platform/serial.h"
#include "remote/file_transfer.h"
#include "remote/pclink.h"

namespace {
constexpr uint8_t kOwnerSerial = 1;
constexpr uint8_t kOwner4G = 2;
// Which serial link sent the receiving-card frame whose answer is awaited:
// both use transport 1, and each answer goes back out of the port it came in.
std::atomic<uint8_t> s_answerOwner{0};

ReplyListOf<SerialReplyRecord>* serialReplyList()
{
    Tz_uart_inout* link = Tz_uart_inout::p_uart_inout;
    return link ? &link->ReplyList : nullptr;
}
} // namespace

struct SerialPcLink::Work {
    pclink::Buffers buf;
    message_deal handler;
    std::vector<uint8_t> rx = std::vector<uint8_t>(std::max<uint32_t>(g_dataLen, 1) * 1024);
};

SerialPcLink::SerialPcLink(int port, unsigned int baud, uint8_t owner)
    : m_work(std::make_unique<Work>())
    , m_port(port)
    , m_baud(baud)
    , m_owner(owner)
{
    uart_fd = openPort();
}

int SerialPcLink::openPort()
{
    int fd = platform::serial().open(m_port, m_baud);
    pclink::report_open(fd >= 0, "serial port " + platform::sysPath("/dev/ttyS" + std::to_string(m_port)),
                        &m_openFailing);
    return fd;
}

SerialPcLink::~SerialPcLink()
{
    stop();
    if (uart_fd >= 0)
        platform::serial().close(uart_fd);
}

void SerialPcLink::start(platform::Worker::Body body, const char* name, ReplyListOf<SerialReplyRecord>* answers)
{
    m_ownList = answers;
    m_worker.start(body, this, name);
}

ReplyListOf<SerialReplyRecord>* SerialPcLink::answerList() const
{
    return m_ownList ? m_ownList : serialReplyList();
}

void SerialPcLink::stop()
{
    m_waker.wake();
    m_worker.stopAndJoin();
}

void SerialPcLink::run()
{
    std::vector<uint8_t>& rx = m_work->rx;
    while (!m_worker.stopRequested()) {
        if (uart_fd < 0) {
            pclink::wait_input(-1, m_waker, pclink::kRetryMs);
            uart_fd = openPort();
            continue;
        }
        if (pclink::wait_input(uart_fd, m_waker, m_waiting ? pclink::kPollMs : pclink::kIdlePollMs)) {
            ssize_t n = ::read(uart_fd, rx.data(), rx.size());
            for (ssize_t i = 0; i < n; ++i) {
                // A new frame from the PC ends the wait for an answer.
                if (rx[size_t(i)] == protocol_phy::kStart)
                    m_waiting = false;
                if (phy.collect(rx[size_t(i)]))
                    handleFrame();
            }
            // A port that reports an error without data must not spin.
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                ::usleep(pclink::kPollMs * 1000);
        }
        deliverAnswer();
        file_transfer::expire();
    }
}

void SerialPcLink::handleFrame()
{
    // Answers for both serial links are queued on the PC serial link.
    ReplyListOf<SerialReplyRecord>* list = answerList();
    auto reply = [&](const uint8_t* data, int length) { send(data, length); };
    auto prepare = [&] {
        if (!list)
            return false;
        list->clear();
        s_answerOwner = m_owner;
        return true;
    };
    if (pclink::handle_frame(phy, m_work->handler, m_work->buf, pclink::kTransportSerial, reply, prepare))
        m_waiting = true;
}

void SerialPcLink::deliverAnswer()
{
    // Polled under the receive mutex like the network links: the FPGA
    // worker polls the same receive side.
    std::unique_ptr<SerialReplyRecord> answer
        = pclink::await_answer(&m_waiting, s_answerOwner == m_owner, answerList());
    if (answer)
        send(answer->frame, pclink::answer_length(*answer));
}

// RS-485: the driver transmits only while RTS says so.
void SerialPcLink::send(const uint8_t* data, int length)
{
    platform::Serial& port = platform::serial();
    port.setTransmit(uart_fd, true);
    pclink::write_all(uart_fd, data, length, false);
    port.drain(uart_fd);
    port.setTransmit(uart_fd, false);
}

Tz_uart_inout* Tz_uart_inout::p_uart_inout = nullptr;

Tz_uart_inout::Tz_uart_inout()
    : SerialPcLink(kPort, g_BPS, kOwnerSerial)
{
    start(receive_thread, "pc-serial", &ReplyList);
}

Tz_uart_inout::~Tz_uart_inout() { stop(); }

Tz_uart_inout* Tz_uart_inout::pInstance()
{
    if (!p_uart_inout)
        p_uart_inout = new Tz_uart_inout();
    return p_uart_inout;
}

void Tz_uart_inout::destroyForTest()
{
    Tz_uart_inout* link = p_uart_inout;
    p_uart_inout = nullptr;
    delete link;
}

void* Tz_uart_inout::receive_thread(void* arg)
{
    static_cast<Tz_uart_inout*>(static_cast<SerialPcLink*>(arg))->run();
    return nullptr;
}

Tz_uart_inout_4G* Tz_uart_inout_4G::p_uart_inout_4g = nullptr;

Tz_uart_inout_4G::Tz_uart_inout_4G()
    : SerialPcLink(kPort, kBaud4G, kOwner4G)
{
    start(receive_thread_4G, "pc-4g");
}

Tz_uart_inout_4G::~Tz_uart_inout_4G() { stop(); }

Tz_uart_inout_4G* Tz_uart_inout_4G::pInstance()
{
    if (!p_uart_inout_4g)
        p_uart_inout_4g = new Tz_uart_inout_4G();
    return p_uart_inout_4g;
}

void Tz_uart_inout_4G::destroyForTest()
{
    delete p_uart_inout_4g;
    p_uart_inout_4g = nullptr;
}

void* Tz_uart_inout_4G::receive_thread_4G(void* arg)
{
    static_cast<Tz_uart_inout_4G*>(static_cast<SerialPcLink*>(arg))->run();
    return nullptr;
}
