#include "protocol/frame.h"
#include "protocol/replies.h"

#include <QLocale>
#include <QStringList>
#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace proto;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// 3E, address, code, payload, checksum: a reply as a device sends it.
QByteArray reply(quint8 address, quint8 code, const char *payload)
{
    QByteArray r;
    r.append(char(ReplyPrefix)).append(char(address)).append(char(code)).append(hex(payload));
    return Control_summ(r);
}

// The first `length` bytes of `full` as a reply of that length, its last byte
// recomputed as the checksum so that only the length is wrong.
QByteArray cutReply(const QByteArray &full, int length)
{
    return length == 0 ? QByteArray() : Control_summ(full.left(length - 1));
}

// A locale other than the test machine's can change the temperature text.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale &l) { QLocale::setDefault(l); }
    ~DefaultLocale() { QLocale::setDefault(m_saved); }
private:
    QLocale m_saved;
};

const char ReaderShortPayload[] = "9C 00 04 78 56 34 12 FF FF FF FF 0A 00 B2 01 10 27";
const char ReaderLongPayload[] = "9C 00 04 78 56 34 12 FF FF FF FF 0A 00 B2 01 10 27 C3 34 12 07 FF";

TEST(Replies, SignedBytesAreTwosComplement)
{
    const struct { quint8 byte; int value; } cases[] = {
        {0x9C, -100}, {0xA0, -96}, {0x50, 80}, {0xFF, -1}, {0x80, -128}, {0x1E, 30}, {0x7F, 127}, {0, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(signedByte(c.byte), c.value) << int(c.byte);
}

TEST(Replies, SixteenthsText)
{
    const struct { quint16 word; QChar point; const char *text; } cases[] = {
        {0x0190, '.', "25"}, {0x0198, '.', "25.5"}, {0x0191, '.', "25.0625"}, {0x0191, ',', "25,0625"},
        {0xFFF0, '.', "-1"}, {0xFFE8, '.', "-1.5"}, {0xFFFF, '.', "-0.0625"}, {0x0000, '.', "0"},
        {0x7FFF, '.', "2047.9375"}, {0x8000, '.', "-2048"}, {0x0158, '.', "21.5"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sixteenthsText(qint16(c.word), c.point), c.text) << c.word;
}

TEST(ReaderDataReply, ShortForm)
{
    const std::optional<ReaderData> d = decodeReaderData(reply(0x01, 0xF0, ReaderShortPayload));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->address, 1);
    EXPECT_EQ(d->byte4, 0x9C);
    EXPECT_EQ(d->temperature, -100);
    EXPECT_EQ(d->level, 1024);
    EXPECT_EQ(d->current, 0x12345678u);
    EXPECT_EQ(d->empty, 0xFFFFFFFFu);
    EXPECT_EQ(d->tagId, "1B2000A");
    EXPECT_EQ(d->k, 10000);
    EXPECT_FALSE(d->longForm);
}

TEST(ReaderDataReply, LongFormAndTrailingBytes)
{
    for (const QByteArray &r : {reply(0x07, 0xF0, ReaderLongPayload),
                                 reply(0x07, 0xF0, "9C 00 04 78 56 34 12 FF FF FF FF 0A 00 B2 01 10 27 C3 34 12 07 FF 55")}) {
        const std::optional<ReaderData> d = decodeReaderData(r);
        ASSERT_TRUE(d) << r.size();
        EXPECT_EQ(d->address, 7);
        EXPECT_EQ(d->tagId, "1B2000A");
        ASSERT_TRUE(d->longForm);
        EXPECT_EQ(d->longForm->mode, 0xC3);
        EXPECT_EQ(d->longForm->network, 0x1234);
        EXPECT_EQ(d->longForm->channel, 7);
        EXPECT_EQ(d->longForm->power, 0xFF);
    }
}

TEST(ReaderDataReply, WrongChecksumOrUnevenLengthIsRefused)
{
    for (const char *payload : {ReaderShortPayload, ReaderLongPayload}) {
        QByteArray r = reply(1, 0xF0, payload);
        r[r.size() - 1] = char(r.back() ^ 0x01);
        EXPECT_FALSE(decodeReaderData(r));
    }
    const QByteArray full = reply(1, 0xF0, ReaderLongPayload);
    for (int n = 22; n <= 25; ++n)
        EXPECT_FALSE(decodeReaderData(cutReply(full, n))) << n;
    EXPECT_TRUE(decodeReaderData(cutReply(full, 21)));
}

TEST(IdentificationReply, SerialAndVersion)
{
    const struct { const char *payload; std::optional<quint32> serial; std::optional<QString> version; int number; } cases[] = {
        {"40 E2 01 00 86 00", 123456u, QStringLiteral("1.3.4."), 134},
        {"40 E2 01 00 86 02", 123456u, QStringLiteral("21.3.4."), 134},
        {"FF FF FF FF 81 00", 0xFFFFFFFFu, QStringLiteral("1.2.9."), 129},
        {"01 00 00 00 63 00", 1u, QStringLiteral("9.9.."), 99},
        {"40 E2 01 00 86", 123456u, std::nullopt, -1},          // N = 9
        {"40 E2 01 00 86 00 00", 123456u, std::nullopt, -1},    // N = 11
    };
    for (const auto &c : cases) {
        const Identification id = decodeIdentification(reply(1, 0xFC, c.payload));
        EXPECT_EQ(id.serial, c.serial) << c.payload;
        EXPECT_EQ(id.version, c.version) << c.payload;
        EXPECT_EQ(id.versionNumber, c.number) << c.payload;
    }
    // N = 7: the serial is bytes 4..7 whatever byte 7 is meant to be.
    EXPECT_EQ(decodeIdentification(hex("3E 01 FC 40 E2 01 00")).serial, 123456u);
}

TEST(NetworkPollAnswer, OneAddressPerByteBelowTwentyBytes)
{
    EXPECT_EQ(decodeNetworkPoll(hex("05 07 0C")), (QVector<quint8>{5, 7, 12}));
    EXPECT_EQ(decodeNetworkPoll(hex("05 05")), (QVector<quint8>{5, 5}));
    EXPECT_EQ(decodeNetworkPoll(QByteArray()), QVector<quint8>());
    EXPECT_EQ(decodeNetworkPoll(QByteArray(19, '\x01'))->size(), 19);
    EXPECT_FALSE(decodeNetworkPoll(QByteArray(20, '\x01')));
    EXPECT_FALSE(decodeNetworkPoll(QByteArray(255, '\x01')));
    // A late whole reply is no list of readers; 3E that a checksum does not
    // close is reader 62 answering with others.
    EXPECT_FALSE(decodeNetworkPoll(reply(7, 0xFC, "40 E2 01 00 82 00")));
    EXPECT_FALSE(decodeNetworkPoll(reply(7, 0xFA, "")));
    QByteArray broken = reply(7, 0xFA, "");
    broken[3] = char(quint8(broken.at(3)) ^ 1);
    EXPECT_EQ(decodeNetworkPoll(broken)->size(), 4);
}

TEST(NetworkPollAnswer, AddressesNamedTwiceAreShared)
{
    EXPECT_EQ(sharedAddresses({5, 7, 12}), QVector<quint8>());
    EXPECT_EQ(sharedAddresses({5, 7, 5}), QVector<quint8>{5});
    EXPECT_EQ(sharedAddresses({9, 5, 9, 5, 9, 0}), (QVector<quint8>{9, 5}));
}

TEST(ReaderTableReplies, AdditionalParamsAndIdTable)
{
    EXPECT_EQ(decodeAdditionalParams(reply(1, 0xF1, "E8 03")), quint16(1000));
    EXPECT_EQ(decodeAdditionalParams(reply(1, 0xF7, "FF FF")), quint16(65535));

    const std::optional<QVector<QString>> ids = decodeIdTable(reply(1, 0xE6,
        "0A 00 B2 01 00 00 00 00 00 00 00 00 00 00 00 00 3C AB 12 00 "
        "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 FF FF FF FF 00"));
    ASSERT_TRUE(ids);
    ASSERT_EQ(ids->size(), 10);
    EXPECT_EQ(ids->at(0), "1B2000A");
    EXPECT_EQ(ids->at(1), "0000000");
    EXPECT_EQ(ids->at(4), "012AB3C");
    EXPECT_EQ(ids->at(9), "FFFFFFFF");
}

TEST(TagReplies, PollAndData)
{
    const std::optional<TagPoll> p = decodeTagPoll(reply(5, 0xE0, "00 00 01 00 00 12 0A FF 9C"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->command, 0xE0);
    EXPECT_EQ(p->serial, 256u);
    EXPECT_EQ(p->id, "0120AFF");
    EXPECT_EQ(p->level, -100);
    EXPECT_EQ(decodeTagPoll(reply(5, 0xE0, "FF FF FF FF 7A 7A 7A 7A 50"))->serial, 0xFFFFFFFFu);

    const std::optional<TagData> d =
        decodeTagData(reply(5, 0xE3, "00 12 AB 3C 7A 7A 7A 7A 00 64 02 64 86 01 2C A0"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->command, 0xE3);
    EXPECT_EQ(d->serial, 0x0012AB3Cu);
    EXPECT_EQ(d->id, "7A7A7A7A");
    EXPECT_EQ(d->interval, 100);
    EXPECT_EQ(d->mode, 2);
    EXPECT_EQ(d->power, 100);
    EXPECT_EQ(d->version, "1.3.4.");
    EXPECT_EQ(d->sleep, 300);
    EXPECT_EQ(d->level, -96);
}

TEST(BridgeReplies, SlaveDataAndRs485)
{
    DefaultLocale c(QLocale::c());
    const std::optional<SlaveData> s = decodeSlaveData(reply(5, 0xE8, "40 E2 01 00 01 91 88 13 CD A0"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->serial, 123456u);
    EXPECT_EQ(s->temperature, "25.0625");
    EXPECT_EQ(s->frequency, 5000);
    EXPECT_TRUE(s->contact);
    EXPECT_EQ(s->level, -96);

    const std::optional<SlaveData> cold = decodeSlaveData(reply(5, 0xE8, "00 00 00 00 FF F0 00 00 CC 50"));
    ASSERT_TRUE(cold);
    EXPECT_EQ(cold->temperature, "-1");
    EXPECT_EQ(cold->sixteenths, -16);
    EXPECT_FALSE(cold->contact);
    EXPECT_EQ(cold->level, 80);
    {
        DefaultLocale russian(QLocale(QLocale::Russian, QLocale::Russia));
        EXPECT_EQ(decodeSlaveData(reply(5, 0xE8, "00 00 00 00 01 98 00 00 00 00"))->temperature, "25,5");
    }

    EXPECT_EQ(decodeSlaveRs485(reply(5, 0x06, "00 34 12")), quint16(0x1234));
    EXPECT_EQ(decodeSlaveRs485(hex("3E 05 06 00 FF FF")), quint16(0xFFFF));
}

// Every data reply cut short by a split reception or noise yields nothing,
// at every length below its layout, even with a right checksum at the end.
TEST(ShortReplies, EveryLengthBelowTheLayoutYieldsNothing)
{
    const QByteArray longPayload(60, '\x11');
    const auto full = [&](quint8 code) { return reply(1, code, longPayload.toHex(' ').constData()); };
    const struct { quint8 code; int needed; std::function<bool(const QByteArray &)> decodes; } cases[] = {
        {0xF0, 21, [](const QByteArray &r) { return decodeReaderData(r).has_value(); }},
        {0xFC, 7, [](const QByteArray &r) { return decodeIdentification(r).serial.has_value(); }},
        {0xF1, 5, [](const QByteArray &r) { return decodeAdditionalParams(r).has_value(); }},
        {0xE6, 43, [](const QByteArray &r) { return decodeIdTable(r).has_value(); }},
        {0xE0, 12, [](const QByteArray &r) { return decodeTagPoll(r).has_value(); }},
        {0xE3, 19, [](const QByteArray &r) { return decodeTagData(r).has_value(); }},
        {0xE8, 13, [](const QByteArray &r) { return decodeSlaveData(r).has_value(); }},
        {0x06, 6, [](const QByteArray &r) { return decodeSlaveRs485(r).has_value(); }},
    };
    for (const auto &c : cases) {
        for (int n = 0; n < c.needed; ++n)
            EXPECT_FALSE(c.decodes(cutReply(full(c.code), n))) << std::hex << int(c.code) << std::dec << " N=" << n;
        EXPECT_TRUE(c.decodes(cutReply(full(c.code), c.needed))) << std::hex << int(c.code);
    }
}

// Whatever arrives, no decoder reads past the end: a reception is decoded
// twice, each time followed in memory by other bytes, and must decode alike.
TEST(ShortReplies, RandomReceptionsAreDecodedFromTheirOwnBytesOnly)
{
    const auto decodeAll = [](const QByteArray &r) {
        QStringList out;
        if (const auto d = decodeReaderData(r))
            out << QString::number(d->level) << QString::number(d->current) << d->tagId
                << QString::number(d->longForm ? d->longForm->network : -1);
        const Identification id = decodeIdentification(r);
        out << QString::number(id.serial.value_or(0)) << id.version.value_or(QString());
        if (const auto a = decodeNetworkPoll(r))
            out << QString::number(a->size());
        out << QString::number(decodeAdditionalParams(r).value_or(0));
        if (const auto t = decodeIdTable(r))
            out << t->join(QLatin1Char(','));
        if (const auto t = decodeTagPoll(r))
            out << t->id << QString::number(t->level);
        if (const auto t = decodeTagData(r))
            out << t->id << t->version << QString::number(t->sleep);
        if (const auto t = decodeSlaveData(r))
            out << t->temperature << QString::number(t->level);
        out << QString::number(decodeSlaveRs485(r).value_or(0));
        return out.join(QLatin1Char('|'));
    };
    std::mt19937 random(12345);
    for (int n = 0; n <= 64; ++n) {
        for (int round = 0; round < 20; ++round) {
            QByteArray noise(n, '\0');
            for (char &b : noise)
                b = char(random() & 0xFF);
            // With its checksum appended the reader data decoder gets past
            // the checksum test as well.
            for (const QByteArray &r : {noise, Control_summ(noise)}) {
                QByteArray a = r + QByteArray(64, '\x00');
                QByteArray b = r + QByteArray(64, '\xFF');
                EXPECT_EQ(decodeAll(QByteArray::fromRawData(a.constData(), r.size())),
                          decodeAll(QByteArray::fromRawData(b.constData(), r.size())))
                    << r.toHex(' ').constData();
            }
        }
    }
}

} // namespace
