#pragma once
// The requests rfidctl sends to one reader and the replies it accepts: a
// reply must answer the request as the window reads it (protocol/reception.h)
// and end with the right checksum. Anything else throws a Failure (exit
// code 1) that names the reader, the request and what came instead.
#include "ctl/profile.h"
#include "protocol/commands.h"
#include "protocol/reception.h"
#include "protocol/replies.h"

#include <QByteArray>
#include <QVector>

#include <optional>

class LineClient;

// The reader search: the addresses that answered (none: an empty list; one
// that two readers share: twice). A reception that is no list of addresses
// throws.
QVector<quint8> searchLine(LineClient &line);

class ReaderLink
{
public:
    ReaderLink(LineClient &line, quint8 address);
    quint8 address() const { return address_; }
    // Whether the last request went out on the line: after a failure, the
    // reader may have acted on it although no confirmation came.
    bool lastRequestSent() const { return lastRequestSent_; }

    proto::Identification identify();
    proto::ReaderData data();
    // Mode and radio parameters from the long reader data reply, the delay,
    // the bound-ID table.
    ReaderSettings settings();

    // Each write waits for the reader's confirmation.
    void setMode(quint8 mode);
    void setRadio(quint16 network, quint8 channel, quint8 power);
    void setDelay(quint16 delay);
    void setCell(int index, quint32 id); // index 0..9
    void setSerial(quint32 serial);
    // The reader confirms from its old address and answers at the new one
    // from then on; this link follows it.
    void setAddress(quint8 newAddress);

    // The tag in the reader's field (poll with the poll number), and its
    // parameters read by its identifier.
    proto::TagPoll pollTag();
    proto::TagData readTag(quint32 id);
    // Writes a tag's ID and parameters (0xE1), addressing it by its serial
    // number; waits for the reader's confirmation.
    void writeTag(quint32 serial, quint32 newId, quint16 delay, quint8 mode, quint8 power, quint16 period);

private:
    // A request without a payload of its own type (reads, polls).
    QByteArray plain(proto::Command request, const QByteArray &data = {}) const;
    // Sends the request frame and returns what the checked reply carries.
    proto::Reply ask(proto::Command request, const QByteArray &frame);
    // The same, when the reply must carry a `T`.
    template <typename T>
    T askFor(proto::Command request, const QByteArray &frame);
    [[noreturn]] void fail(proto::Command request, const QString &what) const;
    [[noreturn]] void failWrong(proto::Command request, const QByteArray &reply) const;

    LineClient &line_;
    quint8 address_;
    bool lastRequestSent_ = false;
};
