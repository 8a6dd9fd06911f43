// The display-name file: what a sample file names, and what the lookup does
// with files that are not JSON (deleted), JSON of another shape (kept, no
// name), something else at the path, and a file the PC transfer is writing.
#include "tests/support/sandbox.h"

#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <atomic>
#include <thread>

#include "core/globals.h"
#include "core/utils.h"
#include "platform/shell.h"
#include "ui/image/alias.h"

namespace {

const char* const kAliasSample = R"json({
    "filename": "/data/configs/alias.json",
    "namelist": {
        "source": [
            { "id": "0", "valid": "on",  "name": "舞台左" },
            { "id": 1,   "valid": "",    "name": "Camera A" },
            { "id": "2", "valid": "off", "name": "Backstage" },
            { "id": "3", "valid": "OFF", "name": "Главный экран" }
        ],
        "usermode": [
            { "id": "0",  "valid": "on",  "name": "Morning show" },
            { "id": "1",  "valid": "on",  "name": "" },
            { "id": "15", "valid": "yes", "name": "Chế độ buổi tối với một cái tên rất dài" }
        ],
        "win": [
            { "id": "0", "valid": "on", "name": "Main window with a very long display name" },
            { "id": "1", "valid": "on", "name": "PIP" },
            { "id": "1", "valid": "on", "name": "PIP duplicate (never shown)" }
        ],
        "crop": [
            { "id": "0", "valid": "on", "name": "Left half", "comment": "extra member, ignored" },
            { "id": "5", "valid": "on", "name": "Ticker" }
        ],
        "osd": [
            { "id": "0", "valid": "on", "name": "unknown list, ignored" }
        ]
    }
})json";

class AliasFile : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        platform::simShell().clearLog();
    }
    void store(const QByteArray& content) { writeFile(kAliasFile, content); }
    bool stored() const { return exists(kAliasFile); }
    bool ranRemove() const
    {
        for (const std::string& c : platform::simShell().log())
            if (c == "rm -rf /data/configs/alias.json")
                return true;
        return false;
    }
    // The record a lookup leaves when it fills nothing.
    static ALIAS_PARA untouched() { return ALIAS_PARA{-7, "before", "before"}; }
};

bool sameAliasRecord(const ALIAS_PARA& a, const ALIAS_PARA& b)
{
    return a.id == b.id && a.valid == b.valid && a.name == b.name;
}

} // namespace

TEST_F(AliasFile, SampleFileNamesWhatIsInUseAndFillsTheEntryFound)
{
    store(kAliasSample);
    const struct {
        const char* list;
        int id;
        bool named;
        bool filled;
        ALIAS_PARA record;
    } cases[] = {
        {kAliasSource, 0, true, true, {0, "on", "舞台左"}},
        {kAliasSource, 1, true, true, {1, "", "Camera A"}}, // a number id; an empty valid is in use
        {kAliasSource, 2, false, true, {2, "off", "Backstage"}},
        {kAliasSource, 3, true, true, {3, "OFF", "Главный экран"}}, // only "off" marks an entry unused
        {kAliasUserMode, 0, true, true, {0, "on", "Morning show"}},
        {kAliasUserMode, 1, false, true, {1, "on", ""}},
        {kAliasUserMode, 2, false, false, {}},
        {kAliasUserMode, 15, true, true, {15, "yes", "Chế độ buổi tối với một cái tên rất dài"}},
        {kAliasWindow, 0, true, true, {0, "on", "Main window with a very long display name"}},
        {kAliasWindow, 1, true, true, {1, "on", "PIP"}}, // the first of two with id 1
        {kAliasCrop, 0, true, true, {0, "on", "Left half"}},
        {kAliasCrop, 5, true, true, {5, "on", "Ticker"}},
        {kAliasCrop, 1, false, false, {}},
        {"osd", 0, true, true, {0, "on", "unknown list, ignored"}}, // any list key is searched
        {"Source", 0, false, false, {}},                             // keys are exact
        {"namelist", 0, false, false, {}},
    };
    for (const auto& c : cases) {
        ALIAS_PARA record = untouched();
        EXPECT_EQ(get_json_alias_para(&record, c.list, c.id), c.named) << c.list << " " << c.id;
        EXPECT_TRUE(sameAliasRecord(record, c.filled ? c.record : untouched())) << c.list << " " << c.id;
    }
    EXPECT_TRUE(stored());
    EXPECT_FALSE(ranRemove());
}

