#include "core/config_engine.h"

ConfigEngine* ConfigEngine::p_config = nullptr;

ConfigEngine::ConfigEngine()
    : QObject(nullptr)
{
}

ConfigEngine* ConfigEngine::pInstance()
{
    if (!p_config)
        p_config = new ConfigEngine();
    return p_config;
}

QVariant ConfigEngine::read_config_variant(ConfigItem::ConfigName) { return QVariant(); }

void ConfigEngine::write_config_variant(ConfigItem::ConfigName, QVariant) {}

void ConfigEngine::destroyForTest()
{
    delete p_config;
    p_config = nullptr;
}
