#pragma once
// What a reception means, decided once for everyone: the exchange cycle, the
// exchange log, the line diagnostics and rfidctl all read the same verdict.
// Given the request the reception follows and what the program waits for,
// it says whether the reception answers the request and how, and decodes
// what it carries.
#include "protocol/replies.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>
#include <variant>

namespace proto {

enum class Verdict {
    None,         // nothing arrived
    Taken,        // a whole reply that answers the request
    TooShort,     // a frame shorter than the layout of its code
    BadChecksum,  // a frame whose code is refused with a wrong checksum
    OtherAddress, // the answer to a request to the reader picked before: its
                  // values are not those of the reader picked now
    Unasked,      // a whole frame that answers no request that went out: from
                  // another device, of another code, when nothing was asked, or
                  // of a code no request has. The window still takes it by its
                  // code, as the line's tools always have.
    TwoReplies,   // a whole reply followed by more: two devices answered one request
    SearchAnswer, // the list of addresses a reader search waits for
    Noise,        // no frame, and no search waits for a list
};

// The replies that carry something, decoded.
struct Addresses { QVector<quint8> list; };    // a search answer
struct Delay { quint16 value = 0; };           // 0xF1 (and 0xF7)
struct IdTable { QVector<QString> ids; };      // 0xE6
struct SlaveWord { quint16 value = 0; };       // 0x06
struct Confirmation {                          // a setting confirmed
    quint8 code = 0;
    quint8 value = 0;                          // byte 4 when there is one (the mode now in force)
};
using Reply = std::variant<std::monostate, Addresses, Identification, ReaderData, Delay, IdTable,
                           TagPoll, TagData, SlaveData, SlaveWord, Confirmation>;

// What the program knows when a reception comes.
struct Asked {
    QByteArray request;            // what went out one tick before (empty: nothing did)
    bool searchWaits = false;      // a reader search waits for its list
    std::optional<quint8> picked;  // the address the program works with now
};

struct Reception {
    Verdict verdict = Verdict::None;
    Reply decoded;                 // set for Taken and Unasked receptions that carry
                                   // something, and for a search answer
    bool frame = false;            // starts with 0x3E and is longer than 3 bytes
    bool checksumRight = false;    // a frame whose last byte is the checksum of the rest
    quint8 code = 0;               // byte 3 of a frame
    quint8 from = 0;               // byte 2 of a frame
    std::optional<quint8> askedAddress; // where the request went (none: nothing, or the search)

    // The program uses what it carries.
    bool used() const
    {
        return verdict == Verdict::Taken || verdict == Verdict::Unasked
            || verdict == Verdict::SearchAnswer;
    }
};

Reception classify(const QByteArray &reply, const Asked &asked);

// A whole frame of `code` ends at byte `length` and more follows: the first
// `length` bytes check, and, when the whole is as long as the code's other
// form, the rest is a frame of its own.
bool holdsTwoReplies(const QByteArray &reply);

// The verdict in the technician's words: "два ответа на один запрос".
QString verdictText(Verdict v);

} // namespace proto
