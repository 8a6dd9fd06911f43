// The other-settings screen, driven by its keys: the image list and the
// sound row, fade or seamless over every image record, the WiFi switch with
// its two shell lines (recorded, never run, and run with the scaler's lock
// free) or the access point's restart, dot-by-dot, and the focus ring that
// passes over the hidden projection row.
#include "tests/support/panel_fixture.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>

#include "platform/shell.h"
#include "remote/q58_wifi_config.h"
#include "ui/setup/othersetup.h"
#include "ui/shell/label_fit.h"
#include "ui/shell/screen_styles.h"

using paneltest::key;

namespace {

class OtherSetup : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        for (int k = 0; k < ram::kImageRecordCount; ++k)
            setImage16(ram::imageRecord(k) + ram::kImgEnable, 0);
        platform::simShell().clearLog();
    }
    othersetup* open()
    {
        g_othersetup = new othersetup(nullptr);
        g_page_focus = kPageOthersetup;
        g_othersetup->show();
        return g_othersetup;
    }
    QComboBox* box(const char* name) const { return g_othersetup->findChild<QComboBox*>(name); }
    static QStringList entries(QComboBox* b)
    {
        QStringList list;
        for (int i = 0; i < b->count(); ++i)
            list << b->itemText(i);
        return list;
    }
    void enable(int image) { setImage16(ram::imageRecord(image) + ram::kImgEnable, 1); }
    // Image byte `addr` as the parameter file holds it.
    int savedByte(int addr) const
    {
        const QByteArray file = readFile("/data/ram_device_info");
        const int at = addr - ram::kFileToImage;
        return at < file.size() ? uint8_t(file[at]) : -1;
    }
    uint16_t record16(int image, int field) const { return image16(ram::imageRecord(image) + field); }
    // Walks the ring right `steps` times, then edits: OK, `moves` steps of
    // the entry (negative: left), OK.
    void choose(int steps, int moves)
    {
        for (int i = 0; i < steps; ++i)
            key(g_othersetup, panel::kKeyRight);
        key(g_othersetup, panel::kKeyOk);
        for (int i = 0; i < (moves < 0 ? -moves : moves); ++i)
            key(g_othersetup, moves < 0 ? panel::kKeyLeft : panel::kKeyRight);
        key(g_othersetup, panel::kKeyOk);
    }
    // Rows right of the image row: 1 sound, 2 switch, 3 WiFi, 4 dot-by-dot.
    static constexpr int kSound = 1, kSwitch = 2, kWifi = 3, kDbd = 4;
};

TEST_F(OtherSetup, ListsTheEnabledImagesAndShowsTheAudioImagesSound)
{
    enable(0);
    enable(2);
    setImage16(ram::kAudioImage, 2);
    setImage16(ram::imageRecord(2) + ram::kImgAudio, 0x8000);
    setImage16(ram::kFadeEffect, 1);
    setImage16(ram::kWifiOff, 1);
    open();
    EXPECT_EQ(entries(box("ImageVolume")), QStringList({"image1", "image3"}));
    EXPECT_EQ(box("ImageVolume")->currentIndex(), 1);
    EXPECT_EQ(box("volume_state")->currentText(), "ON");
    EXPECT_EQ(box("switch_state")->currentText(), "Fade");
    EXPECT_EQ(box("wifi_state")->currentText(), "OFF");
    EXPECT_EQ(box("dbd_state")->currentText(), "OFF");
    EXPECT_FALSE(box("mode_state")->isVisible());
    EXPECT_EQ(g_othersetup->findChild<QLabel*>("label_other")->text(), "Other Settings");

    // Another image chosen: the sound row still shows the audio image's.
    choose(0, 1);
    EXPECT_EQ(box("ImageVolume")->currentText(), "image1");
    EXPECT_EQ(box("volume_state")->currentText(), "ON");
    EXPECT_EQ(request(), 0) << "the image row writes nothing";
}

TEST_F(OtherSetup, EveryEntryFitsTheRoomItsComboLeavesItsTextInEveryLanguage)
{
    for (int k = 0; k < ram::kWindowImages; ++k)
        enable(k);
    g_lcd_lang_valid = 0x1F;
    for (int language = panel::kChinese; language <= panel::kTraditional; ++language) {
        g_language = uint8_t(language);
        open();
        for (QComboBox* combo : g_othersetup->findChildren<QComboBox*>()) {
            const QFontMetrics metrics(combo->font());
            for (int i = 0; i < combo->count(); ++i)
                EXPECT_LE(metrics.horizontalAdvance(combo->itemText(i)), panel::combo_text_room(combo))
                    << language << " " << combo->itemText(i).toStdString();
        }
        closeAllScreens();
    }
}

