// The OSD menu file: reading it, turning its first item into OSD settings,
// what a damaged file does, and the menu shown through the PC's commands.
#include "tests/scaler/osd_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <random>

#include "platform/shell.h"
#include "remote/file_transfer.h"
#include "remote/message_deal.h"
#include "tests/remote/commands_fixture.h"

using namespace ram;

namespace {
class Menu : public OsdTest {
protected:
    void SetUp() override
    {
        OsdTest::SetUp();
        loadFonts();
        bringUp();
    }
    // The sample with changes to its first item.
    static QJsonObject sample() { return QJsonDocument::fromJson(QByteArray::fromStdString(sampleMenu())).object(); }
    static QJsonObject firstItem(const QJsonObject& menu) { return menu["menu"].toArray()[0].toObject(); }
    static std::string withItem(QJsonObject menu, const QJsonObject& item)
    {
        QJsonArray items = menu["menu"].toArray();
        items[0] = item;
        menu["menu"] = items;
        return QJsonDocument(menu).toJson().toStdString();
    }
    static QJsonObject set(QJsonObject o, const QString& path, const QJsonValue& v)
    {
        const int dot = path.indexOf('.');
        if (dot < 0) {
            o[path] = v;
            return o;
        }
        o[path.left(dot)] = set(o[path.left(dot)].toObject(), path.mid(dot + 1), v);
        return o;
    }
    // Reads a file at `at` into a list of the caller's.
    int read(OSD_LIST* list, const char* at = kOsdMenuFile)
    {
        std::string p = at;
        return get_json_omenu_para(&p[0], list);
    }
    // The OSD state a menu sets, to compare before and after.
    std::vector<int64_t> osdState() const
    {
        const c331_manage& m = *scaler;
        std::vector<int64_t> v{m.PM_OSD_EN,     m.PM_OSD_HZOOM_EN, m.PM_OSD_VZOOM_EN,    m.PM_OSD_DATA_MODE,
                               m.PM_OSD_SCROLL_MODE, m.PM_OSD_SCROLL_SPEED, m.PM_OSD_CHAR_64DOT, m.PM_OSD_DOUBLE_WIDTH,
                               m.PS_BG_COLOR,   m.PS_BG_TRANS,     m.PS_CHAR_COLOR,      m.PS_CHAR_HST,
                               m.PS_CHAR_VST,   m.osd_text_layout, m.osd_halign,         m.osd_valign,
                               m.g_unicode_line};
        for (int i = 0; i < 4; ++i)
            v.push_back(m.PM_OSD_OUTPUT_OFFSET[i]), v.push_back(m.PM_OSD_INPUT_OFFSET[i]);
        for (int i = 0; i < 64; ++i)
            for (int k = 0; k < 128; ++k)
                v.push_back(m.osd_text[i][k]);
        return v;
    }
    message_deal handler;
    Bytes pcRequest(const Bytes& request)
    {
        Bytes buf(request);
        buf.resize(4096);
        const int n = handler.message_group_deal(buf.data(), int(request.size()), int(buf.size()));
        return n <= 0 ? Bytes{} : Bytes(buf.begin() + 10, buf.begin() + n);
    }
};
} // namespace

