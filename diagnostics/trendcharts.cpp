#include "diagnostics/trendcharts.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <functional>

using linestats::Quantity;
using linestats::TrendPoint;
using linestats::TrendSeries;
using linestats::TrendMark;
using linestats::Trends;

namespace {

// While following, nothing narrower than a minute is shown, and the axis
// reaches a tenth of the shown time ahead of now (5 s to a minute).
constexpr qint64 MinFollowSpanMs = 60 * 1000;
constexpr qint64 MinLookAheadMs = 5 * 1000;
constexpr qint64 MaxLookAheadMs = 60 * 1000;
constexpr qint64 MinSpanMs = 5 * 1000;
// A flaky line can cut a series into hundreds of pieces; beyond this many the
// rest are drawn as dots.
constexpr int MaxLines = 200;
const QColor LineColour(32, 96, 176);
const QColor MarkColour(208, 120, 0);

bool hasValues(const TrendSeries &s)
{
    return std::any_of(s.begin(), s.end(), [](const TrendPoint &p) { return !p.isGap(); });
}

} // namespace

QString trendHoverText(Quantity q, qint64 ms, double value)
{
    const linestats::QuantityInfo &info = linestats::info(q);
    QString text = QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))
                   + QStringLiteral("  ") + QLocale().toString(value, 'f', info.decimals);
    if (info.unit && *info.unit)
        text += QLatin1Char(' ') + QString::fromUtf8(info.unit);
    return text;
}

int distinctTicks(double min, double max, int ticks, int decimals)
{
    const double step = std::pow(10.0, -decimals);
    const double span = max - min;
    if (ticks < 2 || !(span > 0))
        return 2;
    if (span / (ticks - 1) >= step * (1 - 1e-9))
        return ticks;
    return std::clamp(int(std::floor(span / step + 1e-9)) + 1, 2, ticks);
}

// One quantity's chart. A piece between two gaps is drawn as a row of short
// line series ("tiles") sharing their end points, a lone value as a dot: a
// new value changes only the last tile, and a chart drawn anew is filled a few
// tiles per event, so neither ever holds the window thread for long.
class TrendChart : public QChartView
{
public:
    std::function<void(int steps, bool zoom)> onWheel;
    std::function<void(qint64 fromMs, qint64 toMs)> onZoom;

