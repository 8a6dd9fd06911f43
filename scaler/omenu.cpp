// The OSD menu file reader and setter.
#include "scaler/omenu.h"

#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QVector>
#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "core/globals.h"
#include "core/json_nesting.h"
#include "core/ram_map.h"
#include "core/utils.h"
#include "core/vyxrampara.h"
#include "platform/platform.h"
#include "scaler/c331_manage.h"

OSD_LIST g_osd_list;

namespace {
namespace pt = boost::property_tree;

// The JSON reader descends once per nesting level: deeper files are refused
// before it runs.
constexpr int kMaxNesting = 32;
// The first three menu items are read.
constexpr int kItems = 3;
// The text store holds 64 lines, of which 63 can be set; 128 characters each.
constexpr int kMaxLines = 63;
constexpr int kMaxLineChars = 128;

struct MenuError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const pt::ptree& child(const pt::ptree& t, const std::string& key, const std::string& where)
{
    auto c = t.get_child_optional(pt::ptree::path_type(key, '\0'));
    if (!c)
        throw MenuError("\"" + where + key + "\" is missing");
    return *c;
}

int integer(const pt::ptree& t, const std::string& key, const std::string& where)
{
    auto v = child(t, key, where).get_value_optional<int>();
    if (!v)
        throw MenuError("\"" + where + key + "\" is not a whole number");
    return *v;
}

std::string text(const pt::ptree& t, const std::string& key, const std::string& where)
{
    const pt::ptree& c = child(t, key, where);
    if (!c.empty())
        throw MenuError("\"" + where + key + "\" is not a text");
    return c.data();
}

std::string optionalText(const pt::ptree& t, const std::string& key, const std::string& where,
                         const std::string& otherwise)
{
    if (!t.get_child_optional(pt::ptree::path_type(key, '\0')))
        return otherwise;
    return text(t, key, where);
}

OMENU_PARA readItem(const pt::ptree& node, int index)
{
    const std::string at = "menu[" + std::to_string(index) + "].";
    OMENU_PARA item;
    item.type = integer(node, "type", at);
    item.status = text(node, "status", at);
    const pt::ptree& pos = child(node, "pos", at);
    item.x = integer(pos, "x", at + "pos.");
    item.y = integer(pos, "y", at + "pos.");
    item.w = integer(pos, "w", at + "pos.");
    item.h = integer(pos, "h", at + "pos.");
    item.layer = optionalText(pos, "layer", at + "pos.", "");
    const pt::ptree& act = child(node, "act", at);
    item.effect = integer(act, "effect", at + "act.");
    item.speed = integer(act, "speed", at + "act.");
    item.staytime = integer(act, "staytime", at + "act.");
    if (item.type == 1) {
        const pt::ptree& bmp = child(node, "bmppara", at);
        item.bmp_start = integer(bmp, "start", at + "bmppara.");
        item.bmp_end = integer(bmp, "end", at + "bmppara.");
        return item;
    }
    item.h_align = optionalText(act, "h_align", at + "act.", "left");
    item.v_align = optionalText(act, "v_align", at + "act.", "top");
    const pt::ptree& back = child(node, "backpara", at);
    item.back_enable = text(back, "enable", at + "backpara.");
    item.back_color = text(back, "color", at + "backpara.");
    const pt::ptree& font = child(node, "fontpara", at);
    const std::string f = at + "fontpara.";
    item.startx = integer(font, "startx", f);
    item.starty = integer(font, "starty", f);
    item.fontw = integer(font, "fontw", f);
    item.fonth = integer(font, "fonth", f);
    item.wordspace = integer(font, "wordspace", f);
    item.verticalspace = integer(font, "verticalspace", f);
    item.font_color = text(font, "color", f);
    item.texts = text(node, "texts", at);
    return item;
}

// Only our own paths reach the shell: nothing a file name could smuggle in.
bool plainPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return false;
    for (char ch : path)
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '/' && ch != '.' && ch != '_' && ch != '-')
            return false;
    return path.find("..") == std::string::npos;
}
} // namespace

int get_json_omenu_para(char* path, OSD_LIST* list)
{
    if (!path || !list)
        return 255;
    list->osdcount = 0;
    list->status = 0;
    list->whole_items = 0;
    const std::string file = path;
    try {
        std::string json;
        {
            // Read whole under the file lock; parsed and judged after it.
            QMutexLocker lock(&Utils::_file_deal_mutex);
            std::ifstream in(platform::sysPath(file), std::ios::binary);
            if (!in)
                return 0;
            in.seekg(0, std::ios::end);
            const std::streamoff size = in.tellg();
            if (size < 0 || size > kOsdMenuMaxBytes)
                throw MenuError("the file has " + std::to_string((long long)size) +
                                " bytes, more than an OSD menu (" + std::to_string(kOsdMenuMaxBytes) + ")");
            in.seekg(0, std::ios::beg);
            json.assign(size_t(size), '\0');
            if (!in.read(&json[0], size))
                throw MenuError("the file could not be read");
        }
        if (json_nesting(json) > kMaxNesting)
            throw MenuError("objects nested deeper than " + std::to_string(kMaxNesting) + " levels");
        pt::ptree tree;
        try {
            std::istringstream stream(json);
            pt::read_json(stream, tree);
        } catch (const pt::json_parser_error& e) {
            throw MenuError("line " + std::to_string(e.line()) + ": " + e.message());
        }
        const std::string name = text(tree, "name", "");
        VYX_DEBUG("\n [omenu] name: %s\n", name.c_str());
        list->osdcount = integer(tree, "osdcount", "");
        list->oactcount = integer(tree, "oactcount", "");
        if (list->osdcount != 0) {
            const pt::ptree& menu = child(tree, "menu", "");
            int index = 0;
            for (const auto& element : menu) {
                if (index == kItems)
                    break;
                list->item[index] = readItem(element.second, index);
                list->whole_items = ++index;
            }
        }
        return 0;
    } catch (const std::exception& e) {
        VYX_DEBUG("json error: %s: %s\n", file.c_str(), e.what());
        writeLogMsg(LOG_ERROR, "json error: " + file + ": " + e.what());
        list->status = 255;
        // The offending file goes: the one read, whichever it is.
        if (plainPath(file))
            Utils::system_mutex(QString::fromStdString("rm -rf " + file));
        return 255;
    }
}

