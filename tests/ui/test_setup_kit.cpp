// The two-step edit the setting screens share, on a ring of two value items
// and a button: start, step, apply, restore, and the keys that still move
// the ring or leave.
#include "tests/support/panel_fixture.h"

#include <QLabel>

#include "ui/setup/setup_kit.h"
#include "ui/shell/vyx_keyboard.h"

namespace {

using SetupKit = PanelTest;

TEST_F(SetupKit, TheTwoStepEditStepsAppliesOrRestoresTheFocusedValue)
{
    QLabel a, b, button;
    uint8_t select = 0;
    panel::FocusRing ring(select);
    ring.set({&a, &b, &button}, "normal", "focused");
    ring.start(0);
    panel::TwoStepEdit edit(ring, [](int index) { return QString("editing %1").arg(index); });
    int values[2] = {10, 20};
    std::vector<std::string> done;
    panel::EditActions act;
    act.editable = [](int item) { return item < 2; };
    act.value = [&](int item) { return values[item]; };
    act.step = [&](int item, int delta) { values[item] += delta; };
    act.apply = [&](int item) { done.push_back("apply " + std::to_string(values[item]) + (edit.editing() ? " editing" : "")); };
    act.restore = [&](int item, int saved) { values[item] = saved; };
    act.activate = [&](int item) { done.push_back("activate " + std::to_string(item)); };
    act.back = [&] { done.push_back("back"); };
    vyx_keyboard keys;
    auto press = [&](int key) { panel::edit_keys(key, keys, ring, edit, act); };

    press(panel::kKeyRight); // not editing: the focus moves
    EXPECT_EQ(select, 1);
    press(panel::kKeyOk);
    EXPECT_TRUE(edit.editing());
    EXPECT_EQ(b.styleSheet(), "editing 1");
    press(panel::kKeyRight);
    press(panel::kKeyRightLetter);
    press(panel::kKeyLeft);
    EXPECT_EQ(select, 1) << "an edit holds the focus";
    EXPECT_EQ(values[1], 21);
    press(panel::kKeyOk);
    EXPECT_FALSE(edit.editing());
    EXPECT_EQ(b.styleSheet(), "focused");

    // Back restores what the value was when the edit began, and stays.
    press(panel::kKeyOkLetter);
    press(panel::kKeyLeft);
    press(panel::kKeyLeft);
    EXPECT_EQ(values[1], 19);
    press(panel::kKeyBack);
    EXPECT_EQ(values[1], 21);
    EXPECT_FALSE(edit.editing());
    EXPECT_EQ(b.styleSheet(), "focused");

    press(panel::kKeyRight);
    press(panel::kKeyOk); // the button
    press(panel::kKeyBack);
    EXPECT_EQ(done, (std::vector<std::string>{"apply 21 editing", "activate 2", "back"}));

    // Without a restore, back leaves from an edit too.
    act.restore = nullptr;
    press(panel::kKeyLeft);
    press(panel::kKeyOk);
    press(panel::kKeyBack);
    EXPECT_EQ(done.back(), "back");
    EXPECT_EQ(values[1], 21);
}

} // namespace