    explicit TrendChart(Quantity q, QWidget *parent)
        : QChartView(parent), quantity_(q), chart_(new QChart), x_(new QDateTimeAxis),
          y_(new QValueAxis), dots_(new QScatterSeries), marks_(new QScatterSeries)
    {
        chart_->legend()->hide();
        chart_->setTitle(linestats::titleWithUnit(q));
        QFont title = chart_->titleFont();
        title.setBold(true);
        chart_->setTitleFont(title);
        chart_->setMargins(QMargins(4, 0, 4, 0));
        chart_->setBackgroundRoundness(0);
        x_->setFormat(QStringLiteral("HH:mm:ss"));
        x_->setTickCount(6);
        y_->setLabelFormat(QStringLiteral("%.%1f").arg(linestats::info(q).decimals));
        // A chart made while its page was hidden sized the labels' room for
        // the empty axis; a value is never shown as "...".
        y_->setTruncateLabels(false);
        chart_->addAxis(x_, Qt::AlignBottom);
        chart_->addAxis(y_, Qt::AlignLeft);
        dots_->setMarkerSize(5);
        dots_->setColor(LineColour);
        dots_->setBorderColor(LineColour);
        attach(dots_);
        // Events of the line (port opened, closed, lost, counters reset, the
        // exchange held by a box): a triangle at the top of the chart, named
        // when hovered.
        marks_->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
        marks_->setMarkerSize(9);
        marks_->setColor(MarkColour);
        marks_->setBorderColor(MarkColour);
        attach(marks_);
        QObject::connect(marks_, &QXYSeries::hovered, this, [this](const QPointF &point, bool on) {
            hoveredMark_.clear();
            if (!on)
                return;
            for (const TrendMark &m : markList_)
                if (std::abs(double(m.ms) - point.x()) < 1.0)
                    hoveredMark_ = QDateTime::fromMSecsSinceEpoch(m.ms).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))
                                   + QStringLiteral("  ") + m.text;
        });
        setChart(chart_);
        setObjectName(QStringLiteral("trend%1").arg(int(q)));
        setMinimumHeight(150);
        setRubberBand(QChartView::HorizontalRubberBand);
        setMouseTracking(true);
        viewport()->setMouseTracking(true);
        // The pieces change all the time; a spatial index of them would be
        // rebuilt on every new value.
        scene()->setItemIndexMethod(QGraphicsScene::NoIndex);
        setAccessibleName(linestats::titleWithUnit(q));
        // Dragging across the chart zooms (right-click zooms out): the
        // technician looks back, the charts stop following.
        QObject::connect(x_, &QDateTimeAxis::rangeChanged, this,
                         [this](const QDateTime &min, const QDateTime &max) {
                             if (!drawing_ && onZoom)
                                 onZoom(min.toMSecsSinceEpoch(), max.toMSecsSinceEpoch());
                         });
    }

    Quantity quantity() const { return quantity_; }

    // Whether the chart shows (or is being filled with) this address over this range.
    bool shows(std::optional<quint8> address, qint64 fromMs, qint64 toMs) const
    {
        return (drawn_ || filling()) && address == address_ && fromMs == fromMs_ && toMs == toMs_;
    }
    bool filling() const { return stage_ != Stage::Idle; }
    void forget()
    {
        drawn_ = false;
        stage_ = Stage::Idle;
    }
    // New values may have come since the chart was last brought up to date.
    bool behind = false;
    // An event came after the chart was drawn: it is drawn anew.
    bool marksBehind(const std::deque<TrendMark> &marks) const
    {
        return !marks.empty() && marks.back().ms != marksUntilMs_;
    }

    // Starts drawing the entries of `s` between `fromMs` and `toMs` anew (with
    // one beyond each end, so a line leaves the chart where it continues);
    // fill() puts them on the chart.
    void start(const TrendSeries &s, const std::deque<TrendMark> &marks, std::optional<quint8> address,
               qint64 fromMs, qint64 toMs)
    {
        markList_.clear();
        for (const TrendMark &m : marks)
            if (m.ms >= fromMs && m.ms <= toMs)
                markList_.push_back(m);
        marksUntilMs_ = marks.empty() ? 0 : marks.back().ms;
        const auto byTime = [](const TrendPoint &p, qint64 ms) { return p.ms < ms; };
        auto first = std::lower_bound(s.begin(), s.end(), fromMs, byTime);
        auto last = std::lower_bound(first, s.end(), toMs + 1, byTime);
        low_ = qInf();
        high_ = -qInf();
        for (auto it = first; it != last; ++it) {
            if (!it->isGap()) {
                low_ = std::min(low_, it->value);
                high_ = std::max(high_, it->value);
            }
        }
        if (first != s.begin())
            --first;
        if (last != s.end())
            ++last;
        pending_.clear();
        next_ = 0;
        lone_.clear();
        QList<QPointF> tile;
        openLength_ = 0;
        for (auto it = first; it != last; ++it) {
            if (it->isGap()) {
                if (openLength_ == 1)
                    lone_ << lastPoint_;
                else if (tile.size() > 1)
                    pending_ << tile;
                tile.clear();
                openLength_ = 0;
                continue;
            }
            lastPoint_ = QPointF(double(it->ms), it->value);
            if (tile.size() == TilePoints) {
                pending_ << tile;
                tile = {tile.back()};
            }
            tile << lastPoint_;
            ++openLength_;
        }
        if (openLength_ == 1)
            lone_ << lastPoint_;
        // The last piece's last tile stays open for new values.
        openTile_ = tile.size() > 1 ? int(pending_.size()) : -1;
        if (tile.size() > 1)
            pending_ << tile;
        // Beyond MaxTiles a flaky line's pieces are drawn as dots.
        while (pending_.size() > MaxTiles) {
            lone_ += pending_.takeFirst();
            openTile_ = openTile_ >= 0 ? openTile_ - 1 : -1;
        }
        drawnUntilMs_ = last == s.begin() ? fromMs : std::prev(last)->ms;
        address_ = address;
        fromMs_ = fromMs;
        toMs_ = toMs;
        drawn_ = false;
        stage_ = Stage::Clearing;
    }

    // One step of drawing anew, small enough for one event: emptying the old
    // tiles (so that the new axes place no old points), the axes, then a few
    // tiles. True when the chart is complete.
    bool fill()
    {
        drawing_ = true;
        switch (stage_) {
        case Stage::Idle:
            break;
        case Stage::Clearing:
            for (int n = 0; n < TilesPerEvent * 2 && used_ > 0; ++n)
                lines_[--used_]->clear();
            if (used_ == 0) {
                dots_->clear();
                marks_->clear();
                stage_ = Stage::Axes;
            }
            break;
        case Stage::Axes:
            x_->setRange(QDateTime::fromMSecsSinceEpoch(fromMs_), QDateTime::fromMSecsSinceEpoch(toMs_));
            if (low_ <= high_) {
                const double pad = high_ > low_ ? (high_ - low_) * 0.08 : std::max(1.0, std::abs(high_) * 0.02);
                y_->setRange(low_ - pad, high_ + pad);
                y_->setTickCount(5);
                y_->applyNiceNumbers();
                // Nice steps can still be finer than the labels print.
                y_->setTickCount(distinctTicks(y_->min(), y_->max(), y_->tickCount(),
                                               linestats::info(quantity_).decimals));
            }
            {
                QList<QPointF> marks;
                for (const TrendMark &m : markList_)
                    marks << QPointF(double(m.ms), y_->max());
                marks_->replace(marks);
            }
            stage_ = Stage::Tiles;
            break;
        case Stage::Tiles: {
            int points = 0;
            for (int n = 0; n < TilesPerEvent && next_ < pending_.size() && points < PointsPerEvent; ++n) {
                points += int(pending_[next_].size());
                line(used_++)->replace(pending_[next_++]);
            }
            if (next_ == pending_.size())
                finish();
            break;
        }
        }
        drawing_ = false;
        return drawn_;
    }

    // Appends what came after what was drawn, up to the first value beyond
    // the time axis; false when that cannot be done in place (a value above
    // or below the axis, entries dropped under it).
    bool extend(const TrendSeries &s)
    {
        if (filling())
            return true; // the new values follow once the chart is complete
        if (!drawn_ || s.empty())
            return drawn_;
        if (s.back().ms < drawnUntilMs_)
            return false;
        if (drawnUntilMs_ > toMs_)
            return true; // the line already leaves the chart
        const auto after = [](qint64 ms, const TrendPoint &p) { return ms < p.ms; };
        auto it = std::upper_bound(s.begin(), s.end(), drawnUntilMs_, after);
        drawing_ = true;
        bool fits = true;
        for (; it != s.end() && drawnUntilMs_ <= toMs_; ++it) {
            drawnUntilMs_ = it->ms;
            if (it->isGap()) {
                open_ = nullptr;
                openLength_ = 0;
                continue;
            }
            const QPointF p(double(it->ms), it->value);
            if (it->ms <= toMs_)
                fits = fits && it->value >= y_->min() && it->value <= y_->max();
            if (open_ && open_->count() < TilePoints) {
                open_->append(p);
            } else if (openLength_ >= 1 && used_ < MaxTiles) {
                // A lone dot becomes a line, or a full tile hands on to a new one.
                if (openLength_ == 1)
                    dots_->remove(dots_->count() - 1);
                open_ = line(used_++);
                open_->replace({lastPoint_, p});
            } else {
                dots_->append(p);
            }
            ++openLength_;
            lastPoint_ = p;
        }
        drawing_ = false;
        return fits;
    }