namespace {
// "RRGGBB" (an optional "0x" allowed) as the chip's 0xBBGGRR.
int swappedColour(const std::string& hex)
{
    const unsigned long v = std::strtoul(hex.c_str(), nullptr, 16) & 0xFFFFFFul;
    return int(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
}
} // namespace

void set_OSD_para(OSD_LIST* list)
{
    c331_manage* m = c331_manage::p_c331_manage;
    if (!list || !m)
        return;
    if (list->status != 0 && list->whole_items < 1) {
        VYX_DEBUG("\n [omenu] the menu file's first item was not read in full: the OSD stays as it was\n");
        return;
    }
    if (list->osdcount == 0)
        return;
    const OMENU_PARA& item = list->item[0];
    VyxRamPara* store = VyxRamPara::p_vyxrampara_config;
    const unsigned ledW = store ? le16(store->ram_para + ram::kLedWidth) : 0;
    const unsigned ledH = store ? le16(store->ram_para + ram::kLedHeight) : 0;
    const int w = unsigned(item.w) > ledW ? int(ledW) : item.w;
    const int y = unsigned(item.y) > ledH ? int(ledH) : item.y;
    auto set = [m](int type, int value) { m->vyxApi_OsdSet(type, value); };

    m->load_char();
    m->osd_halign = m->osd_valign = 0;

    // The text: lines at "\n" (a "\r" before it dropped), at most 63 lines
    // of 128 characters.
    QStringList lines = QString::fromStdString(item.texts).split(QLatin1Char('\n'));
    const int count = std::min(int(lines.size()), kMaxLines);
    std::unique_ptr<unsigned int[][kMaxLineChars]> codesOf(new unsigned int[kMaxLines][kMaxLineChars]());
    std::vector<int> lengths(size_t(kMaxLines), 0);
    for (int i = 0; i < count; ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QVector<uint> codes = line.toUcs4();
        const int n = std::min(int(codes.size()), kMaxLineChars);
        for (int k = 0; k < kMaxLineChars; ++k)
            codesOf[i][k] = k < n ? codes[k] : 0;
        lengths[size_t(i)] = n;
    }
    m->vyxApi_OsdSetUnicode(count, lengths.data(), codesOf.get());

    set(5, item.x);
    set(6, w);
    set(7, y);
    set(8, item.h);
    set(3, item.type == 1 ? 0 : 1);
    if (item.fontw == 32 && item.fonth == 32) {
        set(1, 0), set(2, 0), set(14, 0), set(48, 0);
    } else if (item.fontw == 64 && item.fonth == 64) {
        set(1, 0), set(2, 0), set(14, 1), set(48, 0);
    } else if (item.fontw == 128 && item.fonth == 128) {
        set(1, 1), set(2, 1), set(14, 1), set(48, 0);
    } else if (item.fontw == 256 && item.fonth == 256) {
        set(1, 1), set(2, 1), set(14, 1), set(48, 1);
    } else {
        set(14, 0);
    }
    set(21, item.startx);
    set(22, item.starty);
    set(9, item.x);
    set(10, w);
    set(11, y);
    set(12, item.h);
    set(17, swappedColour(item.font_color));
    // The chip takes the speed as a signed byte: ten times the file's, wrapped.
    set(13, int(int8_t(uint8_t(uint32_t(item.speed) * 10u))));
    if (item.back_enable != "off") {
        set(16, swappedColour(item.back_color));
        set(18, 0);
    } else {
        set(18, 1);
    }
    static const int kEffectMode[] = {0, 3, 4, 1, 2};
    if (item.effect >= 0 && item.effect <= 4)
        set(4, kEffectMode[item.effect]);
    set(0, item.status == "on" ? 1 : 0);
    set(33, item.layer == "buttom" ? 1 : 0);
    if (item.h_align == "left")
        set(34, 0);
    else if (item.h_align == "center")
        set(34, 1);
    else if (item.h_align == "right")
        set(34, 2);
    else if (item.h_align == "justify")
        set(34, 3);
    if (item.v_align == "top")
        set(35, 0);
    else if (item.v_align == "center")
        set(35, 1);
    else if (item.v_align == "bottom")
        set(35, 2);
}
