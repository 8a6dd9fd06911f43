// The panel's pictures as the program finds them in its resources: every
// picture of the list at its size, the names the screens build from a
// language prefix and a base, every name the sources spell out, and the
// cabling pictures against the order in which the FPGA worker places the
// cabinets.
#include "tests/support/sandbox.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSet>

#include <set>
#include <string>
#include <vector>

#include "fpga/fpga_manage.h"
#include "tools/pnggen/cabling.h"

namespace {

// The size a screen shows a picture at; 0 x 0 where it is scaled to
// whatever label holds it.
struct PictureGroup {
    int w, h;
    std::vector<const char*> names;
};

const PictureGroup kPictureList[] = {
    {64, 64, {"machinestate", "en_machinestate", "ru_machinestate", "vn_machinestate", "tn_machinestate",
              "inputchoose", "tn_inputchoose", "custommode", "en_custommode", "ru_custommode", "vn_custommode",
              "tn_custommode", "option", "en_option", "ru_option", "vn_option", "tn_option"}},
    {90, 64, {"en_inputchoose"}},
    {96, 76, {"ru_inputchoose", "vn_inputchoose"}},
    {24, 36, {"closeled",  "en_closeled",   "ru_closeled",   "vn_closeled",   "tn_closeled",   "uncloseled",
              "en_uncloseled", "ru_uncloseled", "vn_uncloseled", "tn_uncloseled", "slience",    "en_slience",
              "ru_slience", "vn_slience",    "tn_slience",    "unslience",     "en_unslience",  "ru_unslience",
              "vn_unslience", "tn_unslience", "call",          "en_call",       "ru_call",       "vn_call",
              "tn_call",    "uncall",        "en_uncall",     "ru_uncall",     "vn_uncall",     "tn_uncall",
              "save",       "en_save",       "ru_save",       "vn_save",       "tn_save",       "unsave",
              "en_unsave",  "ru_unsave",     "vn_unsave",     "tn_unsave"}},
    {9, 12, {"pointer"}},
    {16, 16, {"ip", "tools", "lock", "unlock", "mode_exist", "mode_blank", "LED", "bright", "contrast", "volume_open",
              "volume_close", "freeze"}},
    {55, 60, {"output_set", "ru_output_set", "vn_output_set", "tn_output_set", "input_cut", "tn_input_cut",
              "image_layout", "ru_image_layout", "vn_image_layout", "tn_image_layout", "link_set", "tn_link_set",
              "image_quality", "ru_image_quality", "vn_image_quality", "tn_image_quality", "test_chart",
              "en_test_chart", "ru_test_chart", "vn_test_chart", "tn_test_chart", "smart_mapping", "en_smart_mapping",
              "ru_smart_mapping", "vn_smart_mapping", "tn_smart_mapping", "AdvanceButton", "tn_AdvanceButton"}},
    {70, 60, {"en_input_cut", "ru_input_cut", "vn_input_cut", "en_image_layout", "en_link_set", "ru_link_set",
              "vn_link_set", "ru_AdvanceButton"}},
    {75, 60, {"en_output_set", "en_image_quality"}},
    {54, 60, {"en_advance_option", "vn_AdvanceButton"}},
    {51, 17, {"OK_Enter"}},
    {56, 17, {"back_return"}},
    {20, 20, {"menu_status", "delete", "add", "previous", "next"}},
    {12, 12, {"osd_yes"}},
    {32, 32, {"back", "mirror1_on", "mirror1_off", "mirror2_on", "mirror2_off", "mirror3_on", "mirror3_off",
              "mirror4_on", "mirror4_off"}},
    {15, 65, {"output_state", "ru_output_state"}},
    {15, 55, {"input_state", "ru_input_state"}},
    {15, 40, {"version_state", "ru_version_state", "en_version_state"}},
    {16, 14, {"online", "offline"}},
    {80, 80, {"check_180"}},
    {7, 7, {"state_on", "state_off"}},
    {40, 20, {"button_on", "button_off"}},
    {64, 64, {"update"}},
    {48, 48, {"line1", "line2", "line3", "line4", "line5", "line6", "line7", "line8", "line9", "line10", "line11",
              "line12", "line13", "line14", "line15", "line16"}},
    {0, 0, {"DVI", "dvilv", "HDMI13", "HDMI13_lv", "HDMI13_1", "HDMI20", "HDMI20_lv", "warning", "ltri", "rtri",
            "online_up", "offline_up", "img_test1", "img_test2", "img_test3", "img_test4", "img_test5", "img_test6",
            "img_test7", "img_test8"}},
};

QImage picture(const QString& name) { return QImage(QStringLiteral(":/png/%1.png").arg(name)); }

// Language prefixes in language order: Simplified Chinese, English,
// Russian, Vietnamese, Traditional Chinese.
const char* const kPrefixes[] = {"", "en_", "ru_", "vn_", "tn_"};

} // namespace

using Pictures = Sandbox;

