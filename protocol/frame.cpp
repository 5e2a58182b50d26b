#include "protocol/frame.h"

#include "protocol/conversions.h"
#include "protocol/crc8.h"

namespace proto {

std::optional<quint8> addressFromText(const QString &text)
{
    const std::optional<qint64> value = parseInteger(text);
    if (!value || *value < 0 || *value > 255)
        return std::nullopt;
    return quint8(*value);
}

QByteArray buildRequest(quint8 address, quint8 command, const QByteArray &data)
{
    QByteArray frame;
    frame.reserve(4 + data.size());
    frame.append(char(RequestPrefix));
    frame.append(char(address));
    frame.append(char(command));
    frame.append(data);
    return Control_summ(frame);
}

QByteArray Control_summ(const QByteArray &sstr)
{
    QByteArray frame = sstr;
    frame.append(char(crc8(sstr)));
    return frame;
}

QByteArray networkPollFrame()
{
    // The broadcast has no command byte: the readers answer it with their
    // address byte alone.
    return Control_summ(QByteArray{"\x31\xFF", 2});
}

QByteArray bigEndian16(quint16 v)
{
    QByteArray out(2, '\0');
    out[0] = char(v >> 8);
    out[1] = char(v & 0xFF);
    return out;
}

QByteArray bigEndian32(quint32 v)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char((v >> (8 * (3 - i))) & 0xFF);
    return out;
}

} // namespace proto

namespace proto {

int requestLength(quint8 command)
{
    switch (command) {
    case 0xF0: // reader data
    case 0xFC: // identification
    case 0xF7: // read additional parameters
    case 0xE7: // read bound-ID table
    case 0xE9: // clear bound-ID table
    case 0xF5: // calibrate full level
    case 0xFA: // calibrate empty level
    case 0x06: // slave RS-485 data
    case 0xE8: // slave data
        return 4;
    case 0xFB: // new network address
    case 0xF2: // mode
        return 5;
    case 0xF1: // ID-zeroing delay
        return 6;
    case 0xF4: // radio parameters
    case 0xF6: // reader serial number
    case 0xE0: // tag poll
    case 0xE3: // tag read
        return 8;
    case 0xE6: // write bound-ID cell
        return 9;
    case 0xE2: // tag serial number
        return 12;
    case 0xE1: // tag parameters
        return 19;
    default:
        return 0;
    }
}

} // namespace proto
