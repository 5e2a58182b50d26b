#pragma once
// CRC-8 of the 1-Wire family (CRC-8/MAXIM): reflected polynomial 0x8C,
// initial value 0, no final inversion. Every request and reply on the line
// ends with it.
#include <QByteArray>
#include <QtGlobal>

namespace proto {

// One checksum step: feeds `data` into the running checksum `cr`, stores the
// new value in `cr` and returns it.
quint8 crc(quint8 data, quint8 &cr);

// Checksum of the first `count` bytes of `bytes` (all of them when count < 0),
// starting from 0.
quint8 crc8(const QByteArray &bytes, int count = -1);

} // namespace proto
