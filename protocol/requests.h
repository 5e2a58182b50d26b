#pragma once
// The requests that carry a payload, each written once: the window's
// handlers and rfidctl build them here, so both send the same bytes for the
// same setting. Each returns the whole frame (0x31, address, command,
// payload, checksum). The values are taken as the reader stores them; range
// checks belong to whoever asks the technician.
#include <QByteArray>

namespace proto {

// 0xF2: the mode byte (code in bits 0..4, the bridge options in bits 6, 7).
QByteArray modeRequest(quint8 address, quint8 mode);
// 0xF4: network number (big-endian), channel, power.
QByteArray radioRequest(quint8 address, quint16 network, quint8 channel, quint8 power);
// 0xF1: the ID-zeroing delay (big-endian).
QByteArray delayRequest(quint8 address, quint16 delay);
// 0xE6: one bound-ID cell, 0..9, and the 4 bytes of its ID.
QByteArray idCellRequest(quint8 address, int cell, const QByteArray &id);
// 0xF6: the reader's serial number.
QByteArray readerSerialRequest(quint8 address, quint32 serial);
// 0xFB: the reader's new network address.
QByteArray netAddressRequest(quint8 address, quint8 newAddress);
// 0xE1: a tag's new ID and parameters, the tag named by its serial number.
struct TagParams {
    quint32 serial = 0;  // the tag written to
    QByteArray id;       // its new ID, 4 bytes
    quint16 delay = 0;
    quint8 mode = 0;
    quint8 power = 0;
    quint16 period = 0;
};
QByteArray tagParamsRequest(quint8 address, const TagParams &t);

} // namespace proto
