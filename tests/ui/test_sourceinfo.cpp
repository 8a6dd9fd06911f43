// The four inputs' names, the two numberings and the mapping between them,
// the rich-text name pieces and the input pictures, for every id and
// position 0..255.
#include "tests/support/sandbox.h"

#include <QLabel>
#include <QVariant>
#include <cstring>

#include "ui/image/sourceinfo.h"

namespace {
using SourceInfo = Sandbox;

const char* const kSourceWhite = "<font style = 'font-size:9px' color = #ffffff >%1</font>";
const char* const kSourceGreen0 = "<font style = 'font-size:9px' color = #51BB28 >%1</font>";
const char* const kSourceGreen1 = "<font style = 'font-size:9px' color = #12BB32 >%1</font>";
const char* const kSourceBlue = "<font style = 'font-size:9px' color = #4777ff >%1</font>";

QString sourcePiece(const char* colour, const QString& text) { return QString::fromLatin1(colour).replace("%1", text); }

QString sourceLabelPicture(const QLabel& label) { return label.property("png").toString(); }
} // namespace

TEST_F(SourceInfo, NamesMappingsAndRichTextsForEveryIdAndPosition)
{
    const struct {
        int value;
        const char* nameById;
        const char* nameByPosition;
        int idOfPosition;
        int positionOfId;
        const char* style0;
    } table[] = {
        {0, "DVI", "HDMI1", 1, 3, kSourceWhite},
        {1, "HDMI1", "HDMI2", 2, 0, kSourceWhite},
        {2, "HDMI2", "HDMI3", 3, 1, kSourceWhite},
        {3, "HDMI3", "DVI", 0, 2, kSourceGreen0},
    };
    for (int v = 0; v < 256; ++v) {
        const uint8_t u = uint8_t(v);
        if (v < 4) {
            const auto& row = table[v];
            EXPECT_EQ(sourceinfo::get_source_name_by_sourceid(u), row.nameById) << v;
            EXPECT_EQ(sourceinfo::get_source_name_by_listseq(u), row.nameByPosition) << v;
            EXPECT_EQ(sourceinfo::get_source_id_by_listseq(u), row.idOfPosition) << v;
            EXPECT_EQ(sourceinfo::get_listseq_by_source_id(u), row.positionOfId) << v;
            EXPECT_EQ(sourceinfo::get_source_specialstyle0_by_sourceid(u), row.style0) << v;
            // The two mappings undo each other.
            EXPECT_EQ(sourceinfo::get_listseq_by_source_id(sourceinfo::get_source_id_by_listseq(u)), u);
            EXPECT_EQ(sourceinfo::get_source_id_by_listseq(sourceinfo::get_listseq_by_source_id(u)), u);
            // A position names the input its id names.
            EXPECT_EQ(sourceinfo::get_source_name_by_listseq(u),
                sourceinfo::get_source_name_by_sourceid(sourceinfo::get_source_id_by_listseq(u)));
        } else {
            EXPECT_TRUE(sourceinfo::get_source_name_by_sourceid(u).isEmpty()) << v;
            EXPECT_TRUE(sourceinfo::get_source_name_by_listseq(u).isEmpty()) << v;
            EXPECT_EQ(sourceinfo::get_source_id_by_listseq(u), 0) << v << ": DVI";
            EXPECT_EQ(sourceinfo::get_listseq_by_source_id(u), 0) << v << ": HDMI1's place";
            EXPECT_EQ(sourceinfo::get_source_specialstyle0_by_sourceid(u), kSourceWhite) << v;
            EXPECT_TRUE(sourceinfo::get_source_specialstyle1_by_sourceid(u, "Stage", 3).isEmpty()) << v;
        }
    }
    for (const char* p : {kSourceWhite, kSourceGreen0, kSourceGreen1, kSourceBlue})
        EXPECT_EQ(strlen(p), 56u) << p;

    // A source row: the name, then the count in blue.
    const struct {
        uint8_t id;
        const char* name;
        uint8_t count;
        QString expected;
    } rows[] = {
        {0, "DVI", 1, sourcePiece(kSourceWhite, "DVI") + sourcePiece(kSourceBlue, "(") + sourcePiece(kSourceBlue, "1") + sourcePiece(kSourceBlue, ")")},
        {2, "HDMI2", 255, sourcePiece(kSourceWhite, "HDMI2") + sourcePiece(kSourceBlue, "(") + sourcePiece(kSourceBlue, "255") + sourcePiece(kSourceBlue, ")")},
        {3, "X", 0, sourcePiece(kSourceGreen1, "X") + sourcePiece(kSourceBlue, "(") + sourcePiece(kSourceBlue, "0") + sourcePiece(kSourceBlue, ")")},
        // A display name is text: markup shows as typed, and a "%1" in it is
        // not filled with the pieces that follow.
        {1, "A<B&C", 2, sourcePiece(kSourceWhite, "A&lt;B&amp;C") + sourcePiece(kSourceBlue, "(") + sourcePiece(kSourceBlue, "2") + sourcePiece(kSourceBlue, ")")},
        {1, "100%1", 3, sourcePiece(kSourceWhite, "100%1") + sourcePiece(kSourceBlue, "(") + sourcePiece(kSourceBlue, "3") + sourcePiece(kSourceBlue, ")")},
    };
    for (const auto& r : rows)
        EXPECT_EQ(sourceinfo::get_source_specialstyle1_by_sourceid(r.id, QString::fromUtf8(r.name), r.count),
            r.expected)
            << r.name;
}

TEST_F(SourceInfo, PicturesByIdOnlineAndOffline)
{
    const struct {
        uint8_t id;
        const char* icon;
        const char* online;
        const char* offline;
    } table[] = {
        {0, ":/png/DVI.png", ":/png/dvilv.png", ":/png/DVI.png"},
        {1, ":/png/HDMI13.png", ":/png/HDMI13_lv.png", ":/png/HDMI13_1.png"},
        {2, ":/png/HDMI13.png", ":/png/HDMI13_lv.png", ":/png/HDMI13_1.png"},
        {3, ":/png/HDMI20.png", ":/png/HDMI20_lv.png", ":/png/HDMI20.png"},
    };
    QLabel label;
    for (const auto& row : table) {
        sourceinfo::set_source_pixmap(&label, row.id);
        EXPECT_EQ(sourceLabelPicture(label), row.icon);
        EXPECT_EQ(label.pixmap(Qt::ReturnByValue).toImage(), QPixmap(row.icon).toImage());
        sourceinfo::set_sourceonline_pixmap(&label, row.id, 0);
        EXPECT_EQ(sourceLabelPicture(label), row.offline);
        // Any non-zero value counts as online.
        for (uint8_t online : {1, 2, 255}) {
            sourceinfo::set_sourceonline_pixmap(&label, row.id, online);
            EXPECT_EQ(sourceLabelPicture(label), row.online);
        }
        EXPECT_EQ(label.pixmap(Qt::ReturnByValue).toImage(), QPixmap(row.online).toImage());
    }
    // An id above 3 leaves the picture the label had.
    for (int id = 4; id < 256; ++id) {
        sourceinfo::set_source_pixmap(&label, uint8_t(id));
        sourceinfo::set_sourceonline_pixmap(&label, uint8_t(id), 1);
    }
    EXPECT_EQ(sourceLabelPicture(label), ":/png/HDMI20_lv.png");
    EXPECT_EQ(label.pixmap(Qt::ReturnByValue).toImage(), QPixmap(":/png/HDMI20_lv.png").toImage());
    sourceinfo::set_source_pixmap(nullptr, 1); // no label: nothing happens
}
