// The cloud frame decoder, and a seeded storm of damaged frames through the
// decoder, the JSON commands, the 4G group and the AT parser.
#include "tests/support/sandbox.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>
#include <random>

#include "core/config_engine.h"
#include "core/globals.h"
#include "remote/message_deal_cloud_4g.h"
#include "remote/protocol_phy.h"
#include "remote/protocol_phy_cloud_4g.h"
#include "remote/q58_wifi_config.h"
#include "tests/remote/cloud_server.h"

namespace {

using CloudResult = protocol_phy_cloud_4g::Result;
const cloud::Bytes kStormDevice = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// Feeds `bytes` in pieces of `piece`; the results other than NeedMore, and
// the payloads of the frames.
std::vector<CloudResult> feedCloudBytes(protocol_phy_cloud_4g& d, const cloud::Bytes& bytes, size_t piece,
                         std::vector<QByteArray>* payloads = nullptr)
{
    std::vector<CloudResult> out;
    for (size_t at = 0; at < bytes.size();) {
        size_t n = std::min(piece, bytes.size() - at), used = 0;
        CloudResult r = d.data_from_cloud_4g(bytes.data() + at, n, &used);
        EXPECT_LE(used, n);
        at += used;
        if (r == CloudResult::NeedMore) {
            EXPECT_EQ(used, n);
            continue;
        }
        out.push_back(r);
        if (r != CloudResult::Frame)
            continue;
        // A frame is only ever reported with its checks passed.
        const std::vector<uint8_t>& p = d.payload();
        EXPECT_EQ(p.size(), d.header().length);
        EXPECT_LE(p.size(), protocol_phy_cloud_4g::kMaxPayload);
        EXPECT_EQ(Utils::calcCRC16(p.data(), unsigned(p.size())), d.header().crc);
        if (payloads)
            payloads->push_back(QByteArray(reinterpret_cast<const char*>(p.data()), int(p.size())));
    }
    return out;
}

} // namespace

TEST(CloudFrame, EncodesTheDocumentedLayout)
{
    // The example of docs/cloud-4g-wifi.md, for a controller without id.
    std::memset(g_pid, 0, 32);
    const QByteArray command = R"({"barcode":"SN-1","name":"setProperty"})";
    const QByteArray answer = R"({"barcode":"SN-1","name":"setProperty","result":0})";
    cloud::Bytes head{0x55, 0xAA, 0x01, 0x07};
    head.resize(20, 0);
    head.insert(head.end(), {0x00, 0x00, 0x00, 0x27, 0x3A, 0x64, 0x80});
    head.insert(head.end(), command.begin(), command.end());
    EXPECT_EQ(message_deal_cloud_4g::msg_to_cloud(7, command), head);
    cloud::Bytes ack{0x55, 0xAA, 0x02, 0x07};
    ack.resize(20, 0);
    ack.insert(ack.end(), {0x00, 0x00, 0x00, 0x32, 0xE3, 0x46, 0x6D});
    ack.insert(ack.end(), answer.begin(), answer.end());
    EXPECT_EQ(message_deal_cloud_4g::Cloud_MSG_ACK(7, answer), ack);
    EXPECT_EQ(protocol_phy_cloud_4g::encode(2, 0x81, kStormDevice.data(), answer), cloud::frame(2, 0x81, kStormDevice, answer));

    // The id of this controller from its 32 hexadecimal digits.
    std::memcpy(g_pid, "00112233445566778899aabbccddeeff", 32);
    uint8_t id[16];
    protocol_phy_cloud_4g::deviceId(id);
    EXPECT_EQ(cloud::Bytes(id, id + 16),
              (cloud::Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}));
    std::memcpy(g_pid, "0011223344556677889x", 20);
    protocol_phy_cloud_4g::deviceId(id);
    EXPECT_EQ(id[9], 0) << "not a hexadecimal digit";
}

TEST(CloudFrame, DecodesFramesHoweverTheyArrive)
{
    cloud::Bytes two = cloud::frame(1, 1, kStormDevice, R"({"name":"a"})");
    cloud::Bytes empty = cloud::frame(2, 2, kStormDevice, QByteArray());
    cloud::Bytes largest = cloud::frame(1, 3, kStormDevice, QByteArray(16384, 'z'));
    two.insert(two.end(), empty.begin(), empty.end());
    two.insert(two.end(), largest.begin(), largest.end());
    for (size_t piece : {size_t(1), size_t(2), size_t(26), size_t(27), size_t(28), size_t(1000), two.size()}) {
        SCOPED_TRACE(piece);
        protocol_phy_cloud_4g d;
        std::vector<QByteArray> payloads;
        EXPECT_EQ(feedCloudBytes(d, two, piece, &payloads), (std::vector<CloudResult>{CloudResult::Frame, CloudResult::Frame, CloudResult::Frame}));
        EXPECT_EQ(payloads, (std::vector<QByteArray>{R"({"name":"a"})", QByteArray(), QByteArray(16384, 'z')}));
        EXPECT_EQ(d.header().sequence, 3);
        EXPECT_FALSE(d.inFrame());
    }
}

