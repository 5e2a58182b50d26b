#include "linestats/trends.h"

#include <limits>

namespace linestats {

namespace {

const QuantityInfo kInfo[QuantityCount] = {
    {"Уровень", "", 0},
    {"Текущий", "", 0},
    {"Темп-ра", "°C", 0},
    {"Уровень приема метки", "", 0},
    {"Температура ведомого", "°C", 2},
    {"Частота ведомого", "", 0},
};

constexpr double Gap = std::numeric_limits<double>::quiet_NaN();

} // namespace

const QuantityInfo &info(Quantity q)
{
    return kInfo[int(q)];
}

QString titleWithUnit(Quantity q)
{
    const QuantityInfo &i = info(q);
    QString text = QString::fromUtf8(i.title);
    if (*i.unit)
        text += QStringLiteral(", ") + QString::fromUtf8(i.unit);
    return text;
}

void Trends::append(TrendSeries &s, const TrendPoint &p)
{
    if (s.size() >= std::size_t(MaxEntries))
        s.pop_front();
    s.push_back(p);
}

void Trends::addValue(quint8 address, Quantity q, qint64 ms, double value)
{
    TrendSeries &s = series_[address][std::size_t(q)];
    if (!s.empty() && !s.back().isGap() && ms - s.back().ms > BreakAfterMs)
        append(s, {ms - 1, Gap});
    append(s, {ms, value});
}

void Trends::addGap(quint8 address, Quantity q, qint64 ms)
{
    // Nothing to break before the first value, nor twice in a row.
    auto set = series_.find(address);
    if (set == series_.end())
        return;
    TrendSeries &s = set->second[std::size_t(q)];
    if (!s.empty() && !s.back().isGap())
        append(s, {ms, Gap});
}

void Trends::breakAll()
{
    for (auto &entry : series_)
        for (TrendSeries &s : entry.second)
            if (!s.empty() && !s.back().isGap())
                append(s, {s.back().ms + 1, Gap});
}

void Trends::addMark(qint64 ms, const QString &text)
{
    marks_.push_back({ms, text});
    if (int(marks_.size()) > MaxEntries)
        marks_.pop_front();
}

void Trends::prune(qint64 nowMs)
{
    const qint64 oldest = nowMs - SpanMs;
    while (!marks_.empty() && marks_.front().ms < oldest)
        marks_.pop_front();
    for (auto it = series_.begin(); it != series_.end();) {
        bool empty = true;
        for (TrendSeries &s : it->second) {
            while (!s.empty() && (s.front().ms < oldest || s.front().isGap()))
                s.pop_front();
            empty = empty && s.empty();
        }
        it = empty ? series_.erase(it) : std::next(it);
    }
}

const TrendSeries &Trends::series(quint8 address, Quantity q) const
{
    static const TrendSeries none;
    const auto set = series_.find(address);
    return set == series_.end() ? none : set->second[std::size_t(q)];
}

QVector<quint8> Trends::addresses() const
{
    QVector<quint8> out;
    for (const auto &entry : series_)
        out << entry.first;
    return out;
}

std::size_t Trends::entries() const
{
    std::size_t n = 0;
    for (const auto &entry : series_)
        for (const TrendSeries &s : entry.second)
            n += s.size();
    return n;
}

} // namespace linestats
