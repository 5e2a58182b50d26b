#include "protocol/reception.h"

#include "protocol/commands.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"

namespace proto {

namespace {

// The first `length` bytes are a frame whose last byte checks.
bool checksAt(const QByteArray &r, int length)
{
    return length >= 4 && length <= r.size() && crc8(r, length - 1) == quint8(r.at(length - 1));
}

Reply decode(const QByteArray &r, const CommandInfo &row)
{
    switch (row.command) {
    case Command::Identification:
        return decodeIdentification(r);
    case Command::ReaderData:
        if (auto d = decodeReaderData(r))
            return *d;
        return {};
    case Command::TagPoll:
        if (auto t = decodeTagPoll(r))
            return *t;
        return {};
    case Command::TagData:
        if (auto t = decodeTagData(r))
            return *t;
        return {};
    case Command::IdTable:
        if (auto ids = decodeIdTable(r))
            return IdTable{*ids};
        return {};
    case Command::SlaveData:
        if (auto s = decodeSlaveData(r))
            return *s;
        return {};
    case Command::SlaveRs485:
        if (auto w = decodeSlaveRs485(r))
            return SlaveWord{*w};
        return {};
    case Command::Delay:
    case Command::DelayRead:
        if (auto d = decodeAdditionalParams(r))
            return Delay{*d};
        return {};
    default:
        break;
    }
    if (row.confirmation)
        return Confirmation{code(row.command), quint8(r.at(3))};
    return {};
}

} // namespace

bool holdsTwoReplies(const QByteArray &r)
{
    const int n = int(r.size());
    if (n <= 3 || quint8(r.at(0)) != ReplyPrefix)
        return false;
    const CommandInfo *row = commandInfo(quint8(r.at(2)));
    if (!row || row->replyLength == 0)
        return false;
    for (const int form : {row->replyLength, row->longReplyLength}) {
        if (form == 0 || n <= form || !checksAt(r, form))
            continue;
        // Exactly as long as the long form: a long reply whose bytes happen
        // to check at the short form's end is told apart by what follows,
        // which in two replies is the second frame's 0x3E.
        const bool otherForm = n == row->longReplyLength;
        if (otherForm && quint8(r.at(form)) != ReplyPrefix)
            continue;
        return true;
    }
    return false;
}

Reception classify(const QByteArray &r, const Asked &asked)
{
    Reception rc;
    const QByteArray &q = asked.request;
    if (q.size() >= 3 && quint8(q.at(0)) == RequestPrefix && q != networkPollFrame())
        rc.askedAddress = quint8(q.at(1));
    const int n = int(r.size());
    if (n == 0)
        return rc;

    rc.frame = quint8(r.at(0)) == ReplyPrefix && n > 3;
    if (!rc.frame) {
        // One byte per reader that answered the search.
        const auto list = asked.searchWaits ? decodeNetworkPoll(r) : std::nullopt;
        if (list) {
            rc.verdict = Verdict::SearchAnswer;
            rc.decoded = Addresses{*list};
        } else {
            rc.verdict = Verdict::Noise;
        }
        return rc;
    }

    rc.code = quint8(r.at(2));
    rc.from = quint8(r.at(1));
    rc.checksumRight = checksAt(r, n);
    if (rc.askedAddress && asked.picked && *asked.picked != *rc.askedAddress) {
        rc.verdict = Verdict::OtherAddress;
        return rc;
    }
    const CommandInfo *row = commandInfo(rc.code);
    if (!row || row->replyLength == 0) {
        rc.verdict = Verdict::Unasked;
        return rc;
    }
    if (holdsTwoReplies(r)) {
        rc.verdict = Verdict::TwoReplies;
        return rc;
    }
    if (n < row->replyNeeds || (row->longReplyLength > 0 && n > row->replyLength && n < row->longReplyLength)) {
        rc.verdict = Verdict::TooShort;
        return rc;
    }
    if (row->checksumChecked && !rc.checksumRight) {
        rc.verdict = Verdict::BadChecksum;
        return rc;
    }
    rc.decoded = decode(r, *row);
    const bool answered = rc.askedAddress && rc.from == *rc.askedAddress && answers(quint8(q.at(2)), rc.code);
    rc.verdict = answered ? Verdict::Taken : Verdict::Unasked;
    return rc;
}

QString verdictText(Verdict v)
{
    switch (v) {
    case Verdict::None:
        return QStringLiteral("нет ответа");
    case Verdict::Taken:
        return QStringLiteral("принят");
    case Verdict::TooShort:
        return QStringLiteral("короче, чем ответ с этим кодом");
    case Verdict::BadChecksum:
        return QStringLiteral("неверная контрольная сумма");
    case Verdict::OtherAddress:
        return QStringLiteral("ответ другого адреса");
    case Verdict::Unasked:
        return QStringLiteral("не ответ на этот запрос");
    case Verdict::TwoReplies:
        return QStringLiteral("два ответа на один запрос");
    case Verdict::SearchAnswer:
        return QStringLiteral("ответ на поиск");
    case Verdict::Noise:
        return QStringLiteral("шум: не кадр и не ответ на поиск");
    }
    return {};
}

} // namespace proto
