// The JSON commands of the cloud and the 4G group on the modem's serial link.
#include "tests/support/sandbox.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QSettings>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/serial.h"
#include "remote/file_transfer.h"
#include "remote/message_deal_cloud_4g.h"
#include "remote/uart_inout.h"
#include "tests/remote/pc_client.h"

namespace {

QJsonObject jsonAnswerTo(const QByteArray& command)
{
    return QJsonDocument::fromJson(message_deal_4g::deal_json(command)).object();
}

QJsonObject jsonResult(const QString& name, int code) { return QJsonObject{{"name", name}, {"result", code}}; }

QByteArray cloudFileBytes(const QByteArray& content)
{
    QByteArray f(1, char(0xAA));
    f.append(char(content.size() >> 8)).append(char(content.size() & 0xFF));
    return f + content;
}

class CloudCommands : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        ConfigEngine::pInstance();
    }
    QString storedBarcode() const
    {
        QSettings ini(QString::fromStdString(path("/data/configs/tcpip.ini")), QSettings::IniFormat);
        return ini.value("config/Barcode").toString();
    }
};

} // namespace

TEST_F(CloudCommands, SetPropertyStoresTheBarcode)
{
    EXPECT_EQ(jsonAnswerTo(R"({"name":"setProperty","barcode":"SN 2024/07-1"})"),
              (QJsonObject{{"name", "setProperty"}, {"result", 0}, {"barcode", "SN 2024/07-1"}}));
    EXPECT_EQ(storedBarcode(), "SN 2024/07-1");
    EXPECT_EQ(g_str_barcode, "SN 2024/07-1");
    QByteArray file;
    ASSERT_TRUE(readCloudFile(file_transfer::kCloudBarcode, &file));
    EXPECT_EQ(file, "SN 2024/07-1");
    EXPECT_EQ(jsonAnswerTo(QByteArray(R"({"name":"setProperty","barcode":")") + QByteArray(64, 'x') + "\"}")
                  .value("result"),
              0);
}

TEST_F(CloudCommands, ValuesOfTheWrongTypeOrRangeChangeNothing)
{
    const char* refused[] = {
        R"({"name":"setProperty"})",
        R"({"name":"setProperty","barcode":42})",
        R"({"name":"setProperty","barcode":true})",
        R"({"name":"setProperty","barcode":null})",
        R"({"name":"setProperty","barcode":["SN"]})",
        R"({"name":"setProperty","barcode":{"v":"SN"}})",
        R"({"name":"setProperty","barcode":""})",
        R"({"name":"setProperty","barcode":"line\nbreak"})",
        R"({"name":"setProperty","barcode":"caf\u00e9"})",
        R"({"name":"setProperty","barcode":"SN-1","colour":"red"})", // unknown property: nothing set
    };
    for (const char* command : refused) {
        SCOPED_TRACE(command);
        EXPECT_EQ(jsonAnswerTo(command), jsonResult("setProperty", message_deal_4g::RESULT_BAD_VALUE));
    }
    EXPECT_EQ(jsonAnswerTo(QByteArray(R"({"name":"setProperty","barcode":")") + QByteArray(65, 'x') + "\"}"),
              jsonResult("setProperty", message_deal_4g::RESULT_BAD_VALUE));
    EXPECT_EQ(storedBarcode(), " ");
    EXPECT_EQ(g_str_barcode, " ");
}

TEST_F(CloudCommands, WhatIsNotACommandIsSaidSo)
{
    for (const QByteArray& command :
         {QByteArray(), QByteArray("not json"), QByteArray("[]"), QByteArray("{}"), QByteArray(R"({"name":7})"),
          QByteArray(R"({"name":"setProperty")"), QByteArray("\"setProperty\""), QByteArray(2000, '[')}) {
        SCOPED_TRACE(command.left(40).toStdString());
        EXPECT_EQ(jsonAnswerTo(command), jsonResult("", message_deal_4g::RESULT_MALFORMED));
    }
    EXPECT_EQ(jsonAnswerTo(R"({"name":"reboot"})"), jsonResult("reboot", message_deal_4g::RESULT_UNKNOWN));
}

TEST_F(CloudCommands, CloudFilesAreReadOnlyWhenWhole)
{
    QByteArray content;
    // As the PC's transfer stores them.
    ASSERT_TRUE(file_transfer::store_cloud_file(file_transfer::kCloudCaFile, "-----BEGIN CERTIFICATE-----"));
    ASSERT_TRUE(readCloudFile(file_transfer::kCloudCaFile, &content));
    EXPECT_EQ(content, "-----BEGIN CERTIFICATE-----");
    writeFile("/data/configs/cloud_setinfo", cloudFileBytes("server=1") + "trailing");
    ASSERT_TRUE(readCloudFile(file_transfer::kCloudSetInfo, &content));
    EXPECT_EQ(content, "server=1");
    writeFile("/data/configs/cloud_barcode", cloudFileBytes("SN-5").left(5));
    EXPECT_FALSE(readCloudFile(file_transfer::kCloudBarcode, &content));
    writeFile("/data/configs/cloud_barcode", QByteArray("\xAB\x00\x01x", 4));
    EXPECT_FALSE(readCloudFile(file_transfer::kCloudBarcode, &content));
    writeFile("/data/configs/cloud_barcode", QByteArray("\xAA\x00", 2));
    EXPECT_FALSE(readCloudFile(file_transfer::kCloudBarcode, &content));
    EXPECT_FALSE(readCloudFile(4, &content));
    writeFile("/data/configs/cloud_cafile", cloudFileBytes(QByteArray()));
    EXPECT_TRUE(readCloudFile(file_transfer::kCloudCaFile, &content));
    EXPECT_TRUE(content.isEmpty());
}

