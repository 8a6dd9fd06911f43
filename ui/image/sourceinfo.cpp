#include "ui/image/sourceinfo.h"

#include <QLabel>
#include <QPixmap>

namespace {

// By source id.
struct SourcePictures {
    const char* name;
    const char* icon;
    const char* online;
    const char* offline;
};
const SourcePictures kSourceTable[sourceinfo::kSources] = {
    {"DVI", ":/png/DVI.png", ":/png/dvilv.png", ":/png/DVI.png"},
    {"HDMI1", ":/png/HDMI13.png", ":/png/HDMI13_lv.png", ":/png/HDMI13_1.png"},
    {"HDMI2", ":/png/HDMI13.png", ":/png/HDMI13_lv.png", ":/png/HDMI13_1.png"},
    {"HDMI3", ":/png/HDMI20.png", ":/png/HDMI20_lv.png", ":/png/HDMI20.png"},
};
// The DVI input has the lowest id but is listed last.
const unsigned char kIdByListseq[sourceinfo::kSources] = {1, 2, 3, 0};
const unsigned char kListseqById[sourceinfo::kSources] = {3, 0, 1, 2};

const char* const kWhiteName = "<font style = 'font-size:9px' color = #ffffff >%1</font>";
const char* const kGreenName0 = "<font style = 'font-size:9px' color = #51BB28 >%1</font>";
const char* const kGreenName1 = "<font style = 'font-size:9px' color = #12BB32 >%1</font>";
const char* const kBluePart = "<font style = 'font-size:9px' color = #4777ff >%1</font>";

void showPicture(QLabel* label, const char* path)
{
    if (!label)
        return;
    label->setPixmap(QPixmap(QString::fromLatin1(path)));
    label->setProperty("png", QString::fromLatin1(path));
}

} // namespace

QString sourceinfo::get_source_name_by_sourceid(unsigned char id)
{
    return id < kSources ? QString::fromLatin1(kSourceTable[id].name) : QString();
}

QString sourceinfo::get_source_name_by_listseq(unsigned char listseq)
{
    return listseq < kSources ? get_source_name_by_sourceid(kIdByListseq[listseq]) : QString();
}

unsigned char sourceinfo::get_source_id_by_listseq(unsigned char listseq)
{
    return listseq < kSources ? kIdByListseq[listseq] : kDvi;
}

unsigned char sourceinfo::get_listseq_by_source_id(unsigned char id)
{
    return id < kSources ? kListseqById[id] : 0;
}

QString sourceinfo::get_source_specialstyle0_by_sourceid(unsigned char id)
{
    return QString::fromLatin1(id == kHdmi3 ? kGreenName0 : kWhiteName);
}

QString sourceinfo::get_source_specialstyle1_by_sourceid(unsigned char id, QString name, unsigned char count)
{
    if (id >= kSources)
        return QString();
    // Each piece is filled on its own: a "%1" inside the name stays text.
    const QString blue = QString::fromLatin1(kBluePart);
    return QString::fromLatin1(id == kHdmi3 ? kGreenName1 : kWhiteName).arg(name.toHtmlEscaped())
        + blue.arg(QStringLiteral("(")) + blue.arg(QString::number(count)) + blue.arg(QStringLiteral(")"));
}

void sourceinfo::set_source_pixmap(QLabel* label, unsigned char id)
{
    if (id < kSources)
        showPicture(label, kSourceTable[id].icon);
}

void sourceinfo::set_sourceonline_pixmap(QLabel* label, unsigned char id, unsigned char online)
{
    if (id < kSources)
        showPicture(label, online ? kSourceTable[id].online : kSourceTable[id].offline);
}
