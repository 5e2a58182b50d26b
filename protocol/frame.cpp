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

} // namespace proto
