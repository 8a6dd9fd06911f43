#include "ui/setup/setup_kit.h"

#include <QWidget>

#include "core/globals.h"
#include "ui/shell/vyx_keyboard.h"

namespace panel {

TwoStepEdit::TwoStepEdit(FocusRing& ring, EditingStyle editingStyle)
    : m_ring(ring)
    , m_editingStyle(std::move(editingStyle))
{
}

void TwoStepEdit::begin(int value)
{
    m_editing = true;
    m_item = m_ring.index();
    m_saved = value;
    if (QWidget* w = m_ring.current())
        w->setStyleSheet(m_editingStyle(m_item));
}

void TwoStepEdit::end()
{
    if (!m_editing)
        return;
    m_editing = false;
    m_ring.restyle();
}

void edit_keys(int key, vyx_keyboard& keys, FocusRing& ring, TwoStepEdit& edit, const EditActions& actions)
{
    const KeyRole role = key_role(key);
    const int item = ring.index();
    switch (role) {
    case KeyRole::Left:
    case KeyRole::Right: {
        const int delta = role == KeyRole::Left ? -1 : +1;
        if (!edit.editing())
            ring.move(delta);
        else if (actions.step)
            actions.step(edit.item(), delta);
        break;
    }
    case KeyRole::Ok:
        if (edit.editing()) {
            if (actions.apply)
                actions.apply(edit.item());
            edit.end();
        } else if (actions.editable && actions.editable(item)) {
            edit.begin(actions.value ? actions.value(item) : 0);
        } else if (actions.activate) {
            actions.activate(item);
        }
        break;
    case KeyRole::Back:
        if (edit.editing() && actions.restore) {
            actions.restore(edit.item(), edit.saved());
            edit.end();
        } else if (actions.back) {
            actions.back();
        }
        break;
    case KeyRole::Mode:
        if (actions.mode && !actions.mode())
            return;
        break;
    case KeyRole::None:
        break;
    }
    keys.update_usb_keyEvent(key);
}

} // namespace panel
