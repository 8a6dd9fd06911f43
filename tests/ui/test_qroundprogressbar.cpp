// The progress ring: one ring at a time over the screen that posts a job,
// the worker's progress arriving in order, 100 closing it, the pointer
// cleared when the ring goes with its screen, and what the ring draws.
#include "tests/support/sandbox.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <cmath>
#include <thread>
#include <vector>

#include "core/globals.h"
#include "ui/shell/QRoundProgressBar.h"

namespace {

// Stands for a screen's progress signal, emitted by the FPGA worker.
class ProgressSource : public QObject {
    Q_OBJECT
signals:
    void sig_qround_bar_update(int percent);
};

bool nearColour(QRgb seen, const QColor& want, int tolerance = 40)
{
    return std::abs(qRed(seen) - want.red()) <= tolerance && std::abs(qGreen(seen) - want.green()) <= tolerance &&
           std::abs(qBlue(seen) - want.blue()) <= tolerance;
}

const QColor kBlue("#2F8DED");
const QColor kGrey("#DEE3E7");

using Ring = Sandbox;

} // namespace

TEST_F(Ring, OneRingOverTheScreenThatStartsAJob)
{
    QDialog screen;
    QRoundProgressBar::create_qround_bar(&screen);
    QRoundProgressBar* ring = g_qround_bar;
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->parentWidget(), &screen);
    EXPECT_EQ(ring->geometry(), QRect(120, 70, 100, 100));
    EXPECT_FALSE(ring->isHidden());
    EXPECT_EQ(ring->value(), 0);

    ring->setValue(30);
    QRoundProgressBar::create_qround_bar(&screen);
    EXPECT_EQ(g_qround_bar, ring);
    EXPECT_EQ(ring->value(), 30);
    EXPECT_EQ(screen.findChildren<QRoundProgressBar*>().size(), 1);
}

TEST_F(Ring, WorkerProgressArrivesInOrderAndAHundredClosesTheRing)
{
    QDialog screen;
    ProgressSource source;
    QRoundProgressBar::create_qround_bar(&screen);
    QPointer<QRoundProgressBar> ring = g_qround_bar;
    QObject::connect(&source, SIGNAL(sig_qround_bar_update(int)), ring, SLOT(para_sync(int)));
    // Runs after the ring's slot for each value: what the ring showed then.
    std::vector<int> shown;
    QObject::connect(&source, &ProgressSource::sig_qround_bar_update, &screen,
                     [&](int) { shown.push_back(g_qround_bar ? int(g_qround_bar->value()) : -1); });

    std::thread worker([&] {
        for (int percent : {10, 60, 40, 99, 100, 50})
            emit source.sig_qround_bar_update(percent);
    });
    worker.join();
    EXPECT_EQ(ring->value(), 0); // nothing ran in the worker
    ASSERT_TRUE(waitFor([&] { return shown.size() == 6; }));
    EXPECT_EQ(shown, (std::vector<int>{10, 60, 40, 99, -1, -1}));
    EXPECT_EQ(g_qround_bar, nullptr);
    ASSERT_FALSE(ring.isNull()); // closed, not deleted
    EXPECT_TRUE(ring->isHidden());
    EXPECT_EQ(ring->value(), 99);

    // A direct call from another thread is carried out in the GUI thread.
    QRoundProgressBar::create_qround_bar(&screen);
    QRoundProgressBar* second = g_qround_bar;
    std::thread direct([&] { second->para_sync(70); });
    direct.join();
    EXPECT_EQ(second->value(), 0);
    ASSERT_TRUE(waitFor([&] { return second->value() == 70; }));
}

TEST_F(Ring, PointerClearedWhenTheRingGoesWithItsScreen)
{
    auto* first = new QDialog;
    QRoundProgressBar::create_qround_bar(first);
    delete first;
    EXPECT_EQ(g_qround_bar, nullptr);
    QRoundProgressBar::create_qround_bar(nullptr); // the next job gets a ring
    ASSERT_NE(g_qround_bar, nullptr);
    delete g_qround_bar;
    EXPECT_EQ(g_qround_bar, nullptr);

    // A closed ring of an earlier job forwards to the ring that is up, and
    // its screen's end leaves that ring alone.
    auto* earlier = new QDialog;
    QRoundProgressBar::create_qround_bar(earlier);
    QRoundProgressBar* closed = g_qround_bar;
    closed->para_sync(100);
    QDialog later;
    QRoundProgressBar::create_qround_bar(&later);
    QRoundProgressBar* current = g_qround_bar;
    closed->para_sync(30);
    EXPECT_EQ(current->value(), 30);
    delete earlier;
    EXPECT_EQ(g_qround_bar, current);
}

TEST_F(Ring, RangeValueAndText)
{
    QRoundProgressBar ring(nullptr, QRoundProgressBar::StyleDonut);
    ring.setValue(45);
    EXPECT_EQ(ring.percent_text(), "45%");
    ring.setDecimals(1);
    EXPECT_EQ(ring.percent_text(), "45.0%");
    ring.setDecimals(-1);
    EXPECT_EQ(ring.decimals(), 1);

    ring.setRange(100, 0);
    EXPECT_EQ(ring.minimum(), 0);
    EXPECT_EQ(ring.maximum(), 100);
    ring.setRange(50, 80);
    EXPECT_EQ(ring.value(), 50); // clamped into the new range
    ring.setValue(200);
    EXPECT_EQ(ring.value(), 80);
    ring.setMinimum(0);
    ring.setMaximum(100);
    ring.setValue(-5);
    EXPECT_EQ(ring.value(), 0);
}

TEST_F(Ring, DrawsABlueBandClockwiseFromTwelve)
{
    QDialog screen;
    QRoundProgressBar::create_qround_bar(&screen);
    QRoundProgressBar* ring = g_qround_bar;

    ring->para_sync(-5); // shown as 0: no blue at all
    EXPECT_EQ(ring->percent_text(), "0%");
    QImage empty = ring->grab().toImage();
    EXPECT_TRUE(nearColour(empty.pixel(50, 5), kGrey));
    EXPECT_TRUE(nearColour(empty.pixel(95, 50), kGrey));

    ring->para_sync(50);
    QImage half = ring->grab().toImage();
    // On the band (radius 45): 45 degrees clockwise from 12 o'clock is
    // blue, 225 degrees still grey; the disc inside is white.
    EXPECT_TRUE(nearColour(half.pixel(82, 18), kBlue));
    EXPECT_TRUE(nearColour(half.pixel(95, 50), kBlue));
    EXPECT_TRUE(nearColour(half.pixel(18, 82), kGrey));
    EXPECT_TRUE(nearColour(half.pixel(5, 50), kGrey));
    EXPECT_TRUE(nearColour(half.pixel(50, 82), Qt::white, 10));
}

#include "test_qroundprogressbar.moc"
