#pragma once
// Line diagnostics without widgets: per-address counters of the exchange, the
// device's response times, the line's load and the trends of the values the
// devices report. Everything is computed from the exchange records the engine
// emits (the rows of the exchange log), so the log, these figures and any
// later consumer agree.
//
// Memory is bounded whatever the line does: one row per address byte (at most
// 256), each with a fixed histogram (4 KiB) and a load window of at most
// MaxWireEntries entries; the trends are bounded as trends.h says. For 20
// addresses that is about 90 KiB of counters.
#include "exchange/exchangerecord.h"
#include "linestats/trends.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <array>
#include <deque>
#include <map>
#include <optional>

namespace linestats {

// The line: 19200 baud, and a byte takes 10 bits on the wire (start, 8 data, stop).
constexpr int LineBitsPerSecond = 19200;
constexpr int BitsPerByte = 10;
// The line's load is what went over it in the last 10 seconds.
constexpr qint64 LoadWindowMs = 10000;
// The address the window polls before a search has found any reader.
constexpr quint8 FirstAddress = 0;
// The error share that marks a row is taken over the last 20 requests (10 s).
constexpr int RecentRequests = 20;

// Response times in whole milliseconds, kept as a histogram: exact
// percentiles of everything since the reset in constant memory. A reply comes
// within one tick (500 ms) of its request plus the read's 256 ms, so the last
// bin (1023 ms and more) is never reached on a working line.
class ResponseTimes
{
public:
    static constexpr int Bins = 1024;

    void add(int ms);
    int count() const { return count_; }
    // Nearest rank: the smallest time that `percent` % of the replies did
    // not exceed; -1 when there are none.
    int percentile(int percent) const;
    int median() const { return percentile(50); }
    int max() const { return max_; }

private:
    std::array<quint32, Bins> bins_{};
    int count_ = 0;
    int max_ = -1;
};

// Bytes on the wire (requests and replies) over the last LoadWindowMs.
class WireLoad
{
public:
    static constexpr int MaxWireEntries = 256;

    void add(qint64 atMs, int bytes);
    double bitsPerSecond(qint64 nowMs) const;
    // Share of the line's 19200 bit/s, in percent.
    double percent(qint64 nowMs) const { return 100.0 * bitsPerSecond(nowMs) / LineBitsPerSecond; }

private:
    std::deque<std::pair<qint64, int>> entries_;
};

// Whether each of the last RecentRequests requests failed.
class RecentOutcomes
{
public:
    void add(bool failed);
    int count() const { return count_; }
    int failures() const { return failures_; }

private:
    std::array<bool, RecentRequests> ring_{};
    int next_ = 0;
    int count_ = 0;
    int failures_ = 0;
};

struct Counters {
    int requests = 0;     // requests that went out
    int replies = 0;      // receptions, asked for or not
    int noReply = 0;      // requests that got nothing back
    int badChecksum = 0;  // replies whose CRC-8 is wrong
    int unexpected = 0;   // another device talking: a reply from another address, of another
                          // kind, unasked, or a second reply to one request
    int noise = 0;        // receptions that are no frame and no search answer
    int dropped = 0;      // replies the program did not use
    int replaced = 0;     // requests a newer one replaced before they went out
    int writeErrors = 0;  // the port refused a write (the line total only)
    int failed = 0;       // requests whose exchange failed in any of these ways
    ResponseTimes times;  // of the replies that answered their request whole and right
    qint64 lastGoodReplyMs = -1; // ms since the epoch
    // The address was first asked before any reader search was answered on
    // this port, and no search has found a reader there: the window polls
    // its first address ("0") before anyone knows the readers.
    bool beforeSearch = false;
    RecentOutcomes recent;
    WireLoad wire;
    bool shared = false; // the last search answer named this address twice: two readers answer at it
};

// Why a row catches the eye, or nothing: at least two of the last 20 requests
// failed and at least one in ten. The text says whether the share is rising
// over what it was before them. Requests that went out before any search was
// answered are no reader's errors and count in no mark.
std::optional<QString> alarm(const Counters &c);

// The addresses and the line total, with the trends, fed record by record.
class LineStats : public QObject
{
    Q_OBJECT

public:
    explicit LineStats(QObject *parent = nullptr);

    // One exchange, as the engine reports it.
    void add(const ExchangeRecord &record);
    // The technician's "Сбросить": counters and rows start again; the trends
    // (the last 10 minutes) stay.
    void reset();
    // The port opened: the counters start again, and no trend line joins
    // what came before to what comes now.
    void portOpened();

    // Every address asked or answered since the last reset, in order.
    QVector<quint8> addresses() const;
    // The row of `address`; null when it was neither asked nor answered.
    const Counters *row(quint8 address) const;
    const Counters &total() const { return total_; }
    // When the counters started (ms since the epoch): made, reset or a port opened.
    qint64 since() const { return sinceMs_; }

    Trends &trends() { return trends_; }
    const Trends &trends() const { return trends_; }

signals:
    // After each record and each reset.
    void changed();

private:
    struct Parties;
    Parties parties(const ExchangeRecord &r);
    void count(Counters &c, const ExchangeRecord &r, const Parties &v, qint64 atMs, bool beforeSearch);
    void sample(const ExchangeRecord &r, const Parties &v, qint64 atMs);

    std::map<quint8, Counters> rows_;
    Counters total_;
    Trends trends_;
    // A reader search was answered since the port opened.
    bool searched_ = false;
    qint64 sinceMs_ = 0;
};

} // namespace linestats
