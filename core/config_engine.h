#pragma once
// The configuration store: "/data/configs/tcpip.ini", group "config".

#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <cstdint>

class QSettings;

class ConfigItem {
public:
    enum ConfigName {
        TcpPort = 0,
        UdpPort = 1,
        IPAddress = 2,
        SubNetMask = 3,
        GateWay = 4,
        MAC = 5,
        Barcode = 6,
        WifiIPAddress = 7,
        EDIDCheck = 8,
        SourceCheck = 9,
        ImageLayoutPassword = 10,
        Ryxacloudserverip = 11,
        Ryxacloudserverport = 12,
        Ryxaclouduserip = 13,
        Ryxacloudcontrollername = 14,
        VyxMaxPixel_UINT = 15,
        usbupgradedir = 16,
        VyxLCDLang = 17,
    };
    static constexpr int kCount = 18;

    // Takes the stored value from `settings` (or the item's own file) when
    // its text is not empty, else the default, which is then stored.
    ConfigItem(const QString& key, ConfigName id, const QVariant& defaultValue, bool isVolatile, uint8_t type,
               const QString& file, QSettings* settings);

    const QString& key() const { return m_key; }
    ConfigName id() const { return m_id; }
    bool isVolatile() const { return m_volatile; }
    uint8_t type() const { return m_type; }
    const QString& file() const { return m_file; }

    // Full key name ("config/<name>") -> id, for every item ever created.
    static QMap<QString, ConfigName> _itemMap;

private:
    friend class ConfigEngine;

    QString m_key;
    ConfigName m_id;
    QVariant m_default;
    bool m_volatile;
    uint8_t m_type; // 1 numbers, 0 text
    QString m_file; // system path of the ini file
    QVariant m_value;
};

class ConfigEngine : public QObject {
    Q_OBJECT
public:
    // Creates the store on the first call and loads the configuration
    // globals, applies the Ethernet address, reads the loader state and
    // clears the ageing log; later calls only return it.
    static ConfigEngine* pInstance();
    static ConfigEngine* p_config;

    QVariant read_config_variant(ConfigItem::ConfigName id);
    void write_config_variant(ConfigItem::ConfigName id, QVariant value);

    ConfigItem* getConfigItem(const QString& key);
    bool containsItemStr(const QString& key) const;
    // Accepts the key with or without the "config/" prefix; TcpPort for an
    // unknown key.
    static ConfigItem::ConfigName strToItem(const QString& key);
    // Points the start-up loader ("/data/configs/led_load_config.ini",
    // group "app-1") at the installed application "/data/app/vyxQ58N".
    // Takes Utils::_file_deal_mutex; false when the file was not written.
    static bool pointLoaderAtApp();
    // The TCP control port the stored configuration names, read without
    // creating the store (which applies the network settings).
    static uint32_t configuredTcpPort();

    static void destroyForTest();

private:
    ConfigEngine();
    ~ConfigEngine() override;

    static void deriveDeviceId();
    static void readLoaderState();

    // Guards the values and the file writes: the GUI, PC, cloud and
    // input-source threads all use the store.
    mutable QMutex m_mutex;
    QList<ConfigItem*> m_items; // index = id
};

