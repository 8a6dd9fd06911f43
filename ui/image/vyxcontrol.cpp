#include "ui/image/vyxcontrol.h"

#include <QComboBox>
#include <QLabel>

#include "ui/shell/screen_kit.h"

namespace {
QFont comboFont()
{
    QFont f;
    f.setPointSize(9);
    return f;
}

QString comboListStyle(const char* border)
{
    // "QComboBox:drop-down" with one colon is what the control has always
    // carried; Qt takes it as a pseudo-state, not the arrow sub-control.
    return QStringLiteral("QComboBox{color:rgb(255,255,255);\nborder:1px solid %1;\n}\nQComboBox:drop-down{\nborder-style:"
                          "none\n}")
        .arg(QLatin1String(border));
}

QString comboLabelStyle(const char* border)
{
    return QStringLiteral("color: rgb(255, 255, 255);border:1px solid %1;background-color:rgb(0, 0, 0)")
        .arg(QLatin1String(border));
}

constexpr const char* kComboNormalBorder = "rgb(255,171,84)";
constexpr const char* kComboModifyBorder = "rgb(71,119,255)";

QLabel* comboArrowLabel(QWidget* parent, const QRect& at, const QFont& font, const QString& style, const char* arrow)
{
    QLabel* label = new QLabel(parent);
    label->setGeometry(at);
    label->setFont(font);
    label->setStyleSheet(style);
    label->setText(QLatin1String(arrow));
    return label;
}
} // namespace

vyxcontrol::vyxcontrol(QRect listRect, QRect leftRect, QRect rightRect, QWidget* parent)
    : QWidget(parent)
    , label_style_normal(comboLabelStyle(kComboNormalBorder))
    , label_style_modify(comboLabelStyle(kComboModifyBorder))
    , list_style_normal(comboListStyle(kComboNormalBorder))
    , list_style_modify(comboListStyle(kComboModifyBorder))
    , font(comboFont())
{
    list = new QComboBox(this);
    list->setObjectName(QStringLiteral("vyxcontrol"));
    list->setGeometry(listRect);
    list->setFont(font);
    list->setFocusPolicy(Qt::NoFocus);
    // Stepped by the keys only: a touched entry would show a slot other
    // than the one the owner acts on.
    panel::ignore_touches(list);
    list->setStyleSheet(list_style_normal);
    label_right = comboArrowLabel(this, rightRect, font, label_style_normal, ">");
    label_left = comboArrowLabel(this, leftRect, font, label_style_normal, "<");
}

void vyxcontrol::set_box_modify()
{
    list->setStyleSheet(list_style_modify);
    label_right->setStyleSheet(label_style_modify);
    label_left->setStyleSheet(label_style_modify);
}

void vyxcontrol::set_box_default()
{
    list->setStyleSheet(list_style_normal);
    label_right->setStyleSheet(label_style_normal);
    label_left->setStyleSheet(label_style_normal);
}

void vyxcontrol::set_boxindexsel(unsigned char index) { list->setCurrentIndex(index); }
