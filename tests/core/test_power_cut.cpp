// A power cut at every write step of a save: each save runs in a child
// process that the device layer ends at step n; the files it leaves are
// whole (old or new) and the store starts with them.
#include "tests/support/child.h"
#include "tests/support/sandbox.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <cstdio>
#include <cstring>
#include <set>

#include "core/change_codes.h"
#include "core/config_engine.h"
#include "core/globals.h"
#include "core/ram_map.h"
#include "core/syncupdate.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "platform/safe_file.h"
#include "remote/file_transfer.h"
#include "tests/remote/pc_client.h"

using namespace ram;

namespace {

const char* const kParamFile = "/data/ram_device_info";
const char* const kModeFile = "/data/modes/custom_mode3";
const char* const kMenuCopy = "/data/modes/MO03.json";
const char* const kIniFile = "/data/configs/tcpip.ini";
const char* const kMenu = "/data/configs/omenu.json";
const QByteArray kMenuFromThePc = "{\"osdcount\":0,\"from the PC\":333}";
constexpr uint16_t kOldBrightness = 40, kNewBrightness = 77;

void startStore()
{
    ConfigEngine::pInstance();
    VyxRamPara::pInstance();
}

// Child: loads the store from VYX_TEST_ROOT and runs the save named by
// VYX_TEST_SAVE; the device layer ends it at write step VYX_TEST_CRASH_AT.
// "first-start" is the start itself on an empty root. Prints the steps a
// whole save took.
ChildMain saveChild("power-cut-save", [] {
    platform::initForTest(childEnv("VYX_TEST_ROOT"));
    platform::setPauseScale(0);
    resetGlobalsForTest();
    const std::string save = childEnv("VYX_TEST_SAVE");
    const unsigned crashAt = unsigned(std::stoul(childEnv("VYX_TEST_CRASH_AT")));
    if (save == "first-start") {
        platform::crashAtWriteStep(crashAt);
        startStore();
    } else if (save == "pc-file") {
        // A menu file the PC sent, stored the way every PC file is.
        startStore();
        platform::crashAtWriteStep(crashAt);
        file_transfer::store_file(kMenu, kMenuFromThePc);
    } else {
        startStore();
        platform::crashAtWriteStep(crashAt);
        VyxRamPara* store = VyxRamPara::pInstance();
        if (save != "config")
            putLe16(store->ram_para + kBrightness, kNewBrightness);
        if (save == "mode")
            putLe16(store->ram_para + kModeSaveRequest, 3);
        SyncUpdate::pInstance()->para_sync(save == "config" ? kChangeNetworkReset : kChangeRefresh);
    }
    std::printf("steps %u\n", platform::writeSteps());
    return 0;
});

void copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QDir().mkpath(to);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            QFile::copy(source, target);
    }
}

class PowerCut : public Sandbox {
protected:
    // The root the saves start from: a store that has run before, with mode
    // 3 saved with the OSD menu on and the network moved away from its
    // defaults.
    void SetUp() override
    {
        Sandbox::SetUp();
        portOffset = freePortOffset({6000});
        base = root + "/base";
        platform::initForTest(base);
        writeFile("/base" + std::string(kIniFile),
                  "[config]\nTcpPort=6000\nIPAddress=192.168.0.50\nGateWay=192.168.0.2\nSubNetMask=255.255.0.0\n");
        writeFile("/base" + std::string(kMenu), "{\"osdcount\":0,\"old\":1}");
        startStore();
        VyxRamPara* store = VyxRamPara::pInstance();
        putLe16(store->ram_para + kOsdOn, 1);
        putLe16(store->ram_para + kBrightness, kOldBrightness);
        std::memcpy(store->user_mode[2] + kSlotData, store->ram_para + kModeStart, kModeLength);
        store->mode_file_write(2, 0);
        store->ram_para_persist();
        destroySingletonsForTest();
        writeFile("/base" + std::string(kMenu), "{\"osdcount\":0,\"new\":22}");
    }

    struct Versions {
        QByteArray before, after;
    };

