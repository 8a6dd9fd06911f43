#pragma once
// The OSD menu file "/data/configs/omenu.json": its record and reader, and
// the setter that turns the first menu item into scaler OSD settings.

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
};

// The scaler thread's record.
extern OSD_LIST g_osd_list;

constexpr const char* kOsdMenuFile = "/data/configs/omenu.json";

// Reads the menu file at `path` (an absolute system path, resolved under the
// device layer's root) into *list.
void get_json_omenu_para(char* path, OSD_LIST* list);
// Applies item[0] to the scaler's OSD; nothing when osdcount is 0.
void set_OSD_para(OSD_LIST* list);
