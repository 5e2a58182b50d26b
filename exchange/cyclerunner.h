#pragma once
// Paces the exchange cycle on the line without ever waiting on the window
// thread. A tick does its first steps at once; its read is over when the
// reply has been quiet for 20 ms (at once if it already has been), when 255
// bytes have come, or 256 ms after the read began; only then does the tick
// write its request and show the reply. Bytes arrive through the port's
// bytesArrived signal meanwhile, so the window answers every click at once.
#include "exchange/exchangecycle.h"
#include "exchange/exchangerecord.h"
#include "serial/portlayer.h"

#include <QObject>
#include <QTimer>

#include <optional>

// When a read that began at `readStartMs` is over, given what waits in the
// input queue: a time at or before now means at once. `totalMs` is the
// longest wait: the line's own, plus the round trip behind a network gateway
// (or what rfidctl's --timeout sets); the quiet gap after the last byte stays
// the line's own.
qint64 readEndsAt(qint64 readStartMs, int waitingBytes, qint64 newestByteAtMs,
                  int totalMs = PortLayer::ReadTotalMs);

class CycleRunner : public QObject
{
    Q_OBJECT

public:
    CycleRunner(ExchangeCycle &cycle, PortLayer &port, QObject *parent = nullptr);

    // Starts a tick with what the window's controls say now. Does nothing
    // while paused or while the previous tick still waits for the line.
    void tick(const Selection &selection);
    // A tick has begun and waits for its read to end.
    bool busy() const { return current_.has_value(); }

    // While a message or input box is open nothing is read, written or
    // shown; a tick that was waiting goes on when the last box closes.
    void pause();
    void resume();
    bool paused() const { return pauses_ > 0; }

    // The port closed: a tick in progress ends without writing or showing;
    // its request is logged as not sent.
    void abort();
    // Ends the read of the tick in progress at once, as if its time-out had
    // passed (tests on a fake port, whose silence would otherwise last 256 ms).
    void endReadNow();

signals:
    // Steps 1 and 2 are done; `start.request` is what the tick will send
    // (possibly nothing).
    void began(const TickStart &start);
    // After the write: what the tick shows.
    void finished(const TickOutcome &outcome);
    // The previous tick's request and the reply this tick read.
    void exchanged(const ExchangeRecord &record);

private:
    struct Tick {
        TickStart start;
        Selection selection;
        qint64 readStartMs = 0;
    };

    void reconsider();
    void endRead();
    void report(const QByteArray &reply, qint64 replyAtMs, const TickOutcome &outcome, int unread);
    // Rows for the requests that never went out.
    void reportDropped();
    // The row of the request whose write failed.
    void reportWriteFailed(const QByteArray &request);

    ExchangeCycle &cycle_;
    PortLayer &port_;
    QTimer wait_;
    std::optional<Tick> current_;
    int pauses_ = 0;

    // What the exchange log pairs with the next reply.
    QByteArray sentRequest_;
    QDateTime sentAt_;
    qint64 sentAtMs_ = -1;
};
