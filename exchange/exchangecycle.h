#pragma once
// The exchange cycle without widgets and without a port: one request in
// flight, one tick (500 ms) for the device to answer it. The window feeds it
// plain values (the open page, the selected address, the bytes read) and
// shows what it returns; the runner (cyclerunner.h) paces it on the line.
#include "exchange/pendingrequest.h"
#include "protocol/replies.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>
#include <variant>

enum class Page { Reader = 0, Tag = 1, Bridge = 2 };

// The variables the command handlers share with the cycle.
struct CycleVars {
    PendingRequest wrs;    // the pending request; empty = nothing pending
    qint16 net_opr = 0;    // -1 while a reader search waits for its answer
    quint8 mode_yes = 2;   // 2 load requested, 1 load on the next long reader data, 0 idle
    QString last_msg;      // status text saved when the line fell silent
    qint16 no_data = 0;    // -1 while ticks bring no bytes
    quint8 CointWrs = 0;   // 1: the next automatic bridge poll is 0x06, else 0xE8
    quint8 last_net = 0;   // address the identification request was last issued for
    quint8 tag_read = 0;   // 1 while a tag parameter read waits for the next tag poll reply
};

// What the window's controls say at the start of a tick.
struct Selection {
    Page page = Page::Reader;
    std::optional<quint8> address; // the selected address box entry as a number
    int listIndex = -1;            // the selected entry, -1 when none
    QString addressText;           // the selected entry's text, for the no-reply message
    QString status;                // the status line as it stands
};

// Steps 1 and 2 of a tick: what goes on the line this tick.
struct TickStart {
    QByteArray request;        // written once the read is over; may be empty
    quint8 pollChecksum = 0;   // checksum of a reader or bridge poll built this tick, else 0
    bool addressChanged = false; // another reader was picked: its values are to be reloaded
};

// The replies that carry data, decoded, and what the window does with them.
namespace reply {
struct NetworkPoll { QVector<quint8> addresses; };
struct ReaderData { proto::ReaderData data; bool loadSettings = false; };
struct AdditionalParams { quint16 delay = 0; };
struct IdTable { QVector<QString> ids; };
struct TagPoll { proto::TagPoll tag; bool takeId = false; };
struct SlaveRs485 { quint16 word = 0; };
struct ModeSet { quint8 mode = 0; };
using Any = std::variant<std::monostate, NetworkPoll, proto::Identification, ReaderData,
                         AdditionalParams, IdTable, TagPoll, proto::TagData, proto::SlaveData,
                         SlaveRs485, ModeSet>;
} // namespace reply

// What the exchange lamp does after a tick.
enum class LampAction { Unchanged, Blink, Red };

// Steps 5 to 7: what the tick shows.
struct TickOutcome {
    bool writeFailed = false;
    QByteArray reply;                 // what was read (empty: the device was silent)
    LampAction lamp = LampAction::Unchanged;
    std::optional<QString> status;    // the status line's new text
    bool replyStatus = false;         // the status came from the reply itself
    std::optional<QString> dump;      // the receive dump's new text
    reply::Any decoded;
};

class ExchangeCycle
{
public:
    CycleVars v;

    // Address change and automatic poll. The request leaves `wrs`: a handler
    // that runs before the tick is over queues for the next tick, as if the
    // whole tick had run at this instant.
    TickStart begin(const Selection &s);

    // Once the read is over and the tick's request written (`written` false:
    // the port refused it).
    TickOutcome finish(const TickStart &start, bool written, const QByteArray &reply,
                       const Selection &s);

private:
    void dispatch(const QByteArray &r, TickOutcome &out);
    void setStatus(TickOutcome &out, const QString &text) const;
};

// The request of command `command` to `address` with no data, or empty when
// there is no address.
QByteArray requestTo(const std::optional<quint8> &address, quint8 command,
                     const QByteArray &data = {});
