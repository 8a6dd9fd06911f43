#include "core/config_engine.h"

#include <QMutexLocker>
#include <QSettings>

#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "platform/safe_file.h"
#include "platform/socid.h"

ConfigEngine* ConfigEngine::p_config = nullptr;
QMap<QString, ConfigItem::ConfigName> ConfigItem::_itemMap;

namespace {

const char* const kConfigFile = "/data/configs/tcpip.ini";
const char* const kLoaderFile = "/data/configs/led_load_config.ini";
const char* const kLoaderAppPath = "/data/app/vyxQ58N -platform linuxfb";
const QString kGroupPrefix = QStringLiteral("config/");

struct KeyDef {
    const char* name;
    QVariant defaultValue;
    uint8_t type;
};

// In id order.
const KeyDef& keyDef(int id)
{
    static const KeyDef defs[ConfigItem::kCount] = {
        {"TcpPort", 5005, 1},
        {"UdpPort", 5008, 1},
        {"IPAddress", QStringLiteral("192.168.0.199"), 0},
        {"SubNetMask", QStringLiteral("255.255.255.0"), 0},
        {"GateWay", QStringLiteral("192.168.0.1"), 0},
        {"MAC", QStringLiteral("FF:FF:FF:FF:FF:FF"), 0},
        {"Barcode", QStringLiteral(" "), 0},
        {"WifiIPAddress", QStringLiteral("192.168.22.101"), 0},
        {"EDIDCheck", QStringLiteral("Once"), 0},
        {"SourceCheck", 255, 1},
        {"ImageLayoutPassword", QStringLiteral("vy"), 0},
        {"Ryxacloudserverip", QStringLiteral(" "), 0},
        {"Ryxacloudserverport", QStringLiteral(" "), 1},
        {"Ryxaclouduserip", QStringLiteral(" "), 0},
        {"Ryxacloudcontrollername", QStringLiteral(" "), 0},
        {"VyxMaxPixel_UINT", 6553600, 1},
        {"usbupgradedir", QStringLiteral("VYX-Q71"), 0},
        {"VyxLCDLang", 0x1001F, 1},
    };
    return defs[id];
}

// The device id: 32 hexadecimal digits scrambled from the nibbles of the
// SoC's three unique-ID words; each digit is 0..15.
void socIdDigits(uint16_t x, uint16_t y, uint16_t z, int d[32])
{
    const int x3 = (x >> 12) & 15, x2 = (x >> 8) & 15, x1 = (x >> 4) & 15, x0 = x & 15;
    const int y3 = (y >> 12) & 15, y2 = (y >> 8) & 15, y1 = (y >> 4) & 15, y0 = y & 15;
    const int z3 = (z >> 12) & 15, z2 = (z >> 8) & 15, z1 = (z >> 4) & 15, z0 = z & 15;
    const int digits[32] = {
        x3, y3, z3, y1, z1, z0, z2,
        (x3 + y3) % 2, (z3 + y1) / 2, y0, y2, (z0 + z1) / 2, (x3 + y3) / 2, (z0 + z1) % 2, (z3 + y1) % 2,
        x2, x1, (z2 + y0) % 2, (y2 + x2) % 2, (x1 + x0) % 2, (x1 + x0) / 2,
        (x3 + y3 + z3) % 3, (x3 + y3 + z3) / 3, (x3 + y2 + x2) % 3, (x3 + y2 + x2) / 3,
        (y1 + z2 + x1) % 3, (y1 + z2 + x1) / 3, (z1 + y0 + x0) % 3, (z1 + y0 + x0) / 3,
        (y2 + x2) / 2, (z2 + y0) / 2, x0,
    };
    for (int i = 0; i < 32; ++i)
        d[i] = digits[i];
}

bool hasText(const QVariant& v) { return v.isValid() && !v.toString().isEmpty(); }

} // namespace

ConfigItem::ConfigItem(const QString& key, ConfigName id, const QVariant& defaultValue, bool isVolatile,
                       uint8_t type, const QString& file, QSettings* settings)
    : m_key(key)
    , m_id(id)
    , m_default(defaultValue)
    , m_volatile(isVolatile)
    , m_type(type)
    , m_file(file)
{
    _itemMap[key] = id;

    QVariant stored = settings->value(key);
    if (hasText(stored)) {
        m_value = stored;
        return;
    }
    QString itemFile = platform::sysPath(file);
    if (settings->fileName() != itemFile) {
        QSettings own(itemFile, QSettings::IniFormat);
        stored = own.value(key);
        if (hasText(stored)) {
            m_value = stored;
            settings->setValue(key, stored);
            return;
        }
    }
    m_value = defaultValue;
    if (hasText(defaultValue) && !isVolatile)
        settings->setValue(key, defaultValue);
}

