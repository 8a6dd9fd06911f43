#pragma once
// The OSD menu file "/data/configs/omenu.json": its record and reader, and
// the setter that turns the first menu item into scaler OSD settings.
//
// The file is one JSON object: "name" (string), "osdcount" (menus; 0 = no
// OSD, nothing more is read), "oactcount" and "menu", an array whose first
// three items are read. A text item (any "type" but 1) has "type", "status",
// "pos" {"x", "y", "w", "h", optional "layer"}, "act" {"effect", "speed",
// "staytime", optional "h_align", "v_align"}, "backpara" {"enable",
// "color"}, "fontpara" {"startx", "starty", "fontw", "fonth", "wordspace",
// "verticalspace", "color"} and "texts" (lines separated by "\n"); a bitmap
// item (type 1) has "type", "status", "pos", "act" without the alignments
// and "bmppara" {"start", "end"}. Colours are hexadecimal RRGGBB.

#include <string>

// One menu item.
struct OMENU_PARA {
    int type = 0; // 0 text, 1 bitmap
    std::string status;
    int x = 0, y = 0, w = 0, h = 0;
    int effect = 0, speed = 0, staytime = 0;
    std::string h_align;
    std::string v_align;
    std::string back_enable;
    std::string back_color;
    std::string layer;
    int startx = 0, starty = 0, fontw = 0, fonth = 0, wordspace = 0, verticalspace = 0;
    std::string font_color;
    std::string texts;
    int bmp_start = 0, bmp_end = 0;
};

struct OSD_LIST {
    int osdcount = 0;
    int oactcount = 0;
    OMENU_PARA item[3];
    // 0: the last read found the file whole (or no file); 255: it stopped
    // at an error, and the list holds only what was read before it.
    int status = 0;
    // Menu items the last read took in whole, from the first on.
    int whole_items = 0;
};

// The scaler thread's record.
extern OSD_LIST g_osd_list;

constexpr const char* kOsdMenuFile = "/data/configs/omenu.json";
// Larger files are no OSD menu (three items of 63 lines of 128 characters
// take a small part of this).
constexpr long kOsdMenuMaxBytes = 1 << 20;

// Reads the menu file at `path` (an absolute system path, resolved under the
// device layer's root) into *list. A missing file leaves osdcount 0. A file
// that is not a menu (malformed, truncated, too large, too deeply nested, a
// key missing or of the wrong type) is reported ("json error: ...") and
// deleted: the file read, never another one, so a bad user-mode copy never
// costs the live menu. Items read whole before the error stay in the list,
// which is marked (status 255) with the count of those items. Returns 0, or
// 255 after an error.
int get_json_omenu_para(char* path, OSD_LIST* list);
// Applies item[0] to the scaler's OSD; nothing when osdcount is 0, when the
// last read stopped before item 0 was whole (the OSD stays as it was), or
// when there is no scaler manager.
void set_OSD_para(OSD_LIST* list);
