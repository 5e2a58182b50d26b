#pragma once
// Conversions between byte strings, numbers and the texts the operator types
// or reads. Byte strings are QByteArray, one element per byte.
#include <QByteArray>
#include <QString>
#include <optional>

namespace proto {

// Hexadecimal text of one byte: upper case, no leading zero ("7", "3C", "FF").
QString byteHex(quint8 b);

// Every byte as byteHex() followed by `separator` ("31 FF DC " or "31_FF_DC_").
QString hexDump(const QByteArray &bytes, QChar separator);

// Readable form of a byte string for the output log: "]" -> "<ACK>",
// "[" -> "<NAK>", bytes from 0x30 up as characters (0x80..0xFF as
// Windows-1251, Cyrillic), CR -> "<CR>", LF -> "<LF>", every other byte
// below 0x30 -> "@".
QString CleanStr(const QByteArray &textLine);

// The record the output log shows for a frame: hexDump with blanks, CR LF CR
// LF, CleanStr.
QString outWinText(const QByteArray &sst);

// Tag and table identifiers typed by the operator: up to eight hexadecimal
// digits, taken in pairs from the left (an odd count makes the first digit a
// byte of its own), zero bytes in front up to four bytes.
enum class HexError { None, TooLong, NotHex };
struct HexBytes {
    QByteArray bytes; // exactly 4 bytes when error == None, else empty
    HexError error = HexError::None;
};
HexBytes HexStr2Dig(const QString &df);

// The same identifier as an unsigned 32-bit number (bytes most significant
// first), or the error.
struct HexNumber {
    quint32 value = 0;
    HexError error = HexError::None;
};
HexNumber hexToNumber(const QString &text);

// The little-endian 32-bit number at 1-based positions numpos..numpos+3 of
// `instri` as text: top byte without leading zero, the other three as two
// digits each ("012AB3C"). Positions past the end count as 0.
QString dig2hexStr(const QByteArray &instri, int numpos);

// Identifier text of four bytes given most significant first: the first byte
// without leading zero, the other three as two digits each.
QString idText(quint8 b3, quint8 b2, quint8 b1, quint8 b0);

// Four bytes, most significant first.
QByteArray Long_to_string(quint32 num);

// Version text: each of the first three decimal digits of `v` followed by a
// dot (134 -> "1.3.4.", 99 -> "9.9..").
QString versionText(quint8 v);

// A decimal integer as typed into a text box or an input box: optional
// blanks, optional sign, digits. Nothing else is a number.
std::optional<qint64> parseInteger(const QString &text);

} // namespace proto
