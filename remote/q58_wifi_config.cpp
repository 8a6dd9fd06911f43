#include "remote/q58_wifi_config.h"

Q58_WIFI_CONFIG* Q58_WIFI_CONFIG::p_wifi_config = nullptr;

Q58_WIFI_CONFIG::Q58_WIFI_CONFIG()

{
}

Q58_WIFI_CONFIG* Q58_WIFI_CONFIG::pInstance()
{
    if (!p_wifi_config)
        p_wifi_config = new Q58_WIFI_CONFIG();
    return p_wifi_config;
}

void Q58_WIFI_CONFIG::destroyForTest()
{
    delete p_wifi_config;
    p_wifi_config = nullptr;
}
