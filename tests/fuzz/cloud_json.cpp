// One JSON command from the cloud (or relayed by the 4G modem): every
// input gets an answer naming a result, and only valid values are stored.
#include "core/config_engine.h"
#include "remote/message_deal_cloud_4g.h"
#include "tests/fuzz/fuzz_support.h"

#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    ConfigEngine* config = ConfigEngine::pInstance();
    const QByteArray answer = message_deal_4g::deal_json(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    const QJsonObject o = QJsonDocument::fromJson(answer).object();
    FUZZ_CHECK(o.value("name").isString());
    const int result = o.value("result").toInt(-1);
    FUZZ_CHECK(result >= message_deal_4g::RESULT_OK && result <= message_deal_4g::RESULT_FAILED);
    const QString barcode = config->read_config_variant(ConfigItem::Barcode).toString();
    FUZZ_CHECK(!barcode.isEmpty() && barcode.size() <= 64);
    for (QChar c : barcode)
        FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() <= 0x7E);
    return 0;
}
