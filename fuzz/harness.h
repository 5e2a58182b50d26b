#pragma once
// What the fuzz targets and the corpus generator share: the layout of a fuzz
// input (so seeds and targets read it alike), a port and dialogs without
// hardware or operator, and the check that bytes the window would send are
// well-formed requests. The window's surroundings are the tests' own fake
// port and scripted dialogs.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QVector>

#include <algorithm>
#include "protocol/commands.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// ---------------------------------------------------------------------------
// Well-formed requests

// CRC-8/MAXIM written out again, so a fault in the tool's own checksum code
// cannot hide itself.
inline quint8 checksum(const char *bytes, int count)
{
    quint8 cr = 0;
    for (int i = 0; i < count; ++i) {
        cr ^= quint8(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            cr = (cr & 1) ? quint8((cr >> 1) ^ 0x8C) : quint8(cr >> 1);
    }
    return cr;
}

// Empty, or one or more requests one after the other: each 0x31, address,
// a command of the tool, exactly that command's data and the right
// checksum; or the reader search broadcast 31 FF DC.
inline bool wellFormedRequests(const QByteArray &bytes)
{
    int pos = 0;
    while (pos < bytes.size()) {
        const int left = bytes.size() - pos;
        const char *const frame = bytes.constData() + pos;
        if (left < 3 || quint8(frame[0]) != 0x31)
            return false;
        if (quint8(frame[1]) == 0xFF && quint8(frame[2]) == 0xDC) {
            pos += 3;
            continue;
        }
        const int length = proto::requestLength(quint8(frame[2]));
        if (length == 0 || left < length || checksum(frame, length - 1) != quint8(frame[length - 1]))
            return false;
        pos += length;
    }
    return true;
}

// Reports a broken rule with the bytes concerned and aborts, so libFuzzer
// keeps the input.
[[noreturn]] inline void fail(const char *rule, const QByteArray &bytes)
{
    std::fprintf(stderr, "fuzz: %s: %s\n", rule, bytes.toHex(' ').constData());
    std::abort();
}

// ---------------------------------------------------------------------------
// Input layouts

// Reads a fuzz input front to back; past the end it gives zero bytes.
class InputReader
{
public:
    InputReader(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    quint8 byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    QByteArray take(size_t count)
    {
        count = std::min(count, size_ - pos_);
        QByteArray out(reinterpret_cast<const char *>(data_ + pos_), int(count));
        pos_ += count;
        return out;
    }
    QByteArray rest() { return take(size_ - pos_); }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

// The tag mode texts the receive target puts into ModeMetki: 4 and 5 turn
// byte 4 of the reader data into the rotation display.
inline const char *const TagModeTexts[8] = {"", "4", "5", "2", "0", "255", "256", "x"};

// One run of the receive target: the window's state, then up to three
// receptions, one per tick of the exchange cycle.
//
//   byte 0  bits 0-1 page of SSTab1 (value % 3), bits 2-3 mode_yes (value % 3),
//           bit 4 net_opr = -1, bit 5 tag_read = 1, bit 6 no_data = -1,
//           bit 7 the adapter is unplugged (every write fails)
//   byte 1  bits 0-1 number of addresses in CmbNet, bits 2-3 which is
//           selected (ReceiveSetup::Selection), bits 4-6 ModeMetki text
//           (TagModeTexts), bit 7 the selected address is identified already
//   then    the addresses
//   byte    bits 0-1 number of receptions - 1 (value % 3), bits 2-4 reception i
//           arrives while its tick waits for the line (through the event
//           loop) rather than before the tick, bit 7 CointWrs = 1
//   then    the length of every reception but the last
//   rest    the received bytes; the last reception takes what is left, at
//           most 255 bytes as one read of the port does
struct ReceiveSetup {
    enum Selection { First, None, Last, Typed };
    static constexpr int MaxReceptions = 3;
    static constexpr int MaxRead = 255;

    int page = 0;
    int modeYes = 0;
    bool netOpr = false;
    bool tagRead = false;
    bool noData = false;
    bool unplugged = false;
    QVector<quint8> addresses;
    int selection = First;
    int tagMode = 0;
    bool identified = true;
    bool bridgeToggle = false;
    int lateMask = 0;
    QByteArrayList receptions{QByteArray()};

    static ReceiveSetup decode(const uint8_t *data, size_t size)
    {
        InputReader in(data, size);
        ReceiveSetup s;
        const quint8 state = in.byte();
        s.page = (state & 3) % 3;
        s.modeYes = ((state >> 2) & 3) % 3;
        s.netOpr = state & 0x10;
        s.tagRead = state & 0x20;
        s.noData = state & 0x40;
        s.unplugged = state & 0x80;
        const quint8 list = in.byte();
        s.selection = (list >> 2) & 3;
        s.tagMode = (list >> 4) & 7;
        s.identified = list & 0x80;
        for (int i = 0; i < (list & 3); ++i)
            s.addresses.append(in.byte());
        const quint8 shape = in.byte();
        const int count = (shape & 3) % MaxReceptions + 1;
        s.bridgeToggle = shape & 0x80;
        s.lateMask = (shape >> 2) & 7;
        QVector<int> lengths;
        for (int i = 0; i < count - 1; ++i)
            lengths.append(in.byte());
        s.receptions.clear();
        for (int length : lengths)
            s.receptions.append(in.take(size_t(length)));
        s.receptions.append(in.rest().left(MaxRead));
        return s;
    }

    QByteArray encode() const
    {
        QByteArray out;
        out.append(char(page | modeYes << 2 | (netOpr ? 0x10 : 0) | (tagRead ? 0x20 : 0)
                         | (noData ? 0x40 : 0) | (unplugged ? 0x80 : 0)));
        out.append(char(addresses.size() | selection << 2 | tagMode << 4 | (identified ? 0x80 : 0)));
        for (quint8 a : addresses)
            out.append(char(a));
        out.append(char((receptions.size() - 1) | lateMask << 2 | (bridgeToggle ? 0x80 : 0)));
        for (int i = 0; i + 1 < receptions.size(); ++i)
            out.append(char(receptions.at(i).size()));
        for (const QByteArray &r : receptions)
            out += r;
        return out;
    }
};

// The handlers the operator target drives with its texts.
enum class Handler {
    param,          // num_net, n_kan, ppow
    Command2,       // Zad2
    Command3,       // plm, iddm
    net,            // input box answer
    Command1,       // input box answer
    InstSN,         // input box answer, outID
    ReadParamMetki, // outID
    SetModesMetki,  // SerNumMetki, ID_Metki, IntervalMetki, ModeMetki, PowerMetki, sleep_time
    ids_r,          // the address only, as all that follow
    ids_clr,
    RD_DP,
    hig,
    low,
    Find_metki,
    sl_zapros,
    zapr_data_sl,
    Set_mode,
    Opros,
    Count
};

// One run of the operator target.
//
//   byte 0  the handler (value % Handler::Count)
//   byte 1  bits 0-1 the address box (OperatorInput::AddressBox),
//           bit 2 a mode request to address 5 is pending before the click,
//           bit 3 a tick of the exchange cycle follows the click,
//           bit 4 the typing in the address box runs CmbNet_Change,
//           bit 5 the operator answers Yes to a question,
//           bits 6-7 page of SSTab1 for that tick (value % 3)
//   rest    texts separated by '\n' (UTF-8, read leniently): first the
//           address box text, then the handler's texts in the order above
struct OperatorInput {
    enum AddressBox {
        TypedOverList, // entries 5 and 7, entry 5 selected, then the text typed over it (none when empty)
        OnlyEntry,     // the text is the one entry, selected
        TypedNoList,   // no entries, the text typed
        NoneSelected,  // entries 5 and 7, none selected, the text typed
    };
    static constexpr char Separator = '\n';

    int handler = 0;
    int addressBox = TypedOverList;
    bool pending = false;
    bool tick = false;
    bool typed = false;
    bool yes = false;
    int page = 0;
    QByteArrayList fields; // [0] the address box text

    static OperatorInput decode(const uint8_t *data, size_t size)
    {
        InputReader in(data, size);
        OperatorInput o;
        o.handler = in.byte() % int(Handler::Count);
        const quint8 flags = in.byte();
        o.addressBox = flags & 3;
        o.pending = flags & 0x04;
        o.tick = flags & 0x08;
        o.typed = flags & 0x10;
        o.yes = flags & 0x20;
        o.page = (flags >> 6) % 3;
        o.fields = in.rest().split(Separator);
        return o;
    }

    QByteArray encode() const
    {
        QByteArray out;
        out.append(char(handler));
        out.append(char(addressBox | (pending ? 0x04 : 0) | (tick ? 0x08 : 0) | (typed ? 0x10 : 0)
                         | (yes ? 0x20 : 0) | page << 6));
        out += fields.join(Separator);
        return out;
    }

    // Field i, empty when the input has fewer.
    QString text(int i) const
    {
        return i < fields.size() ? QString::fromUtf8(fields.at(i)) : QString();
    }
};

} // namespace fuzz
