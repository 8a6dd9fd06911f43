#pragma once
// What the settings menu and the menus under it share beyond the screen
// kit: the look of their picture and text buttons, and the debug line each
// of them writes for a handled key.

class QPushButton;
class QString;

namespace settings_menus {

// The buttons of the settings menu and of the advanced menu: white text on
// the control colour, an orange frame while focused.
constexpr const char* kButtonNormal
    = "background-color: rgb(33, 36, 53);border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
constexpr const char* kButtonFocused = "background-color: rgb(33, 36, 53); border:2px solid rgb(255,171,84);"
                                       "border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";

// Writes the Qt debug line of a released key that the menu `screen` acts
// on (left and right with the focused item before the move); other keys
// write nothing.
void log_key_release(const char* screen, int key, int ui_select);

// Sets a text button's text in the form's font, or in a smaller one when a
// line of it would not fit inside the button's frame (some translations are
// longer than the buttons are wide).
void set_fitting_text(QPushButton* button, const QString& text);

} // namespace settings_menus
