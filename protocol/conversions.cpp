#include "protocol/conversions.h"

#include <limits>

namespace proto {

namespace {

// Windows-1251 upper half 0x80..0xBF. 0xC0..0xFF are the 64 Cyrillic letters
// А..я in Unicode order and need no table. 0x98 is unassigned in this code
// page.
constexpr char16_t Cp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

QChar cp1251Char(quint8 b)
{
    if (b < 0x80)
        return QChar(char16_t(b));
    if (b < 0xC0)
        return QChar(Cp1251High[b - 0x80]);
    return QChar(char16_t(0x0410 + (b - 0xC0)));
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

QString twoDigitHex(quint8 b)
{
    return QStringLiteral("%1").arg(uint(b), 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString byteHex(quint8 b)
{
    return QString::number(uint(b), 16).toUpper();
}

QString hexDump(const QByteArray &bytes, QChar separator)
{
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        out += byteHex(quint8(c));
        out += separator;
    }
    return out;
}

QString CleanStr(const QByteArray &textLine)
{
    QString out;
    out.reserve(textLine.size());
    for (const char c : textLine) {
        const quint8 b = quint8(c);
        // Order matters: the brackets are above 0x30 but are the reader's
        // acknowledge characters and must be spelled out.
        if (b == 0x5D)
            out += QLatin1String("<ACK>");
        else if (b == 0x5B)
            out += QLatin1String("<NAK>");
        else if (b >= 0x30)
            out += cp1251Char(b);
        else if (b == 0x0D)
            out += QLatin1String("<CR>");
        else if (b == 0x0A)
            out += QLatin1String("<LF>");
        else
            out += QLatin1Char('@');
    }
    return out;
}

QString outWinText(const QByteArray &sst)
{
    return hexDump(sst, QLatin1Char(' ')) + QLatin1String("\r\n\r\n") + CleanStr(sst);
}

HexNumber hexToNumber(const QString &text)
{
    HexNumber result;
    if (text.size() > 8) {
        result.error = HexError::TooLong;
        return result;
    }
    quint32 value = 0;
    for (const QChar c : text) {
        const int digit = hexDigitValue(c);
        if (digit < 0) {
            result.error = HexError::NotHex;
            return result;
        }
        value = (value << 4) | quint32(digit);
    }
    result.value = value;
    return result;
}

HexBytes HexStr2Dig(const QString &df)
{
    // Taking the digits in pairs from the left with an odd first digit as a
    // byte of its own is the same as reading the whole text as one number.
    const HexNumber number = hexToNumber(df);
    HexBytes result;
    result.error = number.error;
    if (number.error == HexError::None)
        result.bytes = Long_to_string(number.value);
    return result;
}

QString dig2hexStr(const QByteArray &instri, int numpos)
{
    auto at = [&instri](int pos1) -> quint8 {
        if (pos1 < 1 || pos1 > instri.size())
            return 0;
        return quint8(instri.at(pos1 - 1));
    };
    return idText(at(numpos + 3), at(numpos + 2), at(numpos + 1), at(numpos));
}

QString idText(quint8 b3, quint8 b2, quint8 b1, quint8 b0)
{
    return byteHex(b3) + twoDigitHex(b2) + twoDigitHex(b1) + twoDigitHex(b0);
}

QByteArray Long_to_string(quint32 num)
{
    QByteArray out(4, '\0');
    for (int i = 3; i >= 0; --i) {
        out[i] = char(num & 0xFF);
        num >>= 8;
    }
    return out;
}

QString versionText(quint8 v)
{
    const QString digits = QString::number(uint(v));
    QString out;
    for (int i = 0; i < 3; ++i) {
        if (i < digits.size())
            out += digits.at(i);
        out += QLatin1Char('.');
    }
    return out;
}

std::optional<qint64> parseInteger(const QString &text)
{
    const QString t = text.trimmed();
    int pos = 0;
    bool negative = false;
    if (pos < t.size() && (t.at(pos) == QLatin1Char('+') || t.at(pos) == QLatin1Char('-'))) {
        negative = t.at(pos) == QLatin1Char('-');
        ++pos;
    }
    if (pos == t.size())
        return std::nullopt;

    // Accumulate towards the negative side so that the smallest qint64 fits.
    constexpr qint64 Min = std::numeric_limits<qint64>::min();
    qint64 value = 0;
    for (; pos < t.size(); ++pos) {
        const char16_t u = t.at(pos).unicode();
        if (u < '0' || u > '9')
            return std::nullopt;
        const int digit = u - '0';
        if (value < (Min + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == Min)
            return std::nullopt;
        value = -value;
    }
    return value;
}

} // namespace proto
