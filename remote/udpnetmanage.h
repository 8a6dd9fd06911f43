#pragma once
// UDP ports 5008 (replies broadcast on the device) and 10005 (replies to the
// sender), one thread each. Every datagram is read as whole frames.
#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>

#include "remote/protocol_phy.h"
#include "remote/reply_records.h"

class udpnetManage : public QObject {
    Q_OBJECT
public:
    static udpnetManage* pInstance();
    static udpnetManage* p_udpnetManage;
    // Stops and joins both threads and closes their sockets.
    static void destroyForTest();

    static constexpr uint16_t kBroadcastPort = 5008;
    static constexpr uint16_t kSenderPort = 10005;

    // The sender (a sockaddr_in) of the receiving-card frame in flight;
    // copied into each answer record; written under fpga_manage::rcv_mutex.
    uint8_t sender[16] = {};
    protocol_phy phy;
    ReplyListOf<UdpReplyRecord> ReplyList; // under fpga_manage::rcv_mutex

private:
    struct Server;
    udpnetManage();
    ~udpnetManage() override;
    static void* udp_server_thread(void* arg);

    std::unique_ptr<Server> m_servers[2];
};
