#include "diagnostics/trendcharts.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollArea>
#include <QScrollBar>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <functional>

using linestats::Quantity;
using linestats::TrendSeries;
using linestats::Trends;

namespace {

// Nothing narrower than a minute is shown while following: a fresh series
// grows from the left instead of filling the width with three values.
constexpr qint64 MinFollowSpanMs = 60 * 1000;
constexpr qint64 MinSpanMs = 5 * 1000;
// A flaky line can cut a series into hundreds of pieces; beyond this many the
// rest are drawn as dots.
constexpr int MaxLines = 200;
const QColor LineColour(32, 96, 176);

} // namespace

// One quantity's chart: a pool of line series for the pieces between gaps
// and one dot series for lone values.
class TrendChart : public QChartView
{
public:
    std::function<void(int steps, bool zoom)> onWheel;

    explicit TrendChart(Quantity q, QWidget *parent)
        : QChartView(parent), quantity_(q), chart_(new QChart), x_(new QDateTimeAxis),
          y_(new QValueAxis), dots_(new QScatterSeries)
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
        chart_->addAxis(x_, Qt::AlignBottom);
        chart_->addAxis(y_, Qt::AlignLeft);
        dots_->setMarkerSize(5);
        dots_->setColor(LineColour);
        dots_->setBorderColor(LineColour);
        attach(dots_);
        setChart(chart_);
        setObjectName(QStringLiteral("trend%1").arg(int(q)));
        setMinimumHeight(150);
        setRubberBand(QChartView::HorizontalRubberBand);
        setAccessibleName(linestats::titleWithUnit(q));
    }

    Quantity quantity() const { return quantity_; }
    QDateTimeAxis *xAxis() const { return x_; }

    // Draws the entries of `s` between `fromMs` and `toMs` (with one beyond
    // each end, so a line leaves the chart where it continues).
    void draw(const TrendSeries &s, qint64 fromMs, qint64 toMs)
    {
        const auto byTime = [](const linestats::TrendPoint &p, qint64 ms) { return p.ms < ms; };
        auto first = std::lower_bound(s.begin(), s.end(), fromMs, byTime);
        auto last = std::lower_bound(first, s.end(), toMs + 1, byTime);
        if (first != s.begin())
            --first;
        if (last != s.end())
            ++last;

        QList<QPointF> piece;
        QList<QPointF> lone;
        int lines = 0;
        double low = qInf(), high = -qInf();
        const auto flush = [&] {
            if (piece.size() == 1 || (piece.size() > 1 && lines >= MaxLines))
                lone += piece;
            else if (piece.size() > 1)
                line(lines++)->replace(piece);
            piece.clear();
        };
        for (auto it = first; it != last; ++it) {
            if (it->isGap()) {
                flush();
                continue;
            }
            piece << QPointF(double(it->ms), it->value);
            if (it->ms >= fromMs && it->ms <= toMs) {
                low = std::min(low, it->value);
                high = std::max(high, it->value);
            }
        }
        flush();
        for (int i = lines; i < lines_.size(); ++i)
            if (lines_[i]->count() > 0)
                lines_[i]->clear();
        dots_->replace(lone);

        // The ranges last: attaching a new series may have moved them.
        x_->setRange(QDateTime::fromMSecsSinceEpoch(fromMs), QDateTime::fromMSecsSinceEpoch(toMs));
        if (low <= high) {
            const double pad = high > low ? (high - low) * 0.08 : std::max(1.0, std::abs(high) * 0.02);
            y_->setRange(low - pad, high + pad);
            y_->applyNiceNumbers(); // whole steps: no label repeats a rounded neighbour
        }
    }

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0 && onWheel)
            onWheel(steps, event->modifiers() & Qt::ControlModifier);
        event->accept();
    }

private:
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
    QList<QLineSeries *> lines_;
};

TrendCharts::TrendCharts(const Trends &trends, QWidget *parent)
    : QWidget(parent), trends_(trends)
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
    for (int q = 0; q < linestats::QuantityCount; ++q) {
        auto *chart = new TrendChart(Quantity(q), inner);
        chart->hide();
        chart->onWheel = [this](int steps, bool zoom) {
            const qint64 span = visibleSpanMs();
            if (zoom) {
                const qint64 wanted = steps > 0 ? span / 2 : span * 2;
                showRange(viewStartMs() + (span - wanted) / 2, wanted);
            } else {
                // Forward goes back in time, as scrolling up a list goes back.
                showRange(viewStartMs() - steps * span / 10, span);
            }
        };
        connect(chart->xAxis(), &QDateTimeAxis::rangeChanged, this,
                [this](const QDateTime &min, const QDateTime &max) {
                    if (!placing_)
                        zoomedTo(min.toMSecsSinceEpoch(), max.toMSecsSinceEpoch());
                });
        column_->addWidget(chart, 1);
        charts_[std::size_t(q)] = chart;
    }
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

