#include "tests/support/sandbox.h"

#include <QSettings>
#include <algorithm>
#include <thread>

#include "core/config_engine.h"
#include "core/globals.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "platform/socid.h"

namespace {

QVariant stored(const char* key)
{
    QSettings s(platform::sysPath(QStringLiteral("/data/configs/tcpip.ini")), QSettings::IniFormat);
    return s.value(QStringLiteral("config/") + key);
}

ConfigEngine* restart()
{
    ConfigEngine::destroyForTest();
    return ConfigEngine::pInstance();
}

QByteArray pid() { return QByteArray(reinterpret_cast<const char*>(g_pid), 32); }

} // namespace

using ConfigStore = Sandbox;

TEST_F(ConfigStore, FirstStartWritesEveryKeyWithItsDefault)
{
    ConfigEngine::pInstance();

    const std::pair<const char*, QString> expected[] = {
        {"TcpPort", "5005"}, {"UdpPort", "5008"}, {"IPAddress", "192.168.0.199"},
        {"SubNetMask", "255.255.255.0"}, {"GateWay", "192.168.0.1"}, {"MAC", "FF:FF:FF:FF:FF:FF"},
        {"Barcode", " "}, {"WifiIPAddress", "192.168.22.101"}, {"EDIDCheck", "Once"},
        {"SourceCheck", "255"}, {"Ryxacloudserverip", " "}, {"Ryxacloudserverport", " "},
        {"Ryxaclouduserip", " "}, {"Ryxacloudcontrollername", " "}, {"VyxMaxPixel_UINT", "6553600"},
        {"usbupgradedir", "VYX-Q71"}, {"VyxLCDLang", "65567"},
    };
    for (const auto& kv : expected)
        EXPECT_EQ(stored(kv.first).toString(), kv.second) << kv.first;
    EXPECT_EQ(stored("ImageLayoutPassword").toString().size(), 2);
    QSettings s(platform::sysPath(QStringLiteral("/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(s.allKeys().size(), 18);

    // The globals are loaded from the store.
    EXPECT_EQ(g_check_edid, "Once");
    EXPECT_EQ(g_lcd_lang_valid.load(), 65567u);
}

TEST_F(ConfigStore, EmptyValuesAreRestoredAndWritesSurviveARestart)
{
    writeFile("/data/configs/tcpip.ini", "[config]\nIPAddress=\nTcpPort=6000\n");
    ConfigEngine* cfg = ConfigEngine::pInstance();
    EXPECT_EQ(stored("IPAddress").toString(), "192.168.0.199");

    cfg->write_config_variant(ConfigItem::EDIDCheck, QStringLiteral("Never"));
    EXPECT_EQ(stored("EDIDCheck").toString(), "Never"); // on disk at once
    cfg->write_config_variant(ConfigItem::IPAddress, QStringLiteral("10.0.0.7"));
    cfg = restart();
    EXPECT_EQ(cfg->read_config_variant(ConfigItem::EDIDCheck).toString(), "Never");
    EXPECT_EQ(g_str_ip, "10.0.0.7");
    EXPECT_EQ(g_port.load(), 6000u);
}

TEST_F(ConfigStore, ConcurrentWritersLoseNothing)
{
    ConfigEngine* cfg = ConfigEngine::pInstance();
    auto writer = [cfg](ConfigItem::ConfigName id, const QString& prefix) {
        for (int i = 0; i < 40; ++i) {
            cfg->write_config_variant(id, prefix + QString::number(i));
            cfg->read_config_variant(ConfigItem::IPAddress);
        }
    };
    std::thread a(writer, ConfigItem::Barcode, QStringLiteral("bar"));
    std::thread b(writer, ConfigItem::Ryxacloudcontrollername, QStringLiteral("ctl"));
    writer(ConfigItem::Ryxacloudserverip, QStringLiteral("srv"));
    a.join();
    b.join();
    cfg = restart();
    EXPECT_EQ(cfg->read_config_variant(ConfigItem::Barcode).toString(), "bar39");
    EXPECT_EQ(cfg->read_config_variant(ConfigItem::Ryxacloudcontrollername).toString(), "ctl39");
    EXPECT_EQ(cfg->read_config_variant(ConfigItem::Ryxacloudserverip).toString(), "srv39");
}

TEST_F(ConfigStore, DeviceIdFromTheSocIdRegisters)
{
    // Without the registers the id stays zero, yet the stored address is still applied.
    writeFile("/data/configs/tcpip.ini", "[config]\nIPAddress=10.1.2.3\n");
    ConfigEngine::pInstance();
    EXPECT_EQ(pid(), QByteArray(32, '\0'));
    auto log = platform::simShell().log();
    EXPECT_NE(std::find(log.begin(), log.end(), "ifconfig eth0 10.1.2.3 netmask 255.255.255.0 up"), log.end());

    const std::pair<QByteArray, QByteArray> cases[] = {
        {"1234 5678 9abc\n", "1597bca0886b31023001305032627494"},
        // All nibbles at their maximum: the sums stay single hexadecimal digits.
        {"ffff ffff ffff\n", "fffffff0fffff00ff000f0f0f0f0ffff"},
    };
    for (const auto& c : cases) {
        resetGlobalsForTest();
        writeFile(platform::kSimSocIdFile, c.first);
        restart();
        EXPECT_EQ(pid(), c.second) << c.first.constData();
    }
}

TEST_F(ConfigStore, LoaderState)
{
    const std::pair<const char*, int> cases[] = {
        {nullptr, 0}, // no loader configuration
        {"[app-1]\napp_path=/data/app/vyxQ58N -platform linuxfb\n", 1},
        {"[app-1]\napp_path=/data/app/vyxQ58N\n", 0},
        {"[app-2]\napp_path=/data/app/vyxQ58N -platform linuxfb\n", 0},
    };
    for (const auto& c : cases) {
        if (c.first)
            writeFile("/data/configs/led_load_config.ini", c.first);
        g_update_status = 1 - c.second;
        restart();
        EXPECT_EQ(g_update_status.load(), c.second) << (c.first ? c.first : "(none)");
    }
}

TEST_F(ConfigStore, StartUpWorkRunsOnceAndClearsTheAgeingLog)
{
    factoryage_log << "a" << "b";
    factoryage_log_num = 2;
    ConfigEngine* cfg = ConfigEngine::pInstance();
    EXPECT_TRUE(factoryage_log.isEmpty());
    EXPECT_EQ(factoryage_log_num, 0);

    // Later uses of the store neither re-apply the address nor clear the log.
    size_t commands = platform::simShell().log().size();
    factoryage_log_num = 1;
    EXPECT_EQ(ConfigEngine::pInstance(), cfg);
    EXPECT_EQ(platform::simShell().log().size(), commands);
    EXPECT_EQ(factoryage_log_num, 1);
}
