#pragma once
// Request frames: 0x31, address, command, data (numbers most significant byte
// first), CRC-8 over all preceding bytes.
#include <QByteArray>
#include <QString>
#include <optional>

namespace proto {

constexpr quint8 RequestPrefix = 0x31;
constexpr quint8 ReplyPrefix = 0x3E;

// The address text of the address box: a plain decimal number 0..255
// (blanks around it allowed). Anything else is no address.
std::optional<quint8> addressFromText(const QString &text);

// 0x31, address, command, data, checksum.
QByteArray buildRequest(quint8 address, quint8 command, const QByteArray &data = {});

// `sstr` followed by the checksum of all of it.
QByteArray Control_summ(const QByteArray &sstr);

// The broadcast reader search: 31 FF DC (no command byte).
QByteArray networkPollFrame();

} // namespace proto

namespace proto {

// Several-byte numbers in requests go most significant byte first (four
// bytes: Long_to_string in conversions.h).
QByteArray bigEndian16(quint16 v);

} // namespace proto