qint64 TrendCharts::firstMs() const
{
    qint64 first = nowMs_;
    if (!address_)
        return first;
    for (const TrendChart *chart : charts_) {
        const TrendSeries &s = trends_.series(*address_, chart->quantity());
        if (!s.empty())
            first = std::min(first, s.front().ms);
    }
    return std::max(first, nowMs_ - Trends::SpanMs);
}

qint64 TrendCharts::visibleSpanMs() const
{
    if (following_ && spanMs_ == Trends::SpanMs)
        return std::clamp(nowMs_ - firstMs(), MinFollowSpanMs, Trends::SpanMs);
    return spanMs_;
}

void TrendCharts::follow()
{
    following_ = true;
    spanMs_ = Trends::SpanMs;
    place();
}

void TrendCharts::showRange(qint64 startMs, qint64 spanMs)
{
    spanMs_ = std::clamp<qint64>(spanMs, MinSpanMs, Trends::SpanMs);
    const qint64 latest = nowMs_ - spanMs_;
    viewEndMs_ = std::clamp(startMs, std::min(firstMs(), latest), latest) + spanMs_;
    following_ = false;
    place();
}

void TrendCharts::zoomedTo(qint64 startMs, qint64 endMs)
{
    showRange(startMs, endMs - startMs);
}

void TrendCharts::takeScroll(int value)
{
    if (placing_)
        return;
    // The scroll bar counts seconds from the oldest value; at its end the
    // charts follow again, at the span chosen.
    if (value >= scroll_->maximum()) {
        following_ = true;
        place();
        return;
    }
    showRange(std::min(firstMs(), viewStartMs()) + qint64(value) * 1000, visibleSpanMs());
}

void TrendCharts::refresh(qint64 nowMs)
{
    nowMs_ = nowMs;
    place();
}

void TrendCharts::place()
{
    placing_ = true;
    if (following_)
        viewEndMs_ = nowMs_;
    const qint64 first = std::min(firstMs(), viewStartMs());
    const qint64 span = visibleSpanMs();
    scroll_->setRange(0, int(std::max<qint64>(0, nowMs_ - span - first) / 1000));
    scroll_->setPageStep(int(span / 1000));
    scroll_->setValue(following_ ? scroll_->maximum() : int((viewStartMs() - first) / 1000));
    followButton_->setChecked(following_);
    draw();
    placing_ = false;
}

void TrendCharts::draw()
{
    bool any = false;
    for (TrendChart *chart : charts_) {
        const TrendSeries &s = address_ ? trends_.series(*address_, chart->quantity()) : TrendSeries();
        const bool has = std::any_of(s.begin(), s.end(), [](const auto &p) { return !p.isGap(); });
        chart->setVisible(has);
        if (has)
            chart->draw(s, viewStartMs(), viewEndMs());
        any = any || has;
    }
    hint_->setVisible(!any);
    hint_->setText(!address_ ? QStringLiteral("Выберите адрес в таблице, чтобы увидеть его тренды.")
                             : QStringLiteral("Адрес %1: значений за последние 10 минут нет. Они приходят "
                                              "при опросе страниц «Считыватель», «метка» и «мост».")
                                   .arg(*address_));
}

QVector<Quantity> TrendCharts::shownQuantities() const
{
    QVector<Quantity> out;
    for (const TrendChart *chart : charts_)
        if (!chart->isHidden())
            out << chart->quantity();
    return out;
}

QPixmap TrendCharts::picture()
{
    QWidget *inner = column_->parentWidget();
    return inner->grab();
}

QString TrendCharts::toTsv() const
{
    QStringList lines{QStringLiteral("Время\tАдрес\tВеличина\tЗначение")};
    if (address_) {
        for (const TrendChart *chart : charts_) {
            const TrendSeries &s = trends_.series(*address_, chart->quantity());
            const QString name = linestats::titleWithUnit(chart->quantity());
            for (const linestats::TrendPoint &p : s) {
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
