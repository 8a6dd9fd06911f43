#pragma once
// The USB front keypad: its presence at start-up and the global keys every
// screen hands on after its own handling.

// 1 when the keypad (vendor 0x28E9, product 0x0380) is present, else 0.
int check_hiddev();

// The global keys: choose the image the keys act on ('B', 'C', 'E', 'F'),
// put a whole input on it ('I', 'J', 'K', 'L'), freeze it ('N'), black it
// out ('P'). Every other code does nothing here; nothing works while the
// panel is locked. Keeps no state of its own: every screen holds one.
class vyx_keyboard {
public:
    vyx_keyboard() { }
    void update_usb_keyEvent(int key);
};
