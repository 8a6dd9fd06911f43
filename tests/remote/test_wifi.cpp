// The WiFi manager: AT commands over UDP, the tools' files and the shell
// commands, with the loop turned by the tests and the time base moved by
// hand.
#include "tests/support/sandbox.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSettings>
#include <cstring>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/vyxrampara.h"
#include "platform/shell.h"
#include "remote/q58_wifi_config.h"

namespace {

using ShellLines = std::vector<std::string>;

const ShellLines kApStart = {"ifconfig wlan1 192.168.22.101 netmask 255.255.255.0 up",
                      "/usr/bin/hostapd -B /etc/rtl_hostapd_2G.conf", "/usr/sbin/udhcpd /etc/udhcpd.conf"};
const ShellLines kApStop = {"kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`",
                     "kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`"};

ShellLines operator+(ShellLines a, const ShellLines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Wifi : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        std::memcpy(g_pid, "0123abcd0123abcd0123abcd0123abcd", 32);
        ConfigEngine::pInstance();
        VyxRamPara::pInstance();
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(pcPort(Q58_WIFI_CONFIG::kPort));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    void TearDown() override
    {
        ::close(m_fd);
        Sandbox::TearDown();
    }
    Q58_WIFI_CONFIG* start(bool firstPass = true)
    {
        Q58_WIFI_CONFIG* wifi = Q58_WIFI_CONFIG::createForTest();
        if (firstPass)
            wifi->wifiTurn(0);
        platform::simShell().clearLog();
        return wifi;
    }
    void setWifiOff(uint8_t off) { VyxRamPara::p_vyxrampara_config->ram_para[ram::kWifiOff] = off; }

    // One datagram to port 13769 and the reply, with the manager's loop
    // turned in between.
    std::string at(const std::string& command)
    {
        if (::send(m_fd, command.data(), command.size(), 0) != ssize_t(command.size()))
            return "<not sent>";
        Q58_WIFI_CONFIG::p_wifi->wifiTurn(1000);
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) != 1)
            return "<no reply>";
        char buf[1024];
        ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        return n < 0 ? "<error>" : std::string(buf, size_t(n));
    }
    ShellLines shell() const { return platform::simShell().log(); }
    std::string file(const char* path) const { return readFile(path).toStdString(); }

    int m_fd = -1;
};

} // namespace

TEST_F(Wifi, AnswersEveryCommandOverUdp)
{
    start();
    EXPECT_EQ(at("AT+GETVER"), "OK+GETVER=1.17.0.0\r\n");
    // The defaults: named after the controller's id.
    EXPECT_EQ(at("AT+CHECKDATA\r\n"), "OK+CHECKDATA=VYX-0123ABCD,12345678,192.168.22.101,\r\n");
    EXPECT_EQ(at("AT+SETDATA=1,Hall B,secret-pass\r"), "OK\r\n");
    EXPECT_EQ(at("AT+SETDATA=2,10.20.30.1\n"), "OK\r\n");
    EXPECT_EQ(at("AT+SETDATA=3,Office,office-pass"), "OK\r\n");
    EXPECT_EQ(at("AT+CHECKDATA"), "OK+CHECKDATA=Hall B,secret-pass,10.20.30.1,Office\r\n");
    EXPECT_EQ(at("AT+RST"), "OK\r\n");
    EXPECT_EQ(at("AT+RESTORE"), "OK\r\n");
    EXPECT_EQ(at("AT+CHECKDATA"), "OK+CHECKDATA=VYX-0123ABCD,12345678,192.168.22.101,\r\n");

    for (const char* wrong : {"AT", "AT+CHECKDATA=1", "at+getver", "AT+SETDATA=1", "AT+SETDATA=4,x,yyyyyyyy",
                              "AT+SETDATA=1,a,b,c", "AT+SETDATA=2", "AT+RST ", " AT+RST", "AT+GETVER\r\nAT+RST",
                              "AT+SETDATA=1,a\tb,12345678", ""}) {
        SCOPED_TRACE(wrong);
        EXPECT_EQ(at(wrong), "ERR\r\n");
    }
    EXPECT_EQ(at(std::string(300, 'A')), "ERR\r\n");
    EXPECT_EQ(Q58_WIFI_CONFIG::p_wifi->resetRequest(), 1);
}

