// The configuration globals and the Ethernet address of eth0.
#include "core/config_engine.h"
#include "core/globals.h"
#include "core/utils.h"

#include <QDebug>
#include <QStringList>
#include <mutex>

namespace {

// Apply sequences from the GUI and a PC thread must not interleave, nor
// two reloads of the globals. Recursive: the first use of the store runs
// its own start-up load.
std::recursive_mutex g_networkMutex;

// Four decimal parts 0..255: the only address text that may reach the
// shell (the PC sends these texts).
bool isDottedQuad(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        if (part.toUInt() > 255)
            return false;
    }
    return true;
}

int loadGlobals()
{
    ConfigEngine* cfg = ConfigEngine::pInstance();
    auto text = [cfg](ConfigItem::ConfigName id) { return cfg->read_config_variant(id).toString(); };
    auto number = [cfg](ConfigItem::ConfigName id) { return cfg->read_config_variant(id).toUInt(); };

    g_str_ip = text(ConfigItem::IPAddress);
    g_str_gateway = text(ConfigItem::GateWay);
    g_srt_mask = text(ConfigItem::SubNetMask);
    g_port = number(ConfigItem::TcpPort);
    g_int_tcp_port = g_port.load();
    g_str_barcode = text(ConfigItem::Barcode);
    g_str_wifi_ip = text(ConfigItem::WifiIPAddress);
    g_check_edid = text(ConfigItem::EDIDCheck);
    g_imagelayoutpassword = text(ConfigItem::ImageLayoutPassword);
    g_check_source = uint8_t(number(ConfigItem::SourceCheck));
    g_Ryxa_cloudserverip = text(ConfigItem::Ryxacloudserverip);
    g_Ryxa_cloudserverport = number(ConfigItem::Ryxacloudserverport);
    g_Ryxa_clouduserid = text(ConfigItem::Ryxaclouduserip);
    g_Ryxa_controllername = text(ConfigItem::Ryxacloudcontrollername);
    // The cloud is off only while all four settings are still the defaults.
    const QString blank = QStringLiteral(" ");
    g_Ryxa_cloud = (g_Ryxa_cloudserverip == blank && g_Ryxa_clouduserid == blank &&
                    g_Ryxa_controllername == blank && g_Ryxa_cloudserverport == 0)
                       ? 0
                       : 1;
    g_vyx_max_pixel = cfg->read_config_variant(ConfigItem::VyxMaxPixel_UINT).toInt();
    g_usb_grade_path = text(ConfigItem::usbupgradedir);
    g_lcd_lang_valid = number(ConfigItem::VyxLCDLang);
    return 0;
}

bool eth0Present() { return Utils::system_mutex(QStringLiteral("ifconfig eth0 &>/dev/null")) == 0; }

// The address, mask and routes of eth0. `full` is the start-up and settings
// form (interface brought up, the "ip route" default too, commands logged).
void applyAddress(const QString& ip, const QString& gateway, const QString& mask, bool full)
{
    Utils::system_mutex(QStringLiteral("route del default wlan0"));
    if (isDottedQuad(ip) && isDottedQuad(mask) && isDottedQuad(gateway)) {
        QStringList commands;
        commands << QStringLiteral("ifconfig eth0 %1 netmask %2%3").arg(ip, mask, full ? QStringLiteral(" up") : QString())
                 << QStringLiteral("route add -host %1 dev eth0").arg(gateway)
                 << QStringLiteral("route add default gw %1 metric 100").arg(gateway);
        if (full)
            commands << QStringLiteral("ip route add default via %1 dev eth0").arg(gateway);
        for (const QString& command : commands) {
            if (full)
                qDebug() << command;
            Utils::system_mutex(command);
        }
    }
    Utils::system_mutex(QStringLiteral("route add -host 255.255.255.255 eth0"));
    Utils::system_mutex(QStringLiteral("route del 255.255.255.255 wlan1"));
}

} // namespace

int Utils::getIPAddress()
{
    std::lock_guard<std::recursive_mutex> lock(g_networkMutex);
    return loadGlobals();
}

int Utils::initIPAddress()
{
    std::lock_guard<std::recursive_mutex> lock(g_networkMutex);
    if (!eth0Present())
        return 255;
    loadGlobals();
    applyAddress(g_str_ip, g_str_gateway, g_srt_mask, true);
    return 0;
}

int Utils::init_resteth(QString ip, QString gateway, QString mask)
{
    std::lock_guard<std::recursive_mutex> lock(g_networkMutex);
    if (!eth0Present())
        return 255;
    applyAddress(ip, gateway, mask, false);
    return 0;
}