TEST(CloudFrame, BrokenFramesAreReportedAndTheDecoderStartsAfresh)
{
    const QByteArray p = R"({"name":"a"})";
    const std::pair<cloud::Bytes, CloudResult> cases[] = {
        {cloud::Bytes{0x00, 0x55, 0xAA}, CloudResult::BadMagic},
        {cloud::Bytes{0x55, 0x55, 0xAA}, CloudResult::BadMagic},
        {cloud::frame(1, 1, kStormDevice, p, cloud::Damage::Xor), CloudResult::BadXor},
        {cloud::frame(1, 1, kStormDevice, p, cloud::Damage::Crc), CloudResult::BadCrc},
        {cloud::frame(1, 1, kStormDevice, p, cloud::Damage::None, 16385), CloudResult::TooLong},
        {cloud::frame(1, 1, kStormDevice, p, cloud::Damage::None, 0xFFFFFFFF), CloudResult::TooLong},
    };
    for (const auto& [bytes, expected] : cases) {
        protocol_phy_cloud_4g d;
        size_t used = 0;
        EXPECT_EQ(d.data_from_cloud_4g(bytes.data(), bytes.size(), &used), expected);
        EXPECT_FALSE(d.inFrame());
        // Garbage is refused at its first byte, not after a whole header.
        if (expected == CloudResult::BadMagic) {
            EXPECT_LE(used, 2u);
        }
        cloud::Bytes good = cloud::frame(1, 9, kStormDevice, p);
        EXPECT_EQ(d.data_from_cloud_4g(good.data(), good.size(), &used), CloudResult::Frame);
        EXPECT_EQ(used, good.size());
    }
}

namespace {

// One random change to a frame.
void mutateFrame(std::mt19937& rng, cloud::Bytes& f)
{
    auto pick = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
    switch (rng() % 8) {
    case 0:
        if (!f.empty())
            f[pick(f.size())] ^= uint8_t(1u << (rng() % 8));
        break;
    case 1:
        if (!f.empty())
            f[pick(f.size())] = uint8_t(rng());
        break;
    case 2: f.insert(f.begin() + long(pick(f.size() + 1)), size_t(1 + rng() % 8), uint8_t(rng())); break;
    case 3:
        if (!f.empty()) {
            size_t at = pick(f.size());
            f.erase(f.begin() + long(at), f.begin() + long(std::min(f.size(), at + 1 + rng() % 8)));
        }
        break;
    case 4: f.resize(pick(f.size() + 1)); break;
    case 5: // a length that lies
        if (f.size() >= 24)
            for (int i = 20; i < 24; ++i)
                f[size_t(i)] = (rng() % 2) ? uint8_t(rng()) : 0xFF;
        break;
    case 6: { // a second frame glued on
        cloud::Bytes copy(f.begin(), f.begin() + long(pick(f.size() + 1)));
        f.insert(f.end(), copy.begin(), copy.end());
        break;
    }
    default: // a JSON character somewhere in the payload
        if (f.size() > 27)
            f[27 + pick(f.size() - 27)] = uint8_t("{}[]\",:\\ 0aZ\x01\xff"[rng() % 15]);
        break;
    }
}

std::vector<QByteArray> stormSeedCommands()
{
    return {R"({"name":"setProperty","barcode":"SN-0001"})",
            R"({"name":"setProperty","barcode":"A"})",
            R"({"name":"setProperty","barcode":"0123456789012345678901234567890123456789012345678901234567890123"})",
            R"({"name":"login","result":0})",
            R"({"name":"heartbeat"})",
            R"({"name":"reboot","delay":[1,2,{"x":null}]})",
            R"({"name":"setProperty","barcode":"\u0041\u00e9"})",
            QByteArray()};
}

} // namespace

using CloudStorm = Sandbox;