TEST_F(Menu, TheFirstItemBecomesTheOsdSettings)
{
    QJsonObject item = firstItem(sample());
    item = set(item, "pos.w", 5000);              // wider than the LED screen (1920)
    item = set(item, "pos.y", 4000);              // lower than it (1080)
    item = set(item, "fontpara.color", "FF0000"); // red, sent as BBGGRR
    item = set(item, "backpara.color", "0x00FF00");
    item = set(item, "act.effect", 2);
    item = set(item, "act.h_align", "right");
    item = set(item, "pos.layer", "buttom");
    placeMenu(withItem(sample(), item));
    ASSERT_EQ(read(&g_osd_list), 0);
    EXPECT_EQ(g_osd_list.osdcount, 1);
    EXPECT_EQ(g_osd_list.item[0].texts, "Welcome to the LED processor\nOSD menu from data/configs/omenu.json");
    set_OSD_para(&g_osd_list);
    const c331_manage& m = *scaler;
    EXPECT_EQ(m.PM_OSD_OUTPUT_OFFSET[1], m.PS_PANEL_HW - 1920);    // w limited to 1920
    EXPECT_EQ(m.PM_OSD_OUTPUT_OFFSET[2], 1080);                    // y limited to 1080
    EXPECT_EQ(m.PS_CHAR_COLOR, 0x0000FFu);
    EXPECT_EQ(m.PS_BG_COLOR, 0x00FF00u);
    EXPECT_EQ(m.PS_BG_TRANS, 0);
    EXPECT_EQ(m.PM_OSD_SCROLL_MODE, 4);
    EXPECT_EQ(m.PM_OSD_SCROLL_SPEED, 30);
    EXPECT_EQ(m.PM_OSD_CHAR_64DOT, 1);
    EXPECT_EQ(m.PM_OSD_EN, 1);
    EXPECT_EQ(m.osd_text_layout, 1);
    EXPECT_EQ(m.osd_halign, 2);
    EXPECT_EQ(m.PS_CHAR_HST, 16);
    EXPECT_EQ(m.g_unicode_line, 2);
    EXPECT_EQ(m.osd_line_len[1], 37);

    // Font sizes: 128 zooms both ways, 256 also doubles the width; a pair
    // that is no size sends only the 32-dot choice.
    const struct {
        int w, h, hzoom, vzoom, dot64, wide;
    } sizes[] = {{32, 32, 0, 0, 0, 0}, {128, 128, 1, 1, 1, 0}, {256, 256, 1, 1, 1, 1}, {64, 32, 1, 1, 0, 1}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.w);
        item = set(set(item, "fontpara.fontw", s.w), "fontpara.fonth", s.h);
        placeMenu(withItem(sample(), item));
        ASSERT_EQ(read(&g_osd_list), 0);
        set_OSD_para(&g_osd_list);
        EXPECT_EQ((std::vector<int>{m.PM_OSD_HZOOM_EN, m.PM_OSD_VZOOM_EN, m.PM_OSD_CHAR_64DOT, m.PM_OSD_DOUBLE_WIDTH}),
                  (std::vector<int>{s.hzoom, s.vzoom, s.dot64, s.wide}));
    }

    // Background "off": transparent; effects 3 and 4; 5 and more leave the mode.
    item = set(item, "backpara.enable", "off");
    for (auto em : {std::pair<int, int>{3, 1}, {4, 2}, {7, 2}, {0, 0}}) {
        item = set(item, "act.effect", em.first);
        placeMenu(withItem(sample(), item));
        ASSERT_EQ(read(&g_osd_list), 0);
        set_OSD_para(&g_osd_list);
        EXPECT_EQ(m.PM_OSD_SCROLL_MODE, em.second) << em.first;
        EXPECT_EQ(m.PS_BG_TRANS, 1);
    }
}

TEST_F(Menu, OnlyTheFirstOfThreeItemsIsAppliedAndNothingWithoutMenus)
{
    QJsonObject menu = sample();
    QJsonArray items;
    for (int i = 0; i < 5; ++i)
        items.append(set(firstItem(menu), "texts", QString("item %1").arg(i)));
    menu["menu"] = items;
    placeMenu(QJsonDocument(menu).toJson().toStdString());
    OSD_LIST list;
    list.item[2].texts = "old";
    ASSERT_EQ(read(&list), 0);
    EXPECT_EQ(list.item[0].texts, "item 0");
    EXPECT_EQ(list.item[2].texts, "item 2");
    set_OSD_para(&list);
    EXPECT_EQ(scaler->osd_text[0][5], uint16_t('0'));

    // osdcount 0: the rest is not even read, and no OSD setting is made.
    menu["osdcount"] = 0;
    menu["menu"] = "not read";
    placeMenu(QJsonDocument(menu).toJson().toStdString());
    const auto before = osdState();
    ASSERT_EQ(read(&list), 0);
    EXPECT_EQ(list.osdcount, 0);
    set_OSD_para(&list);
    EXPECT_EQ(osdState(), before);

    // No file: no menu, nothing deleted, nothing set.
    writeFile(kOsdMenuFile, "");
    QFile::remove(QString::fromStdString(path(kOsdMenuFile)));
    platform::simShell().clearLog();
    ASSERT_EQ(read(&list), 0);
    EXPECT_EQ(list.osdcount, 0);
    EXPECT_EQ(list.status, 0);
    EXPECT_TRUE(platform::simShell().log().empty());
}

