#pragma once
// PC serial link (RS-485, port 2) and the 4G modem link (port 1). Both carry
// PC-control frames the same way; each has its own transport code and reply
// list for the receiving cards' answers, so an answer leaves through the
// port its request came in.

#include <cstdint>
#include <memory>

#include "platform/worker.h"
#include "remote/message_deal_cloud_4g.h"
#include "remote/pclink.h"
#include "remote/protocol_phy.h"
#include "remote/reply_records.h"

// The receive thread and frame road both serial links share.
class SerialPcLink {
public:
    int32_t uart_fd = -1; // the port handle (copied into each answer record)
    protocol_phy phy;

    static constexpr unsigned int kBaud4G = 115200;

protected:
    // A link's own commands: takes the frame `phy` has just collected and
    // returns true when it was the link's (answered or not), false to pass
    // it down the shared road.
    using GroupHandler = bool (*)(SerialPcLink& link);
    // Runs once per pass of the receive loop.
    using TurnHook = void (*)(SerialPcLink& link);

    // `transport`: the link's g_passby_trans_port code.
    SerialPcLink(int port, unsigned int baud, uint8_t transport);
    ~SerialPcLink();
    // `name` names the thread; `answers`: the link's own reply list.
    void start(platform::Worker::Body body, const char* name, ReplyListOf<SerialReplyRecord>* answers,
               GroupHandler group = nullptr, TurnHook turn = nullptr);
    // Derived destructors stop the thread before their members go.
    void stop();
    void run();
    void send(const uint8_t* data, int length);

private:
    struct Work;
    // Opens the port; a failure is reported once until it opens.
    int openPort();
    void handleFrame();
    void deliverAnswer();

    std::unique_ptr<Work> m_work;
    ReplyListOf<SerialReplyRecord>* m_list = nullptr;
    GroupHandler m_group = nullptr;
    TurnHook m_turn = nullptr;
    int m_port;
    unsigned int m_baud;
    bool m_openFailing = false;
    platform::Worker m_worker;
    pclink::Waker m_waker;
};

class Tz_uart_inout : public SerialPcLink {
public:
    static Tz_uart_inout* pInstance();
    static Tz_uart_inout* p_uart_inout;
    // Stops and joins the receive thread and closes the port.
    static void destroyForTest();

    static constexpr int kPort = 2;

    ReplyListOf<SerialReplyRecord> ReplyList; // under fpga_manage::rcv_mutex

private:
    Tz_uart_inout();
    ~Tz_uart_inout();
    static void* receive_thread(void* arg);
};

// The 4G modem also has a command group of its own (message_deal_4g),
// answered on the 4G port only, and is told when the PC changed the cloud
// set-up (the reconfigure request, taken under Utils::_reconfig_4g_mutex).
class Tz_uart_inout_4G : public SerialPcLink {
public:
    static Tz_uart_inout_4G* pInstance();
    static Tz_uart_inout_4G* p_uart_inout_4g;
    static void destroyForTest();

    static constexpr int kPort = 1;

    ReplyListOf<SerialReplyRecord> ReplyList; // under fpga_manage::rcv_mutex

private:
    Tz_uart_inout_4G();
    ~Tz_uart_inout_4G();
    static void* receive_thread_4G(void* arg);
    static bool deal_group(SerialPcLink& link);
    static void take_reconfigure(SerialPcLink& link);

    std::unique_ptr<pclink::Buffers> m_groupBuf;
    message_deal_4g m_group4g;
};
