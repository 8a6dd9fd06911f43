// Settings the PC changes: network address, MAC address, barcode, cloud
// settings, panel languages and EDID tables. docs/pc-protocol.md gives the
// layouts. Every value is checked before anything is stored or reaches a
// shell command.
#include "remote/message_deal.h"

#include <QTextStream>
#include <cstring>

#include "core/change_codes.h"
#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "remote/file_transfer.h"
#include "remote/pc_values.h"
#include "remote/protocol_phy.h"
#include "video_io/edid.h"
#include "video_io/zevlosource.h"

namespace {
constexpr int kSettingsAt = protocol_phy::kDataAt;
// Where the interface configuration keeps eth0's hardware address.
const char* const kInterfacesFile = "/etc/network/interfaces";

void announce(int code)
{
    if (VyxRamPara* store = VyxRamPara::p_vyxrampara_config)
        store->test_signal(code);
}

// The hardware address eth0 reports; false when it cannot be read.
bool ownMac(uint8_t mac[6])
{
    std::string command = "ifconfig eth0";
    return pc_values::macFromIfconfig(Utils::shell_exec(command, 100), mac);
}

// A configured address as four bytes (zeros when it is not one).
void addressBytes(const QString& text, uint8_t out[4])
{
    if (!pc_values::parseIp(text.toLatin1(), out))
        std::memset(out, 0, 4);
}

// The cloud settings record: server (length byte and text), port (u16),
// user id and controller name (length byte and text each).
struct CloudSettings {
    QByteArray server, userId, name;
    uint16_t port = 0;
};

bool takeText(const QByteArray& record, int* at, QByteArray* text)
{
    if (*at >= record.size())
        return false;
    int length = uint8_t(record[*at]);
    if (*at + 1 + length > record.size())
        return false;
    *text = record.mid(*at + 1, length);
    *at += 1 + length;
    return true;
}

bool parseCloudSettings(const QByteArray& record, CloudSettings* out)
{
    int at = 0;
    if (!takeText(record, &at, &out->server) || at + 2 > record.size())
        return false;
    out->port = le16(reinterpret_cast<const uint8_t*>(record.constData()) + at);
    at += 2;
    if (!takeText(record, &at, &out->userId) || !takeText(record, &at, &out->name) || at != record.size())
        return false;
    // One blank is the "not set" of every text.
    const QByteArray blank(" ");
    return (out->server == blank || pc_values::hostName(out->server)) && pc_values::printableAscii(out->userId, 64) &&
           pc_values::plainUtf8(out->name, 64);
}
} // namespace

// ---- shared with the cloud settings files ----

int message_deal::apply_barcode(const QByteArray& text)
{
    if (!pc_values::printableAscii(text, 64))
        return STATUS_REFUSED;
    ConfigEngine* config = ConfigEngine::pInstance();
    config->write_config_variant(ConfigItem::Barcode, QString::fromLatin1(text));
    g_str_barcode = config->read_config_variant(ConfigItem::Barcode).toString();
    return file_transfer::store_cloud_file(file_transfer::kCloudBarcode, text) ? STATUS_DONE : STATUS_STORAGE;
}

int message_deal::apply_cloud_settings(const QByteArray& record)
{
    CloudSettings s;
    if (!parseCloudSettings(record, &s))
        return STATUS_REFUSED;
    ConfigEngine* config = ConfigEngine::pInstance();
    config->write_config_variant(ConfigItem::Ryxacloudserverip, QString::fromLatin1(s.server));
    config->write_config_variant(ConfigItem::Ryxacloudserverport, int(s.port));
    config->write_config_variant(ConfigItem::Ryxaclouduserip, QString::fromLatin1(s.userId));
    config->write_config_variant(ConfigItem::Ryxacloudcontrollername, QString::fromUtf8(s.name));
    // Reloads the g_Ryxa_* globals and whether the cloud is in use.
    Utils::getIPAddress();
    return file_transfer::store_cloud_file(file_transfer::kCloudSetInfo, record) ? STATUS_DONE : STATUS_STORAGE;
}

// ---- commands ----

