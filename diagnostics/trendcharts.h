#pragma once
// The trends of one address, one chart per quantity (Qt Charts), time on the
// x axis. The charts follow the newest values until the technician scrolls or
// zooms back; "Следить" brings them back to the last 10 minutes, following.
// A gap in a series ends a line: the values on either side are drawn as
// separate lines, a lone value as a dot.
//
// Drawing is kept off the window thread's critical path: while following,
// the time axis reaches a little ahead of now and moves on in steps, so a new
// value is only appended to its line; a chart is drawn anew only when its axis
// moves, and then one chart per event, so a click waits for one chart at most.
#include "linestats/trends.h"

#include <QWidget>

#include <array>
#include <optional>

class QLabel;
class QPushButton;
class QScrollBar;
class QTimer;
class QVBoxLayout;
class TrendChart;

// What hovering a chart shows: the time of a point and its value with its unit.
QString trendHoverText(linestats::Quantity q, qint64 ms, double value);

// How many labels a value axis from `min` to `max` may carry when they are
// printed with `decimals` digits: no fewer than 2, no more than `ticks`, and
// never two neighbours that print alike ("31 31 30 30 29").
int distinctTicks(double min, double max, int ticks, int decimals);

class TrendCharts : public QWidget
{
    Q_OBJECT

public:
    explicit TrendCharts(const linestats::Trends &trends, QWidget *parent = nullptr);

    // The address whose trends are shown; none for the line total.
    void showAddress(std::optional<quint8> address);
    std::optional<quint8> address() const { return address_; }
    // Takes in the values held at `nowMs`.
    void refresh(qint64 nowMs);

    bool following() const { return following_; }
    // Follows the newest values again, over the whole 10 minutes.
    void follow();
    // Shows [startMs, startMs + spanMs] and stops following (what scrolling
    // and zooming back do).
    void showRange(qint64 startMs, qint64 spanMs);
    qint64 viewStartMs() const { return viewStartMs_; }
    qint64 viewEndMs() const { return viewEndMs_; }

    // The quantities that have a chart on screen now.
    QVector<linestats::Quantity> shownQuantities() const;
    // The charts as one picture, each drawn up to date.
    QPixmap picture();
    // The shown address's values of the last 10 minutes: a header line, then
    // one tab-separated line per value, a gap as an empty value.
    QString toTsv() const;

private:
    void place();
    // The chart of a quantity, made when first needed.
    TrendChart *chart(linestats::Quantity q);
    // Draws the next chart that waits to be drawn anew; the rest follow in
    // later events.
    void drawNext();
    void takeScroll(int value);
    // The oldest value of the shown address within the 10 minutes, or nowMs.
    qint64 firstMs() const;

    const linestats::Trends &trends_;
    std::optional<quint8> address_;
    std::array<TrendChart *, linestats::QuantityCount> charts_{};
    QVBoxLayout *column_;
    QLabel *hint_;
    QScrollBar *scroll_;
    QPushButton *followButton_;
    QTimer *drawTimer_;
    qint64 nowMs_ = 0;
    qint64 viewStartMs_ = 0;
    qint64 viewEndMs_ = 0;
    qint64 scrollBaseMs_ = 0; // the time at the scroll bar's 0, a second a step
    bool following_ = true;
    bool placing_ = false; // our own changes of the axes and the scroll bar
};
