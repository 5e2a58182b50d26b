// The line's statistics and trends, computed from exchange records alone.
#include "linestats/linestats.h"

#include "protocol/crc8.h"
#include "protocol/frame.h"
#include "support/replyframe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

using linestats::Counters;
using linestats::LineStats;
using linestats::Quantity;
using linestats::Trends;

namespace {

constexpr qint64 T0 = 1'800'000'000'000; // ms since the epoch

QByteArray corrupt(QByteArray r)
{
    r.back() = char(r.back() ^ 0x5A);
    return r;
}

// A long reader data reply: temperature, level, current value, the rest zero.
QByteArray readerData(quint8 address, int level, quint32 current, int temperature)
{
    QByteArray p(22, '\0');
    p[0] = char(temperature);
    p[1] = char(level & 0xFF);
    p[2] = char(level >> 8);
    for (int i = 0; i < 4; ++i)
        p[3 + i] = char(current >> (8 * i));
    return replyFrame(address, 0xF0, p);
}

enum class Line { Plain, SearchWaits, WriteFails };

// A record as the engine makes it: the reply read as the engine reads it,
// with the address asked picked.
ExchangeRecord record(qint64 atMs, const QByteArray &request, const QByteArray &reply, int roundTripMs = 20,
                      bool sent = true, Line line = Line::Plain)
{
    ExchangeRecord r;
    r.sentAt = QDateTime::fromMSecsSinceEpoch(atMs);
    r.request = request;
    r.reply = reply;
    r.sent = sent;
    r.roundTripMs = reply.isEmpty() ? -1 : roundTripMs;
    const bool search = request == proto::networkPollFrame() || line == Line::SearchWaits;
    const std::optional<quint8> picked = request.size() > 3 ? std::optional<quint8>(quint8(request.at(1))) : std::nullopt;
    const proto::Reception rc = proto::classify(reply, {request, search, picked});
    if (rc.frame)
        r.checksum = rc.checksumRight ? ExchangeRecord::Checksum::Right : ExchangeRecord::Checksum::Wrong;
    r.verdict = rc.verdict;
    r.writeFailed = line == Line::WriteFails;
    r.dropped = !reply.isEmpty() && (r.writeFailed || !rc.used());
    if (!r.dropped)
        r.decoded = rc.decoded;
    return r;
}

const QByteArray Poll5 = proto::buildRequest(5, 0xF0);

struct Expected {
    int requests, replies, noReply, badChecksum, unexpected, noise, dropped, replaced, writeErrors;
};

void expectCounters(const Counters &c, const Expected &e, const char *what)
{
    EXPECT_EQ(c.requests, e.requests) << what;
    EXPECT_EQ(c.replies, e.replies) << what;
    EXPECT_EQ(c.noReply, e.noReply) << what;
    EXPECT_EQ(c.badChecksum, e.badChecksum) << what;
    EXPECT_EQ(c.unexpected, e.unexpected) << what;
    EXPECT_EQ(c.noise, e.noise) << what;
    EXPECT_EQ(c.dropped, e.dropped) << what;
    EXPECT_EQ(c.replaced, e.replaced) << what;
    EXPECT_EQ(c.writeErrors, e.writeErrors) << what;
}

struct CountCase {
    const char *name;
    std::vector<ExchangeRecord> records;
    QVector<quint8> rows;
    Expected total;
    bool goodReply; // the line total has a last good reply
};

} // namespace

