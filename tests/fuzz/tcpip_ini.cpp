// The configuration file "/data/configs/tcpip.ini" as the store finds it at
// start: every item, the globals taken from it and the Ethernet address set
// up from it.
#include <QDir>
#include <QSettings>
#include <QString>
#include <set>
#include <string>

#include "core/config_engine.h"
#include "core/globals.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "tests/fuzz/fuzz_support.h"

namespace {
// QSettings keeps the files it parsed in a cache of about ten (Qt 5: a cost
// of 100, ten for a file of one key): each input's configuration stays
// there until later ones push it out, so no input would free all it made
// and every one would cost the fuzzer a leak search. Ten files of one key,
// read again at the end of each input, push out everything else.
constexpr int kCacheFiles = 10;

std::string cacheFile(int i) { return "/fuzz/settings-" + std::to_string(i) + ".ini"; }

void pushOutSettingsCache()
{
    static bool written = false;
    if (!written) {
        QDir().mkpath(QString::fromStdString(platform::sysPath("/fuzz")));
        const std::string one = "[a]\nk=1\n";
        for (int i = 0; i < kCacheFiles; ++i)
            fuzz::writeFile(cacheFile(i), reinterpret_cast<const uint8_t*>(one.data()), one.size());
        written = true;
    }
    for (int i = 0; i < kCacheFiles; ++i)
        QSettings(QString::fromStdString(platform::sysPath(cacheFile(i))), QSettings::IniFormat).value("a/k");
}

bool dottedQuad(const std::string& word)
{
    int parts = 0, digits = 0, value = 0;
    for (char c : word + ".") {
        if (c == '.') {
            if (digits == 0 || value > 255)
                return false;
            ++parts;
            digits = value = 0;
        } else if (c >= '0' && c <= '9' && digits < 3) {
            value = value * 10 + (c - '0');
            ++digits;
        } else {
            return false;
        }
    }
    return parts == 4;
}

// A command the store may run: the fixed words of its address set-up, and
// addresses that are dotted quads.
bool knownCommand(const std::string& command)
{
    static const std::set<std::string> words = {
        "chattr", "+S", "/data/configs/tcpip.ini", "ifconfig", "eth0", "&>/dev/null", "route", "del",
        "default", "wlan0", "wlan1", "netmask", "up", "add", "-host", "dev", "gw", "metric", "100", "ip", "via"};
    for (const std::string& word : platform::shellWords(command))
        if (!words.count(word) && !dottedQuad(word) && word != "&>/dev/null")
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    fuzz::writeFile("/data/configs/tcpip.ini", data, size);
    ConfigEngine* cfg = ConfigEngine::pInstance();

    for (int id = 0; id < ConfigItem::kCount; ++id) {
        QVariant v = cfg->read_config_variant(ConfigItem::ConfigName(id));
        FUZZ_CHECK(v.isValid() && !v.toString().isEmpty());
    }
    FUZZ_CHECK(g_port.load() == cfg->read_config_variant(ConfigItem::TcpPort).toUInt());
    FUZZ_CHECK(g_str_ip == cfg->read_config_variant(ConfigItem::IPAddress).toString());
    // Whatever the file holds, the shell sees nothing but address commands.
    for (const std::string& command : platform::simShell().log())
        FUZZ_CHECK(knownCommand(command));

    // What the input made goes with it: the next loads afresh.
    ConfigEngine::destroyForTest();
    resetGlobalsForTest();
    g_debugSwitch = 0;
    platform::simShell().clearLog();
    pushOutSettingsCache();
    return 0;
}