TEST_F(Menu, LongTextsAreCutNotEmptied)
{
    // 64 lines or more keep their first 63; a line keeps 128 characters.
    for (int lines : {63, 64, 65, 200}) {
        SCOPED_TRACE(lines);
        QStringList text;
        for (int i = 0; i < lines; ++i)
            text << QString("L%1").arg(i);
        text[0] = QString(300, 'w');
        placeMenu(withItem(sample(), set(firstItem(sample()), "texts", text.join("\n"))));
        ASSERT_EQ(read(&g_osd_list), 0);
        set_OSD_para(&g_osd_list);
        EXPECT_EQ(scaler->g_unicode_line, 63);
        EXPECT_EQ(scaler->osd_line_len[0], 128);
        EXPECT_EQ(scaler->osd_line_len[62], 3);
        EXPECT_EQ(scaler->osd_text[62][1], uint16_t('6'));
    }
    // Line ends of a PC text keep no carriage return; empty lines stay.
    placeMenu(withItem(sample(), set(firstItem(sample()), "texts", "one\r\n\r\nthree")));
    ASSERT_EQ(read(&g_osd_list), 0);
    set_OSD_para(&g_osd_list);
    EXPECT_EQ(scaler->g_unicode_line, 3);
    EXPECT_EQ((std::vector<int>{scaler->osd_line_len[0], scaler->osd_line_len[1], scaler->osd_line_len[2]}),
              (std::vector<int>{3, 0, 5}));
}

TEST_F(Menu, ADamagedFileIsReportedDeletedAndLeavesTheOsdAsItWas)
{
    placeMenu(sampleMenu());
    ASSERT_EQ(read(&g_osd_list), 0);
    set_OSD_para(&g_osd_list);
    const auto shown = osdState();

    const std::string good = sampleMenu();
    QJsonObject second = set(firstItem(sample()), "texts", "second");
    QJsonObject menu = sample();
    QJsonArray two = menu["menu"].toArray();
    two.append(QJsonObject{{"type", 0}, {"status", "on"}});
    menu["menu"] = two;
    const struct {
        const char* what;
        std::string json;
        const char* message;
    } damaged[] = {
        {"malformed", "{\"name\": \"x\", \"osdcount\": 1,, }", "line 1"},
        {"truncated", good.substr(0, good.size() / 2), "line"},
        {"huge", "{\"name\": \"" + std::string(kOsdMenuMaxBytes, 'a') + "\"}", "bytes, more than an OSD menu"},
        {"wrongly typed", withItem(sample(), set(firstItem(sample()), "pos.x", "left")), "\"menu[0].pos.x\" is not a whole number"},
        {"object for a text", withItem(sample(), set(firstItem(sample()), "texts", QJsonObject{{"a", 1}})), "\"menu[0].texts\" is not a text"},
        {"missing key", QJsonDocument(menu).toJson().toStdString(), "\"menu[1].pos\" is missing"},
        {"deeply nested", "{\"name\": " + std::string(100000, '[') + std::string(100000, ']') + "}", "nested deeper"},
        {"number too large", withItem(sample(), set(firstItem(sample()), "pos.x", 1e12)), "not a whole number"},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.what);
        placeMenu(d.json);
        int rc = 0;
        const std::string out = printed([&] { rc = read(&g_osd_list); });
        EXPECT_EQ(rc, 255);
        EXPECT_TRUE(contains(out, "json error: /data/configs/omenu.json: ")) << out.substr(0, 300);
        EXPECT_TRUE(contains(out, d.message)) << out.substr(0, 300);
        EXPECT_EQ(g_osd_list.status, 255);
        EXPECT_FALSE(exists(kOsdMenuFile));
        set_OSD_para(&g_osd_list);
        EXPECT_EQ(osdState(), shown);
    }
    // Items read whole before the error stay in the list.
    placeMenu(QJsonDocument(menu).toJson().toStdString());
    OSD_LIST list;
    read(&list);
    EXPECT_EQ(list.osdcount, 1);
    EXPECT_EQ(list.item[0].texts, firstItem(sample())["texts"].toString().toStdString());
}

