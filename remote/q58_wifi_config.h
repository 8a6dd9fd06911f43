#pragma once
// The WiFi access point: hostapd on wlan1 with udhcpd handing out
// addresses, and optionally wpa_supplicant joining another network on
// wlan0. Its thread serves the "AT" commands on UDP port 13769, writes the
// tools' configuration files and restarts the access point on request.
// docs/cloud-4g-wifi.md has the commands and the files.

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

class Q58_WIFI_CONFIG {
public:
    // Creates the manager and starts its thread.
    static Q58_WIFI_CONFIG* pInstance();
    static Q58_WIFI_CONFIG* p_wifi;
    // Stops and joins the thread and closes the port.
    static void destroyForTest();
    // Tests: the manager without its thread; they call wifiTurn themselves.
    // Without `openPort` it leaves UDP 13769 to others (commands then only
    // through wifi_AT_cmd_manage).
    static Q58_WIFI_CONFIG* createForTest(bool openPort = true);

    // Moved by the port offset on a host.
    static constexpr uint16_t kPort = 13769;
    // Ticks from a reset request to its first pass.
    static constexpr uint32_t kResetDelay = 300;
    static constexpr int kMaxCommand = 256;

    static constexpr const char* kHostapdFile = "/etc/rtl_hostapd_2G.conf";
    static constexpr const char* kUdhcpdFile = "/etc/udhcpd.conf";
    static constexpr const char* kSupplicantFile = "/etc/wpa_supplicant.conf";
    // What stops the access point (also the settings screen's WiFi switch).
    static constexpr const char* kStopHostapd = "kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`";
    static constexpr const char* kStopUdhcpd = "kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`";

    struct Settings {
        QString ssid;     // of the access point
        QString password; // WPA2 passphrase of the access point
        QString address;  // of the access point (configuration key WifiIPAddress)
        QString stationSsid;     // network wlan0 joins; empty: none
        QString stationPassword;
    };
    static Settings defaults();

    // Asks for the access point to be restarted kResetDelay ticks from now
    // (or stopped, while parameter image byte 774 says WiFi is off).
    void set_wifi_reset_flag();
    // One AT command (a trailing CR/LF is ignored) -> its reply, CR LF
    // included.
    QByteArray wifi_AT_cmd_manage(const QByteArray& command);
    // One pass of the WiFi thread: the start-up steps on the first pass,
    // then the AT commands that arrive within `waitMs`, then the reset pass.
    void wifiTurn(int waitMs);

    Settings settings() const;
    bool accessPointUp() const { return m_apUp; }
    // 0 none, 1 asked for, 2 access point stopped, start-up steps next.
    uint8_t resetRequest() const { return m_resetRequest.load(); }

    // What may reach the tools' files and shell lines.
    static bool validSsid(const QString& ssid);
    static bool validPassword(const QString& password);
    static bool validAddress(const QString& address);

    static void* wifi_thread(void* arg);

private:
    struct Thread;
    Q58_WIFI_CONFIG(bool startThread, bool openPort);
    ~Q58_WIFI_CONFIG();

    static bool wifiOn();
    QByteArray checkData() const;
    QByteArray setData(const QByteArray& arguments);
    // Writes the three files for `s`, then makes `s` current; false when a
    // file could not be written (nothing changes then).
    bool apply(const Settings& s);
    void startAccessPoint();
    void stopAccessPoint();
    void stopStation();
    void resetPass();
    void serveDatagrams();

    std::unique_ptr<Thread> m_thread;
    mutable QMutex m_mutex; // m_settings
    Settings m_settings;
    bool m_startupPending = true;
    bool m_apUp = false;
    bool m_stationUp = false;
    std::atomic<uint8_t> m_resetRequest{0};
    std::atomic<uint32_t> m_resetStamp{0};
    bool m_openPort;
    bool m_openFailing = false; // reported once until it opens
    int m_fd = -1;
    uint32_t m_openStamp = 0;
};