TEST_F(OtherSetup, AnAudioImageThatIsNotEnabledBecomesImageZeroWithoutARequest)
{
    enable(1);
    setImage16(ram::kAudioImage, 4);
    open();
    EXPECT_EQ(image16(ram::kAudioImage), 0);
    EXPECT_EQ(request(), 0);
    EXPECT_EQ(box("ImageVolume")->currentText(), "image2") << "the first entry when the audio image is not listed";

    // A dot-by-dot image among the enabled ones shows "ON".
    store->ram_para[ram::imageRecord(1) + ram::kImgOutput + 1] = 1;
    closeAllScreens();
    open();
    EXPECT_EQ(box("dbd_state")->currentText(), "ON");
}

TEST_F(OtherSetup, TheSoundRowMovesTheAudioImageOnlyOnAChangeOfState)
{
    enable(0);
    enable(2);
    setImage16(ram::kAudioImage, 2);
    setImage16(ram::imageRecord(2) + ram::kImgAudio, 0x8000);
    open();

    // "ON" for image 3, which sounds already: nothing written, yet a request.
    choose(kSound, 2);
    EXPECT_EQ(box("volume_state")->currentText(), "ON");
    EXPECT_EQ(image16(ram::kAudioImage), 2);
    EXPECT_EQ(record16(2, ram::kImgAudio), 0x8000);
    EXPECT_EQ(request(), 1);
    serveRequest();

    // "ON" for image 1, which does not sound.
    key(g_othersetup, panel::kKeyLeft);
    choose(0, -1);
    choose(kSound, 2);
    EXPECT_EQ(image16(ram::kAudioImage), 0);
    EXPECT_EQ(record16(0, ram::kImgAudio), 0x80FF);
    EXPECT_EQ(request(), 1);
    serveRequest();

    // "OFF" for it.
    choose(0, 1);
    EXPECT_EQ(box("volume_state")->currentText(), "OFF");
    EXPECT_EQ(record16(0, ram::kImgAudio), 0);
    EXPECT_EQ(image16(ram::kAudioImage), 0);

    // Back during an edit shows the entry from before and writes nothing.
    serveRequest();
    key(g_othersetup, panel::kKeyOk);
    key(g_othersetup, panel::kKeyRight);
    EXPECT_EQ(box("volume_state")->currentText(), "ON");
    EXPECT_EQ(box("volume_state")->styleSheet(), style::kComboEditing);
    key(g_othersetup, panel::kKeyBack);
    EXPECT_EQ(box("volume_state")->currentText(), "OFF");
    EXPECT_EQ(box("volume_state")->styleSheet(), style::kComboFocused);
    EXPECT_EQ(record16(0, ram::kImgAudio), 0);
    EXPECT_EQ(request(), 0);
    EXPECT_NE(g_othersetup, nullptr);
}

TEST_F(OtherSetup, WithNoEnabledImageTheSoundRowsDoNothing)
{
    open();
    EXPECT_EQ(box("ImageVolume")->count(), 0);
    choose(0, 1);
    choose(0, -1);
    EXPECT_EQ(box("ImageVolume")->currentIndex(), -1);
    choose(kSound, 1);
    EXPECT_EQ(image16(ram::kAudioImage), 0);
    for (int k = 0; k < ram::kWindowImages; ++k)
        EXPECT_EQ(record16(k, ram::kImgAudio), 0);
    EXPECT_EQ(request(), 0);
}

// Images 2-4 on (records 1-3), none sounding, image 3 (record 2) the audio
// image: the image row shows "image3". A PC then changes the images while
// the screen is open.
class OtherSetupPcChange : public OtherSetup {
protected:
    void SetUp() override
    {
        OtherSetup::SetUp();
        for (int k = 1; k <= 3; ++k)
            enable(k);
        setImage16(ram::kAudioImage, 2);
        open();
        ASSERT_EQ(box("ImageVolume")->currentText(), "image3");
    }
    void pcClose(int image, bool applied)
    {
        setImage16(ram::imageRecord(image) + ram::kImgEnable, 0);
        if (applied)
            store->test_signal(kChangeRefresh); // the scaler's signal after register 11
    }
    void expectSoundWords(uint16_t r0, uint16_t r1, uint16_t r2, uint16_t r3)
    {
        const uint16_t expected[] = {r0, r1, r2, r3};
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(record16(k, ram::kImgAudio), expected[k]) << "image record " << k;
    }
    // ON in the sound row, the image row on image 3: its sound goes on.
    void soundOnForImageThree()
    {
        choose(kSound, 1);
        EXPECT_EQ(image16(ram::kAudioImage), 2);
        expectSoundWords(0, 0, 0x80FF, 0);
        EXPECT_EQ(request(), 1);
        serveRequest();
    }
    // From the sound row back to the image row, image 4 chosen there.
    void chooseImageFour()
    {
        key(g_othersetup, panel::kKeyLeft);
        choose(0, 1);
        EXPECT_EQ(box("ImageVolume")->currentText(), "image4");
    }
};

