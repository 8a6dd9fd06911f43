#include "remote/message_deal_cloud_4g.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QMutexLocker>
#include <algorithm>
#include <cstring>

#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"
#include "platform/safe_file.h"
#include "remote/file_transfer.h"
#include "remote/message_deal.h"
#include "remote/protocol_phy.h"
#include "remote/protocol_phy_cloud_4g.h"

namespace {
constexpr int kGroupDataAt = protocol_phy::kDataAt;
constexpr uint8_t kCloudFileMark = 0xAA;

const QString kJsonName = QStringLiteral("name");
const QString kJsonResult = QStringLiteral("result");
const QString kJsonBarcode = QStringLiteral("barcode");

QByteArray compactJson(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

int groupStatus(uint8_t* body, uint8_t code)
{
    body[kGroupDataAt] = code;
    return kGroupDataAt + 1;
}
} // namespace

bool message_deal_4g::is_group_command(uint8_t command)
{
    return command == CMD_CLOUD_JSON || command == CMD_CLOUD_SETUP_READ || command == CMD_CLOUD_SETUP_CHANGED;
}

QByteArray message_deal_4g::deal_json(const QByteArray& command)
{
    QJsonObject answer;
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(command, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject() || !doc.object().value(kJsonName).isString()) {
        answer.insert(kJsonName, QString());
        answer.insert(kJsonResult, RESULT_MALFORMED);
        return compactJson(answer);
    }
    const QJsonObject request = doc.object();
    const QString name = request.value(kJsonName).toString();
    answer.insert(kJsonName, name);
    int result = RESULT_UNKNOWN;
    if (name == QLatin1String("setProperty"))
        result = cloudSetProperty(request, &answer);
    answer.insert(kJsonResult, result);
    return compactJson(answer);
}

int message_deal_4g::cloudSetProperty(const QJsonObject& command, QJsonObject* answer)
{
    // Every key must be known and valid before anything is stored.
    for (auto it = command.begin(); it != command.end(); ++it)
        if (it.key() != kJsonName && it.key() != kJsonBarcode)
            return RESULT_BAD_VALUE;
    const QJsonValue value = command.value(kJsonBarcode);
    if (!value.isString())
        return RESULT_BAD_VALUE;
    // The PC's barcode setter decides what a barcode may hold; UTF-8 keeps
    // anything beyond ASCII visible to it.
    switch (message_deal::apply_barcode(value.toString().toUtf8())) {
    case message_deal::STATUS_DONE: break;
    case message_deal::STATUS_REFUSED: return RESULT_BAD_VALUE;
    default: return RESULT_FAILED;
    }
    answer->insert(kJsonBarcode, ConfigEngine::pInstance()->read_config_variant(ConfigItem::Barcode).toString());
    return RESULT_OK;
}

int message_deal_4g::message_group_deal(uint8_t* body, int length, int capacity)
{
    const int dataLength = length - 1 - kGroupDataAt;
    if (dataLength < 0 || capacity < kGroupDataAt + 2)
        return 0;
    switch (body[protocol_phy::kCommandAt]) {
    case CMD_CLOUD_JSON: {
        if (dataLength == 0)
            return groupStatus(body, message_deal::STATUS_MALFORMED);
        QByteArray answer = deal_json(QByteArray(reinterpret_cast<const char*>(body + kGroupDataAt), dataLength));
        if (kGroupDataAt + 1 + answer.size() + 1 > capacity)
            return groupStatus(body, message_deal::STATUS_REFUSED);
        std::memcpy(body + kGroupDataAt + 1, answer.constData(), size_t(answer.size()));
        return groupStatus(body, message_deal::STATUS_DONE) + answer.size();
    }
    case CMD_CLOUD_SETUP_READ: {
        if (dataLength != 3)
            return groupStatus(body, message_deal::STATUS_MALFORMED);
        const uint8_t id = body[kGroupDataAt];
        const int offset = le16(body + kGroupDataAt + 1);
        QByteArray content;
        if (!readCloudFile(id, &content) || offset > content.size())
            return groupStatus(body, message_deal::STATUS_REFUSED);
        int n = std::min(kSetupChunk, content.size() - offset);
        if (kGroupDataAt + 3 + n + 1 > capacity)
            return groupStatus(body, message_deal::STATUS_REFUSED);
        putLe16(body + kGroupDataAt + 1, uint16_t(content.size()));
        std::memcpy(body + kGroupDataAt + 3, content.constData() + offset, size_t(n));
        return groupStatus(body, message_deal::STATUS_DONE) + 2 + n;
    }
    default:
        // The modem's answer to a notice: nothing more to say.
        return 0;
    }
}

int message_deal_4g::setup_changed_notice(uint8_t* out)
{
    uint8_t body[kGroupDataAt + 1] = {};
    putLe16(body, kModemAddress);
    putLe16(body + 2, 0xF100);
    body[protocol_phy::kCommandAt] = CMD_CLOUD_SETUP_CHANGED;
    body[kGroupDataAt] = Utils::BCC(body, kGroupDataAt);
    return protocol_phy::data_re_transf_meaning(nullptr, out, body, kGroupDataAt + 1, nullptr);
}

std::vector<uint8_t> message_deal_cloud_4g::Cloud_MSG_ACK(uint8_t sequence, const QByteArray& answer)
{
    uint8_t device[protocol_phy_cloud_4g::kDeviceIdSize];
    protocol_phy_cloud_4g::deviceId(device);
    return protocol_phy_cloud_4g::encode(protocol_phy_cloud_4g::kTypeAck, sequence, device, answer);
}

std::vector<uint8_t> message_deal_cloud_4g::msg_to_cloud(uint8_t sequence, const QByteArray& command)
{
    uint8_t device[protocol_phy_cloud_4g::kDeviceIdSize];
    protocol_phy_cloud_4g::deviceId(device);
    return protocol_phy_cloud_4g::encode(protocol_phy_cloud_4g::kTypeCommand, sequence, device, command);
}

bool readCloudFile(uint8_t kind, QByteArray* content)
{
    const std::string path = file_transfer::cloud_path(kind);
    if (path.empty())
        return false;
    QByteArray bytes;
    {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        if (!platform::readFile(path, &bytes))
            return false;
    }
    if (bytes.size() < file_transfer::kCloudHeader || uint8_t(bytes[0]) != kCloudFileMark)
        return false;
    const int length = (uint8_t(bytes[1]) << 8) | uint8_t(bytes[2]);
    if (bytes.size() < file_transfer::kCloudHeader + length)
        return false;
    *content = bytes.mid(file_transfer::kCloudHeader, length);
    return true;
}
