#include "tests/support/sandbox.h"

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"
#include "platform/shell.h"

namespace {

const std::vector<std::string> kDefaultSequence = {
    "ifconfig eth0 &>/dev/null",
    "route del default wlan0",
    "ifconfig eth0 192.168.0.199 netmask 255.255.255.0 up",
    "route add -host 192.168.0.1 dev eth0",
    "route add default gw 192.168.0.1 metric 100",
    "ip route add default via 192.168.0.1 dev eth0",
    "route add -host 255.255.255.255 eth0",
    "route del 255.255.255.255 wlan1",
};

std::vector<std::string> shellLog() { return platform::simShell().log(); }

void failProbe() { platform::simShell().script("ifconfig eth0 &>/dev/null", 256); }

} // namespace

class NetworkSetup : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        cfg = ConfigEngine::pInstance();
        platform::simShell().clearLog();
    }
    ConfigEngine* cfg = nullptr;
};

TEST_F(NetworkSetup, StartUpAppliesTheDefaultAddress)
{
    ConfigEngine::destroyForTest();
    ConfigEngine::pInstance();
    std::vector<std::string> expected{"chattr +S /data/configs/tcpip.ini"};
    expected.insert(expected.end(), kDefaultSequence.begin(), kDefaultSequence.end());
    EXPECT_EQ(shellLog(), expected);
}

TEST_F(NetworkSetup, InitIPAddressReloadsAndAppliesInOrder)
{
    EXPECT_EQ(Utils::initIPAddress(), 0);
    EXPECT_EQ(shellLog(), kDefaultSequence);

    cfg->write_config_variant(ConfigItem::IPAddress, QStringLiteral("10.20.30.40"));
    cfg->write_config_variant(ConfigItem::GateWay, QStringLiteral("10.20.30.1"));
    cfg->write_config_variant(ConfigItem::SubNetMask, QStringLiteral("255.255.0.0"));
    platform::simShell().clearLog();
    EXPECT_EQ(Utils::initIPAddress(), 0);
    EXPECT_EQ(g_str_ip, "10.20.30.40");
    auto log = shellLog();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[2], "ifconfig eth0 10.20.30.40 netmask 255.255.0.0 up");
    EXPECT_EQ(log[5], "ip route add default via 10.20.30.1 dev eth0");
}

TEST_F(NetworkSetup, MissingEth0RunsOnlyTheProbeAndKeepsTheGlobals)
{
    failProbe();
    cfg->write_config_variant(ConfigItem::IPAddress, QStringLiteral("10.0.0.9"));
    EXPECT_EQ(Utils::initIPAddress(), 255);
    EXPECT_EQ(shellLog(), std::vector<std::string>{"ifconfig eth0 &>/dev/null"});
    EXPECT_EQ(g_str_ip, "192.168.0.199");

    platform::simShell().clearLog();
    EXPECT_EQ(Utils::init_resteth("10.0.0.9", "10.0.0.1", "255.0.0.0"), 255);
    EXPECT_EQ(shellLog(), std::vector<std::string>{"ifconfig eth0 &>/dev/null"});
}

TEST_F(NetworkSetup, InitRestethAppliesTheGivenAddressWithoutReload)
{
    EXPECT_EQ(Utils::init_resteth("10.0.0.9", "10.0.0.1", "255.0.0.0"), 0);
    const std::vector<std::string> expected{
        "ifconfig eth0 &>/dev/null",
        "route del default wlan0",
        "ifconfig eth0 10.0.0.9 netmask 255.0.0.0",
        "route add -host 10.0.0.1 dev eth0",
        "route add default gw 10.0.0.1 metric 100",
        "route add -host 255.255.255.255 eth0",
        "route del 255.255.255.255 wlan1",
    };
    EXPECT_EQ(shellLog(), expected);
    EXPECT_EQ(g_str_ip, "192.168.0.199");
}

TEST_F(NetworkSetup, OnlyDottedQuadAddressesReachTheShell)
{
    const char* const refused[] = {
        "1.2.3.4;reboot", "$(rm -rf /data)", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.-4",
        "1..2.3",         " 1.2.3.4",        "1.2.3.4 ", "1234.1.1.1", "a.b.c.d", "",
    };
    for (const char* bad : refused) {
        for (int which = 0; which < 3; ++which) {
            QString ip = "10.0.0.9", gw = "10.0.0.1", mask = "255.0.0.0";
            (which == 0 ? ip : which == 1 ? gw : mask) = QString::fromLatin1(bad);
            platform::simShell().clearLog();
            EXPECT_EQ(Utils::init_resteth(ip, gw, mask), 0) << bad;
            const std::vector<std::string> fixedOnly{
                "ifconfig eth0 &>/dev/null",
                "route del default wlan0",
                "route add -host 255.255.255.255 eth0",
                "route del 255.255.255.255 wlan1",
            };
            EXPECT_EQ(shellLog(), fixedOnly) << bad << " as part " << which;
        }
    }

    // Through the stored configuration the same holds.
    cfg->write_config_variant(ConfigItem::IPAddress, QStringLiteral("1.2.3.4 up; reboot #"));
    platform::simShell().clearLog();
    EXPECT_EQ(Utils::initIPAddress(), 0);
    EXPECT_EQ(shellLog().size(), 4u);
    EXPECT_EQ(g_str_ip, "1.2.3.4 up; reboot #");

    // The extremes are addresses.
    platform::simShell().clearLog();
    EXPECT_EQ(Utils::init_resteth("0.0.0.0", "255.255.255.255", "255.255.255.0"), 0);
    EXPECT_EQ(shellLog()[2], "ifconfig eth0 0.0.0.0 netmask 255.255.255.0");
}

TEST_F(NetworkSetup, CloudFlagAndNumberConversions)
{
    Utils::getIPAddress();
    EXPECT_EQ(g_Ryxa_cloud, 0);

    cfg->write_config_variant(ConfigItem::Ryxacloudserverip, QStringLiteral("cloud.example"));
    Utils::getIPAddress();
    EXPECT_EQ(g_Ryxa_cloud, 1);

    cfg->write_config_variant(ConfigItem::Ryxacloudserverip, QStringLiteral(" "));
    cfg->write_config_variant(ConfigItem::Ryxacloudserverport, QStringLiteral("8080"));
    Utils::getIPAddress();
    EXPECT_EQ(g_Ryxa_cloudserverport, 8080u);
    EXPECT_EQ(g_Ryxa_cloud, 1);

    // An empty text counts as set.
    cfg->write_config_variant(ConfigItem::Ryxacloudserverport, QStringLiteral(" "));
    cfg->write_config_variant(ConfigItem::Ryxaclouduserip, QString());
    Utils::getIPAddress();
    EXPECT_EQ(g_Ryxa_cloud, 1);

    cfg->write_config_variant(ConfigItem::TcpPort, QStringLiteral("port"));
    cfg->write_config_variant(ConfigItem::SourceCheck, 0x1F3);
    Utils::getIPAddress();
    EXPECT_EQ(g_port.load(), 0u);
    EXPECT_EQ(g_check_source.load(), 0xF3);
    EXPECT_TRUE(shellLog().empty()); // loading alone runs nothing
}
