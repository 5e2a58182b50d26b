#include "ctl/reader.h"

#include "ctl/failure.h"
#include "ctl/lineclient.h"
#include "protocol/conversions.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"

namespace {

using proto::Command;

// Reply lengths, checksum included: what each layout needs.
constexpr int kConfirmation = 4;
constexpr int kModeConfirmation = 5;
constexpr int kIdentification = 7;      // the serial number; the version needs 10
constexpr int kReaderDataShort = 21;
constexpr int kDelay = 6;
constexpr int kIdTable = 44;
constexpr int kTagPoll = 13;
constexpr int kTagData = 20;

QString requestName(Command c)
{
    const proto::CommandInfo *row = proto::commandInfo(proto::code(c));
    return proto::byteHex(proto::code(c)) + QStringLiteral(" (")
           + QString::fromUtf8(row ? row->replyName : "") + QLatin1Char(')');
}

// The code a reader answers `request` with. The read of the table comes back
// with the table's code, and the read of the additional parameters with the
// code of their setting (the read's own code is taken as well).
bool answersTo(quint8 code, Command request)
{
    switch (request) {
    case Command::IdTableRead:
        return code == proto::code(Command::IdTable);
    case Command::DelayRead:
        return code == proto::code(Command::Delay) || code == proto::code(request);
    default:
        return code == proto::code(request);
    }
}

bool isReplyFrom(const QByteArray &r, quint8 address, Command request)
{
    return r.size() >= kConfirmation && quint8(r.at(0)) == proto::ReplyPrefix && quint8(r.at(1)) == address
           && answersTo(quint8(r.at(2)), request) && proto::crc8(r, int(r.size()) - 1) == quint8(r.back());
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
        const std::optional<QVector<quint8>> addresses = proto::decodeNetworkPoll(result.reply);
        if (addresses && !addresses->isEmpty())
            return *addresses;
        if (!addresses)
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

QByteArray ReaderLink::ask(Command request, const QByteArray &data, int minLength)
{
    // A request without a valid reply goes again (every request of ours
    // may be repeated: a setting written twice is the same setting); the
    // last attempt's fault is the one reported.
    for (int attempt = 0;; ++attempt) {
        const LineClient::Result result = line_.exchange(proto::buildRequest(address_, proto::code(request), data));
        lastRequestSent_ = result.written;
        if (!result.written || result.lost)
            failLostPort(line_);
        const bool valid = !result.reply.isEmpty() && result.reply.size() >= minLength
                           && isReplyFrom(result.reply, address_, request);
        if (valid)
            return result.reply;
        if (attempt < line_.retries())
            continue;
        if (result.reply.isEmpty())
            fail(request, QStringLiteral("нет ответа"));
        failWrong(request, result.reply);
    }
}

proto::Identification ReaderLink::identify()
{
    return proto::decodeIdentification(ask(Command::Identification, {}, kIdentification));
}

proto::ReaderData ReaderLink::data()
{
    const QByteArray r = ask(Command::ReaderData, {}, kReaderDataShort);
    const std::optional<proto::ReaderData> d = proto::decodeReaderData(r);
    if (!d)
        failWrong(Command::ReaderData, r);
    return *d;
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
    s.delay = *proto::decodeAdditionalParams(ask(Command::DelayRead, {}, kDelay));
    const QVector<QString> ids = *proto::decodeIdTable(ask(Command::IdTableRead, {}, kIdTable));
    for (int i = 0; i < ReaderSettings::Cells; ++i)
        s.boundIds[std::size_t(i)] = proto::hexToNumber(ids.at(i)).value;
    return s;
}

void ReaderLink::setMode(quint8 mode)
{
    ask(Command::Mode, QByteArray(1, char(mode)), kModeConfirmation);
}

void ReaderLink::setRadio(quint16 network, quint8 channel, quint8 power)
{
    QByteArray data = proto::bigEndian16(network);
    data.append(char(channel));
    data.append(char(power));
    ask(Command::RadioParams, data, kConfirmation);
}

void ReaderLink::setDelay(quint16 delay)
{
    ask(Command::Delay, proto::bigEndian16(delay), kDelay);
}

void ReaderLink::setCell(int index, quint32 id)
{
    ask(Command::IdTable, char(index) + proto::Long_to_string(id), kIdTable);
}

void ReaderLink::setSerial(quint32 serial)
{
    ask(Command::ReaderSerial, proto::Long_to_string(serial), kConfirmation);
}

void ReaderLink::setAddress(quint8 newAddress)
{
    ask(Command::NetAddress, QByteArray(1, char(newAddress)), kConfirmation);
    address_ = newAddress;
}

proto::TagPoll ReaderLink::pollTag()
{
    return *proto::decodeTagPoll(ask(Command::TagPoll, proto::Long_to_string(proto::TagPollNumber), kTagPoll));
}

proto::TagData ReaderLink::readTag(quint32 id)
{
    return *proto::decodeTagData(ask(Command::TagData, proto::Long_to_string(id), kTagData));
}

void ReaderLink::writeTag(quint32 serial, quint32 newId, quint16 delay, quint8 mode, quint8 power, quint16 period)
{
    constexpr char kDataBytes = 0x0E; // the data bytes after this one, checksum excluded
    QByteArray data(1, kDataBytes);
    data += proto::Long_to_string(serial);
    data += proto::Long_to_string(newId);
    data += proto::bigEndian16(delay);
    data.append(char(mode));
    data.append(char(power));
    data += proto::bigEndian16(period);
    ask(Command::TagParams, data, kConfirmation);
}
