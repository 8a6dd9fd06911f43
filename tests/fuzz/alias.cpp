// The display-name file as the PC could send it: every lookup returns, a
// name is given only for an entry in use with a name, the record is filled
// only by the entry asked for, and the file goes only when it is not JSON
// (after which nothing is named).
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui/image/alias.h"

namespace {
bool aliasStored() { return std::ifstream(platform::sysPath(kAliasFile)).good(); }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::begin();
    fuzz::writeFile(kAliasFile, data, size);

    bool named = false, gone = false;
    for (const char* list : {kAliasSource, kAliasUserMode, kAliasWindow, kAliasCrop}) {
        for (int id : {0, 1, 2, 3, 15, 39, -1}) {
            ALIAS_PARA record{-12345, "unchanged", "unchanged"};
            const bool result = get_json_alias_para(&record, list, id);
            const bool filled = record.id != -12345 || record.valid != "unchanged" || record.name != "unchanged";
            FUZZ_CHECK(!filled || record.id == id);
            FUZZ_CHECK(!result || (filled && record.valid != "off" && !record.name.empty()));
            FUZZ_CHECK(!(gone && result));
            named = named || result;
            gone = gone || !aliasStored();
        }
    }
    FUZZ_CHECK(!(named && gone));
    std::remove(platform::sysPath(kAliasFile).c_str());
    return 0;
}
