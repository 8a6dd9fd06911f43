#include "ui/image/alias.h"

#include <QByteArray>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <boost/optional.hpp>
#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdio>
#include <exception>
#include <sstream>

#include "core/globals.h"
#include "core/json_nesting.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "platform/safe_file.h"

namespace {
namespace apt = boost::property_tree;

// Four levels make the file; room for a few more in members nobody reads.
constexpr int kAliasMaxNesting = 32;

enum class AliasRead { Parsed, Absent, Busy, Deleted };

// The lock on the stored files, taken without waiting: the PC transfer
// holds it while it writes the file, and the screens never wait for it.
class AliasFileLock {
public:
    AliasFileLock()
        : m_held(Utils::_file_deal_mutex.tryLock())
    {
    }
    ~AliasFileLock()
    {
        if (m_held)
            Utils::_file_deal_mutex.unlock();
    }
    AliasFileLock(const AliasFileLock&) = delete;
    AliasFileLock& operator=(const AliasFileLock&) = delete;
    bool held() const { return m_held; }

private:
    bool m_held;
};

// Reads and parses the file into `tree`. A file that is not JSON goes (under
// the same hold of the lock, so a file the PC stores meanwhile is never the
// one deleted).
AliasRead readAliasFile(apt::ptree* tree)
{
    AliasFileLock lock;
    if (!lock.held())
        return AliasRead::Busy;
    const QFileInfo info(platform::sysPath(QString::fromLatin1(kAliasFile)));
    QByteArray bytes;
    // A directory at the path is no file to read, nor one to delete.
    if (!info.isFile() || !platform::readFile(kAliasFile, &bytes))
        return AliasRead::Absent;
    const std::string json(bytes.constData(), size_t(bytes.size()));
    try {
        if (json_nesting(json) > kAliasMaxNesting)
            throw apt::json_parser_error(
                "nested deeper than " + std::to_string(kAliasMaxNesting) + " levels", kAliasFile, 1);
        std::istringstream stream(json);
        apt::read_json(stream, *tree);
        return AliasRead::Parsed;
    } catch (const apt::json_parser_error& e) {
        VYX_DEBUG("json error: %s(%lu): %s\n", kAliasFile, e.line(), e.message().c_str());
    }
    Utils::system_mutex(QStringLiteral("rm -rf ") + QString::fromLatin1(kAliasFile));
    return AliasRead::Deleted;
}

const apt::ptree* member(const apt::ptree& node, const std::string& key)
{
    // Keys are taken whole: a '.' in one is no path.
    boost::optional<const apt::ptree&> child = node.get_child_optional(apt::ptree::path_type(key, '\0'));
    return child ? &*child : nullptr;
}

// A value that is text (or a number, which the reader keeps as its text),
// not an object or an array.
bool textOf(const apt::ptree& node, const std::string& key, std::string* out)
{
    const apt::ptree* value = member(node, key);
    if (!value || !value->empty())
        return false;
    *out = value->data();
    return true;
}

bool idOf(const apt::ptree& entry, int* id)
{
    const apt::ptree* value = member(entry, "id");
    if (!value || !value->empty())
        return false;
    boost::optional<int> number = value->get_value_optional<int>();
    if (!number)
        return false;
    *id = *number;
    return true;
}

// The first member of "namelist" named `list`, in file order.
const apt::ptree* findList(const apt::ptree& root, const std::string& list)
{
    const apt::ptree* names = member(root, "namelist");
    if (!names)
        return nullptr;
    for (const auto& item : *names)
        if (item.first == list)
            return &item.second;
    return nullptr;
}

} // namespace

bool get_json_alias_para(ALIAS_PARA* para, std::string list, int id)
{
    if (!para)
        return false;
    apt::ptree root;
    if (readAliasFile(&root) != AliasRead::Parsed)
        return false;
    try {
        const apt::ptree* entries = findList(root, list);
        if (!entries)
            return false;
        for (const auto& item : *entries) {
            int entryId = 0;
            // An entry without a whole-number id ends the search: what lies
            // beyond it is not looked at.
            if (!idOf(item.second, &entryId))
                return false;
            if (entryId != id)
                continue;
            std::string valid, name;
            if (!textOf(item.second, "valid", &valid) || !textOf(item.second, "name", &name))
                return false;
            para->id = entryId;
            para->valid = valid;
            para->name = name;
            return valid != "off" && !name.empty();
        }
    } catch (const std::exception& e) {
        VYX_DEBUG("json error: %s\n", e.what());
    }
    return false;
}

void Json_create()
{
    struct AliasSample {
        const char* key;
        int count;
        const char* entries[3][2]; // id, name
    };
    const AliasSample lists[] = {
        {kAliasSource, 3, {{"0", "仓库"}, {"2", "机房"}, {"3", "abcdefghijkl"}}},
        {kAliasUserMode, 3, {{"0", "User Mode 1"}, {"1", "User Mode 2"}, {"2", "User Mode 3"}}},
        {kAliasWindow, 2, {{"0", "Window 1"}, {"1", "Window 2"}}},
        {kAliasCrop, 3, {{"0", "Crop 1"}, {"1", "Crop 2"}, {"2", "Crop 3"}}},
    };
    apt::ptree root;
    root.put("filename", kAliasFile);
    apt::ptree names;
    for (const auto& list : lists) {
        apt::ptree array;
        for (int i = 0; i < list.count; ++i) {
            apt::ptree entry;
            entry.put("id", list.entries[i][0]);
            entry.put("valid", "off");
            entry.put("name", list.entries[i][1]);
            array.push_back(std::make_pair(std::string(), entry));
        }
        names.add_child(apt::ptree::path_type(list.key, '\0'), array);
    }
    root.add_child("namelist", names);

    std::ostringstream out;
    apt::write_json(out, root);
    const std::string text = out.str();
    bool written = false;
    {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        written = platform::replaceFile(kAliasFile, text.data(), text.size());
    }
    if (written)
        VYX_DEBUG("\n create Json OK !!!");
    else
        VYX_DEBUG("\n %s cannot be opened for writing", kAliasFile);
}

void Json_analysis()
{
    apt::ptree root;
    const AliasRead read = readAliasFile(&root);
    if (read != AliasRead::Parsed) {
        if (read == AliasRead::Absent)
            VYX_DEBUG("\n %s cannot be opened", kAliasFile);
        return;
    }
    const struct {
        const char* key;
        const char* heading;
    } known[] = {{kAliasSource, "\n json source :"}, {kAliasUserMode, "\n json usermode :"},
        {kAliasWindow, "\n json window :"}, {kAliasCrop, "\n json crop :"}};
    try {
        const apt::ptree* names = member(root, "namelist");
        const apt::ptree none;
        for (const auto& list : names ? *names : none) {
            for (const auto& k : known) {
                if (list.first != k.key)
                    continue;
                VYX_DEBUG("%s", k.heading);
                for (const auto& item : list.second) {
                    int id = 0;
                    std::string valid, name;
                    if (!idOf(item.second, &id) || !textOf(item.second, "valid", &valid)
                        || !textOf(item.second, "name", &name))
                        break;
                    std::printf(" id: %d    valid: %s    name: %s\n", id, valid.c_str(), name.c_str());
                }
            }
        }
    } catch (const std::exception& e) {
        VYX_DEBUG("json error: %s\n", e.what());
    }
    VYX_DEBUG("\n read Json over !!!");
}