    // Runs the save on a copy of the base; the child's exit code.
    int run(const std::string& save, unsigned crashAt, const std::string& dir, QByteArray* output)
    {
        copyTree(QString::fromStdString(base), QString::fromStdString(dir));
        return runChild("power-cut-save",
                        {{"VYX_TEST_ROOT", dir},
                         {"VYX_TEST_SAVE", save},
                         {"VYX_TEST_CRASH_AT", std::to_string(crashAt)}},
                        output);
    }

    QByteArray fileIn(const std::string& dir, const char* file) const
    {
        QFile f(QString::fromStdString(dir + file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    // The configuration file is rewritten once per key, so between two
    // keys it holds some old values and some new: whole means it parses
    // with every key, each old or new.
    void expectWholeIni(const std::string& dir, const QByteArray& before, const QByteArray& after)
    {
        QSettings now(QString::fromStdString(dir + kIniFile), QSettings::IniFormat);
        ASSERT_EQ(now.status(), QSettings::NoError);
        QStringList keys = now.allKeys();
        auto valueIn = [&](const QByteArray& text, const QString& key) {
            QFile scratch(QString::fromStdString(dir + "/ini-version"));
            scratch.open(QIODevice::WriteOnly | QIODevice::Truncate);
            scratch.write(text);
            scratch.close();
            QVariant v = QSettings(scratch.fileName(), QSettings::IniFormat).value(key);
            scratch.remove();
            return v;
        };
        EXPECT_EQ(keys.size(), ConfigItem::kCount) << keys.join(" ").toStdString();
        for (const QString& key : keys) {
            QVariant v = now.value(key);
            EXPECT_TRUE(v == valueIn(before, key) || v == valueIn(after, key)) << key.toStdString();
        }
    }

    // Crashes the save at every write step and checks what is left, then
    // starts the store on it. `files` are replaced whole (old or new).
    void sweep(const std::string& save, const std::vector<const char*>& files, unsigned minimumSteps)
    {
        QByteArray output;
        const std::string finished = root + "/" + save + "-whole";
        ASSERT_EQ(run(save, 0, finished, &output), 0) << output.toStdString();
        unsigned steps = 0;
        ASSERT_EQ(std::sscanf(output.mid(output.indexOf("steps ")).constData(), "steps %u", &steps), 1);
        EXPECT_GE(steps, minimumSteps);

        std::map<std::string, Versions> versions;
        for (const char* f : files)
            versions[f] = {fileIn(base, f), fileIn(finished, f)};
        for (const char* f : files)
            EXPECT_NE(versions[f].before, versions[f].after) << f << ": the save must change it";

        std::set<uint16_t> brightnessSeen;
        for (unsigned n = 1; n <= steps; ++n) {
            SCOPED_TRACE("power cut at write step " + std::to_string(n) + " of " + std::to_string(steps));
            const std::string dir = root + "/" + save + "-" + std::to_string(n);
            ASSERT_EQ(run(save, n, dir, &output), platform::kPowerCutExitCode) << output.toStdString();
            for (const char* f : files) {
                const QByteArray left = fileIn(dir, f);
                if (std::string(f) == kIniFile && save == "config")
                    expectWholeIni(dir, versions[f].before, versions[f].after);
                else
                    EXPECT_TRUE(left == versions[f].before || left == versions[f].after)
                        << f << " is torn: " << left.size() << " bytes";
            }
            // The leftovers are at most one temporary per file.
            QStringList temps;
            for (const char* d : {"/data", "/data/modes", "/data/configs"})
                temps << QDir(QString::fromStdString(dir + d)).entryList({".*.tmp"}, QDir::Hidden | QDir::Files);
            EXPECT_LE(temps.size(), 1) << temps.join(" ").toStdString();

            // The store starts with what is left and takes it as it is.
            platform::initForTest(dir);
            resetGlobalsForTest();
            startStore();
            VyxRamPara* store = VyxRamPara::pInstance();
            const uint16_t brightness = le16(store->ram_para + kBrightness);
            brightnessSeen.insert(brightness);
            const QByteArray param = fileIn(dir, kParamFile);
            const bool newParams = (save == "parameters" || save == "mode") && param == versions[kParamFile].after;
            EXPECT_EQ(brightness, newParams ? kNewBrightness : kOldBrightness);
            EXPECT_EQ(store->VyxUserModeSaved(2), 1);
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(store->user_mode[2]), kModeFileSize),
                      fileIn(dir, kModeFile));
            // Starting did not replace what it found.
            for (const char* f : files) {
                if (std::string(f) == kIniFile)
                    continue;
                const QByteArray now = fileIn(dir, f);
                EXPECT_TRUE(now == versions[f].before || now == versions[f].after) << f;
            }
            const uint16_t controlPort
                = uint16_t(ConfigEngine::pInstance()->read_config_variant(ConfigItem::TcpPort).toInt());
            destroySingletonsForTest();

            // So does the program, which answers the PC with it.
            expectAppStartsWith(dir, controlPort, brightness);
        }
        // Both the old and the new value were met.
        if (save == "parameters" || save == "mode") {
            EXPECT_EQ(brightnessSeen, (std::set<uint16_t>{kOldBrightness, kNewBrightness}));
        }
    }

    void expectAppStartsWith(const std::string& dir, uint16_t controlPort, uint16_t brightness)
    {
        std::unique_ptr<AppProcess> app = startApp(dir, portOffset);
        ASSERT_TRUE(app->waitForStarted(5000));
        pc::TcpClient pc(pcPort(controlPort), 5000);
        EXPECT_EQ(pc.ask(pc::readRam(kBrightness, 2)), (Bytes{0, uint8_t(brightness), uint8_t(brightness >> 8)}))
            << app->readAll().toStdString();
        app->kill();
        app->waitForFinished(5000);
    }

    std::string base;
};

} // namespace

