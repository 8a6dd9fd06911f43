// The cloud client against a test server in this process. The tests turn the
// client's loop themselves and move the time base by hand.
#include "tests/support/sandbox.h"

#include <QMutexLocker>
#include <QSettings>
#include <cstring>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"
#include "remote/networkclient_manage.h"
#include "tests/remote/cloud_server.h"

namespace {

using ClientState = networkclient_Manage::State;

class CloudClient : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        std::memcpy(g_pid, "00112233445566778899aabbccddeeff", 32);
        ConfigEngine::pInstance();
        pointAt(server.port());
        ConfigEngine::p_config->write_config_variant(ConfigItem::Ryxaclouduserip, "user-7");
        ConfigEngine::p_config->write_config_variant(ConfigItem::Ryxacloudcontrollername, "hall A");
        client = networkclient_Manage::createForTest();
    }
    // The server listening on `port`: on a host the configured port is
    // moved by the port offset.
    void pointAt(uint16_t port, const QString& ip = "127.0.0.1")
    {
        ConfigEngine::p_config->write_config_variant(ConfigItem::Ryxacloudserverip, ip);
        ConfigEngine::p_config->write_config_variant(ConfigItem::Ryxacloudserverport,
                                                     QString::number(port - portOffset));
    }
    std::function<void()> turn()
    {
        return [this] { client->acceptTurn(5); };
    }
    // A session up to the acknowledged login.
    cloud::Frame connect()
    {
        cloud::Frame login = server.greet(2000, turn());
        client->acceptTurn(20);
        EXPECT_EQ(client->state(), ClientState::Connected);
        return login;
    }
    void advance(uint32_t ticks)
    {
        G_timeTicks += ticks;
        client->acceptTurn(5);
    }

    cloud::Server server;
    networkclient_Manage* client = nullptr;
};

QJsonObject barcodeCommand(const QString& barcode)
{
    return QJsonObject{{"name", "setProperty"}, {"barcode", barcode}};
}

} // namespace

TEST_F(CloudClient, LogsInAndAnswersTheServersCommands)
{
    G_timeTicks = 50;
    cloud::Frame login = connect();
    EXPECT_EQ(login.type, cloud::kCommand);
    QJsonObject o = login.object();
    EXPECT_EQ(o.value("userId").toString(), "user-7");
    EXPECT_EQ(o.value("controllerName").toString(), "hall A");
    EXPECT_EQ(o.value("barcode").toString(), " ");
    EXPECT_EQ(o.value("deviceId").toString(), "00112233445566778899aabbccddeeff");
    EXPECT_EQ(login.device, (cloud::Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB,
                                          0xCC, 0xDD, 0xEE, 0xFF}));
    EXPECT_EQ(client->backoff(), 0u);

    ASSERT_TRUE(server.send(cloud::frame(cloud::kCommand, 41, login.device, cloud::json(barcodeCommand("SN-0042")))));
    cloud::Frame ack;
    ASSERT_TRUE(server.receive(&ack, 2000, turn()));
    EXPECT_EQ(ack.type, cloud::kAck);
    EXPECT_EQ(ack.sequence, 41);
    EXPECT_EQ(ack.device, login.device);
    EXPECT_EQ(ack.object(), (QJsonObject{{"name", "setProperty"}, {"result", 0}, {"barcode", "SN-0042"}}));
    EXPECT_EQ(g_str_barcode, "SN-0042");
    QSettings ini(QString::fromStdString(path("/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/Barcode").toString(), "SN-0042");

    // A command for another controller is not carried out nor answered.
    cloud::Bytes other = login.device;
    other[0] ^= 0xFF;
    ASSERT_TRUE(server.send(cloud::frame(cloud::kCommand, 42, other, cloud::json(barcodeCommand("SN-9")))));
    EXPECT_TRUE(server.quiet(20, turn()));
    EXPECT_EQ(g_str_barcode, "SN-0042");
    EXPECT_EQ(client->state(), ClientState::Connected);
}

