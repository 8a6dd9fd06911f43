#pragma once
// The user's display names for inputs, user modes, images and crops, kept
// in "/data/configs/alias.json", a file the PC software sends (file type 5,
// tag "ALIS"). A screen asks for a name each time it draws one; there is no
// cache, so a file just sent shows at the next redraw (the transfer's end
// raises change code 103).
//
// The file (UTF-8 JSON):
//   { "filename": "/data/configs/alias.json",
//     "namelist": { "source":   [ {"id": "0", "valid": "on", "name": "Stage"}, ... ],
//                   "usermode": [ ... ], "win": [ ... ], "crop": [ ... ] } }
// "id" may be a string or a number; "valid" equal to exactly "off" marks an
// entry unused; other keys are ignored.
//
// Use:
//   ALIAS_PARA alias;
//   QString name = get_json_alias_para(&alias, kAliasSource, id)
//       ? QString::fromStdString(alias.name) : sourceinfo::get_source_name_by_sourceid(id);
// A display name is the user's text: set it as plain text, or escape it
// (QString::toHtmlEscaped, after eliding) before it goes into rich text.

#include <string>

// One entry of a list, as the lookup found it.
struct ALIAS_PARA {
    int id = 0;
    std::string valid;
    std::string name; // UTF-8
};

constexpr const char* kAliasFile = "/data/configs/alias.json";
// The lists and what their ids are.
constexpr const char* kAliasSource = "source";     // input source id 0..3 (ui/image/sourceinfo.h)
constexpr const char* kAliasUserMode = "usermode"; // user-mode slot index, as g_mode_select
constexpr const char* kAliasWindow = "win";        // image index 0..3
constexpr const char* kAliasCrop = "crop";         // crop-table entry index 0..39

// Looks up entry `id` of list `list` (one of the four keys above, exact
// case). True when the file gives that entry a display name: its "valid" is
// not "off" and its "name" is not empty. GUI thread; the file is opened and
// parsed anew on every call.
//
// *para: the entry found (the first with that id, in the first list of that
// key) fills all three fields, whatever the result; when no well-formed
// entry is found it is left as it was.
//
// False, and nothing else happens, when:
//   - there is no file, or something other than a file at the path;
//   - the PC transfer is writing the file just now (the lock on the stored
//     files is held: the lookup never waits for it);
//   - the list or the entry is not there;
//   - the file is JSON but not of the shape above ("namelist" missing, an
//     entry before the one asked for without a whole-number "id", the entry
//     without a text "valid" or "name"): the file is kept.
// A file that is not JSON at all is deleted, and false.
bool get_json_alias_para(ALIAS_PARA* para, std::string list, int id);

// Writes a sample file (every entry "off", so it names nothing) over the
// stored one. Nothing in the system calls it.
void Json_create();

// Prints every entry of the four lists on standard output (" id: ..
// valid: ..    name: .."), deleting a file that is not JSON as the lookup
// does. Nothing in the system calls it.
void Json_analysis();
