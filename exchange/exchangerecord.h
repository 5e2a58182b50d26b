#pragma once
// One request and the reply it got, as the exchange log shows them.
#include "protocol/reception.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QString>

struct ExchangeRecord {
    enum class Checksum { None, Right, Wrong }; // None: no reply, or no frame (search answer)

    QDateTime sentAt;        // when the request went out (the read time when none did)
    QByteArray request;      // what was written; empty when nothing was pending
    QByteArray reply;        // what came back on the next tick
    Checksum checksum = Checksum::None;
    QString meaning;         // the status the reply produced, or what it was
    bool dropped = false;    // the reply came but the cycle did not take it (`meaning` says why)
    int roundTripMs = -1;    // from the end of the write to the arrival of the reply's last byte
    bool sent = true;        // false: the request never reached the line (a newer one replaced
                             // it, or its port went away or was closed first: `meaning` says so)
    int unread = 0;          // bytes that came beyond the reply and were flushed unread
    bool writeFailed = false; // the port refused the request: the reply read with it is not shown
    proto::Verdict verdict = proto::Verdict::None; // what the reply is, as the exchange cycle took it
    proto::Reply decoded;    // what it carries, when the cycle used it
    bool event = false;      // no exchange but an event of the line, `meaning` says which: the port
                             // opened, closed or lost, the counters reset, the exchange held by a box
};

Q_DECLARE_METATYPE(ExchangeRecord)
