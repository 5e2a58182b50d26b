#include "protocol/requests.h"

#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"

namespace proto {

namespace {
QByteArray request(quint8 address, Command c, const QByteArray &payload)
{
    return buildRequest(address, code(c), payload);
}
} // namespace

QByteArray modeRequest(quint8 address, quint8 mode)
{
    return request(address, Command::Mode, QByteArray(1, char(mode)));
}

QByteArray radioRequest(quint8 address, quint16 network, quint8 channel, quint8 power)
{
    QByteArray payload = bigEndian16(network);
    payload.append(char(channel));
    payload.append(char(power));
    return request(address, Command::RadioParams, payload);
}

QByteArray delayRequest(quint8 address, quint16 delay)
{
    return request(address, Command::Delay, bigEndian16(delay));
}

QByteArray idCellRequest(quint8 address, int cell, const QByteArray &id)
{
    return request(address, Command::IdTable, QByteArray(1, char(cell)) + id);
}

QByteArray readerSerialRequest(quint8 address, quint32 serial)
{
    return request(address, Command::ReaderSerial, Long_to_string(serial));
}

QByteArray netAddressRequest(quint8 address, quint8 newAddress)
{
    return request(address, Command::NetAddress, QByteArray(1, char(newAddress)));
}

QByteArray tagParamsRequest(quint8 address, const TagParams &t)
{
    // The count of the data bytes after this one, checksum excluded.
    constexpr char DataBytes = 0x0E;
    QByteArray payload(1, DataBytes);
    payload += Long_to_string(t.serial);
    payload += t.id;
    payload += bigEndian16(t.delay);
    payload.append(char(t.mode));
    payload.append(char(t.power));
    payload += bigEndian16(t.period);
    return request(address, Command::TagParams, payload);
}

} // namespace proto