// 10 input (0..3), 11-12 width, 13-14 height, 15-16 rate, 17.. the table
// (128 or 256 bytes). The table is stored under the request it serves, the
// input's EDID request becomes that request and the input announces the
// table from now on.
int message_deal::write_edid_table(uint8_t* body, int dataLength, int)
{
    if (dataLength < 7 + kEdidBlock)
        return status(body, STATUS_MALFORMED);
    const int input = body[kSettingsAt];
    const int width = le16(body + kSettingsAt + 1), height = le16(body + kSettingsAt + 3), rate = le16(body + kSettingsAt + 5);
    const uint8_t* table = body + kSettingsAt + 7;
    const int length = dataLength - 7;
    if (input >= kEdidTableInputs || width < 1 || width > 8192 || height < 1 || height > 8192 || rate < 1 ||
        rate > 240 || (length != kEdidBlock && length != kEdidSize) || !edid_valid(table, length))
        return status(body, STATUS_REFUSED);
    QByteArray data(reinterpret_cast<const char*>(table), length);
    if (!file_transfer::store_file(zevlosource::edid_table_path(width, height, rate), data))
        return status(body, STATUS_STORAGE);
    edid_ram_table_from[input] = 1;
    if (VyxRamPara* store = VyxRamPara::p_vyxrampara_config)
        store->VyxSetEDIDPara(input, short(width), short(height), short(rate));
    if (zevlosource* inputs = zevlosource::p_zevlo_source)
        inputs->set_edid_refresh(input);
    return status(body, STATUS_DONE);
}

// 10-13 address, 14-17 gateway, 18-21 mask (a.b.c.d as four bytes), 22-23
// TCP control port; optional 24-29: the MAC address of the controller meant
// (others stay silent, for a PC that broadcasts the request).
int message_deal::net_ip_set(uint8_t* body, int dataLength, int)
{
    if (dataLength < 14)
        return status(body, STATUS_MALFORMED);
    const uint8_t* ip = body + kSettingsAt;
    const uint8_t* gateway = body + kSettingsAt + 4;
    const uint8_t* mask = body + kSettingsAt + 8;
    const uint16_t port = le16(body + kSettingsAt + 12);
    if (dataLength >= 20) {
        uint8_t mine[6];
        if (!ownMac(mine) || std::memcmp(mine, body + kSettingsAt + 14, 6) != 0)
            return 0;
    }
    const uint32_t subnet = pc_values::ipValue(mask);
    if (!pc_values::subnetMask(mask) || !pc_values::hostAddress(ip, mask) || !pc_values::hostAddress(gateway, mask) ||
        (pc_values::ipValue(ip) & subnet) != (pc_values::ipValue(gateway) & subnet) ||
        std::memcmp(ip, gateway, 4) == 0 || port == 0)
        return status(body, STATUS_REFUSED);

    ConfigEngine* config = ConfigEngine::pInstance();
    config->write_config_variant(ConfigItem::IPAddress, pc_values::ipText(ip));
    config->write_config_variant(ConfigItem::GateWay, pc_values::ipText(gateway));
    config->write_config_variant(ConfigItem::SubNetMask, pc_values::ipText(mask));
    const bool newPort = port != g_port.load();
    config->write_config_variant(ConfigItem::TcpPort, int(port));
    Utils::initIPAddress();
    announce(kChangeRefresh);
    if (newPort) {
        // The control port is opened at start: the device restarts to serve
        // the new one, as after a network reset.
        G_reboot_tickTicks = G_timeTicks.load();
        g_app_reset_flag = 1;
    }
    return status(body, STATUS_DONE);
}

// 10-15 the MAC address. It is written into the interface configuration,
// which takes it at the next start, and the address is applied again.
int message_deal::init_MAC_address(uint8_t* body, int dataLength, int)
{
    if (dataLength < 6)
        return status(body, STATUS_MALFORMED);
    const uint8_t* mac = body + kSettingsAt;
    if (!pc_values::unicastMac(mac))
        return status(body, STATUS_REFUSED);
    uint8_t ip[4], gateway[4], mask[4];
    addressBytes(g_str_ip, ip);
    addressBytes(g_str_gateway, gateway);
    addressBytes(g_srt_mask, mask);
    QString text;
    QTextStream out(&text);
    out << "# eth0 of the controller; the address is set again at every start.\n"
        << "auto lo\n"
        << "iface lo inet loopback\n\n"
        << "auto eth0\n"
        << "iface eth0 inet static\n"
        << "\thwaddress ether " << pc_values::macText(mac) << "\n"
        << "\taddress " << pc_values::ipText(ip) << "\n"
        << "\tnetmask " << pc_values::ipText(mask) << "\n"
        << "\tgateway " << pc_values::ipText(gateway) << "\n";
    out.flush();
    if (!file_transfer::store_file(kInterfacesFile, text.toLatin1()))
        return status(body, STATUS_STORAGE);
    Utils::init_resteth(g_str_ip, g_str_gateway, g_srt_mask);
    return status(body, STATUS_DONE);
}

