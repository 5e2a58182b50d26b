#include "linestats/linestats.h"

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/reception.h"

#include <QDateTime>

#include <algorithm>

namespace linestats {

using proto::Command;

void ResponseTimes::add(int ms)
{
    const int bin = std::clamp(ms, 0, Bins - 1);
    ++bins_[std::size_t(bin)];
    ++count_;
    max_ = std::max(max_, ms);
}

int ResponseTimes::percentile(int percent) const
{
    if (count_ == 0)
        return -1;
    // The rank is rounded up: the 95th percentile of 20 replies is the 19th.
    const qint64 rank = std::max<qint64>(1, (qint64(count_) * percent + 99) / 100);
    qint64 seen = 0;
    for (int ms = 0; ms < Bins; ++ms) {
        seen += bins_[std::size_t(ms)];
        if (seen >= rank)
            return ms;
    }
    return max_;
}

void WireLoad::add(qint64 atMs, int bytes)
{
    entries_.emplace_back(atMs, bytes);
    while (entries_.size() > std::size_t(MaxWireEntries)
           || (!entries_.empty() && entries_.front().first <= atMs - LoadWindowMs))
        entries_.pop_front();
}

double WireLoad::bitsPerSecond(qint64 nowMs) const
{
    qint64 bytes = 0;
    for (const auto &[at, n] : entries_)
        if (at > nowMs - LoadWindowMs && at <= nowMs)
            bytes += n;
    return double(bytes * BitsPerByte) * 1000.0 / double(LoadWindowMs);
}

void RecentOutcomes::add(bool failed)
{
    if (count_ == RecentRequests)
        failures_ -= ring_[std::size_t(next_)] ? 1 : 0;
    else
        ++count_;
    ring_[std::size_t(next_)] = failed;
    failures_ += failed ? 1 : 0;
    next_ = (next_ + 1) % RecentRequests;
}

std::optional<QString> alarm(const Counters &c)
{
    const int recent = c.recent.count();
    const int failures = c.recent.failures();
    if (failures < 2 || failures * 10 < recent)
        return std::nullopt;
    const int earlier = c.requests - recent;
    const int earlierFailures = c.failed - failures;
    // Rising: a larger share of the recent requests failed than of those before.
    const bool rising = earlier <= 0 || qint64(failures) * earlier > qint64(earlierFailures) * recent;
    return QStringLiteral("%1: %2 из %3")
        .arg(rising ? QStringLiteral("ошибки растут") : QStringLiteral("много ошибок"))
        .arg(failures)
        .arg(recent);
}

namespace {

// A reply that answers its request whole and right: its time is a response
// time, and it is the row's last good reply.
bool valid(const ExchangeRecord &r)
{
    return !r.writeFailed && r.checksum != ExchangeRecord::Checksum::Wrong
        && (r.verdict == proto::Verdict::Taken || r.verdict == proto::Verdict::SearchAnswer);
}

// What a reply the engine took carries, when it is a `T`.
template <typename T>
const T *taken(const ExchangeRecord &r)
{
    return r.verdict == proto::Verdict::Taken && !r.dropped ? std::get_if<T>(&r.decoded) : nullptr;
}

} // namespace

struct LineStats::Parties {
    std::optional<quint8> asked;    // the address the request went to
    std::optional<quint8> answerer; // the address a frame came from
    QVector<quint8> found;          // the addresses a search answer names
};

LineStats::LineStats(QObject *parent) : QObject(parent), sinceMs_(QDateTime::currentMSecsSinceEpoch()) {}

LineStats::Parties LineStats::parties(const ExchangeRecord &r)
{
    // The engine has judged the reply: only who asked and who answered is
    // read off the frames here.
    Parties v;
    const QByteArray &q = r.request;
    if (q.size() >= 3 && quint8(q.at(0)) == proto::RequestPrefix && q != proto::networkPollFrame())
        v.asked = quint8(q.at(1));
    if (r.reply.size() > 3 && quint8(r.reply.at(0)) == proto::ReplyPrefix)
        v.answerer = quint8(r.reply.at(1));
    if (r.verdict == proto::Verdict::SearchAnswer)
        if (const auto *found = std::get_if<proto::Addresses>(&r.decoded))
            v.found = found->list;
    return v;
}

void LineStats::count(Counters &c, const ExchangeRecord &r, const Parties &v, qint64 atMs, bool beforeSearch)
{
    const bool asked = !r.request.isEmpty();
    if (asked) {
        ++c.requests;
        c.wire.add(atMs, int(r.request.size() + r.reply.size()));
    } else {
        c.wire.add(atMs, int(r.reply.size()));
    }
    bool failed = false;
    if (r.reply.isEmpty()) {
        ++c.noReply;
        failed = true;
    } else {
        ++c.replies;
        if (r.checksum == ExchangeRecord::Checksum::Wrong) {
            ++c.badChecksum;
            failed = true;
        }
        switch (r.verdict) {
        case proto::Verdict::OtherAddress:
        case proto::Verdict::Unasked:
        case proto::Verdict::TwoReplies:
            ++c.unexpected;
            failed = true;
            break;
        case proto::Verdict::Noise:
            ++c.noise;
            failed = true;
            break;
        default:
            break;
        }
        if (r.dropped) {
            ++c.dropped;
            failed = true;
        }
        if (valid(r)) {
            if (r.roundTripMs >= 0)
                c.times.add(r.roundTripMs);
            c.lastGoodReplyMs = atMs + std::max(0, r.roundTripMs);
        }
    }
    if (asked && !beforeSearch) {
        c.failed += failed ? 1 : 0;
        c.recent.add(failed);
    }
}

void LineStats::add(const ExchangeRecord &r)
{
    const qint64 atMs = r.sentAt.isValid() ? r.sentAt.toMSecsSinceEpoch()
                                           : QDateTime::currentMSecsSinceEpoch();
    trends_.prune(atMs);
    if (r.event) {
        // Nothing went out and nothing came: a mark on the trends, no count.
        trends_.addMark(atMs, r.meaning);
        emit changed();
        return;
    }
    if (!r.sent) {
        // Replaced before it reached the line: not on the wire, not answered.
        if (r.request.size() >= 3 && r.request != proto::networkPollFrame())
            ++rows_[quint8(r.request.at(1))].replaced;
        ++total_.replaced;
        emit changed();
        return;
    }

    const Parties v = parties(r);
    // Whose row: the address asked; for an unasked frame, the one it came from.
    const std::optional<quint8> owner = v.asked ? v.asked : v.answerer;
    // The window's first address, asked before any search, stays that until
    // a search finds a reader there.
    bool beforeSearch = false;
    if (owner) {
        const bool fresh = rows_.find(*owner) == rows_.end();
        Counters &c = rows_[*owner];
        if (fresh && v.asked == FirstAddress && !searched_)
            c.beforeSearch = true;
        beforeSearch = c.beforeSearch && v.asked;
        count(c, r, v, atMs, beforeSearch);
    }
    count(total_, r, v, atMs, beforeSearch);
    // Bytes flushed unread are the line's load, no reader's.
    if (r.unread > 0)
        total_.wire.add(atMs, r.unread);
    if (!v.found.isEmpty())
        searched_ = true;
    if (r.writeFailed)
        ++total_.writeErrors;
    // Every address that answered gets its row, even when it was not asked.
    if (v.answerer)
        rows_[*v.answerer];
    if (!v.found.isEmpty()) {
        // Each search answer tells anew which addresses two readers share.
        for (auto &row : rows_)
            row.second.shared = false;
        for (quint8 twice : proto::sharedAddresses(v.found))
            rows_[twice].shared = true;
    }
    for (quint8 found : v.found) {
        Counters &c = rows_[found];
        c.beforeSearch = false;
        c.lastGoodReplyMs = std::max(c.lastGoodReplyMs, atMs + std::max(0, r.roundTripMs));
    }
    sample(r, v, atMs);
    emit changed();
}

void LineStats::sample(const ExchangeRecord &r, const Parties &v, qint64 atMs)
{
    if (!v.asked || r.request.size() < 3)
        return;
    const quint8 address = *v.asked;
    const qint64 at = atMs + std::max(0, r.roundTripMs);
    const auto values = [&](std::initializer_list<std::pair<Quantity, double>> points) {
        for (const auto &[q, value] : points)
            trends_.addValue(address, q, at, value);
    };
    const auto gaps = [&](std::initializer_list<Quantity> qs) {
        for (Quantity q : qs)
            trends_.addGap(address, q, at);
    };

    switch (Command(quint8(r.request.at(2)))) {
    case Command::ReaderData: {
        // As the reader page: a zero current value means no fresh measurement.
        const auto *d = taken<proto::ReaderData>(r);
        if (d && d->current > 0)
            values({{Quantity::ReaderLevel, double(d->level)},
                    {Quantity::ReaderCurrent, double(d->current)},
                    {Quantity::ReaderTemperature, double(d->temperature)}});
        else
            gaps({Quantity::ReaderLevel, Quantity::ReaderCurrent, Quantity::ReaderTemperature});
        break;
    }
    case Command::TagPoll:
    case Command::TagData: {
        std::optional<int> level;
        if (const auto *t = taken<proto::TagPoll>(r))
            level = t->level;
        else if (const auto *t = taken<proto::TagData>(r))
            level = t->level;
        if (level)
            values({{Quantity::TagLevel, double(*level)}});
        else
            gaps({Quantity::TagLevel});
        break;
    }
    case Command::SlaveData: {
        if (const auto *s = taken<proto::SlaveData>(r))
            values({{Quantity::SlaveTemperature, s->sixteenths / 16.0},
                    {Quantity::SlaveFrequency, double(s->frequency)}});
        else
            gaps({Quantity::SlaveTemperature, Quantity::SlaveFrequency});
        break;
    }
    default:
        break;
    }
}

void LineStats::reset()
{
    sinceMs_ = QDateTime::currentMSecsSinceEpoch();
    rows_.clear();
    total_ = Counters();
    emit changed();
}

void LineStats::portOpened()
{
    trends_.breakAll();
    searched_ = false;
    reset();
}

QVector<quint8> LineStats::addresses() const
{
    QVector<quint8> out;
    out.reserve(int(rows_.size()));
    for (const auto &entry : rows_)
        out << entry.first;
    return out;
}

const Counters *LineStats::row(quint8 address) const
{
    const auto it = rows_.find(address);
    return it == rows_.end() ? nullptr : &it->second;
}

} // namespace linestats