TEST_F(CloudClient, RetriesARefusingServerWithAGrowingPause)
{
    server.closeListener();
    G_timeTicks = 1000;
    client->acceptTurn(5);
    client->acceptTurn(5);
    EXPECT_EQ(client->attempts(), 1u);
    EXPECT_EQ(client->state(), ClientState::Waiting);

    uint32_t pause = networkclient_Manage::kBackoffFirst;
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(client->backoff(), pause);
        advance(pause - 1);
        EXPECT_EQ(client->attempts(), uint32_t(i + 1)) << "too early";
        advance(1);
        client->acceptTurn(5);
        EXPECT_EQ(client->attempts(), uint32_t(i + 2));
        pause = std::min(pause * 2, networkclient_Manage::kBackoffMax);
    }
    EXPECT_EQ(client->backoff(), networkclient_Manage::kBackoffMax);

    // Back again: the acknowledged login resets the pause, so the next
    // failure waits the first pause only.
    ASSERT_TRUE(server.reopen());
    G_timeTicks += networkclient_Manage::kBackoffMax;
    connect();
    EXPECT_EQ(client->backoff(), 0u);
    server.dropClient();
    client->acceptTurn(20);
    EXPECT_EQ(client->state(), ClientState::Waiting);
    EXPECT_EQ(client->backoff(), networkclient_Manage::kBackoffFirst);
}

