#include "protocol/conversions.h"

#include <gtest/gtest.h>

#include <limits>

using namespace proto;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

TEST(Conversions, ByteHexHasNoLeadingZero)
{
    EXPECT_EQ(byteHex(0x00), "0");
    EXPECT_EQ(byteHex(0x07), "7");
    EXPECT_EQ(byteHex(0x0A), "A");
    EXPECT_EQ(byteHex(0x3C), "3C");
    EXPECT_EQ(byteHex(0xFF), "FF");
}

TEST(Conversions, HexDumpPutsTheSeparatorAfterEveryByte)
{
    EXPECT_EQ(hexDump(hex("31 FF DC"), QLatin1Char(' ')), "31 FF DC ");
    EXPECT_EQ(hexDump(hex("31 01 06 6C"), QLatin1Char('_')), "31_1_6_6C_");
    EXPECT_EQ(hexDump(QByteArray(), QLatin1Char(' ')), "");
}

TEST(Conversions, CleanStr)
{
    const struct { const char *bytes; QString expected; } cases[] = {
        {"", QString()},
        {"3E 05 31 5D 0D 0A", QStringLiteral(">@1<ACK><CR><LF>")},
        {"5B 5D", QStringLiteral("<NAK><ACK>")},
        {"31 01 06 6C", QStringLiteral("1@@l")},
        {"00 20 21 2F 09", QStringLiteral("@@@@@")},
        {"30 7A", QStringLiteral("0z")},
        {"C0 FF A8 B8 B9", QStringLiteral(u"АяЁё№")},
        {"CF F0 E8 E2 E5 F2", QStringLiteral(u"Привет")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CleanStr(hex(c.bytes)), c.expected) << c.bytes;
}

TEST(Conversions, OutWinTextIsDumpBlankLineAndCleanText)
{
    EXPECT_EQ(outWinText(hex("31 01 06 6C")), "31 1 6 6C \r\n\r\n1@@l");
    EXPECT_EQ(outWinText(QByteArray()), "\r\n\r\n");
}

TEST(Conversions, HexIdentifierToBytesAndNumber)
{
    const struct { const char *text; HexError error; const char *bytes; quint32 value; } cases[] = {
        {"12AB3C", HexError::None, "00 12 AB 3C", 0x0012AB3C},
        {"abc", HexError::None, "00 00 0A BC", 0x0ABC},
        {"7", HexError::None, "00 00 00 07", 7},
        {"", HexError::None, "00 00 00 00", 0},
        {"00000000", HexError::None, "00 00 00 00", 0},
        {"aBcD", HexError::None, "00 00 AB CD", 0xABCD},
        {"FFFFFFFF", HexError::None, "FF FF FF FF", 0xFFFFFFFFu},
        {"123456789", HexError::TooLong, "", 0},
        {"GGGGGGGGG", HexError::TooLong, "", 0}, // length is checked before the digits
        {"1G", HexError::NotHex, "", 0},
        {"12 4", HexError::NotHex, "", 0},
        {"-1", HexError::NotHex, "", 0},
    };
    for (const auto &c : cases) {
        const QString text = QString::fromLatin1(c.text);
        const HexBytes b = HexStr2Dig(text);
        EXPECT_EQ(b.error, c.error) << c.text;
        EXPECT_EQ(b.bytes, hex(c.bytes)) << c.text;
        const HexNumber n = hexToNumber(text);
        EXPECT_EQ(n.error, c.error) << c.text;
        EXPECT_EQ(n.value, c.value) << c.text;
    }
}

TEST(Conversions, Dig2HexStrReadsLittleEndianAndNeverPastTheEnd)
{
    EXPECT_EQ(dig2hexStr(hex("00 00 00 00"), 1), "0000000");
    EXPECT_EQ(dig2hexStr(hex("3C AB 12 00"), 1), "012AB3C");
    EXPECT_EQ(dig2hexStr(hex("3E 01 E6 0A 00 B2 01 FF"), 4), "1B2000A");
    EXPECT_EQ(dig2hexStr(hex("3C AB"), 1), "000AB3C");
    EXPECT_EQ(dig2hexStr(hex("3C AB"), 10), "0000000");
    EXPECT_EQ(dig2hexStr(hex("3C AB 12 00"), 0), "12AB3C00"); // position 0 counts as 0
    EXPECT_EQ(dig2hexStr(QByteArray(), 1), "0000000");
}

TEST(Conversions, IdTextAndNumbers)
{
    EXPECT_EQ(idText(0x00, 0x12, 0x0A, 0xFF), "0120AFF");
    EXPECT_EQ(idText(0xFF, 0x00, 0x00, 0x01), "FF000001");
    EXPECT_EQ(Long_to_string(0), hex("00 00 00 00"));
    EXPECT_EQ(Long_to_string(2000000), hex("00 1E 84 80"));
    EXPECT_EQ(Long_to_string(65536), hex("00 01 00 00"));
    EXPECT_EQ(Long_to_string(0xFFFFFFFFu), hex("FF FF FF FF"));
}

TEST(Conversions, VersionTextDotsEveryDigitPlace)
{
    EXPECT_EQ(versionText(134), "1.3.4.");
    EXPECT_EQ(versionText(129), "1.2.9.");
    EXPECT_EQ(versionText(99), "9.9..");
    EXPECT_EQ(versionText(5), "5...");
    EXPECT_EQ(versionText(0), "0...");
}

TEST(Conversions, ParseInteger)
{
    constexpr qint64 Max = std::numeric_limits<qint64>::max();
    constexpr qint64 Min = std::numeric_limits<qint64>::min();
    const struct { QString text; std::optional<qint64> expected; } cases[] = {
        {"0", 0}, {"  42 ", 42}, {"+7", 7}, {"-15", -15}, {"-0", 0}, {"0010", 10},
        {"9223372036854775807", Max}, {"-9223372036854775808", Min},
        {"9223372036854775808", std::nullopt}, {"-9223372036854775809", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt}, {"   ", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt},
        {"abc", std::nullopt}, {"1.5", std::nullopt}, {"12a", std::nullopt}, {"1 2", std::nullopt},
        {"0x10", std::nullopt}, {"++1", std::nullopt}, {"1e3", std::nullopt},
        {QStringLiteral(u"\u0661\u0662"), std::nullopt}, // digits of another script
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseInteger(c.text), c.expected) << c.text.toStdString();
}

} // namespace
