#pragma once
// The configuration store: "/data/configs/tcpip.ini", group "config".

#include <QObject>
#include <QVariant>

class ConfigEngine : public QObject {
    Q_OBJECT
public:
    static ConfigEngine* pInstance();
    static ConfigEngine* p_config;

    QVariant read_config_variant(int id);
    void write_config_variant(int id, const QVariant& value);

    static void destroyForTest();

private:
    ConfigEngine();
};
