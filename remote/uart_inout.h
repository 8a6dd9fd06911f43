#pragma once
// PC serial link (RS-485, port 2) and the 4G modem link (port 1). Both carry
// PC-control frames the same way; each has its own transport code and reply
// list for the receiving cards' answers, so an answer leaves through the
// port its request came in.

#include <cstdint>
#include <memory>

#include "platform/worker.h"
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
    // `transport`: the link's g_passby_trans_port code.
    SerialPcLink(int port, unsigned int baud, uint8_t transport);
    ~SerialPcLink();
    // `name` names the thread; `answers`: the link's own reply list.
    void start(platform::Worker::Body body, const char* name, ReplyListOf<SerialReplyRecord>* answers);
    // Derived destructors stop the thread before their members go.
    void stop();
    void run();

private:
    struct Work;
    // Opens the port; a failure is reported once until it opens.
    int openPort();
    void handleFrame();
    void deliverAnswer();
    void send(const uint8_t* data, int length);

    std::unique_ptr<Work> m_work;
    ReplyListOf<SerialReplyRecord>* m_list = nullptr;
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
};