TEST_F(Menu, AnErrorInALaterItemStillShowsTheFirstOneReadWhole)
{
    // Items 0 and 1 whole, item 2 without its font: the file is reported
    // and deleted, and item 0, read whole, is applied.
    QJsonObject menu = sample();
    QJsonArray items;
    for (int i = 0; i < 3; ++i)
        items.append(set(firstItem(menu), "texts", QString("item %1").arg(i)));
    QJsonObject bad = items[2].toObject();
    bad.remove("fontpara");
    items[2] = bad;
    menu["menu"] = items;
    placeMenu(QJsonDocument(menu).toJson().toStdString());
    const auto before = osdState();
    EXPECT_EQ(read(&g_osd_list), 255);
    EXPECT_FALSE(exists(kOsdMenuFile));
    EXPECT_EQ(g_osd_list.item[1].texts, "item 1");
    set_OSD_para(&g_osd_list);
    EXPECT_NE(osdState(), before);
    EXPECT_EQ(scaler->PM_OSD_EN, 1);
    EXPECT_EQ(std::vector<uint16_t>(scaler->osd_text[0], scaler->osd_text[0] + 6),
              (std::vector<uint16_t>{'i', 't', 'e', 'm', ' ', '0'}));

    // Item 0 itself cut short: nothing of it is applied.
    const auto shown = osdState();
    bad = firstItem(menu);
    bad.remove("texts");
    placeMenu(withItem(menu, bad));
    EXPECT_EQ(read(&g_osd_list), 255);
    set_OSD_para(&g_osd_list);
    EXPECT_EQ(osdState(), shown);
}

TEST_F(Menu, ABadUserModeCopyDeletesTheCopyNeverTheLiveMenu)
{
    placeMenu(sampleMenu());
    const char* copy = "/data/modes/MO0a.json";
    writeFile(copy, "{\"name\": \"mode 10\", \"osdcount\": 1, \"menu\": [ {\"type\": 0");
    OSD_LIST mine;
    platform::simShell().clearLog();
    EXPECT_EQ(read(&mine, copy), 255);
    EXPECT_FALSE(exists(copy));
    EXPECT_EQ(readFile(kOsdMenuFile).toStdString(), sampleMenu());
    EXPECT_EQ(platform::simShell().log(), (std::vector<std::string>{"rm -rf /data/modes/MO0a.json"}));
    // A good copy is read like the live file.
    writeFile(copy, QByteArray::fromStdString(sampleMenu()));
    EXPECT_EQ(read(&mine, copy), 0);
    EXPECT_EQ(mine.osdcount, 1);
    EXPECT_TRUE(exists(copy));
}

namespace {
// The PC's whole file transfer, as the PC command tests run it.
struct PcFiles : Commands {
    using Commands::send;
};
} // namespace

