#pragma once
// The USB front keypad.

// 1 when the keypad (vendor 0x28E9, product 0x0380) is present, else 0.
int check_hiddev();
