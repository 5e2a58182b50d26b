#include "exchange/exchangecycle.h"

#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"

using proto::Command;

QByteArray requestTo(const std::optional<quint8> &address, quint8 command, const QByteArray &data)
{
    return address ? proto::buildRequest(*address, command, data) : QByteArray();
}

TickStart ExchangeCycle::begin(const Selection &s)
{
    TickStart start;

    // Another address selected: identify the device there first, and load
    // its own settings into the window rather than keep the last reader's.
    if (s.address && *s.address != v.last_net) {
        v.wrs = requestTo(s.address, proto::code(Command::Identification));
        v.last_net = *s.address;
        v.mode_yes = 2;
        start.addressChanged = true;
    }

    // Nothing pending: poll the device of the open page.
    if (v.wrs.isEmpty() && s.listIndex >= 0) {
        switch (s.page) {
        case Page::Tag:
            v.wrs = requestTo(s.address, proto::code(Command::TagPoll),
                              proto::Long_to_string(proto::TagPollNumber));
            break;
        case Page::Reader:
            v.wrs = requestTo(s.address, proto::code(Command::ReaderData));
            break;
        case Page::Bridge:
            if (v.CointWrs == 1) {
                v.wrs = requestTo(s.address, proto::code(Command::SlaveRs485));
                v.CointWrs = 0;
            } else {
                v.wrs = requestTo(s.address, proto::code(Command::SlaveData));
                v.CointWrs = 1;
            }
            break;
        }
        if (s.page != Page::Tag && !v.wrs.isEmpty())
            start.pollChecksum = quint8(v.wrs.back());
    }

    start.request = v.wrs.take();
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
    if (!written) {
        // The reply is dropped with the port; nothing pending survives it.
        out.writeFailed = true;
        v.wrs.clear();
        return out;
    }
    out.lamp = LampAction::Blink;

    if (reply.isEmpty()) {
        // Silence: keep the status that was showing, say what is missing.
        if (v.no_data == 0)
            v.last_msg = s.status;
        v.no_data = -1;
        switch (s.page) {
        case Page::Reader:
            out.status = QStringLiteral("Нет данных со считывателя с номером ") + s.addressText;
            break;
        case Page::Tag:
            out.status = QStringLiteral("Нет связи с меткой ");
            break;
        case Page::Bridge:
            out.status = QStringLiteral("Нет связи с удаленным считывателем");
            break;
        }
        return out;
    }

    out.reply = reply;
    // A status saved during silence comes back first, so that the reply's
    // own message can overwrite it.
    if (v.no_data) {
        out.status = v.last_msg;
        v.no_data = 0;
    }
    const int n = int(reply.size());
    if (n < 50) {
        const quint8 computed = proto::crc8(reply, n - 1);
        out.dump = proto::hexDump(reply, QLatin1Char(' ')) + proto::byteHex(computed)
                   + QStringLiteral(" \r\n\r\n") + proto::CleanStr(reply)
                   + proto::byteHex(start.pollChecksum);
    }

    if (quint8(reply.at(0)) == proto::ReplyPrefix && n > 3) {
        dispatch(reply, out);
    } else {
        // Not a frame: the answer to a reader search, one byte per reader.
        if (v.net_opr) {
            if (auto addresses = proto::decodeNetworkPoll(reply)) {
                if (!addresses->isEmpty()) {
                    v.wrs = requestTo(addresses->first(), proto::code(Command::Identification));
                    out.dump = proto::hexDump(reply, QLatin1Char(' '));
                    setStatus(out, QStringLiteral("Произошел опрос сети."));
                    out.decoded = reply::NetworkPoll{*addresses};
                }
            }
        }
        v.net_opr = 0;
    }
    out.lamp = LampAction::Red;
    return out;
}

void ExchangeCycle::dispatch(const QByteArray &r, TickOutcome &out)
{
    const quint8 c = quint8(r.at(2));
    switch (Command(c)) {
    case Command::Identification:
        out.decoded = proto::decodeIdentification(r);
        return;
    case Command::ReaderData:
        if (auto d = proto::decodeReaderData(r)) {
            reply::ReaderData shown{*d};
            if (d->longForm) {
                // The latch lets the operator's choices stand: the reader's
                // mode and radio parameters are loaded once, from the second
                // long reply after a search, a mode setting or another address.
                if (v.mode_yes == 1) {
                    shown.loadSettings = true;
                    v.mode_yes = 0;
                }
                if (v.mode_yes == 2) {
                    v.mode_yes = 1;
                    setStatus(out, QStringLiteral("Приняты данные"));
                }
            }
            out.decoded = shown;
        }
        return;
    case Command::TagPoll:
        if (auto t = proto::decodeTagPoll(r)) {
            setStatus(out, QStringLiteral("Был ПИНГ."));
            // After a parameter read the ID box takes the tag's ID once.
            out.decoded = reply::TagPoll{*t, v.tag_read == 1};
            if (v.tag_read == 1)
                v.tag_read = 0;
        }
        return;
    case Command::TagData:
        if (auto t = proto::decodeTagData(r)) {
            setStatus(out, QStringLiteral("Считаны данные."));
            out.decoded = *t;
        }
        return;
    case Command::IdTable:
        if (auto ids = proto::decodeIdTable(r))
            out.decoded = reply::IdTable{*ids};
        return;
    case Command::SlaveData:
        if (auto s = proto::decodeSlaveData(r)) {
            setStatus(out, QStringLiteral("Приняты данные моста"));
            out.decoded = *s;
        }
        return;
    case Command::SlaveRs485:
        if (auto word = proto::decodeSlaveRs485(r)) {
            setStatus(out, QStringLiteral("Приняты данные моста"));
            out.decoded = reply::SlaveRs485{*word};
        }
        return;
    case Command::Delay:
    case Command::DelayRead: // some readers answer the read with its own code
        if (auto delay = proto::decodeAdditionalParams(r)) {
            setStatus(out, QStringLiteral("Приняты доп. параметры считывателя"));
            out.decoded = reply::AdditionalParams{*delay};
        }
        return;
    case Command::Mode:
        // The mode byte now in force.
        out.decoded = reply::ModeSet{quint8(r.at(3))};
        break;
    default:
        break;
    }
    // Confirmations show their text; codes outside the table are only dumped.
    const QString confirmation = proto::confirmationText(c);
    if (!confirmation.isEmpty())
        setStatus(out, confirmation);
}