TEST(LineStatsTest, CountsEachKindOfExchange)
{
    const QByteArray good = readerData(5, 512, 15000, 23);
    const QByteArray searchFrame = proto::networkPollFrame();
    const std::vector<CountCase> cases = {
        {"good reply", {record(T0, Poll5, good)}, {5}, {1, 1, 0, 0, 0, 0, 0, 0, 0}, true},
        {"silence", {record(T0, Poll5, {})}, {5}, {1, 0, 1, 0, 0, 0, 0, 0, 0}, false},
        // The reader data with a wrong CRC is refused; a confirmation is shown all the same.
        {"bad CRC, reader data", {record(T0, Poll5, corrupt(good))}, {5}, {1, 1, 0, 1, 0, 0, 1, 0, 0}, false},
        {"bad CRC, confirmation",
         {record(T0, proto::buildRequest(5, 0xFA), corrupt(replyFrame(5, 0xFA, {})))},
         {5}, {1, 1, 0, 1, 0, 0, 0, 0, 0}, false},
        {"another address", {record(T0, Poll5, readerData(7, 1, 1, 1))}, {5, 7}, {1, 1, 0, 0, 1, 0, 0, 0, 0}, false},
        {"two readers answered", {record(T0, Poll5, good + replyFrame(7, 0xFA))}, {5}, {1, 1, 0, 0, 1, 0, 1, 0, 0},
         false},
        {"another kind", {record(T0, Poll5, replyFrame(5, 0xFC, QByteArray(6, '\1')))}, {5},
         {1, 1, 0, 0, 1, 0, 0, 0, 0}, false},
        {"table read answered with the table",
         {record(T0, proto::buildRequest(5, 0xE7), replyFrame(5, 0xE6, QByteArray(40, '\0')))},
         {5}, {1, 1, 0, 0, 0, 0, 0, 0, 0}, true},
        {"replaced request", {record(T0, Poll5, {}, -1, false)}, {5}, {0, 0, 0, 0, 0, 0, 0, 1, 0}, false},
        {"write error: the reply read goes with the port", {record(T0, Poll5, good, 20, true, Line::WriteFails)},
         {5}, {1, 1, 0, 0, 0, 0, 1, 0, 1}, false},
        {"search answered by address bytes", {record(T0, searchFrame, QByteArray("\x05\x07", 2))}, {5, 7},
         {1, 1, 0, 0, 0, 0, 0, 0, 0}, true},
        // A search replaced by a newer request still waits: the list is its answer.
        {"late search answer",
         {record(T0, searchFrame, {}), record(T0 + 500, Poll5, QByteArray("\x05", 1), 20, true, Line::SearchWaits)},
         {5}, {2, 1, 1, 0, 0, 0, 0, 0, 0}, true},
        {"bytes nobody asked for", {record(T0, {}, QByteArray("\x05", 1))}, {}, {0, 1, 0, 0, 0, 1, 1, 0, 0}, false},
    };
    for (const CountCase &c : cases) {
        LineStats stats;
        for (const ExchangeRecord &r : c.records)
            stats.add(r);
        EXPECT_EQ(stats.addresses(), c.rows) << c.name;
        expectCounters(stats.total(), c.total, c.name);
        EXPECT_EQ(stats.total().lastGoodReplyMs >= 0, c.goodReply) << c.name;
        // Only the address asked carries the exchange.
        if (c.rows.size() == 1 && c.total.writeErrors == 0 && c.records.front().request != searchFrame)
            expectCounters(*stats.row(5), c.total, c.name);
    }
}

