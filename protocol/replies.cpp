#include "protocol/replies.h"

#include "protocol/conversions.h"
#include "protocol/commands.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"

#include <QLocale>

#include <array>

namespace proto {

namespace {

// Every decoder checks the reply length against its layout before calling
// these; positions are 1-based as in the reply tables.
quint8 byteAt(const QByteArray &r, int pos)
{
    return quint8(r.at(pos - 1));
}

quint16 le16(const QByteArray &r, int pos)
{
    return quint16(byteAt(r, pos) | (byteAt(r, pos + 1) << 8));
}

quint32 le32(const QByteArray &r, int pos)
{
    return quint32(byteAt(r, pos)) | (quint32(byteAt(r, pos + 1)) << 8)
        | (quint32(byteAt(r, pos + 2)) << 16) | (quint32(byteAt(r, pos + 3)) << 24);
}

quint16 be16(const QByteArray &r, int pos)
{
    return quint16((byteAt(r, pos) << 8) | byteAt(r, pos + 1));
}

quint32 be32(const QByteArray &r, int pos)
{
    return (quint32(byteAt(r, pos)) << 24) | (quint32(byteAt(r, pos + 1)) << 16)
        | (quint32(byteAt(r, pos + 2)) << 8) | quint32(byteAt(r, pos + 3));
}

// Big-endian identifier of a tag reply, most significant byte at `pos`.
QString tagIdText(const QByteArray &r, int pos)
{
    return idText(byteAt(r, pos), byteAt(r, pos + 1), byteAt(r, pos + 2), byteAt(r, pos + 3));
}

QChar localeDecimalPoint()
{
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 ? point.at(0) : QLatin1Char('.');
}

constexpr int ReaderShortLength = 21;
constexpr int ReaderLongLength = 26;
constexpr int IdentificationSerialLength = 7;
constexpr int IdentificationFullLength = 10;
constexpr int NetworkPollLimit = 20;
constexpr int MinimalFrameLength = 4; // prefix, address, code, checksum
constexpr int AdditionalParamsLength = 5;
constexpr int IdTableLength = 43;
constexpr int IdTableCells = 10;
constexpr int TagPollLength = 12;
constexpr int TagDataLength = 19;
constexpr int SlaveDataLength = 13;
constexpr int SlaveRs485Length = 6;
constexpr quint8 ContactSet = 0xCD;

} // namespace

int signedByte(quint8 b)
{
    return b > 127 ? int(b) - 256 : int(b);
}

std::optional<ReaderData> decodeReaderData(const QByteArray &r)
{
    const int n = int(r.size());
    if (n < ReaderShortLength || (n > ReaderShortLength && n < ReaderLongLength))
        return std::nullopt;
    if (byteAt(r, n) != crc8(r, n - 1))
        return std::nullopt;

    ReaderData d;
    d.address = byteAt(r, 2);
    d.byte4 = byteAt(r, 4);
    d.temperature = signedByte(d.byte4);
    d.level = le16(r, 5);
    d.current = le32(r, 7);
    d.empty = le32(r, 11);
    d.tagId = dig2hexStr(r, 15);
    d.k = le16(r, 19);
    if (n >= ReaderLongLength) {
        ReaderLongForm f;
        f.mode = byteAt(r, 21);
        f.network = le16(r, 22);
        f.channel = byteAt(r, 24);
        f.power = byteAt(r, 25);
        d.longForm = f;
    }
    return d;
}

Identification decodeIdentification(const QByteArray &r)
{
    Identification id;
    const int n = int(r.size());
    if (n < IdentificationSerialLength)
        return id;
    id.serial = le32(r, 4);
    // Only the exact ten-byte form carries a trustworthy version: longer
    // receptions are two replies run together.
    if (n == IdentificationFullLength) {
        const quint8 number = byteAt(r, 8);
        const quint8 prefix = byteAt(r, 9);
        QString text;
        if (prefix != 0)
            text = QString::number(uint(prefix));
        text += versionText(number);
        id.version = text;
        id.versionNumber = number;
    }
    return id;
}

std::optional<QVector<quint8>> decodeNetworkPoll(const QByteArray &r)
{
    const int n = int(r.size());
    if (n >= NetworkPollLimit)
        return std::nullopt;
    if (n >= MinimalFrameLength && byteAt(r, 1) == ReplyPrefix && byteAt(r, n) == crc8(r, n - 1))
        return std::nullopt;
    QVector<quint8> addresses;
    addresses.reserve(r.size());
    for (const char c : r)
        addresses.append(quint8(c));
    return addresses;
}

QVector<quint8> sharedAddresses(const QVector<quint8> &addresses)
{
    std::array<bool, 256> seen{};
    QVector<quint8> shared;
    for (const quint8 a : addresses) {
        if (seen[a] && !shared.contains(a))
            shared.append(a);
        seen[a] = true;
    }
    return shared;
}

std::optional<quint16> decodeAdditionalParams(const QByteArray &r)
{
    if (r.size() < AdditionalParamsLength)
        return std::nullopt;
    return le16(r, 4);
}

std::optional<QVector<QString>> decodeIdTable(const QByteArray &r)
{
    if (r.size() < IdTableLength)
        return std::nullopt;
    QVector<QString> ids;
    ids.reserve(IdTableCells);
    for (int k = 0; k < IdTableCells; ++k)
        ids.append(dig2hexStr(r, 4 + 4 * k));
    return ids;
}

std::optional<TagPoll> decodeTagPoll(const QByteArray &r)
{
    if (r.size() < TagPollLength)
        return std::nullopt;
    TagPoll t;
    t.command = byteAt(r, 3);
    t.serial = be32(r, 4);
    t.id = tagIdText(r, 8);
    t.level = signedByte(byteAt(r, 12));
    return t;
}

std::optional<TagData> decodeTagData(const QByteArray &r)
{
    if (r.size() < TagDataLength)
        return std::nullopt;
    TagData t;
    t.command = byteAt(r, 3);
    t.serial = be32(r, 4);
    t.id = tagIdText(r, 8);
    t.interval = be16(r, 12);
    t.mode = byteAt(r, 14);
    t.power = byteAt(r, 15);
    t.version = versionText(byteAt(r, 16));
    t.sleep = be16(r, 17);
    t.level = signedByte(byteAt(r, 19));
    return t;
}

std::optional<SlaveData> decodeSlaveData(const QByteArray &r)
{
    if (r.size() < SlaveDataLength)
        return std::nullopt;
    SlaveData s;
    s.serial = le32(r, 4);
    s.sixteenths = qint16(be16(r, 8));
    s.temperature = sixteenthsText(s.sixteenths, localeDecimalPoint());
    s.frequency = le16(r, 10);
    s.contact = byteAt(r, 12) == ContactSet;
    s.level = signedByte(byteAt(r, 13));
    return s;
}

std::optional<quint16> decodeSlaveRs485(const QByteArray &r)
{
    if (r.size() < SlaveRs485Length)
        return std::nullopt;
    return le16(r, 5);
}

QString sixteenthsText(qint16 value, QChar decimalPoint)
{
    const int magnitude = value < 0 ? -int(value) : int(value);
    QString text = value < 0 ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / 16);
    const int sixteenths = magnitude % 16;
    if (sixteenths != 0) {
        // One sixteenth is exactly 0.0625, so four digits always suffice.
        QString fraction = QStringLiteral("%1").arg(sixteenths * 625, 4, 10, QLatin1Char('0'));
        while (fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
        text += decimalPoint;
        text += fraction;
    }
    return text;
}

} // namespace proto

namespace proto {

QString replyName(const QByteArray &r)
{
    if (r.size() <= 3 || quint8(r.at(0)) != ReplyPrefix)
        return QStringLiteral("адреса в сети (ответ на поиск)");
    if (const CommandInfo *row = commandInfo(quint8(r.at(2))))
        return QString::fromUtf8(row->replyName);
    return QStringLiteral("код ") + byteHex(quint8(r.at(2)));
}

} // namespace proto
