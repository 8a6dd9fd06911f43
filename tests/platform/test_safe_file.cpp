// Stored files are replaced whole: a power cut at any write step leaves the
// old or the new content.
#include "tests/support/child.h"
#include "tests/support/sandbox.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <cerrno>
#include <sys/stat.h>

#include "platform/platform.h"
#include "platform/safe_file.h"

namespace {

using SafeFile = Sandbox;

QByteArray pattern(int size, char seed)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(seed + i * 7);
    return b;
}

// Names in a directory of the root, hidden ones included.
QStringList namesIn(const std::string& dir)
{
    return QDir(QString::fromStdString(dir)).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

const char* const kFile = "/data/modes/custom_mode1";
const int kOldSize = 700, kNewSize = 3000;

// Replaces a file of kOldSize bytes with one of kNewSize, with a power cut
// at the write step VYX_TEST_CRASH_AT.
ChildMain replaceChild("safe-file-replace", [] {
    platform::initForTest(childEnv("VYX_TEST_ROOT"));
    platform::crashAtWriteStep(unsigned(std::stoul(childEnv("VYX_TEST_CRASH_AT"))));
    return platform::replaceFile(kFile, pattern(kNewSize, 'n')) ? 0 : 1;
});

} // namespace

TEST_F(SafeFile, ReplacesWholeKeepsThePermissionsAndLeavesNothingBehind)
{
    ASSERT_TRUE(platform::replaceFile(kFile, QByteArray("first")));
    EXPECT_EQ(readFile(kFile), "first");
    ::chmod(path(kFile).c_str(), 0640);
    const QByteArray big = pattern(5000, 'b');
    ASSERT_TRUE(platform::replaceFile(kFile, big));
    EXPECT_EQ(readFile(kFile), big);
    struct stat st;
    ASSERT_EQ(::stat(path(kFile).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_TRUE(platform::replaceFile(kFile, QByteArray()));
    EXPECT_TRUE(exists(kFile));
    EXPECT_EQ(readFile(kFile), QByteArray());
    EXPECT_EQ(namesIn(path("/data/modes")), QStringList{"custom_mode1"});

    // A directory that is not there: refused, with the reason.
    errno = 0;
    EXPECT_FALSE(platform::replaceFile("/data/nowhere/file", QByteArray("x")));
    EXPECT_EQ(errno, ENOENT);

    // A copy takes the bytes; a source that is not there leaves the target.
    writeFile("/data/configs/omenu.json", "{\"menu\":2}");
    ASSERT_TRUE(platform::copyFile("/data/configs/omenu.json", "/data/modes/MO01.json"));
    EXPECT_EQ(readFile("/data/modes/MO01.json"), "{\"menu\":2}");
    EXPECT_FALSE(platform::copyFile("/data/configs/none.json", "/data/modes/MO01.json"));
    EXPECT_EQ(readFile("/data/modes/MO01.json"), "{\"menu\":2}");
}

TEST_F(SafeFile, IniEditsWriteWhatQSettingsWritesAndNothingWhenUnchanged)
{
    // The same edits made by QSettings on a file of its own give the bytes.
    const QByteArray start = "; kept as QSettings keeps it\n[config]\nTcpPort=6000\nName=a b\n[other]\nx=1\n";
    writeFile("/data/configs/tcpip.ini", start);
    writeFile("/direct.ini", start);
    auto edit = [](QSettings& s) {
        s.setValue("config/TcpPort", 5005);
        s.setValue("config/IPAddress", "192.168.0.199");
        s.setValue("config/Barcode", " ");
        s.setValue("config/VyxLCDLang", 0x1001F);
    };
    ASSERT_TRUE(platform::editIniFile("/data/configs/tcpip.ini", edit));
    {
        QSettings direct(QString::fromStdString(path("/direct.ini")), QSettings::IniFormat);
        edit(direct);
    }
    EXPECT_EQ(readFile("/data/configs/tcpip.ini"), readFile("/direct.ini"));
    EXPECT_NE(readFile("/data/configs/tcpip.ini"), start);

    // A new file, and reads inside an edit see the stored values.
    QVariant seen;
    ASSERT_TRUE(platform::editIniFile("/data/configs/new.ini", [&](QSettings& s) { s.setValue("a/b", 1); }));
    ASSERT_TRUE(platform::editIniFile("/data/configs/new.ini", [&](QSettings& s) { seen = s.value("a/b"); }));
    EXPECT_EQ(seen.toInt(), 1);
    EXPECT_EQ(readFile("/data/configs/new.ini"), "[a]\nb=1\n");

    // An edit that changes nothing does not replace the file.
    struct stat before, after;
    ASSERT_EQ(::stat(path("/data/configs/tcpip.ini").c_str(), &before), 0);
    ASSERT_TRUE(
        platform::editIniFile("/data/configs/tcpip.ini", [](QSettings& s) { s.setValue("config/TcpPort", 5005); }));
    ASSERT_EQ(::stat(path("/data/configs/tcpip.ini").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);

    // No scratch copy and no lock stays behind, here or under /tmp.
    EXPECT_EQ(namesIn(path("/data/configs")), (QStringList{"new.ini", "tcpip.ini"}));
    EXPECT_TRUE(namesIn(path("/tmp")).isEmpty()) << namesIn(path("/tmp")).join(" ").toStdString();
}

TEST_F(SafeFile, PowerCutAtEveryWriteStepLeavesTheOldOrTheNewFile)
{
    const QByteArray oldBytes = pattern(kOldSize, 'o'), newBytes = pattern(kNewSize, 'n');
    // Create, three writes of at most 1 KiB, flush, close, rename, directory
    // flush.
    const unsigned kSteps = 8;
    for (unsigned n = 1;; ++n) {
        SCOPED_TRACE(n);
        const std::string dir = root + "/cut" + std::to_string(n);
        platform::initForTest(dir);
        writeFile("/cut" + std::to_string(n) + kFile, oldBytes);
        QByteArray output;
        int code = runChild("safe-file-replace", {{"VYX_TEST_ROOT", dir}, {"VYX_TEST_CRASH_AT", std::to_string(n)}},
                            &output);
        const QByteArray left = readFile("/cut" + std::to_string(n) + kFile);
        if (code == 0) {
            EXPECT_EQ(n, kSteps + 1);
            EXPECT_EQ(left, newBytes);
            break;
        }
        ASSERT_EQ(code, platform::kPowerCutExitCode) << output.toStdString();
        ASSERT_LE(n, kSteps);
        EXPECT_TRUE(left == oldBytes || left == newBytes) << left.size() << " bytes";
        // Once renamed the new content is there; before, the old one.
        EXPECT_EQ(left == newBytes, n == kSteps);

        // At most the one temporary, which the next replacement reuses.
        QStringList names = namesIn(dir + "/data/modes");
        EXPECT_LE(names.size(), 2);
        ASSERT_TRUE(platform::replaceFile(kFile, QByteArray("again")));
        EXPECT_EQ(namesIn(dir + "/data/modes"), QStringList{"custom_mode1"});
    }
}