protected:
    // Hovering shows the time and the value of the point nearest the cursor.
    void mouseMoveEvent(QMouseEvent *event) override
    {
        QChartView::mouseMoveEvent(event);
        const QPointF inChart = chart_->mapFromScene(mapToScene(event->position().toPoint()));
        std::optional<QPointF> nearest;
        if (chart_->plotArea().contains(inChart)) {
            const qreal ms = chart_->mapToValue(inChart, dots_).x();
            const auto consider = [&](const QList<QPointF> &points) {
                for (const QPointF &p : points)
                    if (!nearest || std::abs(p.x() - ms) < std::abs(nearest->x() - ms))
                        nearest = p;
            };
            for (int i = 0; i < used_; ++i)
                consider(lines_[i]->points());
            consider(dots_->points());
        }
        if (!hoveredMark_.isEmpty())
            QToolTip::showText(event->globalPosition().toPoint(), hoveredMark_, this);
        else if (nearest)
            QToolTip::showText(event->globalPosition().toPoint(),
                               trendHoverText(quantity_, qint64(nearest->x()), nearest->y()), this);
        else
            QToolTip::hideText();
    }

    void wheelEvent(QWheelEvent *event) override
    {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0 && onWheel)
            onWheel(steps, event->modifiers() & Qt::ControlModifier);
        event->accept();
    }

