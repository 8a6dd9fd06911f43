// An OSD menu file: the input is written as a user-mode copy of the menu
// ("/data/modes/MO01.json") and read the way every reader of a menu reads
// it; a menu it holds is then set on the scaler and drawn into the simulated
// chip's OSD memory. The live menu never changes, a copy that is no menu is
// deleted, and the text store stays within its 63 lines of 128 characters.
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "core/vyxrampara.h"
#include "platform/c331_sim.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "platform/spi.h"
#include "scaler/c331_manage.h"
#include "scaler/omenu.h"
#include "tests/fuzz/fuzz_support.h"

namespace {
const char* const kCopy = "/data/modes/MO01.json";
const std::string kLive = "{\"name\": \"live\", \"osdcount\": 0, \"oactcount\": 0}";

std::string fileText(const std::string& absPath)
{
    std::ifstream in(platform::sysPath(absPath), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool exists(const std::string& absPath) { return std::ifstream(platform::sysPath(absPath)).good(); }

// The scaler brought up once on the simulated chip, the live menu in place.
c331_manage* scaler()
{
    static c331_manage* m = nullptr;
    if (!m) {
        fuzz::freshStore();
        platform::simSpiBus().map();
        platform::simSpiBus().setJournalLimit(0);
        platform::simScaler().setJournalLimit(0);
        m = c331_manage::createForTest();
        for (int turn = 0; turn < 20 && m->setup_stage < 8; ++turn)
            m->runTurn();
        fuzz::writeFile(kOsdMenuFile, reinterpret_cast<const uint8_t*>(kLive.data()), kLive.size());
    }
    return m;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    c331_manage* m = scaler();
    fuzz::writeFile(kCopy, data, size);

    OSD_LIST list;
    char path[] = "/data/modes/MO01.json";
    const int rc = get_json_omenu_para(path, &list);
    FUZZ_CHECK(rc == 0 || rc == 255);
    FUZZ_CHECK(list.status == rc);
    FUZZ_CHECK(exists(kCopy) == (rc == 0));
    FUZZ_CHECK(fileText(kOsdMenuFile) == kLive);
    if (rc == 0) {
        set_OSD_para(&list);
        FUZZ_CHECK(m->g_unicode_line >= 0 && m->g_unicode_line <= 63);
        for (int i = 0; i < 64; ++i)
            FUZZ_CHECK(m->osd_line_len[i] >= 0 && m->osd_line_len[i] <= 128);
        m->update_osd(m->c331_fd);
        FUZZ_CHECK(platform::simScaler().memoryErrors().empty());
    }
    std::remove(platform::sysPath(kCopy).c_str());
    // The records of this input go with it: the chip's of the menu drawn,
    // the shell's of a copy deleted.
    platform::simScaler().clearMemoryRecords();
    platform::simShell().clearLog();
    return 0;
}
