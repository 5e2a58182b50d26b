#include "exchange/exchangecycle.h"

#include "exchange/statustexts.h"

#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"

#include <type_traits>

using proto::Command;

QByteArray requestTo(const std::optional<quint8> &address, quint8 command, const QByteArray &data)
{
    return address ? proto::buildRequest(*address, command, data) : QByteArray();
}

// --- Verbs ------------------------------------------------------------------

void ExchangeCycle::queueRequest(const QByteArray &request, Then then)
{
    issue({VerbKind::Queue, request, std::move(then)});
}

void ExchangeCycle::appendRequest(const QByteArray &request, Then then)
{
    issue({VerbKind::Append, request, std::move(then)});
}

void ExchangeCycle::dropRequest(Then then)
{
    issue({VerbKind::Drop, {}, std::move(then)});
}

void ExchangeCycle::startSearch(Then then)
{
    issue({VerbKind::Search, proto::networkPollFrame(), std::move(then)});
}

void ExchangeCycle::awaitTagRead(const QByteArray &request, Then then)
{
    issue({VerbKind::AwaitTagRead, request, std::move(then)});
}

void ExchangeCycle::requestReload()
{
    issue({VerbKind::Reload, {}, {}});
}

void ExchangeCycle::whenSettled(Then then)
{
    issue({VerbKind::Show, {}, std::move(then)});
}

void ExchangeCycle::pollAll(bool on)
{
    issue({on ? VerbKind::PollAll : VerbKind::PollPicked, {}, {}});
}

void ExchangeCycle::issue(Verb verb)
{
    if (lost_) {
        // Built for a port that is gone: it never reaches the line.
        noteDropped(verb.request, Dropped::Why::PortLost);
        return;
    }
    if (inTick_) {
        deferred_.push_back(std::move(verb));
        return;
    }
    apply(verb);
}

void ExchangeCycle::apply(const Verb &verb)
{
    switch (verb.kind) {
    case VerbKind::Queue:
        v_.wrs = verb.request;
        break;
    case VerbKind::Append:
        v_.wrs += verb.request;
        break;
    case VerbKind::Drop:
        v_.wrs.clear();
        break;
    case VerbKind::Search:
        // The poll goes to every device on the line, whatever address is
        // selected; the reader found first is loaded afresh.
        v_.wrs = verb.request;
        v_.net_opr = -1;
        v_.mode_yes = 2;
        break;
    case VerbKind::AwaitTagRead:
        v_.wrs = verb.request;
        if (!verb.request.isEmpty())
            v_.tag_read = 1;
        break;
    case VerbKind::Reload:
        v_.mode_yes = 2;
        break;
    case VerbKind::Show:
        break;
    case VerbKind::PollAll:
        roundOn_ = true;
        break;
    case VerbKind::PollPicked:
        roundOn_ = false;
        break;
    }
    if (verb.then)
        verb.then(v_.wrs);
}

void ExchangeCycle::applyDeferred()
{
    inTick_ = false;
    std::vector<Verb> verbs;
    verbs.swap(deferred_);
    for (const Verb &verb : verbs)
        apply(verb);
}

void ExchangeCycle::dropDeferred()
{
    for (const Verb &verb : deferred_)
        noteDropped(verb.request, Dropped::Why::PortLost);
    deferred_.clear();
}

void ExchangeCycle::noteDropped(const QByteArray &request, Dropped::Why why)
{
    // Bounded like the replaced ones: between two ticks an operator cannot
    // issue more than this.
    constexpr std::size_t MaxDropped = 64;
    if (!request.isEmpty() && dropped_.size() < MaxDropped)
        dropped_.push_back({request, why});
}

std::vector<ExchangeCycle::Dropped> ExchangeCycle::takeDropped()
{
    std::vector<Dropped> out;
    for (const QByteArray &request : v_.wrs.takeDropped())
        out.push_back({request, Dropped::Why::Replaced});
    for (Dropped &d : dropped_)
        out.push_back(std::move(d));
    dropped_.clear();
    return out;
}

void ExchangeCycle::reset()
{
    roundOn_ = false;
    round_.clear();
    roundNext_ = 0;
    v_.mode_yes = 2;
    v_.net_opr = 0;
    v_.CointWrs = 0;
    v_.tag_read = 0;
}

void ExchangeCycle::lineLost()
{
    noteDropped(v_.wrs.take(), Dropped::Why::PortLost);
    dropDeferred();
    lost_ = true;
}

