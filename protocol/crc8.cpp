#include "protocol/crc8.h"

namespace proto {

namespace {
// CRC of each single-bit byte 0x01, 0x02, ... 0x80: because the CRC is linear,
// XOR-ing the entries of the set bits gives the CRC of any byte without a
// 256-entry table.
constexpr quint8 BitCrc[8] = {0x5E, 0xBC, 0x61, 0xC2, 0x9D, 0x23, 0x46, 0x8C};
} // namespace

quint8 crc(quint8 data, quint8 &cr)
{
    const quint8 f = data ^ cr;
    quint8 result = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (f & (1u << bit))
            result ^= BitCrc[bit];
    }
    cr = result;
    return cr;
}

quint8 crc8(const QByteArray &bytes, int count)
{
    const int n = (count < 0 || count > bytes.size()) ? int(bytes.size()) : count;
    quint8 cr = 0;
    for (int i = 0; i < n; ++i)
        crc(quint8(bytes.at(i)), cr);
    return cr;
}

} // namespace proto
