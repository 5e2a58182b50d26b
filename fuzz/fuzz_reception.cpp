// The one reading of a reception against the statistics that count it: any
// request, any bytes back, in any order. The verdict must hold what it says,
// and the counters built from the records must stay consistent, ordered and
// bounded.
//
// Input: a flags byte (bit 0 a search waits, bit 1 another reader is picked,
// bit 2 nothing was asked, bit 3 the request was the search), the request's
// code and address, then receptions, each a length byte and its bytes.
#include "exchange/exchangerecord.h"
#include "linestats/linestats.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/reception.h"

#include <QDateTime>

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkVerdict(const QByteArray &reply, const proto::Asked &asked, const proto::Reception &rc)
{
    using proto::Verdict;
    const bool nothingToShow = std::holds_alternative<std::monostate>(rc.decoded);
    if (!rc.used() || rc.verdict == Verdict::TwoReplies)
        require(nothingToShow);
    require((rc.verdict == Verdict::None) == reply.isEmpty());
    switch (rc.verdict) {
    case Verdict::Taken:
        require(rc.frame && rc.askedAddress && rc.from == *rc.askedAddress);
        require(proto::answers(quint8(asked.request.at(2)), rc.code));
        if (const auto *d = std::get_if<proto::ReaderData>(&rc.decoded))
            require(reply.size() == 21 || reply.size() >= 26 || !d);
        break;
    case Verdict::SearchAnswer:
        require(!rc.frame && asked.searchWaits && reply.size() < 20);
        require(std::get<proto::Addresses>(rc.decoded).list.size() == reply.size());
        break;
    case Verdict::TwoReplies:
        require(rc.frame && proto::holdsTwoReplies(reply));
        break;
    case Verdict::Noise:
        require(!rc.frame);
        break;
    default:
        break;
    }
}

void checkCounters(const linestats::Counters &c)
{
    require(c.badChecksum <= c.replies && c.dropped <= c.replies);
    require(c.unexpected + c.noise <= c.replies);
    require(c.times.count() <= c.replies);
    require(c.recent.failures() <= c.recent.count() && c.recent.count() <= linestats::RecentRequests);
    require(c.failed <= c.requests);
    if (c.times.count() > 0) {
        require(0 <= c.times.median());
        require(c.times.median() <= c.times.percentile(95));
        require(c.times.percentile(95) <= c.times.max() || c.times.max() >= linestats::ResponseTimes::Bins - 1);
    } else {
        require(c.times.median() == -1);
    }
    require(c.wire.percent(0) >= 0.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const quint8 flags = data[0];
    const quint8 code = data[1];
    const quint8 address = data[2];
    QByteArray request;
    if (flags & 8)
        request = proto::networkPollFrame();
    else if (!(flags & 4))
        request = proto::buildRequest(address, code, QByteArray(std::max(0, proto::requestLength(code) - 4), '\x01'));
    const proto::Asked asked{request, (flags & 1) != 0,
                             std::optional<quint8>(quint8((flags & 2) ? address + 1 : address))};

    linestats::LineStats stats;
    qint64 at = 1'800'000'000'000;
    int records = 0, requests = 0;
    size_t i = 3;
    while (i < size) {
        const size_t n = std::min<size_t>(data[i], size - i - 1);
        const QByteArray reply(reinterpret_cast<const char *>(data + i + 1), qsizetype(n));
        i += 1 + n;
        if (request.isEmpty() && reply.isEmpty())
            continue;
        const proto::Reception rc = proto::classify(reply, asked);
        checkVerdict(reply, asked, rc);

        // The record as the engine makes it.
        ExchangeRecord r;
        r.sentAt = QDateTime::fromMSecsSinceEpoch(at += 500);
        r.request = request;
        r.reply = reply;
        r.verdict = rc.verdict;
        if (rc.frame)
            r.checksum = rc.checksumRight ? ExchangeRecord::Checksum::Right : ExchangeRecord::Checksum::Wrong;
        r.dropped = !reply.isEmpty() && !rc.used();
        if (!r.dropped)
            r.decoded = rc.decoded;
        r.roundTripMs = reply.isEmpty() ? -1 : int(n * 7);
        r.unread = int(n);
        stats.add(r);
        ++records;
        requests += request.isEmpty() ? 0 : 1;
    }
    const linestats::Counters &total = stats.total();
    require(total.requests == requests);
    require(total.replies + total.noReply == records);
    checkCounters(total);
    require(stats.addresses().size() <= 256);
    for (quint8 a : stats.addresses())
        checkCounters(*stats.row(a));
    return 0;
}
