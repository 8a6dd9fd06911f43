#pragma once
// The value-stepping scheme of the picture settings (picture quality and
// the colour-temperature gains): a value 0..100 edited live, each step
// written into the parameter image at once with the scaler's apply request,
// so the picture follows the keys.

#include <cstdint>

class QLineEdit;

namespace panel {

// What one key does to the value being edited.
enum StepOp : char { kStepUp = 0, kStepDown = 1, kStepAccept = 2, kStepRevert = 3 };

// The scaler has not yet taken the last change.
bool request_pending();

// The decimal number a field shows, 0 when it shows none.
int field_number(const QLineEdit* field);

// The value being edited and the value it had when the edit began.
struct SteppedValue {
    int32_t value = 0;
    int32_t saved = 0;

    // Starts an edit at the number `field` shows.
    void begin(const QLineEdit* field);
    // One op on the word at image address `addr`: up, down and accept are
    // refused while the scaler has a request pending (nothing changes);
    // revert always goes through, so leaving an edit never keeps a value
    // the user dropped. The value is clamped to 0..100, written as a whole
    // word under the scaler write guard and shown in `field`.
    void step(char op, int addr, QLineEdit* field);
};

} // namespace panel
