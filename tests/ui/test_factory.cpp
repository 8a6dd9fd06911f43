// The factory screen, driven by its keys: the language row cycling through
// the offered languages only, the three resets and what each leaves in the
// parameter image, the user-mode slots, the input manager, the LED
// handshake and the network configuration, and the font status lines.
#include "tests/support/panel_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QSettings>

#include "core/config_engine.h"
#include "fpga/fpga_manage.h"
#include "platform/c331_sim.h"
#include "platform/shell.h"
#include "ui/setup/factory.h"
#include "ui/shell/screen_styles.h"
#include "video_io/zevlosource.h"

using paneltest::key;

namespace {

class Factory : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        // The configuration at its defaults, as the device leaves the factory.
        ConfigEngine::pInstance();
        platform::simShell().clearLog();
        g_lcd_lang_valid = 0x1F;
    }
    factory* open()
    {
        g_factory = new factory(nullptr);
        g_page_focus = kPageFactory;
        g_factory->show();
        return g_factory;
    }
    QComboBox* combo() const { return g_factory->findChild<QComboBox*>("Box_lang_2"); }
    QString label(const char* name) const { return g_factory->findChild<QLabel*>(name)->text(); }
    // The screen's ring walked to row `row` (0 language, 1..3 the resets).
    void pressRow(int row)
    {
        for (int i = 0; i < row; ++i)
            key(g_factory, panel::kKeyRight);
        key(g_factory, panel::kKeyOk);
    }
    // Every byte an image address apart from the defaults.
    static uint8_t defaultAt(int addr) { return default_para_ramlist[size_t(addr - ram::kFileToImage)]; }
    // The persisted part with every byte changed, the slots saved.
    void scramble()
    {
        for (int a = ram::kPersistStart; a < ram::kImageSize; ++a)
            store->ram_para[a] = uint8_t(defaultAt(a) ^ 0x5A);
        takeSnapshot();
        for (int slot = 0; slot < ram::kModeSlots; ++slot)
            saveSlot(slot, 0x33);
    }
    static bool isFade(int addr)
    {
        return addr >= ram::kFadeIn && addr < ram::kFadeIn + ram::kFadeStride * ram::kImageRecordCount
               && (addr - ram::kFadeIn) % 2 == 0;
    }
    static std::vector<std::string> shellLog() { return platform::simShell().log(); }
};

TEST_F(Factory, TheLanguageRowCyclesThroughTheOfferedLanguagesOnly)
{
    g_lcd_lang_valid = 0x06; // English and Russian
    g_language = panel::kEnglish;
    store->ram_para[ram::kLanguage] = panel::kEnglish;
    takeSnapshot();
    open();
    EXPECT_EQ(combo()->currentIndex(), 1);
    EXPECT_EQ(combo()->styleSheet(), style::kComboFocused);

    key(g_factory, panel::kKeyRight); // not editing: the focus moves
    EXPECT_EQ(combo()->currentIndex(), 1);
    key(g_factory, panel::kKeyLeft);
    key(g_factory, panel::kKeyOk);
    EXPECT_EQ(combo()->styleSheet(), style::kComboEditing);
    key(g_factory, panel::kKeyRight);
    EXPECT_EQ(combo()->currentIndex(), 2);
    key(g_factory, panel::kKeyRight);
    EXPECT_EQ(combo()->currentIndex(), 1);
    key(g_factory, panel::kKeyLeft);
    EXPECT_EQ(combo()->currentIndex(), 2);
    key(g_factory, panel::kKeyLeftLetter);
    key(g_factory, panel::kKeyLeftLetter);
    EXPECT_EQ(combo()->currentIndex(), 2);
    EXPECT_EQ(request(), 0) << "stepping writes nothing";
    key(g_factory, panel::kKeyOk);
    EXPECT_EQ(store->ram_para[ram::kLanguage], 2);
    EXPECT_EQ(g_language.load(), 2);
    EXPECT_EQ(request(), 1);
    EXPECT_EQ(combo()->styleSheet(), style::kComboFocused);
    EXPECT_EQ(label("label_factory"), "Заводские настройки");
    serveRequest();

    // Confirming the language already set writes nothing.
    key(g_factory, panel::kKeyOk);
    key(g_factory, panel::kKeyOk);
    EXPECT_EQ(request(), 0);

    // Back during an edit leaves the screen; the candidate is dropped.
    key(g_factory, panel::kKeyOk);
    key(g_factory, panel::kKeyRight);
    key(g_factory, panel::kKeyBack);
    EXPECT_EQ(g_factory, nullptr);
    EXPECT_EQ(g_page_focus.load(), kPageAdvancedOption);
    EXPECT_EQ(store->ram_para[ram::kLanguage], 2);
    EXPECT_EQ(request(), 0);
}