// Nothing a broken or hostile peer sends may crash the program, pass a
// failed check or store a value that is not valid. Seeded: every run sends
// the same frames.
TEST_F(CloudStorm, HundredThousandDamagedFrames)
{
    ConfigEngine::pInstance();
    std::mt19937 rng(20240611);
    const std::vector<QByteArray> commands = stormSeedCommands();
    int frames = 0, refused = 0, carriedOut = 0;
    for (int i = 0; i < 100000; ++i) {
        const QByteArray& payload = commands[rng() % commands.size()];
        cloud::Bytes f = cloud::frame(uint8_t(1 + rng() % 2), uint8_t(rng()), kStormDevice, payload);
        for (unsigned m = 1 + rng() % 3; m > 0; --m)
            mutateFrame(rng, f);
        protocol_phy_cloud_4g d;
        std::vector<QByteArray> got;
        for (CloudResult r : feedCloudBytes(d, f, 1 + rng() % 64, &got))
            (r == CloudResult::Frame ? frames : refused)++;
        // The JSON commands see damaged payloads directly, which the
        // checks would mostly keep from them.
        QByteArray json = (i % 10 == 0 && f.size() > 27)
                              ? QByteArray(reinterpret_cast<const char*>(f.data() + 27), int(f.size() - 27))
                              : (got.empty() ? QByteArray() : got.front());
        if (json.isEmpty())
            continue;
        QJsonObject answer = QJsonDocument::fromJson(message_deal_4g::deal_json(json)).object();
        ASSERT_TRUE(answer.value("name").isString());
        const int result = answer.value("result").toInt(-1);
        ASSERT_TRUE(result >= 0 && result <= 4) << result;
        carriedOut += result == 0;
    }
    // The barcode only ever holds what the command allows.
    const QString barcode = ConfigEngine::p_config->read_config_variant(ConfigItem::Barcode).toString();
    EXPECT_TRUE(barcode.size() >= 1 && barcode.size() <= 64);
    for (QChar c : barcode)
        EXPECT_TRUE(c.unicode() >= 0x20 && c.unicode() <= 0x7E);
    // The storm reached both sides of every check.
    EXPECT_GT(frames, 1000);
    EXPECT_GT(refused, 50000);
    EXPECT_GT(carriedOut, 100);
}

TEST_F(CloudStorm, DamagedModemFramesAndAtCommands)
{
    ConfigEngine::pInstance();
    std::mt19937 rng(7);
    message_deal_4g group;
    std::vector<uint8_t> body(protocol_phy::kMaxBody);
    const std::vector<std::vector<uint8_t>> seeds = {
        {0x00, 0xF1, 0x10, 0xF0, 0, 0, 0, 0, 0, 0xE0, '{', '"', 'n', 'a', 'm', 'e', '"', ':', '"', 'x', '"', '}', 0},
        {0x00, 0xF1, 0x10, 0xF0, 0, 0, 0, 0, 0, 0xE1, 3, 0, 0, 0},
        {0x00, 0xF1, 0x00, 0xF2, 0, 0, 0, 0, 0, 0xE2, 0},
    };
    for (int i = 0; i < 20000; ++i) {
        cloud::Bytes f = seeds[rng() % seeds.size()];
        for (unsigned m = 1 + rng() % 3; m > 0; --m)
            mutateFrame(rng, f);
        if (f.size() > body.size())
            f.resize(body.size());
        std::copy(f.begin(), f.end(), body.begin());
        int reply = group.message_group_deal(body.data(), int(f.size()), int(body.size()));
        ASSERT_TRUE(reply >= 0 && reply < int(body.size()));
    }

    Q58_WIFI_CONFIG* wifi = Q58_WIFI_CONFIG::createForTest(false);
    const std::vector<std::string> at = {"AT+SETDATA=1,Hall,secret-pass", "AT+SETDATA=2,192.168.9.9",
                                         "AT+SETDATA=3,Net,net-passphrase", "AT+CHECKDATA", "AT+RST"};
    for (int i = 0; i < 20000; ++i) {
        const std::string& seed = at[rng() % at.size()];
        cloud::Bytes c(seed.begin(), seed.end());
        for (unsigned m = 1 + rng() % 2; m > 0; --m)
            mutateFrame(rng, c);
        QByteArray reply = wifi->wifi_AT_cmd_manage(QByteArray(reinterpret_cast<const char*>(c.data()), int(c.size())));
        ASSERT_TRUE(reply == "OK\r\n" || reply == "ERR\r\n" || reply.startsWith("OK+CHECKDATA=")) << reply.data();
    }
    // Whatever got through is valid.
    Q58_WIFI_CONFIG::Settings s = wifi->settings();
    EXPECT_TRUE(Q58_WIFI_CONFIG::validSsid(s.ssid) && Q58_WIFI_CONFIG::validPassword(s.password));
    EXPECT_TRUE(Q58_WIFI_CONFIG::validAddress(s.address));
    EXPECT_TRUE(s.stationSsid.isEmpty() || Q58_WIFI_CONFIG::validSsid(s.stationSsid));
    for (const char* file : {"/etc/rtl_hostapd_2G.conf", "/etc/udhcpd.conf", "/etc/wpa_supplicant.conf"})
        for (char c : readFile(file))
            ASSERT_TRUE(c == '\n' || c == '\t' || (uint8_t(c) >= 0x20 && uint8_t(c) <= 0x7E)) << file;
}
