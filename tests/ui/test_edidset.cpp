// The EDID settings screen: the input card, the edit panel's ring and the
// refresh level, Save through the scaler's write protocol, Cancel and
// Delete writing nothing, values read back as shown, the redraw on a change
// made elsewhere, and the ways out.
#include "tests/ui/image_screen_fixture.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <vector>

#include "core/ram_map.h"
#include "ui/image/edidset.h"

using namespace ram;
using paneltest::key;

namespace {

const char* const kEdidRateEditingStyle
    = "color:rgb(255,255,255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,0,0);";
const char* const kEdidFocusedField
    = "color:rgb(255,255,255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,171,84);";
const char* const kEdidFocusedButton
    = "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,171,84);";

class EdidScreen : public ImageScreenTest {
protected:
    void withEdid(Steps steps) { runScreen(g_edidset, kPageEDIDset, std::move(steps)); }
    void keys(const char* sequence) { keysTo(g_edidset, sequence); }
    QString text(const char* name) const { return textIn(g_edidset, name); }
    QString style(const char* name) const { return g_edidset->findChild<QWidget*>(name)->styleSheet(); }
    bool panelShown() const { return !g_edidset->findChild<QFrame*>("frame_add")->isHidden(); }
    int tabX() const { return g_edidset->findChild<QFrame*>("frame_tab")->x(); }
};

} // namespace

TEST_F(EdidScreen, RefreshOfHdmi1SavedThroughTheLevelsWidthAndHeightKept)
{
    withEdid({[&] {
        EXPECT_EQ(g_page_focus.load(), kPageEDIDset);
        EXPECT_EQ(tabX(), 4);
        EXPECT_EQ(text("card_name"), "HDMI1");
        EXPECT_EQ(text("card_timing"), "1920x1080@60Hz");
        EXPECT_FALSE(panelShown());
        keys("QRRQ");
        EXPECT_TRUE(panelShown());
        EXPECT_EQ(text("label_edid_source"), "EDID source:HDMI1");
        EXPECT_EQ(style("label_rate"), kEdidRateEditingStyle);
        key(g_edidset, 'R');
        EXPECT_EQ(text("label_rate"), "30");
        key(g_edidset, 'Q');
        EXPECT_EQ(style("label_rate"), kEdidFocusedField);
        keys("RRR");
        EXPECT_EQ(style("button_save"), kEdidFocusedButton);
        key(g_edidset, 'Q');
        EXPECT_EQ(bytes(906, 2), (std::vector<uint8_t>{0x1E, 0x00}));
        EXPECT_EQ(bytes(902, 4), (std::vector<uint8_t>{0x80, 0x07, 0x38, 0x04}));
        EXPECT_EQ(request(), 1);
        EXPECT_FALSE(panelShown());
        EXPECT_EQ(text("card_timing"), "1920x1080@30Hz");
    }});
}

TEST_F(EdidScreen, CancelAndDeleteWriteNothingAndAnEmptyWidthSavesZero)
{
    const std::vector<uint8_t> before = bytes(896, 36);
    withEdid({
        [&] { key(g_edidset, 'Q'); },
        [&] { key(g_edidset, 'Q'); }, // the keyboard on the width
        typing("1280"),
        [&] {
            EXPECT_EQ(text("lineEdit_W"), "1280");
            keys("RRRRQ"); // H, refresh, Delete, Cancel: OK
            EXPECT_FALSE(panelShown());
            EXPECT_EQ(bytes(896, 36), before);
            EXPECT_EQ(request(), 0);
            key(g_edidset, 'Q');
            EXPECT_EQ(text("lineEdit_W"), "1920"); // reloaded
            keys("RRRQ"); // Delete does what Cancel does
            EXPECT_EQ(bytes(896, 36), before);
            EXPECT_EQ(request(), 0);

            key(g_edidset, 'Q');
            g_edidset->findChild<QLineEdit*>("lineEdit_W")->setText("");
            keys("SQ"); // left to Save
            EXPECT_EQ(image16(edidRequest(1)), 0);
            EXPECT_EQ(image16(edidRequest(1) + 2), 1080);
            EXPECT_EQ(text("card_timing"), "0x1080@60Hz");
        },
    });
}

TEST_F(EdidScreen, InputsWrapAndStoredValuesOutOfRangeGoBackAs0)
{
    setImage16(edidRequest(0), 40000);
    setImage16(edidRequest(0) + 4, 50);
    takeSnapshot();
    withEdid({[&] {
        key(g_edidset, 'S'); // HDMI1 to DVI
        EXPECT_EQ(tabX(), 160);
        EXPECT_EQ(text("card_name"), "DVI");
        key(g_edidset, 'R');
        EXPECT_EQ(tabX(), 4);
        key(g_edidset, 'S');
        key(g_edidset, 'Q');
        EXPECT_EQ(text("lineEdit_W"), "40000");
        EXPECT_EQ(text("label_rate"), "50");
        // Into the refresh and back out: the stored 50 is neither choice.
        keys("RRQRO");
        EXPECT_EQ(text("label_rate"), "30");
        keys("RRRQ");
        EXPECT_EQ(image16(edidRequest(0)), 0); // shown unsigned, stored signed
        EXPECT_EQ(image16(edidRequest(0) + 2), 1080);
        EXPECT_EQ(image16(edidRequest(0) + 4), 30);
        EXPECT_EQ(image16(edidRequest(1)), 1920); // HDMI1 untouched
    }});
}