namespace {
class ModemLink : public CloudCommands {
protected:
    void SetUp() override
    {
        CloudCommands::SetUp();
        VyxRamPara::pInstance();
        Tz_uart_inout::pInstance();
        Tz_uart_inout_4G::pInstance();
        modem = std::make_unique<pc::SerialClient>(platform::simSerial().farEnd(1));
        serial = std::make_unique<pc::SerialClient>(platform::simSerial().farEnd(2));
        ASSERT_TRUE(modem->ok() && serial->ok());
    }
    static Bytes groupFrame(uint8_t command, const Bytes& data, uint16_t source = pc::kPc)
    {
        return pc::body(pc::kController, source, command, data);
    }
    static Bytes bytesOf(const QByteArray& b) { return Bytes(b.begin(), b.end()); }

    std::unique_ptr<pc::SerialClient> modem, serial;
};
} // namespace

TEST_F(ModemLink, GroupIsAnsweredOnTheModemPortOnly)
{
    const Bytes command = groupFrame(0xE0, bytesOf(R"({"name":"setProperty","barcode":"SN-4G"})"));
    Bytes reply = modem->ask(command);
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply[0], 0);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(reply.data() + 1), int(reply.size() - 1)))
                  .object(),
              (QJsonObject{{"name", "setProperty"}, {"result", 0}, {"barcode", "SN-4G"}}));
    EXPECT_EQ(storedBarcode(), "SN-4G");
    Bytes none;
    EXPECT_FALSE(serial->receive(&none, 100));

    // None of the group's bytes is a PC command (the PC serial link knows
    // none of them), so the modem still speaks every PC command.
    for (uint8_t group : {0xE0, 0xE1, 0xE2}) {
        SCOPED_TRACE(int(group));
        EXPECT_EQ(serial->ask(groupFrame(group, {3, 0, 0})), Bytes{0xFF});
    }
    EXPECT_FALSE(modem->receive(&none, 100));
    EXPECT_EQ(modem->ask(pc::readRam(0, 1)).size(), 2u);
    EXPECT_EQ(modem->ask(groupFrame(0xE0, {})), Bytes{2});
}

TEST_F(ModemLink, ModemReadsTheSetupFilesInPieces)
{
    QByteArray ca(2500, 'c');
    for (int i = 0; i < ca.size(); ++i)
        ca[i] = char('A' + i % 26);
    writeFile("/data/configs/cloud_cafile", cloudFileBytes(ca));
    QByteArray got;
    for (int offset = 0; offset <= ca.size(); offset += 1024) {
        Bytes reply = modem->ask(groupFrame(0xE1, {3, uint8_t(offset), uint8_t(offset >> 8)}));
        ASSERT_GE(reply.size(), 3u);
        EXPECT_EQ(reply[0], 0);
        EXPECT_EQ(le16(reply.data() + 1), 2500);
        EXPECT_EQ(reply.size() - 3, size_t(std::min(1024, ca.size() - offset)));
        got.append(reinterpret_cast<const char*>(reply.data() + 3), int(reply.size() - 3));
    }
    EXPECT_EQ(got, ca);
    EXPECT_EQ(modem->ask(groupFrame(0xE1, {3, 0xC5, 0x09})), Bytes{1}) << "offset past the end";
    EXPECT_EQ(modem->ask(groupFrame(0xE1, {1, 0, 0})), Bytes{1}) << "no barcode file";
    EXPECT_EQ(modem->ask(groupFrame(0xE1, {4, 0, 0})), Bytes{1}) << "no such file";
    EXPECT_EQ(modem->ask(groupFrame(0xE1, {3, 0})), Bytes{2});
    EXPECT_EQ(modem->ask(groupFrame(0xE1, {3, 0, 0, 0})), Bytes{2}) << "a byte more than its fields";
}

TEST_F(ModemLink, ReconfigureRequestIsPassedToTheModem)
{
    {
        QMutexLocker lock(&Utils::_reconfig_4g_mutex);
        g_reconfig_4g = 1;
    }
    Bytes notice;
    ASSERT_TRUE(modem->receive(&notice, 3000));
    EXPECT_EQ(notice, pc::body(0xF200, pc::kController, 0xE2, {}));
    {
        QMutexLocker lock(&Utils::_reconfig_4g_mutex);
        EXPECT_EQ(g_reconfig_4g, 0);
    }
    // The modem's answer is the end of it.
    ASSERT_TRUE(modem->send(pc::body(pc::kController, 0xF200, 0xE2, {0})));
    EXPECT_FALSE(modem->receive(&notice, 200));
    Bytes none;
    EXPECT_FALSE(serial->receive(&none, 50));
}
