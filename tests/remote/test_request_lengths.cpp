// Requests whose length their own fields fix: a byte more or less is a PC
// and a controller reading the layout differently, and nothing is done.
#include "tests/remote/commands_fixture.h"

#include <QSettings>

#include "core/config_engine.h"
#include "core/globals.h"
#include "remote/message_deal.h"

namespace {

// The same request with `extra` zero bytes before its checksum.
Bytes longer(const Bytes& request, size_t extra = 1)
{
    Bytes b(request.begin(), request.end() - 1);
    b.insert(b.end(), extra, 0);
    b.push_back(pc::xorOf(b, b.size()));
    return b;
}

class RequestLengths : public Commands {
protected:
    void SetUp() override
    {
        Commands::SetUp();
        ConfigEngine::pInstance();
    }
    QVariant ini(const char* key) const
    {
        QSettings s(QString::fromStdString(path("/data/configs/tcpip.ini")), QSettings::IniFormat);
        return s.value(QStringLiteral("config/") + key);
    }
};

const Bytes kMac{0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
const Bytes kAddress = pc::cat({{10, 1, 2, 3}, {10, 1, 2, 254}, {255, 255, 255, 0}, pc::u16(5005)});

} // namespace

TEST_F(RequestLengths, ABytePastTheFieldsIsRefusedAndNothingIsDone)
{
    using C = message_deal;
    const Bytes cloudRecord = pc::cat({pc::named(" "), pc::u16(0), pc::named("user"), pc::named("hall")});
    const std::vector<Bytes> requests = {
        pc::writeRam(2176, {61, 0}),
        pc::readRam(2176, 2),
        pc::writeRegister(20, 0xFF, 7),
        pc::readRegister(20, 2),
        pc::fileStart(5, "ALIS", 10),
        pc::fileBlock(0, {1, 2, 3}),
        pc::fileEnd(Bytes(16, 0)),
        pc::definedFileStart(13, "TZFR", 10, "hall.tzfile"),
        pc::readStart(5, "ALIS"),
        pc::readBlock(0, 4),
        pc::readEnd(),
        pc::readDefinedStart(13, "TZFR", "hall.tzfile"),
        pc::deleteFile(13, "TZFR", "hall.tzfile"),
        pc::cloudBlock(1, 0, pc::text("SN-1")),
        pc::cloudEnd(1, Bytes(16, 0)),
        command(C::CMD_GET_DEVICE_INFO, {}),
        command(C::CMD_NET_IP_SET, pc::cat({kAddress, kMac})),
        command(C::CMD_INIT_MAC_ADDRESS, kMac),
        command(C::CMD_NET_ETH_SEARCH, pc::named("192.168.0.199")),
        command(C::CMD_SET_BARCODE, pc::named("AB")),
        command(C::CMD_PROJECT_SET_SETPROPERTY, cloudRecord),
        command(C::CMD_SET_LCD_LANG_SUPPORT, {0x03, 0, 0, 0, 1}),
        command(C::CMD_PARAM_SAVE, {1}),
        command(C::CMD_SET_PARA_SYNC, {}),
        command(C::CMD_REG_MCU_FLAG, {}),
        command(C::CMD_REG_UPDATE_10, {}),
        command(C::CMD_REG_UPDATE_0E, {}),
        command(C::CMD_ERASE_FLASH, pc::cat({pc::u32(0), pc::u16(1), {0}})),
        command(C::CMD_WRITE_FLASH, pc::cat({pc::u32(0), pc::u16(2), {1, 2}})),
        command(C::CMD_READ_FLASH, pc::cat({pc::u32(0), pc::u16(2)})),
        command(C::CMD_GET_CARD_VERSION, {}),
    };
    for (const Bytes& request : requests) {
        SCOPED_TRACE(::testing::PrintToString(request));
        EXPECT_EQ(run(longer(request)), Bytes{C::STATUS_MALFORMED});
    }
    // Between the two forms of a command with an optional part.
    EXPECT_EQ(run(longer(pc::control(0xB4, pc::cat({{5}, pc::text("ALIS")})), 2)), Bytes{C::STATUS_MALFORMED});
    EXPECT_EQ(run(longer(pc::control(C::CMD_NET_IP_SET, kAddress), 3)), Bytes{C::STATUS_MALFORMED});
    EXPECT_EQ(run(longer(command(C::CMD_NET_ETH_SEARCH, {}), 2)), Bytes{C::STATUS_MALFORMED}); // empty text, a byte

    // Nothing was stored, set or started.
    EXPECT_EQ(le16(store->ram_para + 2176), 100);
    EXPECT_EQ(store->local_reg[20], 0);
    EXPECT_EQ(ini("Barcode").toString(), " ");
    EXPECT_EQ(ini("IPAddress").toString(), "192.168.0.199");
    EXPECT_FALSE(exists("/etc/network/interfaces"));
    EXPECT_EQ(run(pc::fileBlock(0, {1})), (Bytes{C::STATUS_SEQUENCE, 0, 0, 0, 0})) << "a transfer was opened";

    // The forms the fields allow still work.
    EXPECT_EQ(run(command(C::CMD_SET_BARCODE, pc::named("AB"))), Bytes{0});
    EXPECT_EQ(ini("Barcode").toString(), "AB");
    EXPECT_EQ(run(command(C::CMD_INIT_MAC_ADDRESS, kMac)), Bytes{0});
    EXPECT_TRUE(readFile("/etc/network/interfaces").contains("hwaddress ether 02:11:22:33:44:55"));
    EXPECT_EQ(run(pc::writeRam(2176, {61, 0})), Bytes{0});
    EXPECT_EQ(run(pc::readStart(5, "ALIS")).front(), C::STATUS_NO_FILE);
    EXPECT_EQ(run(pc::control(0xB4, pc::cat({{5}, pc::text("ALIS")}))).front(), C::STATUS_NO_FILE);
}
