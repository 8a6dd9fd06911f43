// Settings the PC changes, through the command handler in this process.
#include "tests/remote/commands_fixture.h"

#include <QDir>
#include <QSettings>

#include "core/change_codes.h"
#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "platform/shell.h"
#include "video_io/edid.h"
#include "video_io/zevlosource.h"

namespace {

using platform::simShell;

Bytes ipSet(const Bytes& ip, const Bytes& gateway, const Bytes& mask, uint16_t port, const Bytes& mac = {})
{
    return pc::control(0xC1, pc::cat({ip, gateway, mask, pc::u16(port), mac}));
}

Bytes search(const std::string& text = "")
{
    return pc::control(0xC3, text.empty() ? Bytes{} : pc::named(text));
}

const char* const kIfconfig = "eth0      Link encap:Ethernet  HWaddr 02:1A:2B:3C:4D:5E  \n"
                              "          inet addr:192.168.0.199  Bcast:192.168.0.255  Mask:255.255.255.0\n";

class SettingsCommands : public Commands {
protected:
    void SetUp() override
    {
        Commands::SetUp();
        ConfigEngine::pInstance();
        simShell().clearLog();
        QObject::connect(store, &VyxRamPara::sig_update_para, [this](int code) { codes.push_back(code); });
    }
    QVariant ini(const char* key) const
    {
        QSettings s(QString::fromStdString(path("/data/configs/tcpip.ini")), QSettings::IniFormat);
        return s.value(QStringLiteral("config/") + key);
    }
    std::vector<int> codes;
};

} // namespace

TEST_F(SettingsCommands, AnAddressIsStoredAppliedAndANewPortRestartsTheDevice)
{
    EXPECT_EQ(run(ipSet({10, 1, 2, 3}, {10, 1, 2, 254}, {255, 255, 255, 0}, 5005)), Bytes{0});
    EXPECT_EQ(ini("IPAddress").toString(), "10.1.2.3");
    EXPECT_EQ(ini("GateWay").toString(), "10.1.2.254");
    EXPECT_EQ(ini("SubNetMask").toString(), "255.255.255.0");
    EXPECT_EQ(g_str_ip, "10.1.2.3");
    std::vector<std::string> log = simShell().log();
    EXPECT_NE(std::find(log.begin(), log.end(), "ifconfig eth0 10.1.2.3 netmask 255.255.255.0 up"), log.end());
    EXPECT_EQ(codes, std::vector<int>{kChangeRefresh});
    EXPECT_EQ(g_app_reset_flag.load(), 0);

    G_timeTicks = 777;
    EXPECT_EQ(run(ipSet({10, 1, 2, 3}, {10, 1, 2, 254}, {255, 255, 0, 0}, 6001)), Bytes{0});
    EXPECT_EQ(ini("TcpPort").toInt(), 6001);
    EXPECT_EQ(g_app_reset_flag.load(), 1);
    EXPECT_EQ(G_reboot_tickTicks.load(), 777u);
}

TEST_F(SettingsCommands, AddressesThatCannotWorkAreRefusedBeforeAnythingRuns)
{
    const Bytes mask24{255, 255, 255, 0};
    const Bytes refused[] = {
        ipSet({10, 1, 2, 0}, {10, 1, 2, 1}, mask24, 5005),            // the network itself
        ipSet({10, 1, 2, 255}, {10, 1, 2, 1}, mask24, 5005),          // its broadcast
        ipSet({224, 0, 0, 5}, {224, 0, 0, 1}, mask24, 5005),          // multicast
        ipSet({127, 0, 0, 5}, {127, 0, 0, 1}, mask24, 5005),          // loopback
        ipSet({0, 1, 2, 3}, {0, 1, 2, 1}, mask24, 5005),
        ipSet({10, 1, 2, 3}, {10, 1, 3, 1}, mask24, 5005),            // gateway elsewhere
        ipSet({10, 1, 2, 3}, {10, 1, 2, 3}, mask24, 5005),            // gateway is itself
        ipSet({10, 1, 2, 3}, {10, 1, 2, 1}, {255, 0, 255, 0}, 5005),  // holes in the mask
        ipSet({10, 1, 2, 3}, {10, 1, 2, 1}, {255, 255, 255, 254}, 5005),
        ipSet({10, 1, 2, 3}, {10, 1, 2, 1}, {0, 0, 0, 0}, 5005),
        ipSet({10, 1, 2, 3}, {10, 1, 2, 1}, mask24, 0),               // no port
    };
    for (const Bytes& r : refused)
        EXPECT_EQ(run(r), Bytes{1}) << ::testing::PrintToString(r);
    EXPECT_EQ(run(pc::control(0xC1, Bytes(13, 1))), Bytes{2});
    EXPECT_TRUE(simShell().log().empty());
    EXPECT_EQ(ini("IPAddress").toString(), "192.168.0.199");
    EXPECT_TRUE(codes.empty());
}

