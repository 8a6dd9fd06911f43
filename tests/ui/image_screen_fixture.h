#pragma once
// The crop and EDID screens' tests: a main window (for the number
// keyboard) in English with every language offered, the image as last
// persisted, and a screen opened modally with steps run inside it.

#include "tests/support/panel_fixture.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <initializer_list>
#include <vector>

#include "core/globals.h"
#include "ui/shell/numberkeyboard.h"
#include "ui/shell/screen_kit.h"

class ImageScreenTest : public PanelTest {
protected:
    using Steps = std::vector<std::function<void()>>;

    void SetUp() override
    {
        PanelTest::SetUp();
        g_lcd_lang_valid = 0x1F;
        mainWindow();
        takeSnapshot();
    }

    // Opens the screen as its opener does, runs each step in the innermost
    // loop in turn (a step that opens the keyboard leaves the next to run
    // inside it), then leaves the screen by its back action.
    template <class Screen>
    void runScreen(Screen*& global, int page, Steps steps)
    {
        ModalDriver drive;
        for (auto& step : steps)
            drive.then(step);
        drive.then([&global] {
            if (global)
                global->slot_Button_back_clicked();
        });
        drive.run([&global, page] { panel::open_modal(global, page); });
        EXPECT_FALSE(drive.timedOut());
    }

    static void keysTo(QWidget* screen, const char* sequence)
    {
        for (const char* k = sequence; *k; ++k)
            paneltest::key(screen, *k);
    }
    // A field's or a label's text.
    static QString textIn(QWidget* screen, const char* name)
    {
        if (auto* field = screen->findChild<QLineEdit*>(name))
            return field->text();
        return screen->findChild<QLabel*>(name)->text();
    }
    // Each caption's text within its label, and the row at one size.
    static void expectCaptionRow(QWidget* screen, std::initializer_list<const char*> names)
    {
        int size = 0;
        for (const char* name : names) {
            auto* label = screen->findChild<QLabel*>(name);
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->contentsRect().width())
                << name << " " << label->text().toStdString();
            if (size == 0)
                size = label->font().pointSize();
            EXPECT_EQ(label->font().pointSize(), size) << name;
        }
    }
    // A step that types `digits` on the open number keyboard and confirms.
    static std::function<void()> typing(const char* digits)
    {
        return [digits] {
            ASSERT_NE(g_numberkeyboard, nullptr);
            ASSERT_TRUE(g_numberkeyboard->isVisible());
            for (const char* d = digits; *d; ++d)
                paneltest::touch(g_numberkeyboard->findChild<QPushButton*>(QStringLiteral("Button%1").arg(*d)));
            paneltest::touch(g_numberkeyboard->findChild<QPushButton*>("Button_ok"));
        };
    }
    std::vector<uint8_t> bytes(int addr, int n) const
    {
        return std::vector<uint8_t>(store->ram_para + addr, store->ram_para + addr + n);
    }
};