TEST_F(OtherSetupPcChange, AnAppliedChangeRedrawsTheRowsAndOkActsOnTheImageTheyShow)
{
    pcClose(1, true);
    EXPECT_EQ(entries(box("ImageVolume")), QStringList({"image3", "image4"}));
    EXPECT_EQ(box("ImageVolume")->currentText(), "image3");
    soundOnForImageThree();

    // The image chosen in the row stays chosen through a redraw while it is
    // enabled; a refresh that changes nothing redraws nothing.
    chooseImageFour();
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(box("ImageVolume")->currentText(), "image4");
    enable(0);
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(entries(box("ImageVolume")), QStringList({"image1", "image3", "image4"}));
    EXPECT_EQ(box("ImageVolume")->currentText(), "image4");
    EXPECT_EQ(box("volume_state")->currentText(), "ON") << "image 3 sounds";

    // Closed during an edit of the sound row: the edit ends, the rows show
    // the audio image again and nothing is written.
    key(g_othersetup, panel::kKeyRight);
    key(g_othersetup, panel::kKeyOk);
    key(g_othersetup, panel::kKeyRight);
    EXPECT_EQ(box("volume_state")->currentText(), "OFF");
    pcClose(3, true);
    EXPECT_EQ(box("volume_state")->styleSheet(), style::kComboFocused);
    EXPECT_EQ(entries(box("ImageVolume")), QStringList({"image1", "image3"}));
    EXPECT_EQ(box("ImageVolume")->currentText(), "image3");
    EXPECT_EQ(box("volume_state")->currentText(), "ON");
    key(g_othersetup, panel::kKeyOk); // a new edit, not the end of the dropped one
    EXPECT_EQ(box("volume_state")->styleSheet(), style::kComboEditing);
    EXPECT_EQ(image16(ram::kAudioImage), 2);
    expectSoundWords(0, 0, 0x80FF, 0);
    EXPECT_EQ(request(), 0);
}

TEST_F(OtherSetupPcChange, UnappliedOkActsOnTheImageShownOrOnNoneWhenItIsClosed)
{
    // An image before the one shown closed, with no signal yet.
    pcClose(1, false);
    EXPECT_EQ(entries(box("ImageVolume")), QStringList({"image2", "image3", "image4"}));
    soundOnForImageThree();

    // The image shown closed: OK writes nothing and the rows show what is.
    chooseImageFour();
    pcClose(3, false);
    choose(1, 1);
    expectSoundWords(0, 0, 0x80FF, 0);
    EXPECT_EQ(request(), 0);
    EXPECT_EQ(entries(box("ImageVolume")), QStringList({"image3"}));
    EXPECT_EQ(box("ImageVolume")->currentText(), "image3");
    EXPECT_EQ(box("volume_state")->currentText(), "ON");
    EXPECT_EQ(box("volume_state")->styleSheet(), style::kComboFocused);
}

TEST_F(OtherSetup, FadeReachesEveryRecordAndSeamlessKeepsTheTimes)
{
    for (int k = 0; k < ram::kImageRecordCount; ++k) {
        setImage16(ram::kFadeIn + ram::kFadeStride * k, 0x0203);
        setImage16(ram::imageRecord(k) + ram::kImgOutput, 0x0101);
    }
    takeSnapshot();
    open();
    choose(kSwitch, 1);
    EXPECT_EQ(store->ram_para[ram::kFadeEffect], 1);
    for (int k = 0; k < ram::kImageRecordCount; ++k) {
        EXPECT_EQ(image16(ram::kFadeIn + ram::kFadeStride * k), 0x023C) << "only the low byte, record " << k;
        EXPECT_EQ(store->ram_para[ram::kFadeOut + ram::kFadeStride * k], 60) << k;
        EXPECT_EQ(record16(k, ram::kImgOutput), 0x0105) << k;
    }
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(savedByte(ram::kFadeIn), 0x3C) << "saved";
    serveRequest();

    choose(0, -1);
    EXPECT_EQ(box("switch_state")->currentText(), "Seamless");
    EXPECT_EQ(store->ram_para[ram::kFadeEffect], 0);
    for (int k = 0; k < ram::kImageRecordCount; ++k) {
        EXPECT_EQ(record16(k, ram::kImgOutput), 0x0101) << k;
        EXPECT_EQ(store->ram_para[ram::kFadeIn + ram::kFadeStride * k], 60) << k;
    }
    EXPECT_EQ(request(), 1);
}

