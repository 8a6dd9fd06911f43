#include "tests/support/sandbox.h"

#include <QFile>
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

} // namespace

using ConfigStore = Sandbox;

TEST_F(ConfigStore, FirstStartWritesEveryKeyWithItsDefault)
{
    ASSERT_FALSE(exists("/data/configs/tcpip.ini"));
    ConfigEngine* cfg = ConfigEngine::pInstance();
    ASSERT_NE(cfg, nullptr);
    ASSERT_TRUE(exists("/data/configs/tcpip.ini"));

    const std::pair<const char*, QString> expected[] = {
        {"TcpPort", "5005"},
        {"UdpPort", "5008"},
        {"IPAddress", "192.168.0.199"},
        {"SubNetMask", "255.255.255.0"},
        {"GateWay", "192.168.0.1"},
        {"MAC", "FF:FF:FF:FF:FF:FF"},
        {"Barcode", " "},
        {"WifiIPAddress", "192.168.22.101"},
        {"EDIDCheck", "Once"},
        {"SourceCheck", "255"},
        {"Ryxacloudserverip", " "},
        {"Ryxacloudserverport", " "},
        {"Ryxaclouduserip", " "},
        {"Ryxacloudcontrollername", " "},
        {"VyxMaxPixel_UINT", "6553600"},
        {"usbupgradedir", "VYX-Q71"},
        {"VyxLCDLang", "65567"},
    };
    for (const auto& kv : expected)
        EXPECT_EQ(stored(kv.first).toString(), kv.second) << kv.first;
    EXPECT_EQ(stored("ImageLayoutPassword").toString().size(), 2);
    QSettings s(platform::sysPath(QStringLiteral("/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(s.childGroups(), QStringList{"config"});
    s.beginGroup("config");
    EXPECT_EQ(s.childKeys().size(), 18);

    EXPECT_EQ(cfg->read_config_variant(ConfigItem::TcpPort).toUInt(), 5005u);
    EXPECT_EQ(platform::simShell().log().front(), "chattr +S /data/configs/tcpip.ini");

    // The globals are loaded from the store.
    EXPECT_EQ(g_port.load(), 5005u);
    EXPECT_EQ(g_int_tcp_port.load(), 5005u);
    EXPECT_EQ(g_str_ip, "192.168.0.199");
    EXPECT_EQ(g_srt_mask, "255.255.255.0");
    EXPECT_EQ(g_str_gateway, "192.168.0.1");
    EXPECT_EQ(g_str_barcode, " ");
    EXPECT_EQ(g_check_edid, "Once");
    EXPECT_EQ(g_check_source.load(), 255);
    EXPECT_EQ(g_Ryxa_cloudserverport, 0u); // the blank text
    EXPECT_EQ(g_Ryxa_cloud, 0);
    EXPECT_EQ(g_vyx_max_pixel, 6553600);
    EXPECT_EQ(g_usb_grade_path, "VYX-Q71");
    EXPECT_EQ(g_lcd_lang_valid.load(), 65567u);
}

TEST_F(ConfigStore, EmptyStoredValueFallsBackToTheDefaultAndIsWrittenBack)
{
    writeFile("/data/configs/tcpip.ini", "[config]\nIPAddress=\nTcpPort=6000\nBarcode=AB12\n");
    ConfigEngine* cfg = ConfigEngine::pInstance();
    EXPECT_EQ(cfg->read_config_variant(ConfigItem::IPAddress).toString(), "192.168.0.199");
    EXPECT_EQ(stored("IPAddress").toString(), "192.168.0.199");
    EXPECT_EQ(stored("TcpPort").toString(), "6000");
    EXPECT_EQ(g_port.load(), 6000u);
    EXPECT_EQ(g_int_tcp_port.load(), 6000u);
    EXPECT_EQ(g_str_barcode, "AB12");
}

TEST_F(ConfigStore, WriteReachesTheFileAtOnceAndSurvivesARestart)
{
    ConfigEngine* cfg = ConfigEngine::pInstance();
    cfg->write_config_variant(ConfigItem::EDIDCheck, QStringLiteral("Never"));
    EXPECT_EQ(stored("EDIDCheck").toString(), "Never");
    EXPECT_EQ(cfg->read_config_variant(ConfigItem::EDIDCheck).toString(), "Never");
    cfg->write_config_variant(ConfigItem::TcpPort, 6001);
    cfg->write_config_variant(ConfigItem::IPAddress, QStringLiteral("10.0.0.7"));

    cfg = restart();
    EXPECT_EQ(cfg->read_config_variant(ConfigItem::EDIDCheck).toString(), "Never");
    EXPECT_EQ(g_check_edid, "Never");
    EXPECT_EQ(g_port.load(), 6001u);
    EXPECT_EQ(g_str_ip, "10.0.0.7");
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
    EXPECT_EQ(g_Ryxa_cloud, 1);
}

TEST_F(ConfigStore, KeyLookup)
{
    ConfigEngine* cfg = ConfigEngine::pInstance();
    EXPECT_EQ(ConfigEngine::strToItem("VyxLCDLang"), ConfigItem::VyxLCDLang);
    EXPECT_EQ(ConfigEngine::strToItem("config/GateWay"), ConfigItem::GateWay);
    EXPECT_EQ(ConfigEngine::strToItem("NoSuchKey"), ConfigItem::TcpPort);
    ASSERT_NE(cfg->getConfigItem("config/MAC"), nullptr);
    EXPECT_EQ(cfg->getConfigItem("config/MAC")->id(), ConfigItem::MAC);
    EXPECT_EQ(cfg->getConfigItem("MAC"), nullptr); // the full key is required
    EXPECT_EQ(cfg->getConfigItem("config/NoSuchKey"), nullptr);
}

TEST_F(ConfigStore, DeviceIdFromTheSocIdRegisters)
{
    writeFile(platform::kSimSocIdFile, "1234 5678 9abc\n");
    ConfigEngine::pInstance();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(g_pid), 32), "1597bca0886b31023001305032627494");

    // All nibbles at their maximum: the sums stay single hexadecimal digits.
    resetGlobalsForTest();
    writeFile(platform::kSimSocIdFile, "ffff ffff ffff\n");
    restart();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(g_pid), 32), "fffffff0fffff00ff000f0f0f0f0ffff");
}