TEST(LineStatsTest, ResponseTimePercentilesLoadAndTheErrorMark)
{
    LineStats stats;
    // Twenty good replies of 1..20 ms, one every 500 ms.
    for (int i = 1; i <= 20; ++i)
        stats.add(record(T0 + i * 500, Poll5, readerData(5, 1, 1, 1), i));
    const Counters &c = *stats.row(5);
    EXPECT_EQ(c.times.median(), 10);
    EXPECT_EQ(c.times.percentile(95), 19);
    EXPECT_EQ(c.times.max(), 20);
    EXPECT_EQ(c.lastGoodReplyMs, T0 + 20 * 500 + 20);
    EXPECT_FALSE(linestats::alarm(c));

    // All twenty are within the last 10 s: 20 x (4 + 26) bytes of 10 bits.
    EXPECT_DOUBLE_EQ(c.wire.bitsPerSecond(T0 + 10'000), 600.0);
    EXPECT_DOUBLE_EQ(c.wire.percent(T0 + 10'000), 100.0 * 600 / 19200);
    EXPECT_DOUBLE_EQ(c.wire.bitsPerSecond(T0 + 30'000), 0.0);

    // One silence is no alarm; two of the last twenty are, and rising.
    stats.add(record(T0 + 10'500, Poll5, {}));
    EXPECT_FALSE(linestats::alarm(*stats.row(5)));
    stats.add(record(T0 + 11'000, Poll5, {}));
    EXPECT_EQ(linestats::alarm(*stats.row(5)).value_or(QString()), "ошибки растут: 2 из 20");
    EXPECT_TRUE(linestats::alarm(stats.total()));
    for (int i = 0; i < 20; ++i)
        stats.add(record(T0 + 11'500 + i * 500, Poll5, readerData(5, 1, 1, 1)));
    EXPECT_FALSE(linestats::alarm(*stats.row(5)));

    // A flood: the read takes 255 bytes and the rest is flushed unread. All of
    // it loaded the line; none of it is a response time.
    ExchangeRecord flood = record(T0 + 60'000, Poll5, QByteArray(255, '\xFF'), 400);
    flood.unread = 705;
    const int times = stats.total().times.count();
    stats.add(flood);
    EXPECT_DOUBLE_EQ(stats.total().wire.bitsPerSecond(T0 + 60'000), (4 + 255 + 705) * 10 * 1000.0 / 10'000);
    EXPECT_EQ(stats.total().times.count(), times);
    EXPECT_EQ(stats.total().noise, 1);

    stats.reset();
    EXPECT_TRUE(stats.addresses().isEmpty());
    EXPECT_EQ(stats.total().requests, 0);
    EXPECT_EQ(stats.total().times.count(), 0);
}

namespace {

// A series as values, a gap as nothing.
std::vector<std::optional<double>> values(const LineStats &stats, quint8 address, Quantity q)
{
    std::vector<std::optional<double>> out;
    for (const linestats::TrendPoint &p : stats.trends().series(address, q))
        out.push_back(p.isGap() ? std::nullopt : std::optional<double>(p.value));
    return out;
}

} // namespace

TEST(LineStatsTest, TrendsTakeTheDecodedValuesAndBreakWhereNoValueCame)
{
    using V = std::vector<std::optional<double>>;
    const auto none = std::nullopt;
    LineStats stats;
    qint64 t = T0;
    const auto at = [&t] { return t += 500; };
    stats.add(record(at(), Poll5, readerData(5, 500, 100, 23)));
    stats.add(record(at(), Poll5, {}));                            // silence
    stats.add(record(at(), Poll5, readerData(5, 510, 101, 0xFE))); // -2 degrees
    stats.add(record(at(), Poll5, readerData(5, 515, 0, 20)));     // no fresh measurement
    stats.add(record(at(), Poll5, corrupt(readerData(5, 1, 1, 1))));
    stats.add(record(at(), Poll5, readerData(7, 1, 1, 1)));        // another reader answered
    stats.add(record(at(), Poll5, readerData(5, 520, 102, 24)));
    EXPECT_EQ(values(stats, 5, Quantity::ReaderLevel), (V{500, none, 510, none, 520}));
    EXPECT_EQ(values(stats, 5, Quantity::ReaderCurrent), (V{100, none, 101, none, 102}));
    EXPECT_EQ(values(stats, 5, Quantity::ReaderTemperature), (V{23, none, -2, none, 24}));
    EXPECT_TRUE(values(stats, 7, Quantity::ReaderLevel).empty());

    // The tag's level (0xE0) and the slave's temperature and frequency (0xE8).
    const QByteArray tagPoll = proto::buildRequest(5, 0xE0, QByteArray("\x7A\x7A\x7A\x7A", 4));
    stats.add(record(at(), tagPoll, replyFrame(5, 0xE0, QByteArray::fromHex("00000001000000AAB5"))));
    stats.add(record(at(), proto::buildRequest(5, 0xE8),
                     replyFrame(5, 0xE8, QByteArray::fromHex("000000000158B004CDC4"))));
    EXPECT_EQ(values(stats, 5, Quantity::TagLevel), (V{-75}));
    EXPECT_EQ(values(stats, 5, Quantity::SlaveTemperature), (V{21.5}));
    EXPECT_EQ(values(stats, 5, Quantity::SlaveFrequency), (V{1200}));

    // Nobody asked for 10 s: the line does not bridge the pause; a new port neither.
    t += 10'000;
    stats.add(record(at(), Poll5, readerData(5, 530, 103, 24)));
    stats.portOpened();
    stats.add(record(at(), Poll5, readerData(5, 540, 104, 24)));
    EXPECT_EQ(values(stats, 5, Quantity::ReaderLevel), (V{500, none, 510, none, 520, none, 530, none, 540}));

    // Only the last 10 minutes are kept.
    t += Trends::SpanMs - 1000;
    stats.add(record(at(), Poll5, readerData(5, 550, 105, 24)));
    EXPECT_EQ(values(stats, 5, Quantity::ReaderLevel), (V{530, none, 540, none, 550}));
    EXPECT_TRUE(values(stats, 5, Quantity::TagLevel).empty());
}

TEST(LineStatsTest, TrendMemoryHasAHardCap)
{
    Trends trends;
    for (int i = 0; i < Trends::MaxEntries + 100; ++i)
        trends.addValue(5, Quantity::ReaderLevel, T0 + i, i);
    const auto &s = trends.series(5, Quantity::ReaderLevel);
    ASSERT_EQ(s.size(), std::size_t(Trends::MaxEntries));
    EXPECT_EQ(s.back().value, Trends::MaxEntries + 99);
}