TEST_F(OtherSetup, WifiOffRecordsTheTwoStopLinesWithTheScalerFree)
{
    bool lockedDuringCommand = false;
    platform::simShell().setObserver([this, &lockedDuringCommand](const std::string&) {
        if (pthread_mutex_trylock(&scaler->para_mutex) == 0)
            pthread_mutex_unlock(&scaler->para_mutex);
        else
            lockedDuringCommand = true;
    });
    open();
    choose(kWifi, 1);
    EXPECT_EQ(box("wifi_state")->currentText(), "OFF");
    EXPECT_EQ(store->ram_para[ram::kWifiOff], 1);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(platform::simShell().log(),
        std::vector<std::string>({"kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`",
            "kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`"}));
    EXPECT_FALSE(lockedDuringCommand);
    platform::simShell().setObserver(nullptr);
    serveRequest();

    // "ON" without a WiFi manager: the byte only.
    platform::simShell().clearLog();
    choose(0, 1);
    EXPECT_EQ(store->ram_para[ram::kWifiOff], 0);
    EXPECT_EQ(request(), 1);
    EXPECT_TRUE(platform::simShell().log().empty());
}

TEST_F(OtherSetup, WifiOnAsksTheAccessPointToRestart)
{
    Q58_WIFI_CONFIG* wifi = Q58_WIFI_CONFIG::createForTest(false);
    store->ram_para[ram::kWifiOff] = 1;
    open();
    EXPECT_EQ(wifi->resetRequest(), 0);
    choose(kWifi, -1);
    EXPECT_EQ(box("wifi_state")->currentText(), "ON");
    EXPECT_EQ(store->ram_para[ram::kWifiOff], 0);
    EXPECT_EQ(wifi->resetRequest(), 1);
    EXPECT_TRUE(platform::simShell().log().empty());
    Q58_WIFI_CONFIG::destroyForTest();
}

TEST_F(OtherSetup, DotByDotOverwritesTheHighByteOfEveryOutputWord)
{
    setImage16(ram::imageRecord(3) + ram::kImgOutput, 0x0304);
    takeSnapshot();
    open();
    choose(kDbd, 1);
    EXPECT_EQ(store->ram_para[ram::kDotByDotSwitch], 1);
    for (int k = 0; k < ram::kImageRecordCount; ++k)
        EXPECT_EQ(store->ram_para[ram::imageRecord(k) + ram::kImgOutput + 1], 1) << k;
    EXPECT_EQ(record16(3, ram::kImgOutput), 0x0104);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(savedByte(ram::kDotByDotSwitch), 1) << "saved";

    choose(0, -1);
    EXPECT_EQ(store->ram_para[ram::kDotByDotSwitch], 0);
    for (int k = 0; k < ram::kImageRecordCount; ++k)
        EXPECT_EQ(store->ram_para[ram::imageRecord(k) + ram::kImgOutput + 1], 0) << k;
}

TEST_F(OtherSetup, TheRingPassesOverTheHiddenProjectionRow)
{
    open();
    const char* const ring[] = {"ImageVolume", "volume_state", "switch_state", "wifi_state", "dbd_state"};
    for (int i = 1; i <= 5; ++i) {
        key(g_othersetup, panel::kKeyRight);
        for (int j = 0; j < 5; ++j)
            EXPECT_EQ(box(ring[j])->styleSheet(), j == i % 5 ? style::kComboFocused : style::kComboNormal)
                << "after " << i << " rights: " << ring[j];
    }
    key(g_othersetup, panel::kKeyLeft);
    EXPECT_EQ(box("dbd_state")->styleSheet(), style::kComboFocused);
    key(g_othersetup, panel::kKeyLeft);
    EXPECT_EQ(box("wifi_state")->styleSheet(), style::kComboFocused);
    key(g_othersetup, panel::kKeyLeft);
    EXPECT_EQ(box("switch_state")->styleSheet(), style::kComboFocused);

    key(g_othersetup, panel::kKeyBack);
    EXPECT_EQ(g_othersetup, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
    EXPECT_EQ(request(), 0);
}

} // namespace