// Optional 10 length L, 11.. a text naming the controller looked for: its
// IP address ("192.168.0.199") or MAC address ("00:11:22:33:44:55"); a
// controller it does not name stays silent. The reply is the status, then
// 11-14 address, 15-18 mask, 19-22 gateway, 23-24 TCP port, 25-30 MAC
// address (zeros when unknown).
int message_deal::net_eth_search(uint8_t* body, int dataLength, int)
{
    QByteArray text;
    if (dataLength >= 1) {
        int length = body[kSettingsAt];
        if (dataLength < 1 + length)
            return status(body, STATUS_MALFORMED);
        text = QByteArray(reinterpret_cast<const char*>(body + kSettingsAt + 1), length);
    }
    uint8_t wantIp[4], wantMac[6];
    const bool byIp = !text.isEmpty() && pc_values::parseIp(text, wantIp);
    const bool byMac = !text.isEmpty() && !byIp && pc_values::parseMac(text, wantMac);
    if (!text.isEmpty() && !byIp && !byMac)
        return status(body, STATUS_REFUSED);

    uint8_t ip[4], mask[4], gateway[4], mac[6] = {};
    addressBytes(g_str_ip, ip);
    addressBytes(g_srt_mask, mask);
    addressBytes(g_str_gateway, gateway);
    const bool macKnown = ownMac(mac);
    if ((byIp && std::memcmp(ip, wantIp, 4) != 0) || (byMac && (!macKnown || std::memcmp(mac, wantMac, 6) != 0)))
        return 0;
    uint8_t* reply = body + kSettingsAt + 1;
    std::memcpy(reply, ip, 4);
    std::memcpy(reply + 4, mask, 4);
    std::memcpy(reply + 8, gateway, 4);
    putLe16(reply + 12, uint16_t(g_port.load()));
    std::memcpy(reply + 14, mac, 6);
    return status(body, STATUS_DONE) + 20;
}

// 10 length L, 11.. the barcode (1..64 printable ASCII characters).
int message_deal::set_barcode(uint8_t* body, int dataLength, int)
{
    if (dataLength < 1 || dataLength < 1 + body[kSettingsAt])
        return status(body, STATUS_MALFORMED);
    return status(body, uint8_t(apply_barcode(QByteArray(reinterpret_cast<const char*>(body + kSettingsAt + 1), body[kSettingsAt]))));
}

// 10.. the cloud settings record: server address (length byte, text: a
// host name or address, or one blank for none), port (u16, 0 none), user id
// (length byte, 1..64 printable ASCII), controller name (length byte, 1..64
// bytes of UTF-8).
int message_deal::project_set_setproperty(uint8_t* body, int dataLength, int)
{
    QByteArray record(reinterpret_cast<const char*>(body + kSettingsAt), dataLength);
    CloudSettings unused;
    if (dataLength < 1 || !parseCloudSettings(record, &unused)) {
        // Tell a record cut short from one with a bad value.
        int at = 0;
        QByteArray a, b, c;
        bool whole = takeText(record, &at, &a) && (at += 2) <= record.size() && takeText(record, &at, &b) &&
                     takeText(record, &at, &c) && at == record.size();
        return status(body, whole ? STATUS_REFUSED : STATUS_MALFORMED);
    }
    return status(body, uint8_t(apply_cloud_settings(record)));
}

// 10-13 the offered languages (bit n: language n; at least one of 0..4),
// 14 the panel language (0..4, one of those offered; 0xFF keeps the current
// one, or the lowest offered when it is not).
int message_deal::set_lcd_lang_support(uint8_t* body, int dataLength, int)
{
    if (dataLength < 5)
        return status(body, STATUS_MALFORMED);
    const uint32_t mask = le32(body + kSettingsAt);
    uint8_t language = body[kSettingsAt + 4];
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    if (!store || (mask & 0x1F) == 0)
        return status(body, STATUS_REFUSED);
    if (language == 0xFF) {
        language = loadShared(store->ram_para + ram::kLanguage);
        if (language > 4 || !((mask >> language) & 1))
            for (language = 0; !((mask >> language) & 1); ++language) {
            }
    } else if (language > 4 || !((mask >> language) & 1)) {
        return status(body, STATUS_REFUSED);
    }
    ConfigEngine::pInstance()->write_config_variant(ConfigItem::VyxLCDLang, uint(mask));
    g_lcd_lang_valid = mask;
    storeShared(store->ram_para + ram::kLanguage, language);
    storeShared(store->ram_para + ram::kLanguageAux, 0);
    g_language = language;
    announce(kChangeRefresh);
    return status(body, STATUS_DONE);
}