TEST_F(Menu, SwitchedOnByThePcTheMenuIsShownAndScrolls)
{
    // The chip draws the screen where the published panel record puts it.
    chip().setScreenLayoutSource([this](platform::c331screen::ScreenLayout* layout) {
        *layout = platform::c331screen::ScreenLayout::fromPublished(img + kSpliceMode);
        return true;
    });
    // The PC sends the menu file, writes image word 2124 and asks for the apply.
    file_transfer::resetForTest();
    const std::string json = sampleMenu();
    ASSERT_EQ(PcFiles::send(handler, file_transfer::kTypeOsdMenu, "OMNU", Bytes(json.begin(), json.end())), 0);
    file_transfer::resetForTest();
    EXPECT_EQ(readFile(kOsdMenuFile).toStdString(), json);
    ASSERT_EQ(pcRequest(pc::writeRam(kOsdOn, {1, 0})), Bytes{0});
    ASSERT_EQ(pcRequest(pc::writeRegister(11, 0xFF, 1)), Bytes{0});
    const uint64_t screens = chip().screensWritten();
    turn(); // the pass: OSD on, the menu read and set
    EXPECT_TRUE(called("get_json_omenu_para()"));
    turn(); // the drawing
    EXPECT_GT(chip().screensWritten(), screens);
    EXPECT_TRUE(exists("/sim/screen.png"));
    EXPECT_EQ(chip().osdTexts(), (Lines{"Welcome to the LED processor", "OSD menu from data/configs/omenu.json"}));
    // Effect 1 scrolls in mode 3 at speed 3 x 10, on both ports of the panel.
    for (int k = 0; k < 2; ++k) {
        const auto port = chip().osdPorts()[size_t(k)];
        EXPECT_EQ(port.scrollControl, 0xA1);
        EXPECT_EQ(port.scrollSpeed, 30);
        EXPECT_EQ(port.scrollWidth, 1920);
        EXPECT_EQ(port.scrollHeight, 128);
    }
    // The scroll wraps around: the picture also lies right of and below itself.
    EXPECT_EQ(chip().osdTextsAt(0x74B80000 + 1920 + 128 * 7680, 7680, 1920, 128),
              (Lines{"Welcome to the LED processor", "OSD menu from data/configs/omenu.json"}));
    // Colours: the background 202040, the characters FFD040.
    EXPECT_EQ(chip().osdPalette(1), 0x202040u);
    EXPECT_EQ(chip().osdPalette(2), 0xFFD040u);

    // The screen picture shows the window on the LED screen with its lines
    // where the chip drew them.
    using platform::c331screen::Rect;
    const auto layout = platform::c331screen::ScreenLayout::fromPublished(img + kSpliceMode);
    const auto overlays = chip().osdOverlays(chip().composition(layout));
    ASSERT_EQ(overlays.size(), 1u);
    EXPECT_EQ(overlays[0].rect, (Rect{0, 0, 1920, 128}));
    EXPECT_EQ(overlays[0].rgb, 0xFFD040u);
    EXPECT_TRUE(overlays[0].filled);
    EXPECT_EQ(overlays[0].fill, 0x202040u);
    ASSERT_EQ(overlays[0].lines.size(), 2u);
    EXPECT_EQ(overlays[0].lines[1].rect, (Rect{16, 64, 37 * 32, 64}));
    EXPECT_EQ(overlays[0].lines[1].text, "OSD menu from data/configs/omenu.json");
    // The register file alone places the window.
    const std::vector<uint8_t> regs = chip().registerFile();
    const auto window = platform::c331screen::decodeOverlays(platform::c331screen::RegisterFile(regs.data()), layout);
    ASSERT_EQ(window.size(), 1u);
    EXPECT_EQ(window[0].rect, (Rect{0, 0, 1920, 128}));

    // Off again: nothing shown.
    ASSERT_EQ(pcRequest(pc::writeRam(kOsdOn, {0, 0})), Bytes{0});
    ASSERT_EQ(pcRequest(pc::writeRegister(11, 0xFF, 1)), Bytes{0});
    const uint64_t shown = chip().screensWritten();
    turn();
    turn();
    EXPECT_EQ(chip().osdTexts(), Lines{});
    EXPECT_GT(chip().screensWritten(), shown);
    EXPECT_TRUE(chip().osdOverlays(chip().composition(layout)).empty());
}

