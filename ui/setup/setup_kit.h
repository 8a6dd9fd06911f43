#pragma once
// What the setting screens share beyond the screen kit: the two-step edit of
// a value item, and opening the shared number keyboard on a number field.
//
// Two-step edit: OK on a value item starts its edit (the item drawn in the
// editing style, its value at that moment saved); left and right then change
// the value instead of moving the focus; OK ends the edit and applies it;
// back ends it and restores the saved value, or leaves the screen where the
// screen says so. The screen keeps its ring, its values and its writes; the
// edit only keeps the state and routes the keys:
//
//     panel::TwoStepEdit edit{ring, [](int) { return kComboEditing; }};
//     panel::EditActions act;
//     act.editable = [](int item) { return item == 0; };
//     act.value = [this](int) { return ui->Box->currentIndex(); };
//     act.step = [this](int, int delta) { ...show the next value... };
//     act.apply = [this](int) { ...write it... };
//     act.restore = [this](int, int saved) { ui->Box->setCurrentIndex(saved); };
//     act.activate = [this](int item) { ...OK on a button... };
//     act.back = [this] { slot_Button_back_clicked(); };
//     act.mode = [this] { return panel::mode_key_chain(this, g_me, g_menu, g_option); };
//     panel::edit_keys(event->key(), keyboard, ring, edit, act);

#include <QString>
#include <functional>

#include "ui/shell/screen_kit.h"

class vyx_keyboard;

namespace panel {

class TwoStepEdit {
public:
    // Style sheet of ring item `index` while it is edited.
    using EditingStyle = std::function<QString(int index)>;
    TwoStepEdit(FocusRing& ring, EditingStyle editingStyle);

    bool editing() const { return m_editing; }
    // The ring item being edited and the value it had when the edit began
    // (meaningful while editing).
    int item() const { return m_item; }
    int saved() const { return m_saved; }

    // Starts the edit of the focused item, saving `value`.
    void begin(int value);
    // Ends the edit (nothing when none runs): the ring's own styles are
    // drawn again.
    void end();

private:
    FocusRing& m_ring;
    EditingStyle m_editingStyle;
    bool m_editing = false;
    int m_item = 0;
    int m_saved = 0;
};

// What a screen does with each key; an empty function does nothing.
struct EditActions {
    // Ring item `item` is a value item: OK starts its edit. Empty: none is.
    std::function<bool(int item)> editable;
    // The value of `item` when its edit starts (kept as the saved value).
    std::function<int(int item)> value;
    // Left (-1) or right (+1) while `item` is edited.
    std::function<void(int item, int delta)> step;
    // OK ends the edit of `item`: apply what it shows. Runs before the
    // edit ends, so the screen still sees editing() as true.
    std::function<void(int item)> apply;
    // Back while `item` is edited: show `saved` again; the edit then ends
    // and the screen stays. Empty: back leaves the screen (`back`) and the
    // edit is dropped without applying.
    std::function<void(int item, int saved)> restore;
    // OK on an item that is not a value item.
    std::function<void(int item)> activate;
    // Back when no edit is restored.
    std::function<void()> back;
    // The mode key; false when the panel lock dropped it (the key then goes
    // no further).
    std::function<bool()> mode;
};

// The keys of a screen with value items: while an edit runs left and right
// step the value, otherwise they move the ring; OK starts, ends or
// activates; back restores or leaves; mode as `mode` says. Every key, used
// or not, then goes on to the global keys, as in ring_keys.
void edit_keys(int key, vyx_keyboard& keys, FocusRing& ring, TwoStepEdit& edit, const EditActions& actions);

} // namespace panel