TEST_F(SettingsCommands, ABroadcastAddressChangeActsOnlyOnTheControllerItNames)
{
    const Bytes mine{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    const Bytes request = ipSet({10, 1, 2, 3}, {10, 1, 2, 1}, {255, 255, 255, 0}, 5005, {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F});
    // Unknown own address, or another one: silent, nothing changes.
    EXPECT_EQ(run(request), Bytes{});
    simShell().script("ifconfig eth0", 0, kIfconfig);
    EXPECT_EQ(run(request), Bytes{});
    EXPECT_EQ(ini("IPAddress").toString(), "192.168.0.199");
    EXPECT_EQ(run(ipSet({10, 1, 2, 3}, {10, 1, 2, 1}, {255, 255, 255, 0}, 5005, mine)), Bytes{0});
    EXPECT_EQ(ini("IPAddress").toString(), "10.1.2.3");
}

TEST_F(SettingsCommands, SearchTellsTheNetworkIdentityToThePcsThatAskForIt)
{
    simShell().script("ifconfig eth0", 0, kIfconfig);
    const Bytes identity = {0,    192,  168,  0,    199,  255,  255, 255, 0, 192, 168, 0, 1, 0x8D,
                            0x13, 0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(run(search()), identity);
    EXPECT_EQ(run(search("192.168.0.199")), identity);
    EXPECT_EQ(run(search("02-1a-2b-3c-4d-5e")), identity);
    EXPECT_EQ(run(search("192.168.0.198")), Bytes{});
    EXPECT_EQ(run(search("02:1a:2b:3c:4d:5f")), Bytes{});
    for (const char* text : {"192.168.0.1999", "192.168.00.199", "eth0; reboot", "02:1a:2b:3c:4d", "$(reboot)"})
        EXPECT_EQ(run(search(text)), Bytes{1}) << text;
    EXPECT_EQ(run(pc::control(0xC3, {5, '1'})), Bytes{2});
    // The PC's text never reaches the shell.
    for (const std::string& line : simShell().log())
        EXPECT_EQ(line, "ifconfig eth0");

    // A busybox-less ifconfig says "ether"; without eth0 the MAC is zero.
    auto macOf = [](const Bytes& reply) { return Bytes(reply.end() - 6, reply.end()); };
    simShell().script("ifconfig eth0", 0, "eth0: flags=4163<UP>\n        ether 02:1a:2b:3c:4d:60  txqueuelen 1000\n");
    EXPECT_EQ(macOf(run(search())), (Bytes{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x60}));
    simShell().script("ifconfig eth0", 256, "");
    EXPECT_EQ(macOf(run(search())), Bytes(6, 0));
}

TEST_F(SettingsCommands, AMacAddressGoesIntoTheInterfaceConfiguration)
{
    EXPECT_EQ(run(pc::control(0xC2, {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E})), Bytes{0});
    EXPECT_EQ(readFile("/etc/network/interfaces").toStdString(),
              "# eth0 of the controller; the address is set again at every start.\n"
              "auto lo\niface lo inet loopback\n\n"
              "auto eth0\niface eth0 inet static\n"
              "\thwaddress ether 02:1a:2b:3c:4d:5e\n"
              "\taddress 192.168.0.199\n\tnetmask 255.255.255.0\n\tgateway 192.168.0.1\n");
    std::vector<std::string> log = simShell().log();
    EXPECT_NE(std::find(log.begin(), log.end(), "ifconfig eth0 192.168.0.199 netmask 255.255.255.0"), log.end());

    simShell().clearLog();
    const Bytes refused[] = {{0x01, 0, 0, 0, 0, 1}, Bytes(6, 0), Bytes(6, 0xFF)};
    for (const Bytes& mac : refused)
        EXPECT_EQ(run(pc::control(0xC2, mac)), Bytes{1});
    EXPECT_EQ(run(pc::control(0xC2, Bytes(5, 2))), Bytes{2});
    EXPECT_TRUE(simShell().log().empty());
}

TEST_F(SettingsCommands, BarcodeAndCloudSettingsAreStoredInTheConfigurationAndTheirFiles)
{
    EXPECT_EQ(run(pc::control(0xC4, pc::named("QX-2024-0815"))), Bytes{0});
    EXPECT_EQ(ini("Barcode").toString(), "QX-2024-0815");
    EXPECT_EQ(g_str_barcode, "QX-2024-0815");
    EXPECT_EQ(readFile("/data/configs/cloud_barcode"), QByteArray("\xAA\x00\x0CQX-2024-0815", 15));
    for (const Bytes& bad : {pc::named(""), pc::named(std::string(65, 'A')), pc::named("tab\there"), pc::named("\xC3\xA9")})
        EXPECT_EQ(run(pc::control(0xC4, bad)), Bytes{1});
    EXPECT_EQ(run(pc::control(0xC4, {4, 'A'})), Bytes{2});
    EXPECT_EQ(g_str_barcode, "QX-2024-0815");

    const Bytes record = pc::cat({pc::named("10.0.0.9"), pc::u16(7001), pc::named("user 5"), pc::named("大厅 A")});
    EXPECT_EQ(run(pc::control(0xC5, record)), Bytes{0});
    EXPECT_EQ(ini("Ryxacloudserverip").toString(), "10.0.0.9");
    EXPECT_EQ(ini("Ryxacloudserverport").toInt(), 7001);
    EXPECT_EQ(ini("Ryxaclouduserip").toString(), "user 5");
    EXPECT_EQ(ini("Ryxacloudcontrollername").toString(), QString::fromUtf8("大厅 A"));
    EXPECT_EQ(g_Ryxa_controllername, QString::fromUtf8("大厅 A"));
    EXPECT_EQ(g_Ryxa_cloud, 1);
    EXPECT_EQ(readFile("/data/configs/cloud_setinfo"), bytes(pc::cat({{0xAA, 0, uint8_t(record.size())}, record})));
    // Stored only: neither a live cloud connection nor the modem is asked to
    // take it (the cloud file's end does that).
    EXPECT_EQ(g_reconfig_device_ryxacloud, 0);
    EXPECT_EQ(g_reconfig_4g, 0);
    // Back to "no cloud": one blank each, port 0.
    EXPECT_EQ(run(pc::control(0xC5, pc::cat({pc::named(" "), pc::u16(0), pc::named(" "), pc::named(" ")}))), Bytes{0});
    EXPECT_EQ(g_Ryxa_cloud, 0);

    const Bytes bad[] = {
        pc::cat({pc::named("a b"), pc::u16(1), pc::named("u"), pc::named("n")}),
        pc::cat({pc::named("-x.org"), pc::u16(1), pc::named("u"), pc::named("n")}),
        pc::cat({pc::named("x.org"), pc::u16(1), pc::named("u\x01"), pc::named("n")}),
        pc::cat({pc::named("x.org"), pc::u16(1), pc::named("u"), pc::named("")}),
        pc::cat({pc::named("x.org"), pc::u16(1), pc::named("u"), pc::named("\xFF")}),
    };
    for (const Bytes& r : bad)
        EXPECT_EQ(run(pc::control(0xC5, r)), Bytes{1});
    const Bytes cut[] = {{}, pc::named("x.org"), pc::cat({pc::named("x.org"), pc::u16(1), pc::named("u")}),
                         pc::cat({pc::named("x.org"), pc::u16(1), pc::named("u"), pc::named("n"), {0}})};
    for (const Bytes& r : cut)
        EXPECT_EQ(run(pc::control(0xC5, r)), Bytes{2});
    EXPECT_EQ(g_Ryxa_cloud, 0);
}

TEST_F(SettingsCommands, PanelLanguagesAreKeptInTheConfigurationAndTheImage)
{
    EXPECT_EQ(run(pc::control(0xC6, pc::cat({pc::u32(0x16), {2}}))), Bytes{0});
    EXPECT_EQ(ini("VyxLCDLang").toUInt(), 0x16u);
    EXPECT_EQ(g_lcd_lang_valid.load(), 0x16u);
    EXPECT_EQ(store->ram_para[ram::kLanguage], 2);
    EXPECT_EQ(g_language.load(), 2);
    EXPECT_EQ(codes, std::vector<int>{kChangeRefresh});
    // "Keep" keeps an offered language and replaces one that is not.
    EXPECT_EQ(run(pc::control(0xC6, pc::cat({pc::u32(0x06), {0xFF}}))), Bytes{0});
    EXPECT_EQ(store->ram_para[ram::kLanguage], 2);
    EXPECT_EQ(run(pc::control(0xC6, pc::cat({pc::u32(0x18), {0xFF}}))), Bytes{0});
    EXPECT_EQ(store->ram_para[ram::kLanguage], 3);

    for (const Bytes& r : {pc::cat({pc::u32(0x10000), {1}}), pc::cat({pc::u32(0x1F), {5}}), pc::cat({pc::u32(0x01), {1}})})
        EXPECT_EQ(run(pc::control(0xC6, r)), Bytes{1});
    EXPECT_EQ(run(pc::control(0xC6, pc::u32(0x1F))), Bytes{2});
    EXPECT_EQ(ini("VyxLCDLang").toUInt(), 0x18u);
}

TEST_F(SettingsCommands, AnEdidTableServesTheInputItWasGivenFor)
{
    zevlosource* inputs = zevlosource::pInstance(); // its thread is not started
    const Bytes table = edidTable(1280, 720, 50);
    auto tableFor = [](uint8_t input, uint16_t w, uint16_t h, uint16_t rate, const Bytes& e) {
        return pc::control(0xBB, pc::cat({{input}, pc::u16(w), pc::u16(h), pc::u16(rate), e}));
    };

    EXPECT_EQ(run(tableFor(2, 1280, 720, 50, table)), Bytes{0});
    EXPECT_EQ(readFile("/data/edidramtable/1280x720_50.bin"), bytes(table));
    EXPECT_EQ(edid_ram_table_from[2].load(), 1);
    EXPECT_EQ(edid_ram_table_from[0].load(), 0);
    const uint8_t* request = store->ram_para + ram::edidRequest(2);
    EXPECT_EQ(Bytes(request, request + 6), (Bytes{0x00, 0x05, 0xD0, 0x02, 50, 0}));
    EXPECT_EQ(scaler->para_changed, 1);
    EXPECT_EQ(inputs->edid_refresh_flag(2), 1);
    // The base block alone is a table too.
    Bytes base(table.begin(), table.begin() + kEdidBlock);
    base[126] = 0;
    base[127] = uint8_t(base[127] + table[126]);
    EXPECT_EQ(run(tableFor(0, 1280, 720, 50, base)), Bytes{0});

    Bytes broken = table;
    broken[200] ^= 1;
    const Bytes refused[] = {
        tableFor(4, 1280, 720, 50, table), tableFor(0, 0, 720, 50, table), tableFor(0, 1280, 720, 0, table),
        tableFor(0, 1280, 720, 241, table), tableFor(0, 9000, 720, 50, table), tableFor(0, 1280, 720, 50, broken),
        tableFor(0, 1280, 720, 50, pc::cat({table, {0}})),
    };
    for (const Bytes& r : refused)
        EXPECT_EQ(run(r), Bytes{1});
    EXPECT_EQ(run(tableFor(0, 1280, 720, 50, Bytes(127, 0))), Bytes{2});
    EXPECT_EQ(QDir(QString::fromStdString(path("/data/edidramtable"))).entryList(QDir::Files),
              QStringList{"1280x720_50.bin"});
}
