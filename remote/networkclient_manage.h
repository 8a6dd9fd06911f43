#pragma once
// The cloud client: one thread (acceptThread) keeps a TCP connection to the
// cloud server of the configuration (keys Ryxacloudserverip and
// Ryxacloudserverport), logs in, answers the server's JSON commands and
// keeps the link alive. Anything wrong with the server (refused, closed,
// silent, garbage, a bad check, an absurd length) drops the connection, and
// the next attempt waits 1 s, then twice as long each time up to 60 s. The
// thread shares nothing with the other links but the configuration store,
// so a broken server never holds up the PC or the panel.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "remote/protocol_phy_cloud_4g.h"

class networkclient_Manage {
public:
    // Creates the client and starts acceptThread.
    static networkclient_Manage* pInstance();
    static networkclient_Manage* p_networkclient_Manage;
    // Stops and joins the thread and closes the connection.
    static void destroyForTest();
    // Tests: the client without its thread; they turn the loop themselves
    // (acceptTurn) and drive G_timeTicks.
    static networkclient_Manage* createForTest();

    // Limits in ticks of 10 ms.
    static constexpr uint32_t kBackoffFirst = 100;
    static constexpr uint32_t kBackoffMax = 6000;
    static constexpr uint32_t kConnectLimit = 500;   // for the server to accept
    static constexpr uint32_t kFrameLimit = 500;     // for a started frame to be finished
    static constexpr uint32_t kHeartbeatAfter = 3000; // of silence from the server
    static constexpr uint32_t kSilenceLimit = 9000;   // then the server counts as gone
    // Unsent bytes at which a server that does not read counts as gone.
    static constexpr size_t kMaxUnsent = 65536;

    enum class State {
        Off,        // no usable server in the configuration
        Waiting,    // for the next attempt
        Connecting,
        Connected,
    };

    // One pass of the loop: takes a reconfigure request, then connects,
    // reads, answers or waits, for at most `waitMs`.
    void acceptTurn(int waitMs);

    State state() const { return m_state.load(); }
    // Ticks the next attempt waits after a failure; 0 after a login the
    // server acknowledged.
    uint32_t backoff() const { return m_backoff; }
    // Connection attempts so far.
    uint32_t attempts() const { return m_attempts; }

    static void* acceptThread(void* arg);

private:
    struct Thread;
    explicit networkclient_Manage(bool startThread);
    ~networkclient_Manage();

    bool takeReconfigure();
    void waitFor(int fd, short events, int waitMs, short* revents);
    void startConnect();
    void onConnected();
    void serve(int waitMs);
    bool receive();
    void handleFrame();
    void queue(std::vector<uint8_t> frame);
    bool flush();
    void sendHeartbeat();
    void fail(const char* why);
    void closeSocket();

    std::unique_ptr<Thread> m_thread;
    std::atomic<State> m_state{State::Off};
    int m_fd = -1;
    uint32_t m_backoff = 0;
    uint32_t m_failStamp = 0;
    uint32_t m_stateStamp = 0;  // start of the attempt
    uint32_t m_rxStamp = 0;     // last byte from the server
    uint32_t m_frameStamp = 0;  // first byte of the unfinished frame
    uint32_t m_attempts = 0;
    bool m_heartbeatSent = false;
    bool m_loggedIn = false;
    uint8_t m_sequence = 0;
    uint8_t m_loginSequence = 0;
    protocol_phy_cloud_4g m_decoder;
    std::vector<uint8_t> m_unsent;
    std::vector<uint8_t> m_chunk;
};