TEST_F(Wifi, WritesWhatWasSetIntoTheToolsFiles)
{
    Q58_WIFI_CONFIG* wifi = start();
    EXPECT_EQ(wifi->wifi_AT_cmd_manage("AT+SETDATA=1,Hall B,secret-pass"), "OK\r\n");
    EXPECT_EQ(wifi->wifi_AT_cmd_manage("AT+SETDATA=2,192.168.7.160"), "OK\r\n");
    EXPECT_EQ(wifi->wifi_AT_cmd_manage("AT+SETDATA=3,Office 2,office-pass"), "OK\r\n");
    EXPECT_EQ(file("/etc/rtl_hostapd_2G.conf"), "interface=wlan1\n"
                                                "driver=rtl871xdrv\n"
                                                "ssid=Hall B\n"
                                                "hw_mode=g\n"
                                                "channel=6\n"
                                                "ieee80211n=1\n"
                                                "auth_algs=1\n"
                                                "wpa=2\n"
                                                "wpa_key_mgmt=WPA-PSK\n"
                                                "rsn_pairwise=CCMP\n"
                                                "wpa_passphrase=secret-pass\n");
    // The pool keeps clear of the access point's own address.
    EXPECT_EQ(file("/etc/udhcpd.conf"), "start 192.168.7.50\n"
                                        "end 192.168.7.99\n"
                                        "interface wlan1\n"
                                        "opt subnet 255.255.255.0\n"
                                        "opt router 192.168.7.160\n");
    EXPECT_EQ(file("/etc/wpa_supplicant.conf"), "ctrl_interface=/var/run/wpa_supplicant\n"
                                                "network={\n\tssid=\"Office 2\"\n\tpsk=\"office-pass\"\n}\n");
    QSettings ini(QString::fromStdString(path("/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/WifiIPAddress").toString(), "192.168.7.160");
    // Nothing is started by a setting itself; the restart comes later.
    EXPECT_TRUE(shell().empty());

    // A new manager (the next start) reads the settings back.
    Q58_WIFI_CONFIG::destroyForTest();
    wifi = start(false);
    EXPECT_EQ(wifi->wifi_AT_cmd_manage("AT+CHECKDATA"), "OK+CHECKDATA=Hall B,secret-pass,192.168.7.160,Office 2\r\n");

    // Leaving the network empties its part.
    EXPECT_EQ(wifi->wifi_AT_cmd_manage("AT+SETDATA=3,,"), "OK\r\n");
    EXPECT_EQ(file("/etc/wpa_supplicant.conf"), "ctrl_interface=/var/run/wpa_supplicant\n");
}

TEST_F(Wifi, RefusesValuesThatCouldReachTheToolsOrTheShell)
{
    Q58_WIFI_CONFIG* wifi = start();
    const std::string before = file("/etc/rtl_hostapd_2G.conf") + file("/etc/udhcpd.conf")
                               + file("/etc/wpa_supplicant.conf");
    const char* refused[] = {
        "AT+SETDATA=1,,12345678",                               // no name
        "AT+SETDATA=1,123456789012345678901234567890123,12345678", // 33 characters
        "AT+SETDATA=1,say \"hi\",12345678",                     // quote
        "AT+SETDATA=1,back\\slash,12345678",
        "AT+SETDATA=1,Hall\nwpa=0,12345678",                    // a second line
        "AT+SETDATA=1,Hall,1234567",                            // passphrase too short
        "AT+SETDATA=1,Hall,1234567890123456789012345678901234567890123456789012345678901234", // 64
        "AT+SETDATA=1,Hall,caf\xc3\xa9-caf\xc3\xa9",            // not ASCII
        "AT+SETDATA=2,192.168.1.0",                             // network, not host
        "AT+SETDATA=2,192.168.1.255",
        "AT+SETDATA=2,256.1.1.1",
        "AT+SETDATA=2,1.2.3",
        "AT+SETDATA=2,192.168.001.5",
        "AT+SETDATA=2,127.0.0.5",
        "AT+SETDATA=2,0.1.2.3",
        "AT+SETDATA=2,224.0.0.1",
        "AT+SETDATA=2,1.2.3.4;reboot",
        "AT+SETDATA=2,$(reboot)",
        "AT+SETDATA=3,Office,",                                 // a network without passphrase
        "AT+SETDATA=3,,office-pass",
    };
    for (const char* command : refused) {
        SCOPED_TRACE(command);
        EXPECT_EQ(wifi->wifi_AT_cmd_manage(command), "ERR\r\n");
    }
    EXPECT_EQ(file("/etc/rtl_hostapd_2G.conf") + file("/etc/udhcpd.conf") + file("/etc/wpa_supplicant.conf"),
              before);
    EXPECT_TRUE(shell().empty());
    EXPECT_EQ(wifi->resetRequest(), 0);
}

TEST_F(Wifi, StartsTheAccessPointOnItsFirstPassUnlessSwitchedOff)
{
    Q58_WIFI_CONFIG* wifi = Q58_WIFI_CONFIG::createForTest();
    platform::simShell().clearLog();
    wifi->wifiTurn(0);
    EXPECT_EQ(shell(), kApStart);
    EXPECT_TRUE(wifi->accessPointUp());
    EXPECT_TRUE(exists("/etc/rtl_hostapd_2G.conf") && exists("/etc/udhcpd.conf") && exists("/etc/wpa_supplicant.conf"));
    wifi->wifiTurn(0);
    EXPECT_EQ(shell().size(), kApStart.size()) << "once only";

    // With a network to join, the station comes up as well.
    wifi->wifi_AT_cmd_manage("AT+SETDATA=3,Office,office-pass");
    Q58_WIFI_CONFIG::destroyForTest();
    platform::simShell().clearLog();
    Q58_WIFI_CONFIG::createForTest()->wifiTurn(0);
    EXPECT_EQ(shell(), (kApStart + ShellLines{"/usr/sbin/wpa_supplicant -B -i wlan0 -c /etc/wpa_supplicant.conf",
                                       "udhcpc -b -i wlan0"}));

    Q58_WIFI_CONFIG::destroyForTest();
    platform::simShell().clearLog();
    setWifiOff(1);
    wifi = Q58_WIFI_CONFIG::createForTest();
    wifi->wifiTurn(0);
    EXPECT_TRUE(shell().empty());
    EXPECT_FALSE(wifi->accessPointUp());
}

TEST_F(Wifi, ResetPassRestartsTheAccessPointThreeSecondsLater)
{
    Q58_WIFI_CONFIG* wifi = start();
    G_timeTicks = 1000;
    wifi->set_wifi_reset_flag();
    G_timeTicks = 1299;
    wifi->wifiTurn(0);
    EXPECT_TRUE(shell().empty());
    G_timeTicks = 1300;
    wifi->wifiTurn(0);
    EXPECT_EQ(shell(), kApStop);
    EXPECT_EQ(wifi->resetRequest(), 2);
    EXPECT_FALSE(wifi->accessPointUp());
    wifi->wifiTurn(0);
    EXPECT_EQ(shell(), kApStop + kApStart);
    EXPECT_EQ(wifi->resetRequest(), 0);
    EXPECT_TRUE(wifi->accessPointUp());

    // An address set meanwhile is the one brought up.
    platform::simShell().clearLog();
    wifi->wifi_AT_cmd_manage("AT+SETDATA=2,10.0.5.1");
    G_timeTicks += 300;
    wifi->wifiTurn(0);
    wifi->wifiTurn(0);
    EXPECT_EQ(shell(), (kApStop + ShellLines{"ifconfig wlan1 10.0.5.1 netmask 255.255.255.0 up", kApStart[1], kApStart[2]}));
}

TEST_F(Wifi, ResetPassWhileSwitchedOffOnlyStops)
{
    Q58_WIFI_CONFIG* wifi = start();
    setWifiOff(1);
    G_timeTicks = 500;
    wifi->set_wifi_reset_flag();
    G_timeTicks = 800;
    wifi->wifiTurn(0);
    wifi->wifiTurn(0);
    G_timeTicks = 2000;
    wifi->wifiTurn(0);
    EXPECT_EQ(shell(), kApStop);
    EXPECT_EQ(wifi->resetRequest(), 0);

    // Switched on again from the settings screen.
    platform::simShell().clearLog();
    setWifiOff(0);
    wifi->set_wifi_reset_flag();
    G_timeTicks += 300;
    wifi->wifiTurn(0);
    wifi->wifiTurn(0);
    EXPECT_EQ(shell(), kApStart) << "nothing left to stop";
}

TEST_F(Wifi, ChangingTheNetworkStopsTheStationFirst)
{
    Q58_WIFI_CONFIG* wifi = Q58_WIFI_CONFIG::createForTest();
    wifi->wifi_AT_cmd_manage("AT+SETDATA=3,Office,office-pass");
    wifi->wifiTurn(0);
    platform::simShell().clearLog();
    EXPECT_EQ(wifi->wifi_AT_cmd_manage("AT+SETDATA=3,Lab,lab-passphrase"), "OK\r\n");
    EXPECT_EQ(shell(), (ShellLines{"kill -9 `pidof /usr/sbin/wpa_supplicant`", "kill -9 `pidof udhcpc`"}));
}

TEST_F(Wifi, StoredValuesThatAreNotValidFallBackToTheDefaults)
{
    writeFile("/etc/rtl_hostapd_2G.conf", "ssid=ok\nwpa_passphrase=short\n");
    writeFile("/etc/wpa_supplicant.conf", "network={\n ssid=\"a\"b\"\n psk=\"12345678\"\n}\n");
    ConfigEngine::p_config->write_config_variant(ConfigItem::WifiIPAddress, "192.168.22.300");
    Q58_WIFI_CONFIG* wifi = start(false);
    EXPECT_EQ(wifi->wifi_AT_cmd_manage("AT+CHECKDATA"), "OK+CHECKDATA=VYX-0123ABCD,12345678,192.168.22.101,\r\n");
}
