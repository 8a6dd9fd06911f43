#pragma once
// On a host the PC keyboard stands in for the front keypad and the mouse for
// the touch panel. The keypad's letters are ordinary keys already; the keys
// a person reaches for first are given the keypad's function codes: arrow
// left and right, Enter (OK), Escape (back) and Home (the mode key).

class QCoreApplication;
class QObject;

namespace platform {

// Installs the key map on every window of the application (host only);
// deleting the object returned removes it again.
QObject* installSimKeyMap(QCoreApplication* app);

// The keypad code the PC key `key` stands for, or 0 when it keeps its own.
int simKeypadCode(int key);

} // namespace platform
