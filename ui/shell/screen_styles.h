#pragma once
// Style sheets and colours the panel's screens share. A screen with a look
// of its own keeps its strings beside its code; what several screens use
// lives here once.

namespace style {

// ---- colours ----
constexpr const char* kWindowBackground = "background-color: rgb(16, 16, 28);";
constexpr const char* kControlBackground = "background-color: rgb(33, 36, 53);";
constexpr const char* kWhiteText = "color: rgb(255, 255, 255);";
constexpr const char* kFocusColour = "rgb(255,171,84)"; // border of the focused item
constexpr const char* kEditColour = "rgb(255,0,0)";     // border of the item being edited
constexpr const char* kChosenColour = "#4777FF";        // chosen value, badges
constexpr const char* kEmptySlotColour = "#B2B2B2";

// ---- the main window's buttons ----
constexpr const char* kLargeNormal = "background-color: rgb(33, 36, 53);border:2px;border-radius:10px;padding:2px 4px";
constexpr const char* kLargeFocused
    = "background-color: rgb(33, 36, 53);border:2px solid rgb(255,171,84);border-radius:10px;padding:2px 4px;";
constexpr const char* kSmallNormal = "background-color: rgb(33, 36, 53);border:1px;border-radius:1px;padding:1px 1px";
constexpr const char* kSmallFocused
    = "background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);border-radius:1px;padding:1px 1px";
// Menu buttons of the main window as the form draws them: white text first,
// or the background first.
constexpr const char* kMenuButtonA
    = "color: rgb(255, 255, 255);\nbackground-color: rgb(33, 36, 53);\nborder:2px;border-radius:10px;padding:2px 4px;";
constexpr const char* kMenuButtonB
    = "background-color: rgb(33, 36, 53);\ncolor: rgb(255, 255, 255);\nborder:2px;border-radius:10px;padding:2px 4px;";

// ---- the menus' large text and icon buttons ----
constexpr const char* kMenuNormal
    = "color:rgb(255,255,255);background-color: rgb(33, 36, 53) ; border:2px ;border-radius:10px;padding:2px 4px";
constexpr const char* kMenuFocused
    = "color:rgb(255,255,255);background-color: rgb(33, 36, 53); border:2px solid rgb(255,171,84);border-radius:10px;"
      "padding:2px 4px";

// ---- small buttons and fields of the setting screens ----
constexpr const char* kFieldNormal
    = "color:rgb(255, 255, 255);background-color:rgb(33, 36, 53);border:1px solid rgb(255,255,255);";
constexpr const char* kFieldFocused
    = "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);";
constexpr const char* kFieldEditing
    = "color:rgb(255,255,255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,0,0);";
// Combo boxes of the setting screens: changed by the keys only, their
// drop-down drawn without a border.
constexpr const char* kComboNormal = "QComboBox{color:rgb(255,255,255);background-color:rgb(33,36,53);"
                                     "border:1px solid rgb(255,255,255);}QComboBox::drop-down{border:0px;}";
constexpr const char* kComboFocused = "QComboBox{color:rgb(255,255,255);background-color:rgb(33,36,53);"
                                      "border:1px solid rgb(255,171,84);}QComboBox::drop-down{border:0px;}";
constexpr const char* kComboEditing = "QComboBox{color:rgb(255,255,255);background-color:rgb(33,36,53);"
                                      "border:1px solid rgb(255,0,0);}QComboBox::drop-down{border:0px;}";

// ---- labels ----
constexpr const char* kTitle = "color: rgb(255, 255, 255);";

} // namespace style
