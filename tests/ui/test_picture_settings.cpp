// The picture-quality and colour-temperature screens, driven by their keys:
// live steps into the parameter image, steps refused while the scaler has a
// request pending, Back restoring the value from before the edit (also with
// a request pending), the reset to the defaults, and the type combo that
// writes only when confirmed.
#include "tests/support/panel_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/image/custommode.h"
#include "ui/setup/quality.h"
#include "ui/setup/temperature.h"
#include "ui/shell/screen_styles.h"

using paneltest::key;

namespace {

class PictureSettings : public PanelTest {
protected:
    // Opened as its menu would, shown instead of run modally.
    template <class Screen>
    static Screen* open(Screen*& global, int page)
    {
        global = new Screen(nullptr);
        g_page_focus = uint8_t(page);
        global->show();
        return global;
    }
    quality* openQuality() { return open(g_quality, kPageQuality); }
    temperature* openTemperature() { return open(g_temperature, kPageTemperature); }
    template <class T>
    static T* child(QWidget* screen, const char* name)
    {
        T* w = screen->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString field(QWidget* screen, const char* name) { return child<QLineEdit>(screen, name)->text(); }
    QString styleOf(QWidget* screen, const char* name) { return child<QWidget>(screen, name)->styleSheet(); }
    // A key, then the scaler takes the change it raised.
    void keyServed(QWidget* screen, int code)
    {
        key(screen, code);
        serveRequest();
    }
};

TEST_F(PictureSettings, QualityStepsLiveAndBackRestoresTheValueEvenWithARequestPending)
{
    setImage16(ram::kBrightness, 50);
    openQuality();
    EXPECT_EQ(field(g_quality, "lineEdit_bright"), "50");
    EXPECT_EQ(styleOf(g_quality, "lineEdit_bright"), style::kFieldFocused);

    key(g_quality, panel::kKeyOk);
    EXPECT_EQ(styleOf(g_quality, "lineEdit_bright"), style::kFieldEditing);
    EXPECT_EQ(request(), 0) << "starting an edit writes nothing";
    for (int i = 0; i < 3; ++i) {
        key(g_quality, panel::kKeyRight);
        EXPECT_EQ(image16(ram::kBrightness), 51 + i);
        EXPECT_EQ(request(), 1);
        serveRequest();
    }
    EXPECT_EQ(field(g_quality, "lineEdit_bright"), "53");
    key(g_quality, panel::kKeyBack);
    EXPECT_EQ(image16(ram::kBrightness), 50);
    EXPECT_EQ(field(g_quality, "lineEdit_bright"), "50");
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(styleOf(g_quality, "lineEdit_bright"), style::kFieldFocused);
    EXPECT_NE(g_quality, nullptr) << "Back ends the edit, not the screen";
    serveRequest();

    // The same with the last step's request still pending: further steps
    // are refused, Back still restores.
    key(g_quality, panel::kKeyOk);
    keyServed(g_quality, panel::kKeyRight);
    keyServed(g_quality, panel::kKeyRight);
    key(g_quality, panel::kKeyRight);
    ASSERT_EQ(request(), 1);
    key(g_quality, panel::kKeyRight);
    EXPECT_EQ(image16(ram::kBrightness), 53) << "a step while a request is pending changes nothing";
    EXPECT_EQ(field(g_quality, "lineEdit_bright"), "53");
    key(g_quality, panel::kKeyBack);
    EXPECT_EQ(image16(ram::kBrightness), 50);
    EXPECT_EQ(field(g_quality, "lineEdit_bright"), "50");
    serveRequest();

    // OK keeps the stepped value; Back then leaves for the menu.
    key(g_quality, panel::kKeyOk);
    keyServed(g_quality, panel::kKeyLeft);
    keyServed(g_quality, panel::kKeyOk);
    EXPECT_EQ(image16(ram::kBrightness), 49);
    key(g_quality, panel::kKeyBack);
    EXPECT_EQ(image16(ram::kBrightness), 49);
    EXPECT_EQ(g_quality, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageImageQuality);
}

TEST_F(PictureSettings, QualityClampsAndWritesWholeWords)
{
    setImage16(ram::kBrightness, 100);
    setImage16(ram::kSharpness, 0);
    setImage16(ram::kContrast, 300); // 0x012C, from a PC
    setImage16(ram::kSaturation, 0xFFFB);
    openQuality();
    EXPECT_EQ(field(g_quality, "lineEdit_Contrast"), "300") << "shown as stored";
    EXPECT_EQ(field(g_quality, "lineEdit_Saturation"), "-5");

    key(g_quality, panel::kKeyOk);
    key(g_quality, panel::kKeyRight);
    EXPECT_EQ(image16(ram::kBrightness), 100);
    EXPECT_EQ(request(), 1) << "at 100 a step up writes 100 again";
    keyServed(g_quality, panel::kKeyOk);

    key(g_quality, panel::kKeyRight); // sharpness
    key(g_quality, panel::kKeyOk);
    keyServed(g_quality, panel::kKeyLeft);
    EXPECT_EQ(image16(ram::kSharpness), 0);
    EXPECT_EQ(field(g_quality, "lineEdit_Sharpness"), "0");
    keyServed(g_quality, panel::kKeyOk);

    key(g_quality, panel::kKeyRight); // contrast
    key(g_quality, panel::kKeyOk);
    keyServed(g_quality, panel::kKeyLeft);
    EXPECT_EQ(image16(ram::kContrast), 100) << "the high byte is written too";
    keyServed(g_quality, panel::kKeyOk);

    key(g_quality, panel::kKeyRight); // saturation
    key(g_quality, panel::kKeyOk);
    keyServed(g_quality, panel::kKeyRight);
    EXPECT_EQ(image16(ram::kSaturation), 0);
}

TEST_F(PictureSettings, QualityResetRestoresThePictureAndColourTemperatureDefaults)
{
    for (int a = ram::kBrightness; a <= ram::kColourTempBlue; a += 2)
        setImage16(a, 77);
    openQuality();
    scaler->para_changed = 1; // not refused while a request is pending

    // Five stops: left from brightness reaches the reset row.
    key(g_quality, panel::kKeyLeft);
    EXPECT_EQ(styleOf(g_quality, "lineEdit_Reset"), style::kFieldFocused);
    EXPECT_EQ(field(g_quality, "lineEdit_Reset"), "Press Ok");
    key(g_quality, panel::kKeyOk);
    const uint16_t expected[] = {100, 50, 10, 50, 2, 64, 64, 64};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(image16(ram::kBrightness + 2 * i), expected[i]) << "word " << ram::kBrightness + 2 * i;
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(field(g_quality, "lineEdit_bright"), "100");
    EXPECT_EQ(field(g_quality, "lineEdit_Sharpness"), "10");
    EXPECT_EQ(field(g_quality, "lineEdit_Contrast"), "50");
    EXPECT_EQ(field(g_quality, "lineEdit_Saturation"), "50");
    EXPECT_EQ(styleOf(g_quality, "lineEdit_Reset"), style::kFieldFocused) << "the reset row has no edit";

    key(g_quality, panel::kKeyRight);
    EXPECT_EQ(styleOf(g_quality, "lineEdit_bright"), style::kFieldFocused);
    EXPECT_EQ(styleOf(g_quality, "lineEdit_Reset"), style::kFieldNormal);
}

TEST_F(PictureSettings, QualityEditStartsFromTheNumberShown)
{
    setImage16(ram::kBrightness, 40);
    openQuality();
    setImage16(ram::kBrightness, 90); // a PC's change is not redrawn
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(field(g_quality, "lineEdit_bright"), "40");
    key(g_quality, panel::kKeyOk);
    key(g_quality, panel::kKeyRight);
    EXPECT_EQ(image16(ram::kBrightness), 41);
}

TEST_F(PictureSettings, TemperatureTypeWrapsWithoutWritingAndOkWritesIt)
{
    setImage16(ram::kColourTempType, 3);
    openTemperature();
    QComboBox* type = child<QComboBox>(g_temperature, "comboBox_type");
    EXPECT_EQ(type->currentText(), "cool");
    EXPECT_EQ(type->styleSheet(), style::kComboFocused);

    key(g_temperature, panel::kKeyOk);
    EXPECT_EQ(type->styleSheet(), style::kComboEditing);
    key(g_temperature, panel::kKeyRight);
    EXPECT_EQ(type->currentText(), "custom");
    key(g_temperature, panel::kKeyLeft);
    EXPECT_EQ(type->currentText(), "cool");
    key(g_temperature, panel::kKeyRight);
    EXPECT_EQ(image16(ram::kColourTempType), 3);
    EXPECT_EQ(request(), 0) << "stepping the type writes nothing";

    scaler->para_changed = 1; // the type is written whatever is pending
    key(g_temperature, panel::kKeyOk);
    EXPECT_EQ(image16(ram::kColourTempType), 0);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(type->styleSheet(), style::kComboFocused);
    serveRequest();

    // Back during a type edit shows and writes the saved type again.
    setImage16(ram::kColourTempType, 0x0101); // a high byte from a PC
    key(g_temperature, panel::kKeyOk);
    key(g_temperature, panel::kKeyRight);
    key(g_temperature, panel::kKeyRight);
    EXPECT_EQ(type->currentText(), "nature");
    key(g_temperature, panel::kKeyBack);
    EXPECT_EQ(type->currentText(), "custom");
    EXPECT_EQ(image16(ram::kColourTempType), 0) << "the saved type, as a whole word";
    EXPECT_EQ(request(), 1);
    EXPECT_NE(g_temperature, nullptr);
}

TEST_F(PictureSettings, TemperatureShowsATypeOutOfRangeAsCustom)
{
    setImage16(ram::kColourTempType, 7);
    openTemperature();
    EXPECT_EQ(child<QComboBox>(g_temperature, "comboBox_type")->currentText(), "custom");
    EXPECT_EQ(image16(ram::kColourTempType), 7);
    key(g_temperature, panel::kKeyOk);
    key(g_temperature, panel::kKeyOk);
    EXPECT_EQ(image16(ram::kColourTempType), 0);
}

TEST_F(PictureSettings, TemperatureGainsStepLiveAndSurviveALanguageChange)
{
    setImage16(ram::kColourTempType, 2);
    setImage16(ram::kColourTempRed, 64);
    setImage16(ram::kColourTempBlue, 20);
    openTemperature();

    // Four stops: left from the type reaches blue, right from blue the type.
    key(g_temperature, panel::kKeyLeft);
    EXPECT_EQ(styleOf(g_temperature, "lineEdit_name_blue"), style::kFieldFocused);
    key(g_temperature, panel::kKeyRight);
    EXPECT_EQ(styleOf(g_temperature, "comboBox_type"), style::kComboFocused);
    EXPECT_EQ(styleOf(g_temperature, "lineEdit_name_blue"), style::kFieldNormal);

    key(g_temperature, panel::kKeyRight); // red
    key(g_temperature, panel::kKeyOk);
    EXPECT_EQ(styleOf(g_temperature, "lineEdit_name_red"), style::kFieldEditing);
    key(g_temperature, panel::kKeyRight);
    EXPECT_EQ(image16(ram::kColourTempRed), 65) << "stepped whatever the type";
    EXPECT_EQ(image16(ram::kColourTempType), 2);
    key(g_temperature, panel::kKeyRight);
    EXPECT_EQ(image16(ram::kColourTempRed), 65) << "refused while the request is pending";
    serveRequest();
    key(g_temperature, panel::kKeyRight);
    EXPECT_EQ(field(g_temperature, "lineEdit_name_red"), "66");

    // A language change re-texts and refills; the gain edit goes on.
    g_lcd_lang_valid = 0x1F;
    takeSnapshot();
    store->ram_para[ram::kLanguage] = panel::kRussian;
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(child<QLabel>(g_temperature, "label_name_red")->text(), "Красный");
    EXPECT_EQ(child<QComboBox>(g_temperature, "comboBox_type")->currentIndex(), 2);
    EXPECT_EQ(styleOf(g_temperature, "lineEdit_name_red"), style::kFieldEditing);
    key(g_temperature, panel::kKeyBack);
    EXPECT_EQ(image16(ram::kColourTempRed), 64);
    EXPECT_EQ(field(g_temperature, "lineEdit_name_red"), "64");
    EXPECT_EQ(image16(ram::kColourTempBlue), 20);
}

TEST_F(PictureSettings, TheModeKeyLeavesForTheUserModesUnlessThePanelIsLocked)
{
    openQuality();
    setImage16(ram::kPanelLock, 1);
    key(g_quality, panel::kKeyMode);
    EXPECT_NE(g_quality, nullptr);
    EXPECT_EQ(g_custommode, nullptr);
    setImage16(ram::kPanelLock, 0);
    key(g_quality, panel::kKeyMode);
    EXPECT_EQ(g_quality, nullptr);
    EXPECT_NE(g_custommode, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageCustomMode);

    openTemperature();
    key(g_temperature, panel::kKeyBack);
    EXPECT_EQ(g_temperature, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageImageQuality);
}

} // namespace
