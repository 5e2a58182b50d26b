#pragma once
// The exchange cycle without widgets and without a port: one request in
// flight, one tick (500 ms) for the device to answer it. The window feeds it
// plain values (the open page, the selected address, the bytes read) and
// shows what it returns; the runner (cyclerunner.h) paces it on the line.
#include "exchange/pendingrequest.h"
#include "protocol/reception.h"
#include "protocol/replies.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>
#include <optional>
#include <variant>
#include <vector>

enum class Page { Reader = 0, Tag = 1, Bridge = 2 };

// The cycle's variables, under the names the readers' service tools have
// always used. The engine alone writes them (exchangecycle.cpp); handlers
// change them only through the engine's verbs.
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
    bool roundPoll = false;    // the automatic poll went to another reader than the one picked
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
    QString dropped;                  // why the reply was dropped, as the log says it; empty when taken
    proto::Reception reception;       // what the reply is, as everyone reads it
};

// The engine. A tick is one piece: begin() (address change, automatic poll),
// the read, the write, finish() (what the reply shows), settle(). Handlers
// act through the verbs below; a verb issued while a tick is in progress
// takes effect when that tick settles, after its reply has been shown, in
// the order the verbs were issued. The program thus behaves as if every
// handler had run between two whole ticks, however long a tick waits for
// the line.
class ExchangeCycle
{
public:
    // Shown once a verb has taken effect: the pending request as it then stands.
    using Then = std::function<void(const QByteArray &pending)>;

    const CycleVars &vars() const { return v_; }
    // The addresses the last search answer named since the port opened
    // (a repeated one twice), and those of them that two readers share.
    const QVector<quint8> &lastFound() const { return found_; }
    const QVector<quint8> &sharedAddresses() const { return shared_; }

    // --- Verbs of the command handlers -----------------------------------
    // The newest request replaces what is pending.
    void queueRequest(const QByteArray &request, Then then = {});
    // Appended to what is pending: both go out together.
    void appendRequest(const QByteArray &request, Then then = {});
    // Nothing pending any more.
    void dropRequest(Then then = {});
    // The reader search: the broadcast poll, whose answer is a list of
    // addresses; the first reader found is then identified and its settings
    // loaded.
    void startSearch(Then then = {});
    // A tag parameter read: the next tag poll reply puts the tag's ID into
    // the ID box. Nothing is awaited when `request` is empty.
    void awaitTagRead(const QByteArray &request, Then then = {});
    // The reader's mode and radio parameters are loaded again from the
    // second long reader data reply from now on.
    void requestReload();
    // Runs `then` once every verb issued before has taken effect.
    void whenSettled(Then then);
    // "Обход линии": while on, the automatic poll of each tick goes to the
    // next reader of the last search in turn (the one picked among them);
    // what the others answer is recorded but never shown in the window.
    // Off at every start.
    void pollAll(bool on);
    bool pollingAll() const { return roundOn_; }

    // --- The connection ------------------------------------------------
    // Start values, as the window has them when it loads.
    void reset();
    // The port is gone: the pending request and every verb not yet in
    // effect are dropped, and verbs are refused until a port opens again,
    // so nothing built for the lost port goes out on another.
    void lineLost();
    void portOpened();
    bool lost() const { return lost_; }

    // --- The tick -------------------------------------------------------
    // Steps 1 and 2. The request leaves `wrs`.
    TickStart begin(const Selection &s);
    // Once the read is over and the tick's request written (`written`
    // false: the port refused it, which drops everything as lineLost() does).
    TickOutcome finish(const TickStart &start, bool written, const QByteArray &reply,
                       const Selection &s);
    // After the window has shown the outcome: the tick is over, and the verbs
    // issued meanwhile take effect.
    void settle();
    // The port was closed while a tick waited for its read: the tick's request
    // never goes out, the verbs issued meanwhile take effect.
    void abandon(const TickStart &start);
    bool inTick() const { return inTick_; }

    // A request that never reached the line, and why.
    struct Dropped {
        enum class Why { Replaced, PortLost, PortClosed };
        QByteArray request;
        Why why = Why::Replaced;
    };
    // The requests dropped since the last call (the exchange log shows them
    // as not sent).
    std::vector<Dropped> takeDropped();

private:
    // Tests and the fuzzing harness put the cycle into a given state
    // (exchange/cycleseam.h).
    friend struct CycleSeam;

    enum class VerbKind { Queue, Append, Drop, Search, AwaitTagRead, Reload, Show, PollAll, PollPicked };
    struct Verb {
        VerbKind kind;
        QByteArray request;
        Then then;
    };
    void issue(Verb verb);
    void apply(const Verb &verb);
    void applyDeferred();
    void dropDeferred();
    void noteDropped(const QByteArray &request, Dropped::Why why);

    void dispatch(const proto::Reception &rc, TickOutcome &out);
    void setStatus(TickOutcome &out, const QString &text) const;

    CycleVars v_;
    // The request written last tick: the reply read now answers it.
    QByteArray lastSent_;
    bool lastRound_ = false; // it was a poll of the round to another reader
    // The round of "Обход линии": the readers of the last search.
    bool roundOn_ = false;
    QVector<quint8> round_;
    int roundNext_ = 0;
    bool inTick_ = false;
    bool lost_ = false;
    std::vector<Verb> deferred_;
    std::vector<Dropped> dropped_; // other than replaced ones, which `wrs` keeps
    QVector<quint8> found_;
    QVector<quint8> shared_;
};

// The request of command `command` to `address` with no data, or empty when
// there is no address.
QByteArray requestTo(const std::optional<quint8> &address, quint8 command,
                     const QByteArray &data = {});