TEST_F(AliasFile, FilesThatAreNotJsonGoThoseOfAnotherShapeStay)
{
    const QByteArray sample(kAliasSample);
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    const struct {
        const char* what;
        QByteArray content;
        const char* list;
        int id;
        bool named;
        bool kept;
    } cases[] = {
        {"empty file", "", kAliasSource, 0, false, false},
        {"an opening brace only", "{", kAliasSource, 0, false, false},
        {"garbage after the object", sample + "x", kAliasSource, 0, false, false},
        {"a name not in UTF-8", "{\"namelist\":{\"source\":[{\"id\":0,\"valid\":\"on\",\"name\":\"\xB2\xD6\xBF\xE2\"}]}}",
            kAliasSource, 0, false, false},
        {"nested a hundred thousand deep", deep, kAliasSource, 0, false, false},
        {"the sample behind a byte-order mark", "\xEF\xBB\xBF" + sample, kAliasSource, 0, true, true},
        {"an array at the root", "[1,2]", kAliasSource, 0, false, true},
        {"a text at the root", "\"x\"", kAliasSource, 0, false, true},
        {"a number at the root", "42", kAliasSource, 0, false, true},
        {"no namelist", "{\"filename\":\"x\"}", kAliasSource, 0, false, true},
        {"namelist a text", "{\"namelist\":\"source\"}", kAliasSource, 0, false, true},
        {"namelist an array", "{\"namelist\":[{\"source\":[]}]}", kAliasSource, 0, false, true},
        {"the list twice: the first is searched",
            "{\"namelist\":{\"source\":[{\"id\":1,\"valid\":\"\",\"name\":\"A\"}],"
            "\"source\":[{\"id\":0,\"valid\":\"\",\"name\":\"B\"}]}}",
            kAliasSource, 0, false, true},
        {"an entry without id before the one asked for",
            "{\"namelist\":{\"source\":[{\"valid\":\"\",\"name\":\"A\"},{\"id\":0,\"valid\":\"\",\"name\":\"B\"}]}}",
            kAliasSource, 0, false, true},
        {"an entry without id after the one asked for",
            "{\"namelist\":{\"source\":[{\"id\":0,\"valid\":\"\",\"name\":\"B\"},{\"valid\":\"\"}]}}", kAliasSource, 0,
            true, true},
        {"an id that is a text", "{\"namelist\":{\"source\":[{\"id\":\"abc\"},{\"id\":0,\"valid\":\"\",\"name\":\"B\"}]}}",
            kAliasSource, 0, false, true},
        {"an id with a fraction", "{\"namelist\":{\"source\":[{\"id\":\"1.0\"},{\"id\":0,\"valid\":\"\",\"name\":\"B\"}]}}",
            kAliasSource, 0, false, true},
        {"an id beyond int", "{\"namelist\":{\"source\":[{\"id\":99999999999,\"valid\":\"\",\"name\":\"B\"}]}}",
            kAliasSource, -1, false, true},
        {"an id that is null", "{\"namelist\":{\"source\":[{\"id\":null},{\"id\":0,\"valid\":\"\",\"name\":\"B\"}]}}",
            kAliasSource, 0, false, true},
        {"an id that is an object", "{\"namelist\":{\"source\":[{\"id\":{}},{\"id\":0,\"valid\":\"\",\"name\":\"B\"}]}}",
            kAliasSource, 0, false, true},
        {"an id in hexadecimal", "{\"namelist\":{\"source\":[{\"id\":\"0x10\",\"valid\":\"\",\"name\":\"B\"}]}}",
            kAliasSource, 16, false, true},
        {"an id padded with blanks", "{\"namelist\":{\"source\":[{\"id\":\" 4 \",\"valid\":\"\",\"name\":\"B\"}]}}",
            kAliasSource, 4, true, true},
        {"the entry without valid", "{\"namelist\":{\"source\":[{\"id\":0,\"name\":\"B\"}]}}", kAliasSource, 0, false,
            true},
        {"the entry without name", "{\"namelist\":{\"source\":[{\"id\":0,\"valid\":\"on\"}]}}", kAliasSource, 0, false,
            true},
        {"a name that is an array", "{\"namelist\":{\"source\":[{\"id\":0,\"valid\":\"on\",\"name\":[\"B\"]}]}}",
            kAliasSource, 0, false, true},
        {"the list an object of entries",
            "{\"namelist\":{\"source\":{\"a\":{\"id\":0,\"valid\":\"on\",\"name\":\"B\"}}}}", kAliasSource, 0, true,
            true},
    };
    for (const auto& c : cases) {
        platform::simShell().clearLog();
        store(c.content);
        ALIAS_PARA record = untouched();
        EXPECT_EQ(get_json_alias_para(&record, c.list, c.id), c.named) << c.what;
        EXPECT_EQ(stored(), c.kept) << c.what;
        EXPECT_EQ(ranRemove(), !c.kept) << c.what;
        if (!c.named) {
            EXPECT_TRUE(sameAliasRecord(record, untouched())) << c.what;
        }
    }
}

