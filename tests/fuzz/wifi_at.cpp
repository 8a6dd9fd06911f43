// One datagram to the WiFi manager's UDP port: the reply is one of the
// documented forms, and whatever was accepted is a valid setting.
#include "core/config_engine.h"
#include "remote/q58_wifi_config.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    ConfigEngine::pInstance();
    // The port stays free for the programs the other tests start.
    static Q58_WIFI_CONFIG* wifi = Q58_WIFI_CONFIG::createForTest(false);
    const QByteArray reply = wifi->wifi_AT_cmd_manage(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    FUZZ_CHECK(reply.endsWith("\r\n"));
    FUZZ_CHECK(reply == "OK\r\n" || reply == "ERR\r\n" || reply.startsWith("OK+CHECKDATA=")
               || reply.startsWith("OK+GETVER="));
    const Q58_WIFI_CONFIG::Settings s = wifi->settings();
    FUZZ_CHECK(Q58_WIFI_CONFIG::validSsid(s.ssid) && Q58_WIFI_CONFIG::validPassword(s.password));
    FUZZ_CHECK(Q58_WIFI_CONFIG::validAddress(s.address));
    FUZZ_CHECK(s.stationSsid.isEmpty() == s.stationPassword.isEmpty());
    FUZZ_CHECK(s.stationSsid.isEmpty()
               || (Q58_WIFI_CONFIG::validSsid(s.stationSsid) && Q58_WIFI_CONFIG::validPassword(s.stationPassword)));
    return 0;
}
