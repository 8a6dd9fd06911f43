#include "remote/uart_inout.h"

#include <cerrno>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "platform/serial.h"
#include "remote/file_transfer.h"
#include "remote/pclink.h"

namespace {
// Everything on one serial line is one client.
constexpr uint64_t kLineClient = 1;
} // namespace

struct SerialPcLink::Work {
    explicit Work(uint8_t transport)
        : cards(transport)
    {
    }
    pclink::Buffers buf;
    message_deal handler;
    pclink::CardRequests cards;
    std::vector<uint8_t> rx = std::vector<uint8_t>(std::max<uint32_t>(g_dataLen, 1) * 1024);
};

SerialPcLink::SerialPcLink(int port, unsigned int baud, uint8_t transport)
    : m_work(std::make_unique<Work>(transport))
    , m_port(port)
    , m_baud(baud)
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

void SerialPcLink::start(platform::Worker::Body body, const char* name, ReplyListOf<SerialReplyRecord>* answers,
                         GroupHandler group, TurnHook turn)
{
    m_list = answers;
    m_group = group;
    m_turn = turn;
    m_worker.start(body, this, name);
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
        if (pclink::wait_input(uart_fd, m_waker, m_work->cards.busy() ? pclink::kPollMs : pclink::kIdlePollMs)) {
            ssize_t n = ::read(uart_fd, rx.data(), rx.size());
            for (ssize_t i = 0; i < n; ++i) {
                if (phy.collect(rx[size_t(i)]))
                    handleFrame();
            }
            // A port that reports an error without data must not spin.
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                ::usleep(pclink::kPollMs * 1000);
        }
        deliverAnswer();
        file_transfer::expire();
        if (m_turn)
            m_turn(*this);
    }
}

void SerialPcLink::handleFrame()
{
    if (m_group && m_group(*this))
        return;
    auto reply = [&](const uint8_t* data, int length) { send(data, length); };
    pclink::handle_frame(phy, m_work->handler, m_work->buf, reply, m_work->cards, kLineClient);
}

void SerialPcLink::deliverAnswer()
{
    // Polled under the receive mutex like the network links: the FPGA
    // worker polls the same receive side.
    auto prepare = [&](uint64_t) { m_list->clear(); };
    std::unique_ptr<SerialReplyRecord> answer = m_work->cards.turn(m_list, prepare, nullptr);
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
    : SerialPcLink(kPort, g_BPS, pclink::kTransportSerial)
{
    pclink::set_instance(p_uart_inout, this);
    start(receive_thread, "pc-serial", &ReplyList);
}

Tz_uart_inout::~Tz_uart_inout() { stop(); }

Tz_uart_inout* Tz_uart_inout::pInstance()
{
    // Published by the constructor, before its thread starts.
    if (!p_uart_inout)
        new Tz_uart_inout();
    return p_uart_inout;
}

void Tz_uart_inout::destroyForTest()
{
    Tz_uart_inout* link = p_uart_inout;
    pclink::set_instance<Tz_uart_inout>(p_uart_inout, nullptr);
    delete link;
}

void* Tz_uart_inout::receive_thread(void* arg)
{
    static_cast<Tz_uart_inout*>(static_cast<SerialPcLink*>(arg))->run();
    return nullptr;
}

Tz_uart_inout_4G* Tz_uart_inout_4G::p_uart_inout_4g = nullptr;

Tz_uart_inout_4G::Tz_uart_inout_4G()
    : SerialPcLink(kPort, kBaud4G, pclink::kTransport4G)
    , m_groupBuf(std::make_unique<pclink::Buffers>())
{
    pclink::set_instance(p_uart_inout_4g, this);
    start(receive_thread_4G, "pc-4g", &ReplyList, deal_group, take_reconfigure);
}

Tz_uart_inout_4G::~Tz_uart_inout_4G() { stop(); }

Tz_uart_inout_4G* Tz_uart_inout_4G::pInstance()
{
    // Published by the constructor, before its thread starts.
    if (!p_uart_inout_4g)
        new Tz_uart_inout_4G();
    return p_uart_inout_4g;
}

void Tz_uart_inout_4G::destroyForTest()
{
    Tz_uart_inout_4G* link = p_uart_inout_4g;
    pclink::set_instance<Tz_uart_inout_4G>(p_uart_inout_4g, nullptr);
    delete link;
}

void* Tz_uart_inout_4G::receive_thread_4G(void* arg)
{
    static_cast<Tz_uart_inout_4G*>(static_cast<SerialPcLink*>(arg))->run();
    return nullptr;
}

bool Tz_uart_inout_4G::deal_group(SerialPcLink& link)
{
    auto& self = static_cast<Tz_uart_inout_4G&>(link);
    pclink::Buffers& buf = *self.m_groupBuf;
    const int n = pclink::checked_body(self.phy, buf);
    if (n < 0)
        return false;
    const uint8_t* body = buf.body.data();
    const uint16_t destination = le16(body);
    if ((destination != pclink::kController && destination != pclink::kController2)
        || !message_deal_4g::is_group_command(body[protocol_phy::kCommandAt]))
        return false;
    const int reply = self.m_group4g.message_group_deal(buf.body.data(), n, protocol_phy::kMaxBody);
    if (reply > 0) {
        const int length = pclink::encode_reply(buf, reply);
        self.send(buf.out.data(), length);
    }
    return true;
}

void Tz_uart_inout_4G::take_reconfigure(SerialPcLink& link)
{
    {
        QMutexLocker lock(&Utils::_reconfig_4g_mutex);
        if (!g_reconfig_4g)
            return;
        g_reconfig_4g = 0;
    }
    // The modem reads the set-up files again when it is told.
    uint8_t notice[message_deal_4g::kNoticeMax];
    static_cast<Tz_uart_inout_4G&>(link).send(notice, message_deal_4g::setup_changed_notice(notice));
}