TEST_F(AliasFile, NoFileOrADirectoryAtThePathNamesNothingAndLeavesIt)
{
    ALIAS_PARA record = untouched();
    EXPECT_FALSE(get_json_alias_para(&record, kAliasSource, 0));
    EXPECT_FALSE(stored()) << "no file is made";

    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path(kAliasFile))));
    EXPECT_FALSE(get_json_alias_para(&record, kAliasSource, 0));
    EXPECT_TRUE(QDir(QString::fromStdString(path(kAliasFile))).exists());
    EXPECT_FALSE(ranRemove());
    EXPECT_TRUE(sameAliasRecord(record, untouched()));
}

TEST_F(AliasFile, WhileThePcTransferHoldsTheFilesTheLookupNeitherWaitsNorDeletes)
{
    // A file half written: not JSON yet.
    store("{\"namelist\":{\"source\":[{\"id\":0,");
    std::atomic<bool> held{false}, release{false};
    std::thread transfer([&] {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        held = true;
        while (!release)
            std::this_thread::yield();
        store("{\"namelist\":{\"source\":[{\"id\":0,\"valid\":\"on\",\"name\":\"Stage\"}]}}");
    });
    while (!held)
        std::this_thread::yield();
    ALIAS_PARA record;
    EXPECT_FALSE(get_json_alias_para(&record, kAliasSource, 0));
    EXPECT_TRUE(stored());
    EXPECT_FALSE(ranRemove());
    release = true;
    transfer.join();
    EXPECT_TRUE(get_json_alias_para(&record, kAliasSource, 0));
    EXPECT_EQ(record.name, "Stage");
}

TEST_F(AliasFile, SampleWriterNamesNothingAndThePrinterListsEveryEntry)
{
    Json_create();
    ASSERT_TRUE(stored());
    for (const char* list : {kAliasSource, kAliasUserMode, kAliasWindow, kAliasCrop})
        for (int id = 0; id < 4; ++id) {
            ALIAS_PARA record;
            EXPECT_FALSE(get_json_alias_para(&record, list, id)) << list << " " << id;
        }
    ALIAS_PARA record;
    get_json_alias_para(&record, kAliasSource, 2);
    EXPECT_EQ(record.valid, "off");
    EXPECT_EQ(record.name, "机房");

    store(kAliasSample);
    g_debugSwitch = 0; // the entries are printed in any case, the headings only when debugging
    testing::internal::CaptureStdout();
    Json_analysis();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed,
        " id: 0    valid: on    name: 舞台左\n"
        " id: 1    valid:     name: Camera A\n"
        " id: 2    valid: off    name: Backstage\n"
        " id: 3    valid: OFF    name: Главный экран\n"
        " id: 0    valid: on    name: Morning show\n"
        " id: 1    valid: on    name: \n"
        " id: 15    valid: yes    name: Chế độ buổi tối với một cái tên rất dài\n"
        " id: 0    valid: on    name: Main window with a very long display name\n"
        " id: 1    valid: on    name: PIP\n"
        " id: 1    valid: on    name: PIP duplicate (never shown)\n"
        " id: 0    valid: on    name: Left half\n"
        " id: 5    valid: on    name: Ticker\n");

    store("{");
    Json_analysis();
    EXPECT_FALSE(stored());
}