private:
    static constexpr int TilePoints = 100;
    static constexpr int PointsPerEvent = 300;
    static constexpr int TilesPerEvent = 8;
    static constexpr int MaxTiles = 200;

    void finish()
    {
        dots_->replace(lone_);
        lone_.clear();
        open_ = openTile_ >= 0 ? lines_[openTile_] : nullptr;
        pending_.clear();
        next_ = 0;
        stage_ = Stage::Idle;
        drawn_ = true;
    }

    QLineSeries *line(int i)
    {
        while (lines_.size() <= i) {
            auto *s = new QLineSeries;
            s->setPen(QPen(LineColour, 1.5));
            attach(s);
            lines_ << s;
        }
        return lines_[i];
    }

    void attach(QXYSeries *s)
    {
        chart_->addSeries(s);
        s->attachAxis(x_);
        s->attachAxis(y_);
    }

    Quantity quantity_;
    QChart *chart_;
    QDateTimeAxis *x_;
    QValueAxis *y_;
    QScatterSeries *dots_;
    QScatterSeries *marks_;
    std::vector<TrendMark> markList_; // the events in view
    qint64 marksUntilMs_ = 0;         // the newest event when the chart was drawn
    QString hoveredMark_;
    QList<QLineSeries *> lines_; // the pool of tiles; the first used_ hold values
    int used_ = 0;
    enum class Stage { Idle, Clearing, Axes, Tiles };
    Stage stage_ = Stage::Idle;
    double low_ = 0, high_ = 0;     // the values in view
    QList<QList<QPointF>> pending_; // tiles still to be put on the chart
    int next_ = 0;
    QList<QPointF> lone_;           // dots, put on once the tiles are
    int openTile_ = -1;             // the pending tile new values go on
    QLineSeries *open_ = nullptr;   // the tile new values go on
    int openLength_ = 0;            // values since the last gap
    QPointF lastPoint_;
    qint64 drawnUntilMs_ = 0;
    std::optional<quint8> address_;
    qint64 fromMs_ = 0;
    qint64 toMs_ = 0;
    bool drawn_ = false;
    bool drawing_ = false;
};

