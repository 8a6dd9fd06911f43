#pragma once
// The configuration store: "/data/configs/tcpip.ini", group "config".

#include <QObject>
#include <QVariant>

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
};

class ConfigEngine : public QObject {
    Q_OBJECT
public:
    static ConfigEngine* pInstance();
    static ConfigEngine* p_config;

    QVariant read_config_variant(ConfigItem::ConfigName id);
    void write_config_variant(ConfigItem::ConfigName id, QVariant value);

    static void destroyForTest();

private:
    ConfigEngine();
};