TEST_F(Pictures, EveryListedPictureLoadsAtItsSize)
{
    QSet<QString> listed;
    for (const PictureGroup& g : kPictureList) {
        for (const char* name : g.names) {
            SCOPED_TRACE(name);
            EXPECT_FALSE(listed.contains(name)) << "listed twice";
            listed.insert(name);
            const QImage img = picture(name);
            ASSERT_FALSE(img.isNull());
            if (g.w) {
                EXPECT_EQ(img.size(), QSize(g.w, g.h));
            }
        }
    }
    EXPECT_EQ(listed.size(), 181);
    // Nothing else is shipped: a picture drawn under a misspelt name would
    // otherwise sit beside the one the screens ask for.
    QSet<QString> shipped;
    for (const QString& f : QDir(QStringLiteral(":/png")).entryList(QDir::Files))
        shipped.insert(f.endsWith(QLatin1String(".png")) ? f.chopped(4) : f);
    EXPECT_EQ(shipped, listed);
}

TEST_F(Pictures, LanguagePicturesExistInEveryLanguageAtTheIconSizes)
{
    // Menu buttons, tools and settings items: base names the screens put a
    // language prefix before.
    struct Based {
        const char* base;
        QSize sizes[5]; // by language, as the prefixes
    };
    const QSize menu(64, 64), tool(24, 36), s55(55, 60), s70(70, 60), s75(75, 60), s54(54, 60);
    const Based bases[] = {
        {"machinestate", {menu, menu, menu, menu, menu}},
        {"inputchoose", {menu, {90, 64}, {96, 76}, {96, 76}, menu}},
        {"custommode", {menu, menu, menu, menu, menu}},
        {"option", {menu, menu, menu, menu, menu}},
        {"closeled", {tool, tool, tool, tool, tool}},
        {"uncloseled", {tool, tool, tool, tool, tool}},
        {"slience", {tool, tool, tool, tool, tool}},
        {"unslience", {tool, tool, tool, tool, tool}},
        {"call", {tool, tool, tool, tool, tool}},
        {"uncall", {tool, tool, tool, tool, tool}},
        {"save", {tool, tool, tool, tool, tool}},
        {"unsave", {tool, tool, tool, tool, tool}},
        {"output_set", {s55, s75, s55, s55, s55}},
        {"input_cut", {s55, s70, s70, s70, s55}},
        {"image_layout", {s55, s70, s55, s55, s55}},
        {"link_set", {s55, s70, s70, s70, s55}},
        {"image_quality", {s55, s75, s55, s55, s55}},
        {"test_chart", {s55, s55, s55, s55, s55}},
        {"smart_mapping", {s55, s55, s55, s55, s55}},
        {"AdvanceButton", {s55, s54, s70, s54, s55}},
    };
    for (const Based& b : bases) {
        for (int lang = 0; lang < 5; ++lang) {
            QString name = QString::fromLatin1(kPrefixes[lang]) + b.base;
            // The English picture of the eighth settings item is named apart.
            if (name == QLatin1String("en_AdvanceButton"))
                name = QStringLiteral("en_advance_option");
            SCOPED_TRACE(name.toStdString());
            const QImage img = picture(name);
            ASSERT_FALSE(img.isNull());
            EXPECT_EQ(img.size(), b.sizes[lang]);
            // They sit on buttons, whose colour shows around the drawing.
            EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
            EXPECT_EQ(qAlpha(img.pixel(img.width() - 1, img.height() - 1)), 0);
        }
    }
    // The version caption of the status screen comes in three languages.
    for (const char* name : {"version_state", "en_version_state", "ru_version_state"})
        EXPECT_FALSE(picture(name).isNull()) << name;
}

TEST_F(Pictures, EveryPictureTheSourcesNameExists)
{
    const QRegularExpression ref(QStringLiteral(":/png/([A-Za-z0-9_]+)\\.png"));
    std::set<std::string> missing; // "name (file)"
    for (const char* dir : {"core", "platform", "fpga", "scaler", "video_io", "remote", "ui"}) {
        QDirIterator it(QStringLiteral(VYX_SOURCE_DIR "/") + dir, {"*.cpp", "*.h", "*.ui"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
            const QString text = QString::fromUtf8(f.readAll());
            for (auto m = ref.globalMatch(text); m.hasNext();) {
                const QString name = m.next().captured(1);
                if (picture(name).isNull())
                    missing.insert(name.toStdString() + " (" + QFileInfo(f.fileName()).fileName().toStdString() + ")");
            }
        }
    }
    EXPECT_EQ(missing, std::set<std::string>());
}

TEST_F(Pictures, CablingPicturesFollowTheWorkersOrder)
{
    fpga_manage* m = fpga_manage::pInstance();
    auto workerCell = [&](int pattern, int rows, int cols, int k) {
        line_type = LINE_TYPE{1, 1, 0, 0, 0, uint8_t(rows), uint8_t(cols), uint8_t(pattern)};
        unsigned short x = 0, y = 0;
        m->get_rcvcard_x_y(uint16_t(k), &x, &y);
        return std::make_pair(int(x), int(y));
    };
    const struct {
        int rows, cols;
    } grids[] = {{3, 3}, {2, 4}, {4, 2}, {1, 3}};
    for (int pattern = 1; pattern <= 16; ++pattern) {
        for (const auto& g : grids) {
            for (int k = 0; k < g.rows * g.cols; ++k) {
                int col = -1, row = -1;
                pnggen::cablingCell(pattern, k, g.rows, g.cols, &col, &row);
                EXPECT_EQ(workerCell(pattern, g.rows, g.cols, k), std::make_pair(col, row))
                    << "pattern " << pattern << ", " << g.rows << " x " << g.cols << ", cabinet " << k;
            }
        }
    }
}
