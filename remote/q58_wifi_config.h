#pragma once
// The WiFi access point.

class Q58_WIFI_CONFIG {

public:
    static Q58_WIFI_CONFIG* pInstance();
    static Q58_WIFI_CONFIG* p_wifi_config;
    static void destroyForTest();

private:
    Q58_WIFI_CONFIG();
};