TEST_F(ConfigStore, WithoutTheSocIdTheConfigurationStillLoadsAndApplies)
{
    writeFile("/data/configs/tcpip.ini", "[config]\nTcpPort=7000\nIPAddress=10.1.2.3\n");
    ASSERT_NE(ConfigEngine::pInstance(), nullptr);
    for (uint8_t b : g_pid)
        ASSERT_EQ(b, 0);
    EXPECT_EQ(g_port.load(), 7000u);
    auto log = platform::simShell().log();
    EXPECT_NE(std::find(log.begin(), log.end(), "ifconfig eth0 10.1.2.3 netmask 255.255.255.0 up"), log.end());
}

TEST_F(ConfigStore, LoaderState)
{
    const QByteArray ours = "[app-1]\napp_path=/data/app/vyxQ58N -platform linuxfb\n";
    writeFile("/data/configs/led_load_config.ini", ours);
    ConfigEngine::pInstance();
    EXPECT_EQ(g_update_status.load(), 1);

    writeFile("/data/configs/led_load_config.ini", "[app-1]\napp_path=/data/app/vyxQ58N\n");
    restart();
    EXPECT_EQ(g_update_status.load(), 0);

    writeFile("/data/configs/led_load_config.ini", "[app-2]\napp_path=/data/app/vyxQ58N -platform linuxfb\n");
    g_update_status = 1;
    restart();
    EXPECT_EQ(g_update_status.load(), 0);

    QFile::remove(QString::fromStdString(path("/data/configs/led_load_config.ini")));
    g_update_status = 1;
    restart();
    EXPECT_EQ(g_update_status.load(), 0);
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
    factoryage_log << "c";
    factoryage_log_num = 1;
    EXPECT_EQ(ConfigEngine::pInstance(), cfg);
    EXPECT_EQ(platform::simShell().log().size(), commands);
    EXPECT_EQ(factoryage_log_num, 1);
}