TEST_F(EdidScreen, ASaveStoresOnlySigned16BitNumbersAnyOtherTextAs0)
{
    setImage16(edidRequest(2), 1280);
    setImage16(edidRequest(2) + 2, 720);
    setImage16(edidRequest(2) + 4, 30);
    takeSnapshot();
    withEdid({
        [&] { keys("RQQ"); }, typing("40000"), // HDMI2's width
        [&] {
            keys("RRRRRQ"); // on to Save
            EXPECT_EQ(bytes(908, 6), (std::vector<uint8_t>{0, 0, 0xD0, 0x02, 30, 0}));
            EXPECT_EQ(text("card_timing"), "0x720@30Hz");
            struct Case {
                const char* width;
                const char* height;
                uint16_t storedWidth, storedHeight;
            } cases[] = {{"32767", "32768", 32767, 0}, {"-1", "-32768", 0xFFFF, 0x8000}, {"-32769", "1e3", 0, 0},
                {"", "720x", 0, 0}};
            for (const Case& c : cases) {
                keys("Q");
                g_edidset->findChild<QLineEdit*>("lineEdit_W")->setText(c.width);
                g_edidset->findChild<QLineEdit*>("lineEdit_H")->setText(c.height);
                keys("SQ");
                EXPECT_EQ(image16(edidRequest(2)), c.storedWidth) << c.width;
                EXPECT_EQ(image16(edidRequest(2) + 2), c.storedHeight) << c.height;
                EXPECT_EQ(image16(edidRequest(2) + 4), 30);
            }
        },
    });
}

TEST_F(EdidScreen, AChangeMadeElsewhereRedrawsTheCardOnlyWithoutThePanel)
{
    withEdid({[&] {
        setImage16(edidRequest(1), 1280);
        setImage16(edidRequest(1) + 2, 720);
        store->test_signal(kChangeRefresh);
        EXPECT_EQ(text("card_timing"), "1280x720@60Hz");
        key(g_edidset, 'Q');
        setImage16(edidRequest(1), 3840);
        store->test_signal(kChangeRefresh);
        EXPECT_EQ(text("card_timing"), "1280x720@60Hz");
        EXPECT_EQ(text("lineEdit_W"), "1280");
        key(g_edidset, 'O');
        EXPECT_FALSE(panelShown());

        g_language = panel::kVietnamese;
        g_edidset->language_changed();
        EXPECT_EQ(text("label_title"), QString::fromUtf8("Cài đặt EDID"));
        EXPECT_EQ(g_edidset->findChild<QPushButton*>("button_save")->text(), QString::fromUtf8("lưu"));
        EXPECT_EQ(text("label_freq"), QString::fromUtf8("Tần số"));
        // Long captions and button texts fit in every language.
        for (int language : {panel::kRussian, panel::kEnglish, panel::kVietnamese}) {
            g_language = uint8_t(language);
            g_edidset->language_changed();
            expectCaptionRow(g_edidset, {"label_W", "label_H", "label_freq"});
            for (const char* name : {"button_delete", "button_cancel", "button_save"}) {
                auto* button = g_edidset->findChild<QPushButton*>(name);
                EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), button->width() - 4)
                    << name << " " << button->text().toStdString();
            }
        }
    }});
}

TEST_F(EdidScreen, BackAndTheModeKeyUnderTheLock)
{
    withEdid({[&] {
        setImage16(kPanelLock, 1);
        key(g_edidset, 'M');
        EXPECT_NE(g_edidset, nullptr);
        setImage16(kPanelLock, 0);
        key(g_edidset, 'M');
        EXPECT_EQ(g_edidset, nullptr);
        EXPECT_NE(g_custommode, nullptr);
    }});
    withEdid({[&] { keys("QO"); }, [&] { key(g_edidset, 'O'); }});
    EXPECT_EQ(g_edidset, nullptr);
}

TEST_F(EdidScreen, AFieldTakesNoMoreThanFiveDigits)
{
    withEdid({
        [&] { key(g_edidset, 'Q'); },
        [&] { key(g_edidset, 'Q'); }, // the keyboard on the width
        typing("327679"),
        [&] { EXPECT_EQ(text("lineEdit_W"), "32767"); },
    });
}
