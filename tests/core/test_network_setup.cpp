#include "tests/support/sandbox.h"

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"
#include "platform/shell.h"

namespace {

using Log = std::vector<std::string>;

const Log kProbe{"ifconfig eth0 &>/dev/null"};

Log shellLog() { return platform::simShell().log(); }

} // namespace

class NetworkSetup : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        cfg = ConfigEngine::pInstance();
        startUp = shellLog();
        platform::simShell().clearLog();
    }
    ConfigEngine* cfg = nullptr;
    Log startUp;
};

TEST_F(NetworkSetup, StartUpAppliesTheStoredAddressInOrder)
{
    const Log expected{
        "chattr +S /data/configs/tcpip.ini",
        "ifconfig eth0 &>/dev/null",
        "route del default wlan0",
        "ifconfig eth0 192.168.0.199 netmask 255.255.255.0 up",
        "route add -host 192.168.0.1 dev eth0",
        "route add default gw 192.168.0.1 metric 100",
        "ip route add default via 192.168.0.1 dev eth0",
        "route add -host 255.255.255.255 eth0",
        "route del 255.255.255.255 wlan1",
    };
    EXPECT_EQ(startUp, expected);
}

TEST_F(NetworkSetup, MissingEth0RunsOnlyTheProbeAndKeepsTheGlobals)
{
    platform::simShell().script(kProbe[0], 256);
    cfg->write_config_variant(ConfigItem::IPAddress, QStringLiteral("10.0.0.9"));
    EXPECT_EQ(Utils::initIPAddress(), 255);
    EXPECT_EQ(shellLog(), kProbe);
    EXPECT_EQ(g_str_ip, "192.168.0.199");

    platform::simShell().clearLog();
    EXPECT_EQ(Utils::init_resteth("10.0.0.9", "10.0.0.1", "255.0.0.0"), 255);
    EXPECT_EQ(shellLog(), kProbe);
}

TEST_F(NetworkSetup, InitRestethAppliesTheGivenAddressWithoutReload)
{
    EXPECT_EQ(Utils::init_resteth("10.0.0.9", "10.0.0.1", "255.0.0.0"), 0);
    const Log expected{
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

// Address texts are pasted into shell commands: anything but a dotted quad
// composes no command (only the fixed ones run).
TEST_F(NetworkSetup, OnlyDottedQuadAddressesReachTheShell)
{
    const Log fixedOnly{
        "ifconfig eth0 &>/dev/null",
        "route del default wlan0",
        "route add -host 255.255.255.255 eth0",
        "route del 255.255.255.255 wlan1",
    };
    const char* const refused[] = {
        "1.2.3.4;reboot", "$(rm -rf /data)", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.-4",
        "1..2.3",         " 1.2.3.4",        "1.2.3.4 ", "1234.1.1.1", "a.b.c.d", "",
    };
    for (const char* bad : refused) {
        for (int which = 0; which < 3; ++which) {
            QString parts[] = {"10.0.0.9", "10.0.0.1", "255.0.0.0"};
            parts[which] = QString::fromLatin1(bad);
            platform::simShell().clearLog();
            EXPECT_EQ(Utils::init_resteth(parts[0], parts[1], parts[2]), 0) << bad;
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

TEST_F(NetworkSetup, CloudFlagFollowsTheCloudFields)
{
    Utils::getIPAddress();
    EXPECT_EQ(g_Ryxa_cloud, 0);
    // Any one cloud field off its blank default turns the cloud on, an empty text too.
    const std::pair<ConfigItem::ConfigName, QString> setters[] = {
        {ConfigItem::Ryxacloudserverip, "cloud.example"}, {ConfigItem::Ryxacloudserverport, "8080"},
        {ConfigItem::Ryxaclouduserip, ""}, {ConfigItem::Ryxacloudcontrollername, "ctl"}};
    for (const auto& set : setters) {
        cfg->write_config_variant(set.first, set.second);
        Utils::getIPAddress();
        EXPECT_EQ(g_Ryxa_cloud, 1) << set.first;
        cfg->write_config_variant(set.first, QStringLiteral(" "));
    }
    EXPECT_TRUE(shellLog().empty()); // loading alone runs nothing
}
