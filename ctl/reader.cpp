#include "ctl/reader.h"

#include "ctl/failure.h"
#include "ctl/lineclient.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "protocol/requests.h"

namespace {

using proto::Command;

QString requestName(Command c)
{
    const proto::CommandInfo *row = proto::commandInfo(proto::code(c));
    return proto::byteHex(proto::code(c)) + QStringLiteral(" (")
           + QString::fromUtf8(row ? row->replyName : "") + QLatin1Char(')');
}

} // namespace

// The port layer's own reason when it has one (a network gateway gone).
[[noreturn]] static void failLostPort(const LineClient &line)
{
    const QString reason = line.lostReason();
    throw Failure{exitcode::PortLost, QStringLiteral("Ошибка записи в порт: порт потерян (")
                                          + (reason.isEmpty() ? QStringLiteral("адаптер отключён?") : reason)
                                          + QLatin1Char(')')};
}

QVector<quint8> searchLine(LineClient &line)
{
    QByteArray noise;
    for (int attempt = 0; attempt <= line.retries(); ++attempt) {
        const LineClient::Result result = line.exchange(proto::networkPollFrame());
        if (!result.written || result.lost)
            failLostPort(line);
        // A search answer is one byte per reader; a longer reception is
        // noise or readers talking over each other, and a whole reply frame
        // is a late answer to someone else's request.
        const proto::Reception rc = proto::classify(result.reply, {proto::networkPollFrame(), true, {}});
        if (const auto *found = std::get_if<proto::Addresses>(&rc.decoded); found && !found->list.isEmpty())
            return found->list;
        if (!result.reply.isEmpty())
            noise = result.reply;
    }
    if (!noise.isEmpty())
        throw Failure{exitcode::Device, QStringLiteral("на поиск пришли помехи или чужой ответ, а не адреса "
                                                       "считывателей (%1 байт): %2")
                                            .arg(noise.size())
                                            .arg(proto::hexDump(noise.left(16), QLatin1Char(' ')).trimmed())};
    return {};
}

ReaderLink::ReaderLink(LineClient &line, quint8 address) : line_(line), address_(address) {}

void ReaderLink::fail(Command request, const QString &what) const
{
    throw Failure{exitcode::Device, QStringLiteral("считыватель %1: %2 на запрос %3")
                                        .arg(address_)
                                        .arg(what, requestName(request))};
}

void ReaderLink::failWrong(Command request, const QByteArray &reply) const
{
    fail(request, QStringLiteral("неверный ответ ") + proto::hexDump(reply, QLatin1Char(' ')).trimmed());
}

QByteArray ReaderLink::plain(Command request, const QByteArray &data) const
{
    return proto::buildRequest(address_, proto::code(request), data);
}

proto::Reply ReaderLink::ask(Command request, const QByteArray &frame)
{
    // A request without a valid reply goes again (every request of ours
    // may be repeated: a setting written twice is the same setting); the
    // last attempt's fault is the one reported.
    for (int attempt = 0;; ++attempt) {
        const LineClient::Result result = line_.exchange(frame);
        lastRequestSent_ = result.written;
        if (!result.written || result.lost)
            failLostPort(line_);
        // Read as the window reads it, and stricter: every reply's checksum counts.
        const proto::Reception rc = proto::classify(result.reply, {frame, false, address_});
        if (rc.verdict == proto::Verdict::Taken && rc.checksumRight)
            return rc.decoded;
        if (attempt < line_.retries())
            continue;
        if (rc.verdict == proto::Verdict::None)
            fail(request, QStringLiteral("нет ответа"));
        if (rc.verdict == proto::Verdict::TwoReplies)
            fail(request, proto::verdictText(rc.verdict) + QStringLiteral(" (")
                              + proto::hexDump(result.reply, QLatin1Char(' ')).trimmed() + QLatin1Char(')'));
        failWrong(request, result.reply);
    }
}

template <typename T>
T ReaderLink::askFor(Command request, const QByteArray &frame)
{
    const proto::Reply reply = ask(request, frame);
    if (const T *t = std::get_if<T>(&reply))
        return *t;
    fail(request, QStringLiteral("ответ без данных"));
}

proto::Identification ReaderLink::identify()
{
    const proto::Identification id = askFor<proto::Identification>(Command::Identification, plain(Command::Identification));
    if (!id.serial)
        fail(Command::Identification, QStringLiteral("ответ без серийного номера"));
    return id;
}

proto::ReaderData ReaderLink::data()
{
    return askFor<proto::ReaderData>(Command::ReaderData, plain(Command::ReaderData));
}

ReaderSettings ReaderLink::settings()
{
    ReaderSettings s;
    const proto::ReaderData d = data();
    if (!d.longForm)
        fail(Command::ReaderData, QStringLiteral("короткий ответ без режима и параметров"));
    s.mode = d.longForm->mode;
    s.network = d.longForm->network;
    s.channel = d.longForm->channel;
    s.power = d.longForm->power;
    s.delay = askFor<proto::Delay>(Command::DelayRead, plain(Command::DelayRead)).value;
    const QVector<QString> ids = askFor<proto::IdTable>(Command::IdTableRead, plain(Command::IdTableRead)).ids;
    for (int i = 0; i < ReaderSettings::Cells; ++i)
        s.boundIds[std::size_t(i)] = proto::hexToNumber(ids.at(i)).value;
    return s;
}

void ReaderLink::setMode(quint8 mode)
{
    ask(Command::Mode, proto::modeRequest(address_, mode));
}

void ReaderLink::setRadio(quint16 network, quint8 channel, quint8 power)
{
    ask(Command::RadioParams, proto::radioRequest(address_, network, channel, power));
}

void ReaderLink::setDelay(quint16 delay)
{
    askFor<proto::Delay>(Command::Delay, proto::delayRequest(address_, delay));
}

void ReaderLink::setCell(int index, quint32 id)
{
    askFor<proto::IdTable>(Command::IdTable, proto::idCellRequest(address_, index, proto::Long_to_string(id)));
}

void ReaderLink::setSerial(quint32 serial)
{
    ask(Command::ReaderSerial, proto::readerSerialRequest(address_, serial));
}

void ReaderLink::setAddress(quint8 newAddress)
{
    ask(Command::NetAddress, proto::netAddressRequest(address_, newAddress));
    address_ = newAddress;
}

proto::TagPoll ReaderLink::pollTag()
{
    return askFor<proto::TagPoll>(Command::TagPoll, plain(Command::TagPoll, proto::Long_to_string(proto::TagPollNumber)));
}

proto::TagData ReaderLink::readTag(quint32 id)
{
    return askFor<proto::TagData>(Command::TagData, plain(Command::TagData, proto::Long_to_string(id)));
}

void ReaderLink::writeTag(quint32 serial, quint32 newId, quint16 delay, quint8 mode, quint8 power, quint16 period)
{
    ask(Command::TagParams,
        proto::tagParamsRequest(address_, {serial, proto::Long_to_string(newId), delay, mode, power, period}));
}