TEST_F(Factory, ALanguageNotOfferedStartsTheCandidateAtEnglish)
{
    g_lcd_lang_valid = 0x03;
    g_language = panel::kVietnamese;
    open();
    EXPECT_EQ(combo()->currentIndex(), 1);
    EXPECT_EQ(label("label_lang"), "language");
    EXPECT_EQ(label("label_edid"), "Keep IP,EDIP");

    // With nothing offered the candidate does not move.
    g_lcd_lang_valid = 0;
    key(g_factory, panel::kKeyOk);
    key(g_factory, panel::kKeyRight);
    key(g_factory, panel::kKeyLeft);
    EXPECT_EQ(combo()->currentIndex(), 1);
}

TEST_F(Factory, ALanguageChangedElsewhereEndsTheEditAndReTexts)
{
    g_language = panel::kEnglish;
    store->ram_para[ram::kLanguage] = panel::kEnglish;
    takeSnapshot();
    open();
    key(g_factory, panel::kKeyOk);
    key(g_factory, panel::kKeyRight);
    // The PC sets Traditional Chinese; the dispatcher refreshes page 18.
    store->ram_para[ram::kLanguage] = panel::kTraditional;
    store->test_signal(kChangeRefresh);
    EXPECT_EQ(combo()->currentIndex(), 4);
    EXPECT_EQ(combo()->styleSheet(), style::kComboFocused);
    EXPECT_EQ(label("label_factory"), "工廠設置");
    key(g_factory, panel::kKeyRight); // the focus moves again
    EXPECT_NE(combo()->styleSheet(), style::kComboFocused);
}

TEST_F(Factory, EveryResetRestoresTheDefaultsEmptiesTheModesAndAsksForASecondApply)
{
    zevlosource* sources = zevlosource::pInstance();
    const struct {
        int row;
        bool keepsEdid;
    } resets[] = {{1, false}, {2, true}, {3, false}};
    for (const auto& r : resets) {
        SCOPED_TRACE(r.row);
        scramble();
        sources->edid_refresh = 0;
        serveRequest();
        platform::simShell().clearLog();
        open();
        pressRow(r.row);

        int wrong = 0;
        for (int a = ram::kPersistStart; a < ram::kImageSize; ++a) {
            uint8_t want = defaultAt(a);
            if (isFade(a))
                want = 60;
            else if (isFade(a - 1))
                want = 0;
            else if (r.keepsEdid && a >= 896 && a < 1376)
                want = uint8_t(defaultAt(a) ^ 0x5A);
            if (store->ram_para[a] != want && ++wrong < 5)
                ADD_FAILURE() << "image byte " << a << " is " << int(store->ram_para[a]) << ", not " << int(want);
        }
        EXPECT_EQ(wrong, 0);
        for (int slot = 0; slot < ram::kModeSlots; ++slot) {
            EXPECT_EQ(store->user_mode[slot][0], 0xFF);
            EXPECT_EQ(store->user_mode[slot][1], 0xFF);
            EXPECT_EQ(store->user_mode[slot][2], 0x33) << "the slot's content stays";
        }
        EXPECT_EQ(request(), 2);
        EXPECT_EQ(sources->edid_refresh.load(), r.keepsEdid ? 0u : 0x01010101u);
        EXPECT_EQ(g_factory->findChild<QWidget*>("Button_rst" + QString::number(r.row))->styleSheet(),
            "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);")
            << "the row keeps the focus";
        EXPECT_TRUE(shellLog().empty()) << "the network is already at its defaults";
        key(g_factory, panel::kKeyBack);
    }

    // A reset raised over a pending ordinary request makes it a reset's.
    open();
    scaler->para_changed = 1;
    pressRow(2);
    EXPECT_EQ(request(), 2);
}

TEST_F(Factory, ResetAllRestoresTheNetworkWhenAnyOfItsThreeSettingsDiffers)
{
    ConfigEngine* config = ConfigEngine::p_config;
    const QString ini = QString::fromStdString(path("/data/configs/tcpip.ini"));
    const struct {
        const char* ip;
        const char* mask;
        const char* gateway;
    } others[] = {{"10.0.0.5", "255.255.255.0", "192.168.0.1"},
        {"192.168.0.199", "255.0.0.0", "192.168.0.1"},
        {"192.168.0.199", "255.255.255.0", "192.168.0.254"}};
    for (const auto& o : others) {
        SCOPED_TRACE(std::string(o.ip) + " " + o.mask + " " + o.gateway);
        config->write_config_variant(ConfigItem::IPAddress, QString(o.ip));
        config->write_config_variant(ConfigItem::SubNetMask, QString(o.mask));
        config->write_config_variant(ConfigItem::GateWay, QString(o.gateway));
        Utils::initIPAddress();
        ASSERT_EQ(g_srt_mask.get(), o.mask);
        platform::simShell().clearLog();
        open();
        pressRow(3);

        QSettings stored(ini, QSettings::IniFormat);
        EXPECT_EQ(stored.value("config/IPAddress").toString(), "192.168.0.199");
        EXPECT_EQ(stored.value("config/SubNetMask").toString(), "255.255.255.0");
        EXPECT_EQ(stored.value("config/GateWay").toString(), "192.168.0.1");
        const std::vector<std::string> log = shellLog();
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[0], "sync");
        EXPECT_EQ(log[1], "ifconfig eth0 &>/dev/null");
        EXPECT_NE(std::find(log.begin(), log.end(), "ifconfig eth0 192.168.0.199 netmask 255.255.255.0 up"),
            log.end());
        EXPECT_EQ(g_str_gateway.get(), "192.168.0.1");
        EXPECT_EQ(request(), 2);
        key(g_factory, panel::kKeyBack);
        serveRequest();
    }

    // All three at their defaults: nothing of the network is touched.
    platform::simShell().clearLog();
    open();
    pressRow(3);
    EXPECT_TRUE(shellLog().empty());
    EXPECT_EQ(request(), 2);
}