TEST_F(PowerCut, ParameterSave) { sweep("parameters", {kParamFile}, 9); }

TEST_F(PowerCut, UserModeSaveWithItsMenuCopy)
{
    // The mode file, its menu copy and the parameter file that records the
    // current mode.
    sweep("mode", {kModeFile, kMenuCopy, kParamFile}, 9 + 6 + 9);
}

TEST_F(PowerCut, ConfigurationSave)
{
    // Address, gateway, mask and port: one replacement each.
    sweep("config", {kIniFile}, 4 * 6);
}

TEST_F(PowerCut, FileFromThePc) { sweep("pc-file", {kMenu}, 6); }

TEST_F(PowerCut, FirstStartOnAnEmptyRoot)
{
    // Whatever a cut first start leaves, the next start completes it.
    QDir(QString::fromStdString(base)).removeRecursively();
    QDir().mkpath(QString::fromStdString(base));
    QByteArray output;
    const std::string finished = root + "/first-whole";
    ASSERT_EQ(run("first-start", 0, finished, &output), 0) << output.toStdString();
    unsigned steps = 0;
    ASSERT_EQ(std::sscanf(output.mid(output.indexOf("steps ")).constData(), "steps %u", &steps), 1);
    EXPECT_GE(steps, 6u + 9u); // the configuration and the parameter file
    const QByteArray param = fileIn(finished, kParamFile), ini = fileIn(finished, kIniFile);
    for (unsigned n = 1; n <= steps; ++n) {
        SCOPED_TRACE(n);
        const std::string dir = root + "/first-" + std::to_string(n);
        ASSERT_EQ(run("first-start", n, dir, &output), platform::kPowerCutExitCode) << output.toStdString();
        for (auto [file, whole] : {std::make_pair(kParamFile, param), std::make_pair(kIniFile, ini)}) {
            QByteArray left = fileIn(dir, file);
            EXPECT_TRUE(left == whole || left == "(missing)") << file << ": " << left.size() << " bytes";
        }
        platform::initForTest(dir);
        resetGlobalsForTest();
        startStore();
        EXPECT_EQ(fileIn(dir, kParamFile), param);
        EXPECT_EQ(fileIn(dir, kIniFile), ini);
        destroySingletonsForTest();
        expectAppStartsWith(dir, 5005, 100);
    }
}
