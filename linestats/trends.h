#pragma once
// The values the devices report, over the last 10 minutes, per address: the
// reader's level, current value and temperature (0xF0), the tag's reception
// level (0xE0, 0xE3) and the slave sensor's temperature and frequency (0xE8).
// A request that brought no value leaves a gap (a NaN entry), so a chart never
// joins the values on either side of it.
//
// Memory: each series is pruned to the last 10 minutes and never holds more
// than MaxEntries entries of 16 bytes. One request every 500 ms gives 1,200
// entries in 10 minutes for the whole line, each feeding at most three series,
// so 20 addresses take at most about 4,000 entries (some 64 KiB) however the
// technician moves between them; even a flood of records could not pass
// 20 x 6 x 1,500 x 16 B = 2.9 MB.
#include <QString>
#include <QVector>

#include <array>
#include <cmath>
#include <deque>
#include <map>

namespace linestats {

enum class Quantity { ReaderLevel, ReaderCurrent, ReaderTemperature, TagLevel, SlaveTemperature,
                      SlaveFrequency };
constexpr int QuantityCount = 6;

// The chart title, the unit (empty when the device gives a bare number) and
// the number of decimals a value is shown with.
struct QuantityInfo {
    const char *title;
    const char *unit;
    int decimals;
};
const QuantityInfo &info(Quantity q);
// "Темп-ра, °C" or "Уровень": the title with the unit, as an axis shows it.
QString titleWithUnit(Quantity q);

struct TrendPoint {
    qint64 ms = 0;      // ms since the epoch
    double value = 0;   // NaN: a gap
    bool isGap() const { return std::isnan(value); }
};
using TrendSeries = std::deque<TrendPoint>;

// An event of the line (the port opened, closed or lost, the counters reset,
// the exchange held by a box), marked on every chart at its time.
struct TrendMark {
    qint64 ms = 0;
    QString text;
};

class Trends
{
public:
    static constexpr qint64 SpanMs = 10 * 60 * 1000;
    // A series that got nothing for 5 s (ten ticks) was not being asked for:
    // its line breaks there instead of bridging the pause.
    static constexpr qint64 BreakAfterMs = 5000;
    static constexpr int MaxEntries = 1500;

    void addValue(quint8 address, Quantity q, qint64 ms, double value);
    // The request for this quantity got no usable reply.
    void addGap(quint8 address, Quantity q, qint64 ms);
    // Every series breaks after its last value (the port opened again).
    void breakAll();
    // An event at `ms`; kept, like the values, for 10 minutes and at most
    // MaxEntries of them.
    void addMark(qint64 ms, const QString &text);
    const std::deque<TrendMark> &marks() const { return marks_; }
    // Forgets what is older than 10 minutes before `nowMs`.
    void prune(qint64 nowMs);

    // The series, oldest first; empty when there is none.
    const TrendSeries &series(quint8 address, Quantity q) const;
    // Addresses with any entry.
    QVector<quint8> addresses() const;
    // All entries held, for the memory figure.
    std::size_t entries() const;

private:
    using Set = std::array<TrendSeries, QuantityCount>;
    void append(TrendSeries &s, const TrendPoint &p);

    std::map<quint8, Set> series_;
    std::deque<TrendMark> marks_;
};

} // namespace linestats
