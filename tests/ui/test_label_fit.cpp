// The kit's fitting: a wrapped caption within its label's height, a
// one-line text whose accents and descenders stay inside its label, one font
// for all of a combo box's entries within the room its styles leave the
// text, and a picture with a caption kept off its button's focus border.
#include "tests/support/sandbox.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "ui/shell/label_fit.h"
#include "ui/shell/screen_styles.h"

namespace {

using LabelFit = Sandbox;

// Where `pixmap` paints, drawn centred in `room` as a push button draws it.
QRect paintedInRoom(const QPixmap& pixmap, const QSize& room)
{
    const QImage image = pixmap.toImage();
    QRect part;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                part |= QRect(x, y, 1, 1);
    return part.translated((room.width() - pixmap.width()) / 2, (room.height() - pixmap.height()) / 2);
}

} // namespace

TEST_F(LabelFit, AWrappedCaptionTakesTheLargestFontAtWhichItsLinesFitTheLabel)
{
    const QString caption = QStringLiteral("Number of Cabinet in rows");
    const QSize size(100, 40);
    QLabel label;
    label.setGeometry(QRect(QPoint(), size));
    QFont font = label.font();
    font.setPointSize(14);
    label.setFont(font);
    label.setWordWrap(true);
    label.setText(caption);
    panel::fit_label(&label);

    const auto fits = [&](int point) {
        QFont f = label.font();
        f.setPointSize(point);
        const QRect lines = QFontMetrics(f).boundingRect(QRect(QPoint(), size), Qt::TextWordWrap, caption);
        return lines.width() <= size.width() && lines.height() <= size.height();
    };
    const int point = label.font().pointSize();
    EXPECT_LT(point, 14);
    EXPECT_TRUE(fits(point));
    EXPECT_FALSE(fits(point + 1)) << "the lines wrap: no smaller than they must be, " << point;

    label.setText(QStringLiteral("Rows"));
    panel::fit_label(&label);
    EXPECT_EQ(label.font().pointSize(), 14) << "a short caption gets the form's size back";
}

TEST_F(LabelFit, AOneLineTextsAccentsAndDescendersStayInsideItsLabel)
{
    // Rows a one-line label's text inks, drawn as the label draws it.
    const auto inkedRows = [](const QLabel& label) {
        const int air = label.height();
        QImage image(label.width(), 3 * air, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setFont(label.font());
        painter.drawText(QRect(0, air, label.width(), label.height()),
            int(label.alignment()) | Qt::TextDontClip, label.text());
        painter.end();
        int top = image.height(), bottom = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > 64) {
                    top = qMin(top, y - air);
                    bottom = qMax(bottom, y - air);
                }
        return std::make_pair(top, bottom);
    };
    // A line far narrower than its label: only its height can be too small.
    QLabel label;
    label.setGeometry(0, 0, 300, 12);
    label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font = label.font();
    font.setPointSize(11);
    label.setFont(font);
    label.setText(QString::fromUtf8("Tín hiệu EDID:HDMI1"));
    const auto before = inkedRows(label);
    ASSERT_TRUE(before.first < 0 || before.second >= 12) << "the form's size cuts the accents: nothing to fit";

    panel::fit_label(&label);
    EXPECT_LT(label.font().pointSize(), 11);
    const auto after = inkedRows(label);
    EXPECT_GE(after.first, 0) << "the accents above are cut";
    EXPECT_LT(after.second, 12) << "the dot below is cut";

    label.setGeometry(0, 0, 300, 40);
    label.setText(QStringLiteral("EDID"));
    panel::fit_label(&label);
    EXPECT_EQ(label.font().pointSize(), 11) << "a text with room gets the form's size back";
}

TEST_F(LabelFit, AComboHasOneFontForItsEntriesWithinTheRoomItsArrowLeaves)
{
    QComboBox combo;
    combo.setStyleSheet(QLatin1String(style::kComboFocused));
    combo.setGeometry(0, 0, 76, 28);
    QFont font = combo.font();
    font.setPointSize(14);
    combo.setFont(font);
    combo.addItems({QStringLiteral("image1"), QStringLiteral("image3")});
    combo.show();

    // The style sheet draws no arrow, but the application's style keeps its
    // room beside the text.
    const int room = panel::combo_text_room(&combo);
    EXPECT_LE(room, 76 - 2 - 16);
    panel::fit_combo(&combo, 6);
    const QFontMetrics metrics(combo.font());
    EXPECT_LT(combo.font().pointSize(), 14);
    for (int i = 0; i < combo.count(); ++i)
        EXPECT_LE(metrics.horizontalAdvance(combo.itemText(i)), room) << i;
    EXPECT_EQ(combo.itemText(1), QStringLiteral("image3"));

    // What does not fit at the floor is shortened, ellipsis and all.
    const QString along = QStringLiteral("An entry far wider than any combo");
    combo.addItem(along);
    panel::fit_combo(&combo, 6);
    EXPECT_EQ(combo.font().pointSize(), 6);
    EXPECT_TRUE(combo.itemText(2).endsWith(QChar(0x2026))) << combo.itemText(2).toStdString();
    EXPECT_LE(QFontMetrics(combo.font()).horizontalAdvance(combo.itemText(2)), room);
    EXPECT_EQ(combo.itemText(1), QStringLiteral("image3"));
}

TEST_F(LabelFit, APictureWhoseCaptionWouldReachTheBorderIsDrawnSmallerInsideTheRoom)
{
    // A 75 x 60 picture painting 65 x 47 of it, in a room 58 x 72.
    QPixmap picture(75, 60);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.fillRect(QRect(5, 5, 65, 47), Qt::white);
    }
    const QSize room(58, 72);
    QPushButton button;
    button.setIcon(QIcon(picture));
    button.setIconSize(QSize(75, 60));
    ASSERT_FALSE(QRect(QPoint(), room).contains(paintedInRoom(picture, room)));

    panel::fit_icon(&button, room);
    const QPixmap drawn = button.icon().pixmap(button.iconSize());
    EXPECT_EQ(button.iconSize(), QSize(75, 60));
    EXPECT_TRUE(QRect(QPoint(), room).contains(paintedInRoom(drawn, room)));
    EXPECT_GE(paintedInRoom(drawn, room).width(), room.width() - 4) << "no smaller than it must be";

    // A picture that fits is drawn as it is.
    QPixmap small(55, 60);
    small.fill(Qt::white);
    button.setIcon(QIcon(small));
    panel::fit_icon(&button, room);
    EXPECT_EQ(button.icon().pixmap(button.iconSize()).size(), QSize(55, 60));
}
