#include "exchange/cyclerunner.h"

#include "exchange/statustexts.h"

#include "protocol/frame.h"
#include "serial/portlayer.h"

#include <algorithm>

qint64 readEndsAt(qint64 readStartMs, int waitingBytes, qint64 newestByteAtMs, int totalMs)
{
    const qint64 latest = readStartMs + totalMs;
    if (waitingBytes >= PortLayer::MaxTransfer)
        return readStartMs;
    if (waitingBytes <= 0)
        return latest;
    return std::min(newestByteAtMs + PortLayer::ReadIntervalMs, latest);
}

CycleRunner::CycleRunner(ExchangeCycle &cycle, PortLayer &port, QObject *parent)
    : QObject(parent), cycle_(cycle), port_(port)
{
    wait_.setSingleShot(true);
    wait_.setTimerType(Qt::PreciseTimer);
    connect(&wait_, &QTimer::timeout, this, [this] {
        if (current_ && !paused())
            endRead();
    });
    connect(&port_, &PortLayer::bytesArrived, this, &CycleRunner::reconsider);
}

void CycleRunner::tick(const Selection &selection)
{
    if (paused() || busy())
        return;
    Tick t;
    t.selection = selection;
    t.start = cycle_.begin(selection);
    t.readStartMs = steadyMs();
    reportDropped();
    current_ = t;
    emit began(t.start);
    reconsider();
}

void CycleRunner::reconsider()
{
    if (!current_ || paused())
        return;
    const PortLayer::Waiting waiting = port_.waiting();
    const qint64 due = readEndsAt(current_->readStartMs, waiting.bytes, waiting.newestAtMs,
                                  PortLayer::ReadTotalMs + port_.latencyMs());
    const qint64 now = steadyMs();
    if (due <= now) {
        endRead();
        return;
    }
    wait_.start(int(due - now));
}

void CycleRunner::pause()
{
    ++pauses_;
}

void CycleRunner::resume()
{
    // The box closes inside the handler that opened it: the waiting tick goes
    // on from the event loop once that handler has returned, never inside it.
    if (pauses_ > 0 && --pauses_ == 0)
        QMetaObject::invokeMethod(this, &CycleRunner::reconsider, Qt::QueuedConnection);
}

void CycleRunner::abort()
{
    wait_.stop();
    if (current_) {
        const TickStart start = current_->start;
        current_.reset();
        cycle_.abandon(start);
        reportDropped();
    }
    sentRequest_.clear();
    sentAtMs_ = -1;
}

void CycleRunner::endReadNow()
{
    if (current_ && !paused())
        endRead();
}

void CycleRunner::endRead()
{
    wait_.stop();
    const Tick t = *current_;
    current_.reset();

    const QByteArray reply = port_.ReadPort();
    const qint64 replyAtMs = port_.lastReadByteAtMs();
    const bool written = port_.WritePort(t.start.request) == t.start.request.size();
    const TickOutcome outcome = cycle_.finish(t.start, written, reply, t.selection);
    // What came beyond the read (a flood, a long noise) is flushed unread,
    // but it went over the line all the same.
    int unread = 0;
    if (!outcome.writeFailed && !reply.isEmpty()) {
        unread = port_.waiting().bytes;
        port_.FlushPort();
    }

    report(reply, replyAtMs, outcome, unread);
    if (written) {
        sentRequest_ = t.start.request;
        sentAt_ = QDateTime::currentDateTime();
        sentAtMs_ = t.start.request.isEmpty() ? -1 : steadyMs();
    } else {
        reportWriteFailed(t.start.request);
        sentRequest_.clear();
        sentAtMs_ = -1;
    }
    reportDropped();
    emit finished(outcome);
    // The verbs of the handlers that ran while this tick waited take effect
    // only now, after its reply has been shown.
    cycle_.settle();
    reportDropped();
}

void CycleRunner::reportDropped()
{
    for (const ExchangeCycle::Dropped &d : cycle_.takeDropped()) {
        ExchangeRecord record;
        record.sentAt = QDateTime::currentDateTime();
        record.request = d.request;
        record.sent = false;
        switch (d.why) {
        case ExchangeCycle::Dropped::Why::Replaced:
            break;
        case ExchangeCycle::Dropped::Why::PortLost:
            record.meaning = status::notSentPortLost();
            break;
        case ExchangeCycle::Dropped::Why::PortClosed:
            record.meaning = status::notSentPortClosed();
            break;
        }
        emit exchanged(record);
    }
}

void CycleRunner::reportWriteFailed(const QByteArray &request)
{
    ExchangeRecord record;
    record.sentAt = QDateTime::currentDateTime();
    record.request = request;
    record.meaning = status::writeError();
    record.writeFailed = true;
    emit exchanged(record);
}

void CycleRunner::report(const QByteArray &reply, qint64 replyAtMs, const TickOutcome &outcome, int unread)
{
    if (sentRequest_.isEmpty() && reply.isEmpty())
        return;
    ExchangeRecord record;
    record.sentAt = sentAt_.isValid() && !sentRequest_.isEmpty() ? sentAt_
                                                                  : QDateTime::currentDateTime();
    record.request = sentRequest_;
    record.reply = reply;
    const proto::Reception &rc = outcome.reception;
    if (rc.frame)
        record.checksum = rc.checksumRight ? ExchangeRecord::Checksum::Right : ExchangeRecord::Checksum::Wrong;
    record.verdict = rc.verdict;
    record.unread = unread;
    if (!outcome.writeFailed && outcome.dropped.isEmpty())
        record.decoded = rc.decoded;
    if (reply.isEmpty())
        record.meaning = status::noReply();
    else if (outcome.writeFailed)
        record.meaning = status::replyNotShown();
    else if (!outcome.dropped.isEmpty())
        record.meaning = outcome.dropped;
    else if (outcome.replyStatus && outcome.status)
        record.meaning = *outcome.status;
    else
        record.meaning = proto::replyName(reply);
    record.dropped = !reply.isEmpty() && (outcome.writeFailed || !outcome.dropped.isEmpty());
    if (sentAtMs_ >= 0 && replyAtMs >= 0)
        record.roundTripMs = int(std::max<qint64>(0, replyAtMs - sentAtMs_));
    emit exchanged(record);
}
