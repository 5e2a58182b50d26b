#pragma once
// Reply frames as the devices send them, for tests with or without a window.
#include "protocol/crc8.h"

#include <QByteArray>

// A reply frame: 0x3E, address, code, payload, checksum.
inline QByteArray replyFrame(quint8 address, quint8 code, const QByteArray &payload = {})
{
    QByteArray r;
    r.append(char(0x3E));
    r.append(char(address));
    r.append(char(code));
    r += payload;
    r.append(char(proto::crc8(r)));
    return r;
}