TrendCharts::TrendCharts(const Trends &trends, QWidget *parent)
    : QWidget(parent), trends_(trends), drawTimer_(new QTimer(this))
{
    auto *area = new QScrollArea(this);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    auto *inner = new QWidget(area);
    column_ = new QVBoxLayout(inner);
    column_->setContentsMargins(0, 0, 0, 0);
    hint_ = new QLabel(inner);
    hint_->setObjectName(QStringLiteral("trendHint"));
    hint_->setWordWrap(true);
    hint_->setAlignment(Qt::AlignCenter);
    column_->addWidget(hint_);
    column_->addStretch(0);
    area->setWidget(inner);

    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setObjectName(QStringLiteral("trendScroll"));
    scroll_->setAccessibleName(QStringLiteral("Время на графиках"));
    connect(scroll_, &QScrollBar::valueChanged, this, &TrendCharts::takeScroll);
    followButton_ = new QPushButton(QStringLiteral("Следить"), this);
    followButton_->setObjectName(QStringLiteral("followTrends"));
    followButton_->setCheckable(true);
    followButton_->setChecked(true);
    followButton_->setToolTip(QStringLiteral(
        "Показывать последние 10 минут и новые значения по мере прихода. Прокрутка колесом, "
        "выделение мышью (увеличение) и Ctrl+колесо останавливают слежение"));
    connect(followButton_, &QPushButton::clicked, this, [this] { follow(); });

    drawTimer_->setSingleShot(true);
    drawTimer_->setInterval(0);
    connect(drawTimer_, &QTimer::timeout, this, &TrendCharts::drawNext);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(scroll_, 1);
    bottom->addWidget(followButton_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area, 1);
    layout->addLayout(bottom);
    showAddress(std::nullopt);
}

void TrendCharts::showAddress(std::optional<quint8> address)
{
    if (address == address_ && address)
        return;
    address_ = address;
    follow();
}

TrendChart *TrendCharts::chart(Quantity q)
{
    TrendChart *&chart = charts_[std::size_t(q)];
    if (chart)
        return chart;
    // Made when first needed: most addresses only ever fill one page's charts.
    chart = new TrendChart(q, column_->parentWidget());
    chart->onWheel = [this](int steps, bool zoom) {
        const qint64 span = viewEndMs_ - viewStartMs_;
        if (zoom) {
            const qint64 wanted = steps > 0 ? span / 2 : span * 2;
            showRange(viewStartMs_ + (span - wanted) / 2, wanted);
        } else {
            // Forward goes back in time, as scrolling up a list goes back.
            showRange(viewStartMs_ - steps * span / 10, span);
        }
    };
    chart->onZoom = [this](qint64 fromMs, qint64 toMs) { showRange(fromMs, toMs - fromMs); };
    // In the order of the quantities, below the hint.
    const int before = int(std::count_if(charts_.begin(), charts_.begin() + int(q),
                                         [](const TrendChart *c) { return c != nullptr; }));
    column_->insertWidget(1 + before, chart, 1);
    return chart;
}

qint64 TrendCharts::firstMs() const
{
    qint64 first = nowMs_;
    if (!address_)
        return first;
    for (int q = 0; q < linestats::QuantityCount; ++q) {
        const TrendSeries &s = trends_.series(*address_, Quantity(q));
        if (!s.empty())
            first = std::min(first, s.front().ms);
    }
    return std::max(first, nowMs_ - Trends::SpanMs);
}

void TrendCharts::follow()
{
    following_ = true;
    viewEndMs_ = 0; // the axis moves on at once
    place();
}

void TrendCharts::showRange(qint64 startMs, qint64 spanMs)
{
    spanMs = std::clamp<qint64>(spanMs, MinSpanMs, Trends::SpanMs);
    const qint64 latest = nowMs_ - spanMs;
    viewStartMs_ = std::clamp(startMs, std::min(firstMs(), latest), latest);
    viewEndMs_ = viewStartMs_ + spanMs;
    following_ = false;
    place();
}

void TrendCharts::takeScroll(int value)
{
    if (placing_)
        return;
    if (value >= scroll_->maximum())
        follow();
    else
        showRange(scrollBaseMs_ + qint64(value) * 1000, viewEndMs_ - viewStartMs_);
}

void TrendCharts::refresh(qint64 nowMs)
{
    nowMs_ = nowMs;
    place();
}