TEST_F(Menu, FiveHundredMutatedFilesNeverHarmTheReaderOrTheLiveMenu)
{
    const std::string good = sampleMenu();
    placeMenu(good);
    const char* copy = "/data/modes/MO01.json";
    std::mt19937 rng(20240613);
    auto pick = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
    // Byte-level damage.
    const std::string tokens[] = {"{", "}", "[", "]", ",", ":", "\"", "\\", "\\u12", "null", "true", "-1",
                                  "99999999999", "1e309", "\"osdcount\":", "\"menu\":", "\xFF\xFE", "\n",
                                  std::string(1, '\0'), std::string(200, '['), "\"texts\": \"" + std::string(300, 'x')};
    auto damage = [&](std::string text) {
        const int edits = 1 + int(pick(3));
        for (int e = 0; e < edits; ++e) {
            const size_t at = pick(text.size() + 1);
            switch (pick(5)) {
            case 0: if (at < text.size()) text[at] = char(rng()); break;
            case 1: text.erase(at, pick(40)); break;
            case 2: text.insert(at, tokens[pick(sizeof tokens / sizeof tokens[0])]); break;
            case 3: text.resize(at); break;
            default: text.insert(at, text.substr(pick(text.size()), pick(200))); break;
            }
        }
        return text;
    };
    // Whole values replaced: extreme numbers, odd texts, other types.
    const QString paths[] = {"type", "status", "pos.x", "pos.y", "pos.w", "pos.h", "pos.layer", "act.effect",
                             "act.speed", "act.staytime", "act.h_align", "act.v_align", "backpara.enable",
                             "backpara.color", "fontpara.startx", "fontpara.starty", "fontpara.fontw",
                             "fontpara.fonth", "fontpara.color", "texts"};
    QStringList manyLines;
    for (int i = 0; i < 90; ++i)
        manyLines << QString(i % 7 * 40, QChar(0x4E00 + i));
    const QJsonValue values[] = {INT32_MIN, INT32_MAX, -1, 0, 1, 2, 9, 64, 128, 256, 65535, 100000, 1.5, true,
                                 QJsonValue(), QJsonObject{{"x", 1}}, QJsonArray{1, 2}, "", "on", "off", "buttom",
                                 "center", "justify", "bottom", "zz", "0xFFFFFFFFFF", QString(2000, QChar(0x4E2D)),
                                 QString(100, '\n'), manyLines.join("\n"), QString::fromUtf8("\xF0\x9F\x98\x80\r\n\t")};
    auto reshape = [&]() {
        QJsonObject menu = sample();
        QJsonObject item = firstItem(menu);
        const int edits = 1 + int(pick(4));
        for (int e = 0; e < edits; ++e)
            item = set(item, paths[pick(sizeof paths / sizeof paths[0])], values[pick(sizeof values / sizeof values[0])]);
        if (pick(4) == 0)
            menu["osdcount"] = values[pick(sizeof values / sizeof values[0])];
        return withItem(menu, item);
    };
    int parsed = 0;
    for (int round = 0; round < 500; ++round) {
        const std::string text = round % 2 ? reshape() : damage(good);
        writeFile(copy, QByteArray::fromStdString(text));
        OSD_LIST list;
        int rc = 0;
        printed([&] { rc = read(&list, copy); });
        if (rc == 0) {
            ++parsed;
            // Whatever the file said, setting and drawing it stays inside its buffers.
            printed([&] {
                set_OSD_para(&list);
                scaler->update_osd(scaler->c331_fd);
            });
        } else {
            EXPECT_FALSE(exists(copy)) << round;
        }
        ASSERT_EQ(readFile(kOsdMenuFile).toStdString(), good) << round;
    }
    EXPECT_GT(parsed, 50);
    EXPECT_LT(parsed, 500);
    EXPECT_TRUE(chip().memoryErrors().empty()) << chip().memoryErrors().front();
}