TEST_F(Factory, ANewLedSizeStartsTheHandshakeOnlyWhenFpga0IsReady)
{
    fpga_manage* fpga = fpga_manage::pInstance();
    const struct {
        uint16_t snapshotWidth;
        uint8_t state;
        uint8_t expected;
    } cases[] = {{3840, 3, 1}, {3840, 2, 0}, {1920, 3, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.snapshotWidth);
        g_set_led_para = 0;
        g_set_led_setup = 5;
        fpga->write_to_register(80, 0xFF, c.state, 0);
        setImage16(ram::kLedWidth, c.snapshotWidth);
        takeSnapshot();
        open();
        pressRow(1);
        EXPECT_EQ(image16(ram::kLedWidth), 1920);
        EXPECT_EQ(g_set_led_para.load(), c.expected);
        EXPECT_EQ(g_set_led_setup.load(), c.expected ? 0 : 5);
        key(g_factory, panel::kKeyBack);
    }
    // Without an FPGA manager the step is skipped.
    fpga_manage::destroyForTest();
    g_set_led_para = 0;
    setImage16(ram::kLedWidth, 3840);
    takeSnapshot();
    open();
    pressRow(2);
    EXPECT_EQ(g_set_led_para.load(), 0);
    EXPECT_EQ(request(), 2);
}

TEST_F(Factory, TheFontLinesShowWhichFontsTheScalerFoundInItsFlash)
{
    // The font blocks' headers in the scaler's flash: 'P' marks a font
    // that is there. Both Chinese fonts, no ASCII font.
    auto fontHeaders = [this](uint8_t ascii32, uint8_t chinese32, uint8_t ascii64, uint8_t chinese64) {
        const struct {
            uint32_t at;
            uint8_t type;
        } blocks[] = {{0x000000, ascii32}, {0x010000, chinese32}, {0x410000, ascii64}, {0x450000, chinese64}};
        for (const auto& b : blocks) {
            std::vector<uint8_t> header(35, 0);
            header[0] = b.type;
            platform::simScaler().flashLoad(b.at, header);
        }
        scaler->read_c331_font(scaler->c331_fd);
    };
    fontHeaders(0xFF, 'P', 0xFF, 'P');
    open();
    const QString cn = label("FontCN"), en = label("FontEN");
    EXPECT_TRUE(cn.startsWith("<font style = 'font-size:12px' color = #ffffff >CN:</font>")) << cn.toStdString();
    for (const char* size : {">32</font>", ">64</font>", ">128</font>"}) {
        EXPECT_TRUE(cn.contains(QString("<font style = 'font-size:13px' color = #00ff00 ") + size)) << size;
        EXPECT_TRUE(en.contains(QString("<font style = 'font-size:13px' color = #ff0000 ") + size)) << size;
    }
    EXPECT_EQ(cn.count("color = #ffffff >|</font>"), 2);

    // Only the 32-pixel ASCII font: 64 and 128 follow the 64-pixel bit.
    fontHeaders('P', 0xFF, 0xFF, 0xFF);
    g_language = panel::kChinese;
    g_factory->language_changed();
    const QString zhEn = label("FontEN");
    EXPECT_TRUE(zhEn.contains(">英文:</font>"));
    EXPECT_TRUE(zhEn.contains("#00ff00 >32宽</font>"));
    EXPECT_TRUE(zhEn.contains("#ff0000 >64宽</font>"));
    EXPECT_TRUE(zhEn.contains("#ff0000 >128宽</font>"));
    EXPECT_TRUE(label("FontCN").contains("#ff0000 >32宽</font>"));

    // Traditional Chinese keeps the English labels with its own size word.
    g_language = panel::kTraditional;
    g_factory->language_changed();
    EXPECT_TRUE(label("FontCN").startsWith("<font style = 'font-size:12px' color = #ffffff >CN:</font>"));
    EXPECT_TRUE(label("FontEN").contains("#00ff00 >32寬</font>"));
}

} // namespace
