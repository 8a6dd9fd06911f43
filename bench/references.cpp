// The references the application is measured against: a bare Qt window
// with a 10 ms timer (what any panel program costs), and a minimal TCP echo
// server (what a round trip over loopback costs).
#include "bench/bench.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace bench {

int bareWindowMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(320, 240);
    window.show();
    QTimer timer;
    unsigned long ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] {
        if (ticks++ == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    timer.start(10);
    return app.exec();
}

int echoServerMain()
{
    int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(server, 1) != 0
        || ::getsockname(server, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return 1;
    std::printf("ready %u\n", unsigned(ntohs(a.sin_port)));
    std::fflush(stdout);
    for (;;) {
        int client = ::accept(server, nullptr, nullptr);
        if (client < 0)
            continue;
        int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(client, buf, sizeof buf)) > 0)
            if (::write(client, buf, size_t(n)) != n)
                break;
        ::close(client);
    }
}

} // namespace bench