void ExchangeCycle::portOpened()
{
    lost_ = false;
    found_.clear();
    shared_.clear();
    // Nothing is in flight on a port just opened.
    lastSent_.clear();
    lastRound_ = false;
}

void ExchangeCycle::settle()
{
    applyDeferred();
}

void ExchangeCycle::abandon(const TickStart &start)
{
    noteDropped(start.request, lost_ ? Dropped::Why::PortLost : Dropped::Why::PortClosed);
    applyDeferred();
}

// --- The tick ---------------------------------------------------------------

TickStart ExchangeCycle::begin(const Selection &s)
{
    TickStart start;

    // Another address selected: identify the device there first, and load
    // its own settings into the window rather than keep the last reader's.
    if (s.address && *s.address != v_.last_net) {
        v_.wrs = requestTo(s.address, proto::code(Command::Identification));
        v_.last_net = *s.address;
        v_.mode_yes = 2;
        start.addressChanged = true;
    }

    // Nothing pending: poll the device of the open page; going round the
    // line, the next reader of the last search.
    if (v_.wrs.isEmpty() && s.listIndex >= 0) {
        std::optional<quint8> to = s.address;
        if (roundOn_ && !round_.isEmpty() && s.address) {
            roundNext_ %= int(round_.size());
            to = round_.at(roundNext_++);
            start.roundPoll = *to != *s.address;
        }
        switch (s.page) {
        case Page::Tag:
            v_.wrs = requestTo(to, proto::code(Command::TagPoll), proto::Long_to_string(proto::TagPollNumber));
            break;
        case Page::Reader:
            v_.wrs = requestTo(to, proto::code(Command::ReaderData));
            break;
        case Page::Bridge:
            if (v_.CointWrs == 1) {
                v_.wrs = requestTo(to, proto::code(Command::SlaveRs485));
                v_.CointWrs = 0;
            } else {
                v_.wrs = requestTo(to, proto::code(Command::SlaveData));
                v_.CointWrs = 1;
            }
            break;
        }
        if (s.page != Page::Tag && !v_.wrs.isEmpty() && !start.roundPoll)
            start.pollChecksum = quint8(v_.wrs.back());
    }

    start.request = v_.wrs.take();
    inTick_ = true;
    return start;
}

void ExchangeCycle::setStatus(TickOutcome &out, const QString &text) const
{
    out.status = text;
    out.replyStatus = true;
}

TickOutcome ExchangeCycle::finish(const TickStart &start, bool written, const QByteArray &reply,
                                  const Selection &s)
{
    TickOutcome out;
    // The reply read now answers the request written last tick.
    const QByteArray asked = lastSent_;
    const bool round = lastRound_;
    lastSent_.clear();
    lastRound_ = false;
    if (!written) {
        // The reply is dropped with the port; nothing built for it survives.
        out.writeFailed = true;
        lineLost();
        return out;
    }
    lastSent_ = start.request;
    lastRound_ = start.roundPoll;
    out.lamp = LampAction::Blink;

    if (round) {
        // Another reader's poll of the round: recorded, never shown here.
        out.reply = reply;
        if (!reply.isEmpty()) {
            const std::optional<quint8> to = quint8(asked.at(1));
            out.reception = proto::classify(reply, {asked, false, to});
            if (!out.reception.used() || !out.reception.frame)
                out.dropped = status::dropped(out.reception);
            out.lamp = LampAction::Red;
        }
        return out;
    }

    if (reply.isEmpty()) {
        // Silence: keep the status that was showing, say what is missing.
        if (v_.no_data == 0)
            v_.last_msg = s.status;
        v_.no_data = -1;
        if (s.listIndex < 0) {
            // Nothing was asked: no reader is silent.
            out.status = status::noAddressPicked();
            return out;
        }
        switch (s.page) {
        case Page::Reader:
            out.status = status::noReader(s.addressText);
            break;
        case Page::Tag:
            out.status = status::noTag();
            break;
        case Page::Bridge:
            out.status = status::noBridge();
            break;
        }
        return out;
    }

    out.reply = reply;
    // A status saved during silence comes back first, so that the reply's
    // own message can overwrite it.
    if (v_.no_data) {
        out.status = v_.last_msg;
        v_.no_data = 0;
    }
    const int n = int(reply.size());
    if (n < 50) {
        const quint8 computed = proto::crc8(reply, n - 1);
        out.dump = proto::hexDump(reply, QLatin1Char(' ')) + proto::byteHex(computed)
                   + QStringLiteral(" \r\n\r\n") + proto::CleanStr(reply)
                   + proto::byteHex(start.pollChecksum);
    }

    out.reception = proto::classify(reply, {asked, v_.net_opr != 0, s.address});
    const proto::Reception &rc = out.reception;
    if (!rc.frame) {
        // Not a frame: the answer to a reader search, one byte per reader.
        if (const auto *found = std::get_if<proto::Addresses>(&rc.decoded)) {
            v_.wrs = requestTo(found->list.first(), proto::code(Command::Identification));
            round_.clear();
            for (quint8 a : found->list)
                if (!round_.contains(a))
                    round_.append(a);
            roundNext_ = 0;
            out.dump = proto::hexDump(reply, QLatin1Char(' '));
            found_ = found->list;
            shared_ = proto::sharedAddresses(found_);
            setStatus(out, shared_.isEmpty() ? status::searchDone() : status::sharedAddress(shared_));
            out.decoded = reply::NetworkPoll{found->list};
        } else {
            out.dropped = v_.net_opr ? status::droppedTooLongForSearch() : status::droppedNoSearch();
        }
        v_.net_opr = 0;
    } else if (rc.verdict == proto::Verdict::OtherAddress) {
        const proto::CommandInfo *row = proto::commandInfo(rc.code);
        if (rc.askedAddress && s.address && *rc.askedAddress != *s.address && row && row->confirmation
            && !status::forReply(rc.code).isEmpty())
            // The answer to a request to the reader picked before: its values
            // are not this reader's. A confirmation still tells what was set.
            setStatus(out, status::forReply(rc.code));
        else
            out.dropped = status::dropped(rc);
    } else if (rc.used()) {
        dispatch(rc, out);
    } else {
        out.dropped = status::dropped(rc);
    }
    out.lamp = LampAction::Red;
    return out;
}

