#include "linestats/linestats.h"

#include "exchange/statustexts.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/replies.h"

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

bool isFrame(const QByteArray &r)
{
    return r.size() > 3 && quint8(r.at(0)) == proto::ReplyPrefix;
}

// Whether a reply with `replyCode` answers a request with `requestCode`. The
// table read comes back as the table (0xE6) and some readers answer the read
// of the additional parameters as their setting (0xF1).
bool replyFits(quint8 requestCode, quint8 replyCode)
{
    if (replyCode == requestCode)
        return true;
    return (requestCode == proto::code(Command::IdTableRead) && replyCode == proto::code(Command::IdTable))
        || (requestCode == proto::code(Command::DelayRead) && replyCode == proto::code(Command::Delay));
}

// Whether the exchange cycle shows a frame or drops it: a reader data reply
// with a wrong checksum, a reply too short for its layout and a code it has
// no use for are dropped.
bool frameUsed(const QByteArray &r)
{
    const quint8 c = quint8(r.at(2));
    switch (Command(c)) {
    case Command::Identification: // a short one still shows "????????"
    case Command::Mode:
        return true;
    case Command::ReaderData:
        return proto::decodeReaderData(r).has_value();
    case Command::TagPoll:
        return proto::decodeTagPoll(r).has_value();
    case Command::TagData:
        return proto::decodeTagData(r).has_value();
    case Command::IdTable:
        return proto::decodeIdTable(r).has_value();
    case Command::SlaveData:
        return proto::decodeSlaveData(r).has_value();
    case Command::SlaveRs485:
        return proto::decodeSlaveRs485(r).has_value();
    case Command::Delay:
    case Command::DelayRead:
        return proto::decodeAdditionalParams(r).has_value();
    default:
        return status::isConfirmation(c);
    }
}

// The meaning the engine gives the record of a tick whose write failed; the
// reply read in that tick is dropped with the port.
const QString WriteFailed = status::writeError();

} // namespace

struct LineStats::Verdict {
    std::optional<quint8> asked;    // the address the request went to
    std::optional<quint8> answerer; // the address a frame came from
    bool search = false;            // the request was the reader search
    bool writeError = false;
    bool unexpected = false;
    bool dropped = false;
    QVector<quint8> found;          // the addresses a search answer names

    bool good(const ExchangeRecord &r) const
    {
        return !r.reply.isEmpty() && r.checksum != ExchangeRecord::Checksum::Wrong && !unexpected
            && !dropped && !search;
    }
};

LineStats::LineStats(QObject *parent) : QObject(parent) {}

LineStats::Verdict LineStats::judge(const ExchangeRecord &r)
{
    Verdict v;
    const QByteArray &q = r.request;
    const QByteArray &a = r.reply;
    v.search = q == proto::networkPollFrame();
    if (!v.search && q.size() >= 3 && quint8(q.at(0)) == proto::RequestPrefix)
        v.asked = quint8(q.at(1));
    v.writeError = r.meaning == WriteFailed;
    // The engine takes the first reception that is no frame after a search
    // as the search's answer, whichever request it came with.
    const bool searchWaits = searchPending_ || (v.search && r.sent);
    searchPending_ = searchWaits;
    if (a.isEmpty())
        return v;

    if (isFrame(a)) {
        v.answerer = quint8(a.at(1));
        v.unexpected = !v.asked || *v.answerer != *v.asked || !replyFits(quint8(q.at(2)), quint8(a.at(2)));
        v.dropped = !frameUsed(a);
    } else {
        searchPending_ = false;
        v.unexpected = !v.search;
        const auto addresses = proto::decodeNetworkPoll(a);
        v.dropped = !searchWaits || !addresses;
        if (searchWaits && addresses)
            v.found = *addresses;
    }
    v.dropped = v.dropped || v.writeError || r.dropped;
    return v;
}

void LineStats::count(Counters &c, const ExchangeRecord &r, const Verdict &v, qint64 atMs)
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
        if (v.unexpected) {
            ++c.unexpected;
            failed = true;
        }
        if (v.dropped) {
            ++c.dropped;
            failed = true;
        }
        if (r.roundTripMs >= 0)
            c.times.add(r.roundTripMs);
        if (v.good(r) || !v.found.isEmpty())
            c.lastGoodReplyMs = atMs + std::max(0, r.roundTripMs);
    }
    if (asked) {
        c.failed += failed ? 1 : 0;
        c.recent.add(failed);
    }
}

void LineStats::add(const ExchangeRecord &r)
{
    const qint64 atMs = r.sentAt.isValid() ? r.sentAt.toMSecsSinceEpoch()
                                           : QDateTime::currentMSecsSinceEpoch();
    trends_.prune(atMs);
    if (!r.sent) {
        // Replaced before it reached the line: not on the wire, not answered.
        if (r.request.size() >= 3 && r.request != proto::networkPollFrame())
            ++rows_[quint8(r.request.at(1))].replaced;
        ++total_.replaced;
        emit changed();
        return;
    }

    const Verdict v = judge(r);
    // Whose row: the address asked; for an unasked frame, the one it came from.
    const std::optional<quint8> owner = v.asked ? v.asked : v.answerer;
    if (owner)
        count(rows_[*owner], r, v, atMs);
    count(total_, r, v, atMs);
    if (v.writeError)
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
        c.lastGoodReplyMs = std::max(c.lastGoodReplyMs, atMs + std::max(0, r.roundTripMs));
    }
    sample(r, v, atMs);
    emit changed();
}

void LineStats::sample(const ExchangeRecord &r, const Verdict &v, qint64 atMs)
{
    if (!v.asked || r.request.size() < 3)
        return;
    const quint8 address = *v.asked;
    const qint64 at = atMs + std::max(0, r.roundTripMs);
    const bool good = v.good(r);
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
        const auto d = good ? proto::decodeReaderData(r.reply) : std::nullopt;
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
        if (good && quint8(r.reply.at(2)) == proto::code(Command::TagPoll)) {
            if (const auto t = proto::decodeTagPoll(r.reply))
                level = t->level;
        } else if (good) {
            if (const auto t = proto::decodeTagData(r.reply))
                level = t->level;
        }
        if (level)
            values({{Quantity::TagLevel, double(*level)}});
        else
            gaps({Quantity::TagLevel});
        break;
    }
    case Command::SlaveData: {
        const auto s = good ? proto::decodeSlaveData(r.reply) : std::nullopt;
        if (s)
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
    rows_.clear();
    total_ = Counters();
    emit changed();
}

void LineStats::portOpened()
{
    trends_.breakAll();
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