void TrendCharts::place()
{
    placing_ = true;
    if (following_ && nowMs_ >= viewEndMs_) {
        viewStartMs_ = std::max(nowMs_ - Trends::SpanMs, std::min(firstMs(), nowMs_ - MinFollowSpanMs));
        viewEndMs_ = nowMs_ + std::clamp((nowMs_ - viewStartMs_) / 10, MinLookAheadMs, MaxLookAheadMs);
    }
    const qint64 span = viewEndMs_ - viewStartMs_;
    scrollBaseMs_ = std::min(firstMs(), viewStartMs_);
    scroll_->setRange(0, int(std::max<qint64>(0, nowMs_ - span - scrollBaseMs_) / 1000));
    scroll_->setPageStep(int(span / 1000));
    scroll_->setValue(following_ ? scroll_->maximum() : int((viewStartMs_ - scrollBaseMs_) / 1000));
    followButton_->setChecked(following_);

    bool any = false;
    for (int q = 0; q < linestats::QuantityCount; ++q) {
        const bool has = address_ && hasValues(trends_.series(*address_, Quantity(q)));
        TrendChart *c = has ? chart(Quantity(q)) : charts_[std::size_t(q)];
        if (!c)
            continue;
        c->setVisible(has);
        if (!has)
            c->forget();
        c->behind = has;
        any = any || has;
    }
    // The charts catch up one per event (drawNext).
    if (any && !drawTimer_->isActive())
        drawTimer_->start();
    hint_->setVisible(!any);
    hint_->setText(!address_ ? QStringLiteral("Выберите адрес в таблице, чтобы увидеть его тренды.")
                             : QStringLiteral("Адрес %1: значений за последние 10 минут нет. Они приходят "
                                              "при опросе страниц «Считыватель», «метка» и «мост».")
                                   .arg(*address_));
    placing_ = false;
}

void TrendCharts::drawNext()
{
    for (TrendChart *chart : charts_) {
        if (!chart || chart->isHidden())
            continue;
        const TrendSeries &s = trends_.series(*address_, chart->quantity());
        if (!chart->shows(address_, viewStartMs_, viewEndMs_)) {
            chart->start(s, trends_.marks(), address_, viewStartMs_, viewEndMs_);
        } else if (chart->filling()) {
            chart->fill();
        } else if (chart->behind) {
            chart->behind = false;
            if (!chart->extend(s) || chart->marksBehind(trends_.marks()))
                chart->forget(); // drawn anew from the next event on
        } else {
            continue;
        }
        drawTimer_->start(); // the rest in events of their own
        return;
    }
}

QVector<Quantity> TrendCharts::shownQuantities() const
{
    QVector<Quantity> out;
    for (const TrendChart *chart : charts_)
        if (chart && !chart->isHidden())
            out << chart->quantity();
    return out;
}

QPixmap TrendCharts::picture()
{
    for (TrendChart *chart : charts_) {
        if (!chart || chart->isHidden())
            continue;
        const TrendSeries &s = trends_.series(*address_, chart->quantity());
        if (chart->behind && chart->shows(address_, viewStartMs_, viewEndMs_) && !chart->filling()
            && !chart->extend(s))
            chart->forget();
        chart->behind = false;
        if (!chart->shows(address_, viewStartMs_, viewEndMs_))
            chart->start(s, trends_.marks(), address_, viewStartMs_, viewEndMs_);
        while (!chart->fill())
            ;
    }
    return column_->parentWidget()->grab();
}

QString TrendCharts::toTsv() const
{
    QStringList lines{QStringLiteral("Время\tАдрес\tВеличина\tЗначение")};
    if (address_) {
        for (int q = 0; q < linestats::QuantityCount; ++q) {
            const TrendSeries &s = trends_.series(*address_, Quantity(q));
            const QString name = linestats::titleWithUnit(Quantity(q));
            for (const TrendPoint &p : s) {
                if (p.ms < nowMs_ - Trends::SpanMs)
                    continue;
                lines << QStringList{QDateTime::fromMSecsSinceEpoch(p.ms)
                                         .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                                     QString::number(*address_), name,
                                     p.isGap() ? QString() : QString::number(p.value, 'g', 12)}
                             .join(QLatin1Char('\t'));
            }
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