ConfigEngine::ConfigEngine()
    : QObject(nullptr)
{
    const QString file = QString::fromLatin1(kConfigFile);
    // The defaults the items take are written when the edit ends.
    platform::editIniFile(kConfigFile, [&](QSettings& settings) {
        // Every write of the file reaches the flash at once.
        Utils::system_mutex(QStringLiteral("chattr +S %1").arg(file));
        for (int id = 0; id < ConfigItem::kCount; ++id) {
            const KeyDef& def = keyDef(id);
            m_items.append(new ConfigItem(kGroupPrefix + QLatin1String(def.name), ConfigItem::ConfigName(id),
                                          def.defaultValue, false, def.type, file, &settings));
        }
    });
}

ConfigEngine::~ConfigEngine() { qDeleteAll(m_items); }

ConfigEngine* ConfigEngine::pInstance()
{
    if (p_config)
        return p_config;
    p_config = new ConfigEngine();
    deriveDeviceId();
    // Without the SoC's ID the configuration is still loaded and applied:
    // a stored port or address must not be ignored for the whole run.
    Utils::getIPAddress();
    Utils::initIPAddress();
    readLoaderState();
    factoryage_log.clear();
    factoryage_log_num = 0;
    return p_config;
}

void ConfigEngine::deriveDeviceId()
{
    platform::SocUniqueId id;
    if (!platform::readSocUniqueId(&id))
        return;
    int digits[32];
    socIdDigits(id.x, id.y, id.z, digits);
    VYX_DEBUG("\n mmap uuid161= %#x ,%#X ,%#x \n", id.x, id.y, id.z);
    static const char hex[] = "0123456789abcdef";
    for (int i = 0; i < 32; ++i) {
        g_pid[i] = uint8_t(hex[digits[i]]);
        VYX_DEBUG(" %#x ", digits[i]);
    }
    VYX_DEBUG("\n");
}

bool ConfigEngine::pointLoaderAtApp()
{
    QMutexLocker lock(&Utils::_file_deal_mutex);
    return platform::editIniFile(kLoaderFile, [](QSettings& loader) {
        loader.beginGroup(QStringLiteral("app-1"));
        loader.setValue(QStringLiteral("app_path"), QString::fromLatin1(kLoaderAppPath));
        loader.setValue(QStringLiteral("app_name"), QStringLiteral("vyxQ58N"));
        loader.endGroup();
    });
}

uint32_t ConfigEngine::configuredTcpPort()
{
    QSettings settings(platform::sysPath(QString::fromLatin1(kConfigFile)), QSettings::IniFormat);
    const KeyDef& def = keyDef(ConfigItem::TcpPort);
    const QVariant stored = settings.value(kGroupPrefix + QLatin1String(def.name));
    return (hasText(stored) ? stored : def.defaultValue).toUInt();
}

void ConfigEngine::readLoaderState()
{
    QSettings loader(platform::sysPath(QString::fromLatin1(kLoaderFile)), QSettings::IniFormat);
    loader.beginGroup(QStringLiteral("app-1"));
    QString appPath = loader.value(QStringLiteral("app_path")).toString();
    g_update_status = appPath == QLatin1String(kLoaderAppPath) ? 1 : 0;
}

QVariant ConfigEngine::read_config_variant(ConfigItem::ConfigName id)
{
    QMutexLocker lock(&m_mutex);
    if (id < 0 || id >= m_items.size())
        return QVariant();
    return m_items[id]->m_value;
}

void ConfigEngine::write_config_variant(ConfigItem::ConfigName id, QVariant value)
{
    QMutexLocker lock(&m_mutex);
    if (id < 0 || id >= m_items.size())
        return;
    ConfigItem* item = m_items[id];
    item->m_value = value;
    if (item->m_volatile)
        return;
    const QString& key = item->m_key;
    platform::editIniFile(item->m_file.toStdString(), [&](QSettings& settings) { settings.setValue(key, value); });
}

bool ConfigEngine::containsItemStr(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    for (const ConfigItem* item : m_items)
        if (item->m_key == key)
            return true;
    return false;
}

ConfigItem::ConfigName ConfigEngine::strToItem(const QString& key)
{
    QString full = key.startsWith(kGroupPrefix) ? key : kGroupPrefix + key;
    return ConfigItem::_itemMap.value(full, ConfigItem::TcpPort);
}

ConfigItem* ConfigEngine::getConfigItem(const QString& key)
{
    if (!containsItemStr(key))
        return nullptr;
    QMutexLocker lock(&m_mutex);
    return m_items.value(strToItem(key), nullptr);
}

void ConfigEngine::destroyForTest()
{
    delete p_config;
    p_config = nullptr;
}
