#pragma once
// TCP control port (g_port, default 5005) and port 10002. Each port has its
// own thread serving any number of clients; every client has its own frame
// collector, so a client that stops half-way disturbs nobody else.

#include <atomic>
#include <cstdint>
#include <memory>

#include "remote/protocol_phy.h"
#include "remote/reply_records.h"

class networkManage {
public:
    static networkManage* pInstance();
    static networkManage* p_networkManage;
    // Stops and joins both threads and closes every socket.
    static void destroyForTest();

    static constexpr uint16_t kSecondPort = 10002;

    // The client whose receiving-card frame is in flight (copied into each
    // answer record); written under fpga_manage::rcv_mutex.
    int32_t client_fd = -1;
    protocol_phy phy;
    ReplyListOf<TcpReplyRecord> ReplyList; // under fpga_manage::rcv_mutex

private:
    struct Server;
    networkManage();
    ~networkManage();
    static void* tcp_server_thread(void* arg);

    std::unique_ptr<Server> m_servers[2];
};
