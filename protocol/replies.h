#pragma once
// Decoding of the replies that carry data. Each decoder takes the whole
// received byte string (byte 1 = 0x3E, byte 2 = address, byte 3 = code,
// byte N = checksum) and returns plain values, or nothing when the reply is
// too short for its layout: a split reply or a noisy line never makes a
// decoder read past the end.
#include <QByteArray>
#include <QString>
#include <QVector>
#include <optional>

namespace proto {

// Signed bytes and words in replies are two's complement.
int signedByte(quint8 b);

// Reader data, code 0xF0. Reader replies are little-endian.
struct ReaderLongForm {
    quint8 mode = 0;       // byte 21
    quint16 network = 0;   // bytes 22-23
    quint8 channel = 0;    // byte 24
    quint8 power = 0;      // byte 25
};
struct ReaderData {
    quint8 address = 0;      // byte 2
    quint8 byte4 = 0;        // temperature, or rotation state in tag modes 4 and 5
    int temperature = 0;     // byte 4 as a signed byte
    quint16 level = 0;       // bytes 5-6
    quint32 current = 0;     // bytes 7-10
    quint32 empty = 0;       // bytes 11-14
    QString tagId;           // bytes 15-18, identifier text
    quint16 k = 0;           // bytes 19-20
    std::optional<ReaderLongForm> longForm; // only when N > 21
};
// Nothing when the checksum is wrong, N < 21, or 22 <= N <= 25.
std::optional<ReaderData> decodeReaderData(const QByteArray &r);

// Identification, code 0xFC.
struct Identification {
    std::optional<quint32> serial;  // bytes 4-7; none when the reply is too short
    std::optional<QString> version; // only when N == 10: version text with prefix
    int versionNumber = -1;         // byte 8 when N == 10, else -1
};
Identification decodeIdentification(const QByteArray &r);

// Network poll answer: every byte one address. Nothing when N >= 20, and
// nothing when the reception is itself a whole reply frame (0x3E first, at
// least four bytes, its checksum right): that is a late reply, not readers.
std::optional<QVector<quint8>> decodeNetworkPoll(const QByteArray &r);
// The addresses a search answer names more than once, each once, in the
// order they first repeat: two readers answer at each of them.
QVector<quint8> sharedAddresses(const QVector<quint8> &addresses);

// Additional parameters, code 0xF1 (and 0xF7): the ID-zeroing delay.
std::optional<quint16> decodeAdditionalParams(const QByteArray &r);

// Bound-ID table, code 0xE6: ten identifier texts. Nothing when N < 43.
std::optional<QVector<QString>> decodeIdTable(const QByteArray &r);

// Tag poll, code 0xE0. Tag replies are big-endian.
struct TagPoll {
    quint8 command = 0;
    quint32 serial = 0;
    QString id;
    int level = 0;
};
std::optional<TagPoll> decodeTagPoll(const QByteArray &r); // needs N >= 12

// Tag data, code 0xE3.
struct TagData {
    quint8 command = 0;
    quint32 serial = 0;
    QString id;
    quint16 interval = 0;
    quint8 mode = 0;
    quint8 power = 0;
    QString version;
    quint16 sleep = 0;
    int level = 0;
};
std::optional<TagData> decodeTagData(const QByteArray &r); // needs N >= 19

// Slave sensor data, code 0xE8.
struct SlaveData {
    quint32 serial = 0;       // bytes 4-7, little-endian
    QString temperature;      // bytes 8-9, signed big-endian sixteenths of a degree,
                              // with the default QLocale's decimal separator
    qint16 sixteenths = 0;    // the same word as a number, for plotting
    quint16 frequency = 0;    // bytes 10-11, little-endian
    bool contact = false;     // byte 12 == 0xCD
    int level = 0;            // byte 13, signed
};
std::optional<SlaveData> decodeSlaveData(const QByteArray &r); // needs N >= 13

// Slave RS-485 data word, code 0x06: bytes 5-6, little-endian.
std::optional<quint16> decodeSlaveRs485(const QByteArray &r); // needs N >= 6

// Temperature in sixteenths of a degree as text: as many fraction digits as
// needed, the decimal separator given.
QString sixteenthsText(qint16 value, QChar decimalPoint);

} // namespace proto

namespace proto {

// What a reception is, in the technician's words: the kind of reply by its
// command code, or a bare byte list (the answer to a reader search).
QString replyName(const QByteArray &r);

} // namespace proto
