// pnggen: draws every picture of the panel into <out>/png/, writes
// <out>/png.qrc for them and a contact sheet of all of them for review.
//
//   pnggen --out resources --sheet build/pictures.png
#include "pnggen.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMap>
#include <QSet>
#include <QTextStream>

#include <cstdio>

using namespace pnggen;

namespace {

void fail(const QString& what)
{
    std::fprintf(stderr, "pnggen: %s\n", qPrintable(what));
}

bool writePng(const QImage& image, const QString& path)
{
    QImageWriter w(path, "png");
    w.setCompression(9);
    if (w.write(image))
        return true;
    fail(QStringLiteral("cannot write %1: %2").arg(path, w.errorString()));
    return false;
}

// The resource file: every picture under ":/png/<name>.png".
bool writeQrc(const QString& path, QStringList names)
{
    names.sort();
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    QTextStream s(&f);
    s << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n    <qresource prefix=\"/\">\n";
    for (const QString& n : names)
        s << "        <file>png/" << n << ".png</file>\n";
    s << "    </qresource>\n</RCC>\n";
    return true;
}

// Every picture twice its size on the ground it sits on in the panel, by
// family, with its name.
QImage contactSheet(const QVector<QPair<QString, QVector<Picture>>>& drawn)
{
    const int width = 1500, zoom = 2, pad = 8, nameH = 14, titleH = 26;
    QFont nameFont = fontFor(QStringLiteral("name"), 10);
    QFont titleFont = fontFor(QStringLiteral("Title"), 15, true);

    // Lay out first, then paint.
    struct Placed {
        const Picture* pic;
        QPoint at;
        int cellW;
    };
    QVector<Placed> placed;
    QVector<QPair<QString, int>> titles;
    int y = pad;
    for (const auto& family : drawn) {
        titles << qMakePair(family.first, y);
        y += titleH;
        int x = pad, rowH = 0;
        for (const Picture& pic : family.second) {
            const int cellW = std::max(pic.image.width() * zoom + 2 * pad, 96);
            const int cellH = pic.image.height() * zoom + 2 * pad + nameH;
            if (x + cellW > width - pad) {
                x = pad;
                y += rowH + pad;
                rowH = 0;
            }
            placed << Placed{&pic, QPoint(x, y), cellW};
            x += cellW + pad;
            rowH = std::max(rowH, cellH);
        }
        y += rowH + 2 * pad;
    }

    QImage sheet(width, y, QImage::Format_ARGB32);
    sheet.fill(QColor(58, 58, 64));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::white);
    p.setFont(titleFont);
    for (const auto& t : titles)
        p.drawText(QRect(pad, t.second, width, titleH), Qt::AlignLeft | Qt::AlignVCenter, t.first);
    p.setFont(nameFont);
    for (const Placed& pl : placed) {
        const QImage& img = pl.pic->image;
        const QSize big = img.size() * zoom;
        const QRect ground(pl.at.x(), pl.at.y(), pl.cellW, big.height() + 2 * pad);
        p.fillRect(ground, pl.pic->ground);
        const QPoint at(pl.at.x() + (pl.cellW - big.width()) / 2, pl.at.y() + pad);
        p.drawImage(at, img.scaled(big, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        p.setPen(QColor(220, 220, 228));
        p.drawText(QRect(pl.at.x(), ground.bottom() + 1, pl.cellW, nameH), Qt::AlignCenter,
                   QStringLiteral("%1 %2x%3").arg(pl.pic->name).arg(img.width()).arg(img.height()));
    }
    return sheet;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser args;
    args.addHelpOption();
    args.addOption({"out", "Directory that gets png/ and png.qrc.", "dir"});
    args.addOption({"sheet", "Where the contact sheet goes.", "file"});
    args.process(app);
    if (!args.isSet("out")) {
        fail("--out is required");
        return 2;
    }

    QString error;
    if (!loadFonts(&error)) {
        fail(error.trimmed());
        return 1;
    }

    QVector<QPair<QString, QVector<Picture>>> drawn;
    QSet<QString> names;
    for (const Family& f : families()) {
        drawn << qMakePair(f.title, f.draw());
        for (const Picture& pic : drawn.last().second) {
            if (names.contains(pic.name))
                problems() << QStringLiteral("%1 is drawn twice").arg(pic.name);
            names.insert(pic.name);
        }
    }
    if (!problems().isEmpty()) {
        for (const QString& p : problems())
            fail(p);
        return 1;
    }

    const QDir out(args.value("out"));
    QDir pngDir(out.filePath("png"));
    if (!pngDir.exists() && !out.mkpath("png")) {
        fail("cannot create " + pngDir.path());
        return 1;
    }
    // Pictures no longer drawn go.
    for (const QString& f : pngDir.entryList({"*.png"}, QDir::Files))
        if (!names.contains(f.chopped(4)))
            pngDir.remove(f);
    for (const auto& family : drawn)
        for (const Picture& pic : family.second)
            if (!writePng(pic.image, pngDir.filePath(pic.name + ".png")))
                return 1;
    if (!writeQrc(out.filePath("png.qrc"), names.values()))
        return 1;

    if (args.isSet("sheet")) {
        const QString sheetPath = args.value("sheet");
        QDir().mkpath(QFileInfo(sheetPath).path());
        if (!writePng(contactSheet(drawn), sheetPath))
            return 1;
        std::printf("contact sheet: %s\n", qPrintable(QFileInfo(sheetPath).absoluteFilePath()));
    }
    std::printf("%d pictures in %s\n", int(names.size()), qPrintable(pngDir.absolutePath()));
    return 0;
}
