#pragma once
// The progress ring of the receiving-card jobs: a 100x100 ring with the
// percentage in its middle, drawn over the screen that posted the job. At
// most one is up, in g_qround_bar; the posting screen's progress signal,
// emitted by the FPGA worker and so queued to the GUI thread, feeds
// para_sync, and a value above 99 closes it.

#include <QWidget>

class QDialog;
class QPainter;

class QRoundProgressBar : public QWidget {
    Q_OBJECT
public:
    enum BarStyle : int {
        StyleDonut = 0, // a ring: the only style the panel uses
        StylePie = 1,   // a filled sector
        StyleLine = 2,  // a thin outline
    };

    QRoundProgressBar(QWidget* parent, BarStyle style);
    ~QRoundProgressBar() override;

    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    double value() const { return m_value; }
    int decimals() const { return m_decimals; }

    void setRange(double min, double max);
    void setMinimum(double min);
    void setMaximum(double max);
    void setValue(double value);
    void setValue(int value);
    void setStartAngle(double angle);
    void setOutlinePenWidth(double width);
    void setDataPenWidth(double width);
    void setBarStyle(BarStyle style);
    void setDecimals(int count);

    // The percentage as the middle shows it, e.g. "45%" or "45.0%".
    QString percent_text() const;

    // Shows the one ring over `parent` at value 0, unless a ring is up.
    static void create_qround_bar(QDialog* parent);
    // Forgets the ring without closing it.
    static void del_qround_bar();

public slots:
    // Progress in percent for the ring that is up (whichever ring received
    // the call); above 99 closes it.
    void para_sync(int fuc);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawBase(QPainter& p, const QRectF& base, const QRectF& inner);
    void drawValue(QPainter& p, const QRectF& base, const QRectF& inner);
    void drawText(QPainter& p, const QRectF& inner);

    double m_min = 0;
    double m_max = 100;
    double m_value = 0;
    BarStyle m_style;
    int m_decimals = 0;
    double m_startAngle = 90;
    double m_outlinePenWidth = 0;
    double m_dataPenWidth = 0;
};
