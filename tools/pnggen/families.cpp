// The picture families: one drawing function each, driven by tables of
// names, captions and sizes.
#include "pnggen.h"

#include "cabling.h"

#include <QFontMetricsF>

#include <cmath>

namespace pnggen {

QStringList& problems()
{
    static QStringList list;
    return list;
}

namespace {

using GlyphFn = void (*)(Glyph&);

Picture picture(const QString& name, int w, int h, const QColor& ground, const std::function<void(Canvas&)>& draw)
{
    Canvas c(w, h);
    draw(c);
    return Picture{name, c.finish(), ground};
}

// A caption in the picture `name`: fitted, and reported when it is not.
void caption(const QString& name, QPainter& p, const QRectF& box, const QString& text, const QColor& color,
             qreal maxPx, qreal minPx, int maxLines, bool bold = false)
{
    const QString missing = missingGlyphs(text);
    if (!missing.isEmpty())
        problems() << QStringLiteral("%1: the font lacks \"%2\"").arg(name, missing);
    if (!drawCaption(p, box, text, color, maxPx, minPx, maxLines, bold))
        problems() << QStringLiteral("%1: \"%2\" does not fit %3x%4").arg(name, text).arg(box.width()).arg(box.height());
}

void verticalCaption(const QString& name, QPainter& p, const QRectF& box, const QString& text, qreal maxPx, qreal minPx)
{
    if (!drawVerticalCaption(p, box, text, ink::white, maxPx, minPx))
        problems() << QStringLiteral("%1: \"%2\" does not fit the strip").arg(name, text);
}

QRectF square(qreal cx, qreal top, qreal side) { return QRectF(cx - side / 2, top, side, side); }

// ---------------------------------------------------------------- main window menu

struct MenuEntry {
    const char* base;
    GlyphFn glyph;
    const char* captions[LangCount]; // Zh, En, Ru, Vn, Tw
};

const MenuEntry kMenu[] = {
    {"machinestate", glyph::monitorInfo, {"设备信息", "Devices", "Устройство", "Thiết bị", "設備信息"}},
    {"inputchoose", glyph::sourceSwitch,
     {"信源切换", "Source switch", "Переключение источника", "Chuyển đổi nguồn", "信源切換"}},
    {"custommode", glyph::userModes, {"用户模式", "User mode", "Слот", "Chế độ người dùng", "用戶模式"}},
    {"option", [](Glyph& g) { glyph::gear(g); }, {"设置", "Setting", "Настройки", "Cài đặt", "設置"}},
};

QSize menuSize(const QString& base, Lang lang)
{
    if (base == QLatin1String("inputchoose")) {
        if (lang == En)
            return {90, 64};
        if (lang == Ru || lang == Vn)
            return {96, 76};
    }
    return {64, 64};
}


template <typename F>
void drawGlyph(QPainter& p, const QRectF& box, const QColor& color, qreal stroke, F&& draw)
{
    Glyph g(p, box, color, stroke);
    draw(g);
}

// Pictures shown side by side get one caption size: the largest at which
// every caption of the row fits.
template <typename Entries, typename BoxOf, typename TextOf>
qreal sharedSize(const Entries& entries, BoxOf boxOf, TextOf textOf, qreal maxPx, qreal minPx, int maxLines)
{
    qreal px = maxPx;
    for (const auto& e : entries) {
        const qreal fit = fittingSize(boxOf(e), textOf(e), maxPx, minPx, maxLines);
        if (fit > 0)
            px = std::min(px, fit);
    }
    return px;
}

struct MenuLayout {
    QSize size;
    QRectF glyph, caption;
};

MenuLayout menuLayout(const MenuEntry& e, Lang lang)
{
    const QSize size = menuSize(e.base, lang);
    const bool tall = size.height() > 64;
    const qreal side = tall ? 38 : 34, top = tall ? 4 : 3;
    return {size, square(size.width() / 2.0, top, side),
            QRectF(1, top + side + 2, size.width() - 2, size.height() - top - side - 2)};
}

QVector<Picture> menuButtons()
{
    QVector<Picture> out;
    for (int l = 0; l < LangCount; ++l) {
        const Lang lang = Lang(l);
        const qreal px = sharedSize(
            kMenu, [&](const MenuEntry& e) { return menuLayout(e, lang).caption; },
            [&](const MenuEntry& e) { return QString::fromUtf8(e.captions[l]); }, 13, 9, 2);
        for (const MenuEntry& e : kMenu) {
            const QString name = prefixOf(lang) + e.base;
            const MenuLayout m = menuLayout(e, lang);
            out << picture(name, m.size.width(), m.size.height(), ink::control, [&](Canvas& c) {
                drawGlyph(c.p(), m.glyph, ink::white, 2.3, [&](Glyph& g) { e.glyph(g); });
                caption(name, c.p(), m.caption, QString::fromUtf8(e.captions[l]), ink::white, px, 9, 2);
            });
        }
    }
    return out;
}

// ---------------------------------------------------------------- main window tools

// Each tool has an active picture (LED screen off, muted, grid open for
// calling or saving: drawn in the accent colour) and a resting one ("un").
struct ToolEntry {
    const char* active;
    const char* resting;
    void (*glyph)(Glyph&, bool active);
    const char* captions[LangCount];
};

const ToolEntry kTools[] = {
    {"closeled", "uncloseled", [](Glyph& g, bool active) { glyph::screenOff(g, active); },
     {"黑屏", "Blank", "Откл.", "Tắt", "黑屏"}},
    {"slience", "unslience", [](Glyph& g, bool active) { glyph::speaker(g, !active); },
     {"静音", "Mute", "Звук", "Tiếng", "靜音"}},
    {"call", "uncall", [](Glyph& g, bool) { glyph::drawerCall(g); }, {"调用", "Call", "Загр.", "Gọi", "調用"}},
    {"save", "unsave", [](Glyph& g, bool) { glyph::floppy(g); }, {"保存", "Save", "Сохр.", "Lưu", "保存"}},
};

QVector<Picture> tools()
{
    QVector<Picture> out;
    const QRectF captionBox(0, 21, 24, 15);
    for (int l = 0; l < LangCount; ++l) {
        const qreal px = sharedSize(
            kTools, [&](const ToolEntry&) { return captionBox; },
            [&](const ToolEntry& t) { return QString::fromUtf8(t.captions[l]); }, 11, 8, 1);
        for (const ToolEntry& t : kTools) {
            for (const bool active : {true, false}) {
                const QString name = prefixOf(Lang(l)) + (active ? t.active : t.resting);
                out << picture(name, 24, 36, ink::control, [&](Canvas& c) {
                    drawGlyph(c.p(), QRectF(2, 1, 20, 20), active ? ink::accent : ink::dim, 1.7,
                              [&](Glyph& g) { t.glyph(g, active); });
                    caption(name, c.p(), captionBox, QString::fromUtf8(t.captions[l]), active ? ink::white : ink::dim,
                            px, 8, 1);
                });
            }
        }
    }
    return out;
}

// ---------------------------------------------------------------- main window, no language

QVector<Picture> mainGlyphs()
{
    QVector<Picture> out;
    out << picture("pointer", 9, 12, ink::ground, [](Canvas& c) {
        c.p().setPen(Qt::NoPen);
        c.p().setBrush(ink::focus);
        const QPointF tri[] = {{1, 0.8}, {8.6, 6}, {1, 11.2}};
        c.p().drawPolygon(tri, 3);
    });
    auto plain = [&](const char* name, const QColor& ground, qreal stroke, std::function<void(Glyph&)> draw) {
        out << picture(name, 16, 16, ground, [&](Canvas& c) {
            drawGlyph(c.p(), QRectF(0, 0, 16, 16), ink::white, stroke, draw);
        });
    };
    plain("ip", ink::ground, 1.2, glyph::globe);
    plain("tools", ink::control, 1.2, [](Glyph& g) { glyph::wrench(g, 45); });
    plain("lock", ink::control, 1.5, [](Glyph& g) { glyph::padlock(g, true); });
    plain("unlock", ink::control, 1.5, [](Glyph& g) { glyph::padlock(g, false); });
    out << picture("mode_exist", 16, 16, QColor(0x21, 0x24, 0x35), [](Canvas& c) {
        c.p().setPen(Qt::NoPen);
        c.p().setBrush(ink::accent);
        c.p().drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
        drawGlyph(c.p(), QRectF(1, 1, 14, 14), ink::white, 1.6, glyph::tick);
    });
    out << picture("mode_blank", 16, 16, ink::emptySlot, [](Canvas& c) {
        const QColor line(84, 88, 104);
        QPen pen(line, 1.2, Qt::DashLine, Qt::FlatCap);
        pen.setDashPattern({2, 1.6});
        c.p().setPen(pen);
        c.p().drawRoundedRect(QRectF(1.6, 1.6, 12.8, 12.8), 3, 3);
        drawGlyph(c.p(), QRectF(3, 3, 10, 10), line, 1.2, glyph::plus);
    });
    return out;
}

// ---------------------------------------------------------------- settings menu

struct SettingEntry {
    const char* base;
    GlyphFn glyph;
    const char* captions[LangCount];
    int widths[LangCount]; // icon widths by language; every icon is 60 high
};

const SettingEntry kSettings[] = {
    {"output_set", glyph::exitArrow, {"输出设置", "Output setting", "Выход", "Đầu ra", "輸出設置"}, {55, 75, 55, 55, 55}},
    {"input_cut", glyph::screenScissors, {"输入截取", "Input intercept", "Кадрирование", "Cắt", "輸入截取"},
     {55, 70, 70, 70, 55}},
    {"image_layout", glyph::splitPanel, {"画面布局", "Screen layout", "Схема", "Bố cục", "畫麵佈局"}, {55, 70, 55, 55, 55}},
    {"link_set", glyph::antenna, {"通讯设置", "Communication", "Подключение", "Giao tiếp", "通訊設置"}, {55, 70, 70, 70, 55}},
    {"image_quality", glyph::landscape, {"图像效果", "Image quality", "Канал", "Chất lượng", "圖像效果"},
     {55, 75, 55, 55, 55}},
    {"test_chart", glyph::flask, {"测试图", "Test pattern", "Тестовый образец", "Biểu đồ kiểm tra", "測試圖"},
     {55, 55, 55, 55, 55}},
    {"smart_mapping", glyph::screenGear,
     {"智能调屏", "Smart screen", "Умная настройка", "Thiết lập màn hình t..", "智能調屏"}, {55, 55, 55, 55, 55}},
    {"AdvanceButton", glyph::crossedTools, {"高级设置", "Settings", "Доп. опции", "Nâng cao", "高級設置"},
     {55, 54, 70, 54, 55}},
};

QString settingName(const SettingEntry& e, Lang lang)
{
    // The English picture of the eighth item has a name of its own.
    if (lang == En && QLatin1String(e.base) == QLatin1String("AdvanceButton"))
        return QStringLiteral("en_advance_option");
    return prefixOf(lang) + e.base;
}

QVector<Picture> settingsItems()
{
    QVector<Picture> out;
    for (int l = 0; l < LangCount; ++l) {
        // The menu's buttons are 70 wide; a focused one's border and padding
        // leave 58 of that to the picture, which may be wider: its caption
        // stays within those 58, centred.
        auto captionBox = [&](const SettingEntry& e) {
            const qreal room = std::min(e.widths[l], 58);
            return QRectF((e.widths[l] - room) / 2, 34, room, 26);
        };
        const qreal px = sharedSize(
            kSettings, captionBox, [&](const SettingEntry& e) { return QString::fromUtf8(e.captions[l]); }, 12, 7, 2);
        for (const SettingEntry& e : kSettings) {
            const QString name = settingName(e, Lang(l));
            const int w = e.widths[l];
            out << picture(name, w, 60, ink::control, [&](Canvas& c) {
                drawGlyph(c.p(), square(w / 2.0, 2, 30), ink::white, 2.0, [&](Glyph& g) { e.glyph(g); });
                caption(name, c.p(), captionBox(e), QString::fromUtf8(e.captions[l]), ink::white, px, 7, 2);
            });
        }
    }
    return out;
}

// ---------------------------------------------------------------- key hints

// A key cap followed by what the key does.
void keyHint(Canvas& c, const QString& name, qreal capWidth, const std::function<void(QPainter&, QRectF)>& cap,
             const QString& text)
{
    QPainter& p = c.p();
    const QRectF key(0.5, 1.5, capWidth, c.height() - 3);
    p.setPen(QPen(ink::white, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(key, 3, 3);
    cap(p, key);
    caption(name, p, QRectF(key.right() + 1, 0, c.width() - key.right() - 1, c.height()), text, ink::white, 10, 8, 1);
}

QVector<Picture> hints()
{
    QVector<Picture> out;
    out << picture("OK_Enter", 51, 17, ink::ground, [](Canvas& c) {
        keyHint(c, "OK_Enter", 17, [&](QPainter& p, QRectF key) { caption("OK_Enter", p, key.adjusted(2, 2, -2, -2), "OK", ink::white, 9, 6, 1, true); },
                QStringLiteral("Enter"));
    });
    out << picture("back_return", 56, 17, ink::ground, [](Canvas& c) {
        keyHint(c, "back_return", 17, [&](QPainter& p, QRectF key) {
            drawGlyph(p, square(key.center().x(), key.center().y() - 6.5, 13), ink::white, 1.3,
                      [](Glyph& g) { g.arrow(19, 12, 5, 12, 6); });
        }, QStringLiteral("Return"));
    });
    return out;
}

// ---------------------------------------------------------------- standby screen

QVector<Picture> standby()
{
    QVector<Picture> out;
    auto plain = [&](const char* name, int side, const QColor& color, qreal stroke, std::function<void(Glyph&)> draw) {
        out << picture(name, side, side, ink::ground, [&](Canvas& c) {
            drawGlyph(c.p(), QRectF(0, 0, side, side), color, stroke, draw);
        });
    };
    plain("LED", 16, ink::white, 1.2, glyph::ledPanel);
    plain("bright", 16, ink::white, 1.3, glyph::sun);
    plain("contrast", 16, ink::white, 1.3, glyph::contrast);
    plain("volume_open", 16, ink::white, 1.3, [](Glyph& g) { glyph::speaker(g, true); });
    plain("volume_close", 16, ink::dim, 1.3, [](Glyph& g) { glyph::speaker(g, false); });
    plain("menu_status", 20, ink::white, 1.6, glyph::menuLines);
    // The two marks sit on the coloured number box of a tile: each on a
    // badge of its own so it reads on every box colour.
    out << picture("osd_yes", 12, 12, QColor(0x86, 0x7A, 0xE9), [](Canvas& c) {
        c.p().setPen(Qt::NoPen);
        c.p().setBrush(ink::online);
        c.p().drawEllipse(QRectF(0, 0, 12, 12));
        drawGlyph(c.p(), QRectF(1, 1, 10, 10), ink::white, 1.5, glyph::tick);
    });
    out << picture("freeze", 16, 16, QColor(0xEB, 0xA8, 0x3A), [](Canvas& c) {
        c.p().setPen(Qt::NoPen);
        c.p().setBrush(QColor(0, 90, 141));
        c.p().drawEllipse(QRectF(0, 0, 16, 16));
        drawGlyph(c.p(), QRectF(1.5, 1.5, 13, 13), ink::white, 1.1, glyph::snowflake);
    });
    return out;
}

// ---------------------------------------------------------------- status screen

struct StripEntry {
    const char* name;
    int height;
    const char* text;
};

const StripEntry kStrips[] = {
    {"output_state", 65, "输出状态"}, {"ru_output_state", 65, "Выходы"},
    {"input_state", 55, "输入状态"},  {"ru_input_state", 55, "Входы"},
    {"version_state", 40, "版本"},     {"ru_version_state", 40, "Версия"},
    {"en_version_state", 40, "Version"},
};

QVector<Picture> status()
{
    QVector<Picture> out;
    out << picture("back", 32, 32, ink::ground, [](Canvas& c) {
        drawGlyph(c.p(), QRectF(0, 0, 32, 32), ink::white, 2.6, glyph::backArrow);
    });
    for (const StripEntry& s : kStrips)
        out << picture(s.name, 15, s.height, ink::ground, [&](Canvas& c) {
            verticalCaption(s.name, c.p(), QRectF(0, 0, 15, s.height), QString::fromUtf8(s.text), 13, 8);
        });
    out << picture("online", 16, 14, ink::control, [](Canvas& c) {
        drawGlyph(c.p(), QRectF(0, -1, 16, 16), ink::white, 1, [](Glyph& g) { glyph::portSocket(g, ink::online); });
    });
    out << picture("offline", 16, 14, ink::control, [](Canvas& c) {
        drawGlyph(c.p(), QRectF(0, -1, 16, 16), ink::white, 1, [](Glyph& g) { glyph::portSocket(g, ink::offline); });
    });
    return out;
}

// ---------------------------------------------------------------- shared widgets

QVector<Picture> widgets()
{
    QVector<Picture> out;
    // On the number keyboard's white keys.
    out << picture("delete", 20, 20, ink::white, [](Canvas& c) {
        drawGlyph(c.p(), QRectF(0, 0, 20, 20), ink::control, 1.5, glyph::backspace);
    });
    // On the notice pop-up's grey frame.
    out << picture("check_180", 80, 80, ink::popup, [](Canvas& c) {
        c.p().setPen(Qt::NoPen);
        c.p().setBrush(ink::online);
        c.p().drawEllipse(QRectF(3, 3, 74, 74));
        drawGlyph(c.p(), QRectF(10, 12, 60, 60), ink::white, 8, glyph::tick);
    });
    return out;
}

// ---------------------------------------------------------------- image layout mirrors

QVector<Picture> mirrors()
{
    QVector<Picture> out;
    const struct {
        qreal sx, sy;
    } flips[] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    for (int i = 0; i < 4; ++i) {
        for (const bool on : {true, false}) {
            const QString name = QStringLiteral("mirror%1_%2").arg(i + 1).arg(on ? "on" : "off");
            out << picture(name, 32, 32, ink::ground, [&](Canvas& c) {
                QPainter& p = c.p();
                p.setPen(on ? Qt::NoPen : QPen(QColor(74, 79, 104), 1));
                p.setBrush(on ? ink::accent : ink::control);
                p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 5, 5);
                p.translate(16, 16);
                p.scale(flips[i].sx, flips[i].sy);
                p.translate(-16, -16);
                drawGlyph(p, QRectF(4, 4, 24, 24), ink::white, 3, [](Glyph& g) {
                    g.polyline({{16.5, 4}, {8, 4}, {8, 20}});
                    g.line(8, 11.5, 14.5, 11.5);
                });
            });
        }
    }
    return out;
}

// ---------------------------------------------------------------- input screens

QVector<Picture> inputMarks()
{
    QVector<Picture> out;
    for (const bool on : {true, false})
        out << picture(on ? "state_on" : "state_off", 7, 7, ink::control, [&](Canvas& c) {
            c.p().setPen(Qt::NoPen);
            c.p().setBrush(on ? ink::online : QColor(0xCC, 0xCC, 0xCC));
            c.p().drawEllipse(QRectF(0.3, 0.3, 6.4, 6.4));
        });
    out << picture("add", 20, 20, ink::control, [](Canvas& c) {
        c.p().setPen(QPen(ink::white, 1.2));
        c.p().drawRoundedRect(QRectF(0.6, 0.6, 18.8, 18.8), 4, 4);
        drawGlyph(c.p(), QRectF(2, 2, 16, 16), ink::white, 1.8, glyph::plus);
    });
    return out;
}

// ---------------------------------------------------------------- source badges

struct SourceEntry {
    const char* name;
    const char* text;
    bool online;
};

const SourceEntry kSources[] = {
    {"DVI", "DVI", false},         {"dvilv", "DVI", true},          {"HDMI13", "HDMI1.4", false},
    {"HDMI13_lv", "HDMI1.4", true}, {"HDMI13_1", "HDMI1.4", false}, {"HDMI20", "HDMI2.0", false},
    {"HDMI20_lv", "HDMI2.0", true},
};

// A connector badge, drawn at twice the size of the input tiles' 25 x 8
// labels, which scale it down.
QVector<Picture> sources()
{
    QVector<Picture> out;
    for (const SourceEntry& s : kSources)
        out << picture(s.name, 50, 16, ink::control, [&](Canvas& c) {
            QPainter& p = c.p();
            // A deeper green than the online dots: white text must read on it.
            const QColor fill = s.online ? QColor(20, 160, 72) : ink::offline;
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(QRectF(0, 0, 50, 16), 3.5, 3.5);
            // The connector's outline, narrower at the bottom like the plug.
            p.setPen(QPen(ink::white, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            const QPointF plug[] = {{3.5, 5}, {11.5, 5}, {11.5, 8.6}, {9.8, 11}, {5.2, 11}, {3.5, 8.6}};
            p.drawPolygon(plug, 6);
            caption(s.name, p, QRectF(14, 0, 34, 16), QString::fromLatin1(s.text), ink::white, 11, 8, 1);
        });
    return out;
}

// ---------------------------------------------------------------- setup screens

QVector<Picture> setup()
{
    QVector<Picture> out;
    out << picture("warning", 24, 24, ink::ground, [](Canvas& c) {
        drawGlyph(c.p(), QRectF(0, 0, 24, 24), ink::focus, 2, glyph::warning);
    });
    for (const bool right : {false, true})
        out << picture(right ? "rtri" : "ltri", 16, 24, ink::ground, [&](Canvas& c) {
            c.p().setPen(QPen(ink::white, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            c.p().setBrush(ink::white);
            const QPointF r[] = {{4.5, 4}, {12.5, 12}, {4.5, 20}}, l[] = {{11.5, 4}, {3.5, 12}, {11.5, 20}};
            c.p().drawPolygon(right ? r : l, 3);
        });
    for (const bool up : {true, false})
        out << picture(up ? "online_up" : "offline_up", 24, 24, ink::ground, [&](Canvas& c) {
            drawGlyph(c.p(), QRectF(0, 0, 24, 24), ink::white, 1,
                      [&](Glyph& g) { glyph::portSocket(g, up ? ink::online : ink::offline); });
        });
    for (const bool previous : {true, false})
        out << picture(previous ? "previous" : "next", 20, 20, ink::control, [&](Canvas& c) {
            drawGlyph(c.p(), QRectF(0, 0, 20, 20), ink::white, 2.2, [&](Glyph& g) { glyph::chevron(g, previous); });
        });
    for (const bool on : {true, false})
        out << picture(on ? "button_on" : "button_off", 40, 20, ink::ground, [&](Canvas& c) {
            QPainter& p = c.p();
            p.setPen(Qt::NoPen);
            p.setBrush(on ? ink::accent : ink::offline);
            p.drawRoundedRect(QRectF(1, 2, 38, 16), 8, 8);
            p.setBrush(ink::white);
            p.drawEllipse(QPointF(on ? 30 : 10, 10), 6, 6);
        });
    out << picture("update", 64, 64, ink::ground, [](Canvas& c) {
        drawGlyph(c.p(), QRectF(0, 0, 64, 64), ink::white, 2.6, glyph::firmwareChip);
    });
    return out;
}

// ---------------------------------------------------------------- test patterns

QVector<Picture> testPatterns()
{
    QVector<Picture> out;
    const int w = 64, h = 40;
    const QColor bars[] = {Qt::white, Qt::yellow, Qt::cyan, Qt::green, Qt::magenta, Qt::red, Qt::blue, Qt::black};
    const std::function<void(QPainter&)> patterns[] = {
        [](QPainter& p) { p.fillRect(0, 0, w, h, QColor(255, 0, 0)); },
        [](QPainter& p) { p.fillRect(0, 0, w, h, QColor(0, 255, 0)); },
        [](QPainter& p) { p.fillRect(0, 0, w, h, QColor(0, 0, 255)); },
        [](QPainter& p) { p.fillRect(0, 0, w, h, QColor(255, 255, 255)); },
        [](QPainter& p) { p.fillRect(0, 0, w, h, QColor(0, 0, 0)); },
        [&](QPainter& p) {
            for (int i = 0; i < 8; ++i)
                p.fillRect(i * w / 8, 0, w / 8, h, bars[i]);
        },
        [](QPainter& p) {
            p.fillRect(0, 0, w, h, Qt::black);
            for (int x = 2; x < w; x += 6)
                p.fillRect(x, 0, 2, h, Qt::white);
        },
        [](QPainter& p) {
            p.fillRect(0, 0, w, h, Qt::black);
            for (int y = 2; y < h; y += 6)
                p.fillRect(0, y, w, 2, Qt::white);
        },
    };
    for (int i = 0; i < 8; ++i)
        out << picture(QStringLiteral("img_test%1").arg(i + 1), w, h, ink::ground, [&](Canvas& c) {
            c.p().setRenderHint(QPainter::Antialiasing, false);
            patterns[i](c.p());
            // A thin frame keeps the black pattern visible on the dark screen.
            c.p().setPen(QColor(133, 129, 153));
            c.p().setBrush(Qt::NoBrush);
            c.p().drawRect(0, 0, w - 1, h - 1);
        });
    return out;
}

// ---------------------------------------------------------------- cabling patterns

QVector<Picture> cabling()
{
    QVector<Picture> out;
    const int n = 3, cell = 16;
    auto centre = [&](int col, int row) { return QPointF(cell * col + cell / 2.0, cell * row + cell / 2.0); };
    for (int pattern = 1; pattern <= 16; ++pattern)
        out << picture(QStringLiteral("line%1").arg(pattern), 48, 48, ink::control, [&](Canvas& c) {
            QPainter& p = c.p();
            // The cabinets, faintly.
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 30));
            for (int r = 0; r < n; ++r)
                for (int col = 0; col < n; ++col)
                    p.drawRoundedRect(QRectF(cell * col + 1, cell * r + 1, cell - 2, cell - 2), 2.5, 2.5);
            QVector<QPointF> pts;
            for (int k = 0; k < n * n; ++k) {
                int col = 0, row = 0;
                cablingCell(pattern, k, n, n, &col, &row);
                pts << centre(col, row);
            }
            const QPen cable(ink::accent, 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            QColor faint = ink::accent;
            faint.setAlpha(150);
            const QPen jumpPen(faint, 1.6, Qt::SolidLine, Qt::RoundCap);
            // Runs along a row or column bold; the jumps back to the start of
            // the next one thin. The last run stops short of the arrow's tip.
            for (int k = 1; k < pts.size(); ++k) {
                const bool jump = pts[k].x() != pts[k - 1].x() && pts[k].y() != pts[k - 1].y();
                const QPointF a = pts[k - 1];
                const QPointF b = k == pts.size() - 1 ? pts[k] - (pts[k] - a) * (5.0 / cell) : pts[k];
                p.setPen(jump ? jumpPen : cable);
                p.drawLine(a, b);
            }
            p.setPen(Qt::NoPen);
            p.setBrush(ink::accent);
            p.drawEllipse(pts.first(), 4.6, 4.6);
            const QPointF tip = pts.last(), from = pts[pts.size() - 2];
            const qreal a = std::atan2(tip.y() - from.y(), tip.x() - from.x());
            auto at = [&](qreal r, qreal da) { return tip - QPointF(r * std::cos(a + da), r * std::sin(a + da)); };
            const QPointF head[] = {tip + QPointF(std::cos(a), std::sin(a)) * 2.5, at(7.5, 0.62), at(7.5, -0.62)};
            p.drawPolygon(head, 3);
        });
    return out;
}

} // namespace

QVector<Family> families()
{
    return {
        {"Main window menu", menuButtons},
        {"Main window tools", tools},
        {"Main window", mainGlyphs},
        {"Settings menu", settingsItems},
        {"Key hints", hints},
        {"Standby", standby},
        {"Status", status},
        {"Shared widgets", widgets},
        {"Image layout mirrors", mirrors},
        {"Input screens", inputMarks},
        {"Source badges", sources},
        {"Setup screens", setup},
        {"Test patterns", testPatterns},
        {"Cabling patterns", cabling},
    };
}

} // namespace pnggen
