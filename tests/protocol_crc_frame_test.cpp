#include "support/testnames.h"
#include "protocol/crc8.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/requests.h"

#include <gtest/gtest.h>

using namespace proto;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Bit-serial CRC-8/MAXIM, the textbook form, to check the per-bit constants.
quint8 referenceStep(quint8 data, quint8 cr)
{
    quint8 c = cr ^ data;
    for (int i = 0; i < 8; ++i)
        c = (c & 1) ? quint8((c >> 1) ^ 0x8C) : quint8(c >> 1);
    return c;
}

TEST(Crc8, CheckValueOfDigitsOneToNine)
{
    EXPECT_EQ(crc8(QByteArray("123456789")), 0xA1);
    EXPECT_EQ(crc8(QByteArray("123456789"), 3), crc8(QByteArray("123")));
}

TEST(Crc8, StepMatchesBitSerialFormAndStoresResult)
{
    for (int start : {0x00, 0x01, 0x5A, 0xA1, 0xFF}) {
        for (int data = 0; data < 256; ++data) {
            quint8 cr = quint8(start);
            const quint8 returned = crc(quint8(data), cr);
            ASSERT_EQ(returned, referenceStep(quint8(data), quint8(start))) << start << " " << data;
            ASSERT_EQ(cr, returned);
        }
    }
}

TEST(Crc8, EmptyStringGivesZeroAndControlSummAppendsIt)
{
    EXPECT_EQ(crc8(QByteArray()), 0);
    EXPECT_EQ(Control_summ(QByteArray()), QByteArray(1, '\0'));
}

class WorkedFrame : public ::testing::TestWithParam<const char *> {};

TEST_P(WorkedFrame, BuildersReproduceItAndItsCrcIsZero)
{
    const QByteArray frame = hex(GetParam());
    ASSERT_GE(frame.size(), 3);
    EXPECT_EQ(crc8(frame), 0) << "a frame plus its checksum gives 0";
    EXPECT_EQ(Control_summ(frame.left(frame.size() - 1)), frame);
    if (frame.size() >= 4) {
        const QByteArray data = frame.mid(3, frame.size() - 4);
        EXPECT_EQ(buildRequest(quint8(frame[1]), quint8(frame[2]), data), frame);
        EXPECT_EQ(requestLength(quint8(frame[2])), frame.size()) << "the line's parser finds its end";
    }
}

INSTANTIATE_TEST_SUITE_P(Requests, WorkedFrame, ::testing::Values(
    "31 01 F7 46", "31 FF DC", "31 01 FC 66", "31 C8 FC 60", "31 01 F2 02 D8",
    "31 01 F4 00 01 05 0A 8D", "31 01 F1 03 E8 9E", "31 01 FB 05 E9", "31 01 F6 00 00 00 FF 11",
    "31 01 F5 FA", "31 01 FA BB", "31 01 E7 DB", "31 01 E9 C4", "31 01 E6 00 00 00 12 AB EB",
    "31 05 E0 7A 7A 7A 7A F9", "31 05 E3 00 12 AB 3C 83", "31 05 06 57", "31 05 E8 A1",
    "31 01 06 6C", "31 05 E1 0E 00 00 00 64 00 12 AB 3C 03 E8 02 64 00 3C 78",
    "31 05 E2 00 12 AB 3C 00 00 00 64 F1"),
    [](const auto &info) { return "Frame_" + caseName(std::string(info.param)); });

TEST(Frame, NetworkPollIsTheThreeByteBroadcast)
{
    EXPECT_EQ(networkPollFrame(), hex("31 FF DC"));
}

TEST(Frame, NumbersGoMostSignificantFirst)
{
    EXPECT_EQ(bigEndian16(0x03E8), hex("03 E8"));
}

TEST(Frame, AddressFromText)
{
    const struct { const char *text; int expected; } cases[] = {
        {"0", 0}, {"5", 5}, {"255", 255}, {" 12 ", 12}, {"+7", 7}, {"007", 7},
        {"256", -1}, {"-1", -1}, {"", -1}, {"abc", -1}, {"1.5", -1}, {"12a", -1}, {"0x10", -1},
    };
    for (const auto &c : cases) {
        const std::optional<quint8> a = addressFromText(QString::fromLatin1(c.text));
        if (c.expected < 0)
            EXPECT_FALSE(a.has_value()) << c.text;
        else
            EXPECT_EQ(a, std::optional<quint8>(quint8(c.expected))) << c.text;
    }
}

} // namespace

// Each payload's layout, as both programs send it: the frame up to its
// checksum, and a checksum that closes it (crc8 over the whole frame is 0).
TEST(Requests, PayloadsAreLaidOutOnce)
{
    struct Row {
        const char *name;
        QByteArray frame;
        const char *withoutChecksum;
    };
    const Row rows[] = {
        {"mode", proto::modeRequest(5, 0xC2), "3105f2c2"},
        {"radio", proto::radioRequest(5, 0xFDE8, 17, 3), "3105f4fde81103"},
        {"delay", proto::delayRequest(7, 2500), "3107f109c4"},
        {"cell", proto::idCellRequest(5, 9, QByteArray::fromHex("abcdef01")), "3105e609abcdef01"},
        {"serial", proto::readerSerialRequest(5, 1000123), "3105f6000f42bb"},
        {"address", proto::netAddressRequest(5, 200), "3105fbc8"},
        {"tag", proto::tagParamsRequest(5, {0x12AB3C, QByteArray::fromHex("00000103"), 1000, 5, 50, 500}),
         "3105e10e0012ab3c0000010303e8053201f4"},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(r.frame.chopped(1).toHex(), QByteArray(r.withoutChecksum)) << r.name;
        EXPECT_EQ(proto::crc8(r.frame, int(r.frame.size())), 0) << r.name;
    }
}