void ExchangeCycle::dispatch(const proto::Reception &rc, TickOutcome &out)
{
    const quint8 c = rc.code;
    std::visit(
        [&](const auto &d) {
            using T = std::decay_t<decltype(d)>;
            if constexpr (std::is_same_v<T, proto::Identification>) {
                out.decoded = d;
            } else if constexpr (std::is_same_v<T, proto::ReaderData>) {
                reply::ReaderData shown{d};
                if (d.longForm) {
                    // The latch lets the operator's choices stand: the reader's
                    // mode and radio parameters are loaded once, from the second
                    // long reply after a search, a mode setting or another address.
                    if (v_.mode_yes == 1) {
                        shown.loadSettings = true;
                        v_.mode_yes = 0;
                    }
                    if (v_.mode_yes == 2) {
                        v_.mode_yes = 1;
                        // The values of two readers on one address are no
                        // one's: the warning stays in place of the usual words.
                        setStatus(out, shared_.contains(d.address) ? status::sharedAddress(shared_)
                                                                   : status::readerDataReceived());
                    }
                }
                out.decoded = shown;
            } else if constexpr (std::is_same_v<T, proto::TagPoll>) {
                setStatus(out, status::forReply(c));
                // After a parameter read the ID box takes the tag's ID once.
                out.decoded = reply::TagPoll{d, v_.tag_read == 1};
                if (v_.tag_read == 1)
                    v_.tag_read = 0;
            } else if constexpr (std::is_same_v<T, proto::TagData> || std::is_same_v<T, proto::SlaveData>) {
                setStatus(out, status::forReply(c));
                out.decoded = d;
            } else if constexpr (std::is_same_v<T, proto::IdTable>) {
                out.decoded = reply::IdTable{d.ids};
            } else if constexpr (std::is_same_v<T, proto::SlaveWord>) {
                setStatus(out, status::forReply(c));
                out.decoded = reply::SlaveRs485{d.value};
            } else if constexpr (std::is_same_v<T, proto::Delay>) {
                setStatus(out, status::forReply(c));
                out.decoded = reply::AdditionalParams{d.value};
            } else if constexpr (std::is_same_v<T, proto::Confirmation>) {
                if (c == proto::code(Command::Mode)) {
                    // The mode byte now in force is shown, and the settings are
                    // not loaded again over it.
                    out.decoded = reply::ModeSet{d.value};
                    v_.mode_yes = 0;
                }
                // Confirmations show their text.
                const QString confirmation = status::forReply(c);
                if (!confirmation.isEmpty())
                    setStatus(out, confirmation);
            }
            // Codes outside the table are only dumped.
        },
        rc.decoded);
}