TEST_F(CloudClient, DropsTheConnectionOnAnythingButAProperFrameAndComesBack)
{
    G_timeTicks = 10;
    const QByteArray command = cloud::json(barcodeCommand("SN-1"));
    const std::vector<std::pair<const char*, std::function<cloud::Bytes(const cloud::Bytes&)>>> cases = {
        {"garbage", [](const cloud::Bytes&) { return cloud::Bytes{'H', 'T', 'T', 'P', '/', '1', '.', '1'}; }},
        {"bad magic",
         [&](const cloud::Bytes& d) { return cloud::frame(cloud::kCommand, 1, d, command, cloud::Damage::Magic); }},
        {"wrong CRC",
         [&](const cloud::Bytes& d) { return cloud::frame(cloud::kCommand, 1, d, command, cloud::Damage::Crc); }},
        {"wrong XOR",
         [&](const cloud::Bytes& d) { return cloud::frame(cloud::kCommand, 1, d, command, cloud::Damage::Xor); }},
        {"huge length",
         [&](const cloud::Bytes& d) { return cloud::frame(cloud::kCommand, 1, d, command, cloud::Damage::None, 0xFFFFFFF0); }},
        {"just too long",
         [&](const cloud::Bytes& d) { return cloud::frame(cloud::kCommand, 1, d, QByteArray(16385, ' ')); }},
        {"closed", [](const cloud::Bytes&) { return cloud::Bytes{}; }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        cloud::Frame login = connect();
        cloud::Bytes bad = make(login.device);
        if (bad.empty())
            server.dropClient();
        else
            ASSERT_TRUE(server.send(bad));
        if (!bad.empty()) {
            EXPECT_TRUE(server.peerClosed(2000, turn()));
        } else {
            client->acceptTurn(20);
        }
        EXPECT_EQ(client->state(), ClientState::Waiting);
        EXPECT_EQ(client->backoff(), networkclient_Manage::kBackoffFirst);
        G_timeTicks += networkclient_Manage::kBackoffFirst;
    }
    // Nothing of it was carried out.
    EXPECT_EQ(ConfigEngine::p_config->read_config_variant(ConfigItem::Barcode).toString(), " ");
}

TEST_F(CloudClient, GivesUpOnAStalledServer)
{
    G_timeTicks = 100;
    cloud::Frame login = connect();
    // Half a frame, then nothing.
    cloud::Bytes f = cloud::frame(cloud::kCommand, 3, login.device, cloud::json(barcodeCommand("SN-2")));
    ASSERT_TRUE(server.send(cloud::Bytes(f.begin(), f.begin() + 30)));
    client->acceptTurn(20);
    advance(networkclient_Manage::kFrameLimit - 1);
    EXPECT_EQ(client->state(), ClientState::Connected);
    advance(1);
    EXPECT_EQ(client->state(), ClientState::Waiting);
    EXPECT_TRUE(server.peerClosed(500, turn()));

    // A server that says nothing at all is asked once, then dropped.
    G_timeTicks += networkclient_Manage::kBackoffFirst;
    login = connect();
    advance(networkclient_Manage::kHeartbeatAfter - 1);
    EXPECT_TRUE(server.quiet(3, turn()));
    advance(1);
    cloud::Frame beat;
    ASSERT_TRUE(server.receive(&beat, 1000, turn()));
    EXPECT_EQ(beat.name(), "heartbeat");
    EXPECT_EQ(beat.type, cloud::kCommand);
    advance(networkclient_Manage::kSilenceLimit - networkclient_Manage::kHeartbeatAfter - 1);
    EXPECT_EQ(client->state(), ClientState::Connected);
    EXPECT_TRUE(server.quiet(3, turn())) << "one heartbeat per silence";
    advance(1);
    EXPECT_EQ(client->state(), ClientState::Waiting);

    // An answer to the heartbeat keeps the connection.
    G_timeTicks += networkclient_Manage::kBackoffFirst;
    login = connect();
    advance(networkclient_Manage::kHeartbeatAfter);
    ASSERT_TRUE(server.receive(&beat, 1000, turn()));
    server.send(cloud::frame(cloud::kAck, beat.sequence, login.device, cloud::json({{"name", "heartbeat"}})));
    client->acceptTurn(20);
    advance(networkclient_Manage::kSilenceLimit - 10);
    EXPECT_EQ(client->state(), ClientState::Connected);
}

TEST_F(CloudClient, ReconfigureRequestMovesToTheNewServer)
{
    connect();
    cloud::Server second;
    pointAt(second.port());
    client->acceptTurn(5);
    EXPECT_EQ(client->state(), ClientState::Connected) << "settings alone do not move a working connection";
    {
        QMutexLocker lock(&Utils::_reconfig_device_ryxacloud_mutex);
        g_reconfig_device_ryxacloud = 1;
    }
    second.greet(2000, turn());
    EXPECT_EQ(g_reconfig_device_ryxacloud, 0);
    EXPECT_TRUE(server.peerClosed(500, turn()));
}

TEST_F(CloudClient, StaysOffWithoutAServerItMayUse)
{
    const std::pair<QString, QString> settings[] = {
        {" ", " "},                 // the defaults
        {"127.0.0.1", " "},         // no port
        {"127.0.0.1", "0"},         //
        {"127.0.0.1", "70000"},     //
        {"127.0.0.1", "80x"},       //
        {"cloud.example", "5000"},  // names are not looked up
        {"10.1.2.3", "5000"},       // a host reaches only itself
    };
    for (const auto& [ip, port] : settings) {
        SCOPED_TRACE(ip.toStdString() + ":" + port.toStdString());
        ConfigEngine::p_config->write_config_variant(ConfigItem::Ryxacloudserverip, ip);
        ConfigEngine::p_config->write_config_variant(ConfigItem::Ryxacloudserverport, port);
        client->acceptTurn(1);
        EXPECT_EQ(client->state(), ClientState::Off);
        EXPECT_EQ(client->attempts(), 0u);
    }
    // Set while running, the server is used without a restart.
    pointAt(server.port());
    connect();
}

TEST_F(CloudClient, OwnThreadConnectsAndStopsCleanly)
{
    networkclient_Manage::destroyForTest();
    networkclient_Manage::pInstance();
    cloud::Frame login;
    ASSERT_TRUE(server.accept(3000));
    ASSERT_TRUE(server.receive(&login, 3000));
    EXPECT_EQ(login.name(), "login");
    networkclient_Manage::destroyForTest();
    EXPECT_TRUE(server.peerClosed(1000));
}
