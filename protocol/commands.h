#pragma once
// Every command code of the line in one table: how long its request is, which
// reply answers it, how long a reply carrying the code is and what it is
// called in the exchange log. The log, the request parser of the simulated
// line, the reading of receptions (reception.h) and rfidctl read it from
// here; the status texts a reply shows are the exchange cycle's
// (exchange/statustexts.h).
#include <QString>

namespace proto {

enum class Command : quint8 {
    SlaveRs485 = 0x06,     // slave sensor's RS-485 data word
    TagPoll = 0xE0,        // tag poll (whichever tag is in the field answers)
    TagParams = 0xE1,      // write a tag's parameters
    TagSerial = 0xE2,      // give a tag a serial number
    TagData = 0xE3,        // read a tag's parameters
    IdTable = 0xE6,        // write one bound-ID cell; the table comes back with this code
    IdTableRead = 0xE7,
    SlaveData = 0xE8,
    IdTableClear = 0xE9,
    ReaderData = 0xF0,
    Delay = 0xF1,          // ID-zeroing delay; its value comes back with this code
    Mode = 0xF2,
    AveragingOff = 0xF3,   // confirmations only: no request of the program asks for them
    RadioParams = 0xF4,
    FullLevel = 0xF5,
    ReaderSerial = 0xF6,
    DelayRead = 0xF7,
    Averaging = 0xF8,
    EmptyLevel = 0xFA,
    NetAddress = 0xFB,
    Identification = 0xFC,
    Inversion = 0xFD,
};

constexpr quint8 code(Command c) { return quint8(c); }

// The number a tag poll carries in place of a real tag's: whichever tag is
// in the field answers.
constexpr quint32 TagPollNumber = 0x7A7A7A7A;

// A reader's mode byte: the mode code in bits 0..4, the two bridge options
// in bits 6 and 7.
constexpr quint8 ModeCodeMask = 0x1F;
constexpr quint8 ModeOptionFrequency = 0x40; // "Частотный выход"
constexpr quint8 ModeOptionMaster = 0x80;    // "Мастер"

// The name of a mode code (mode byte & ModeCodeMask) as the window's mode
// frame shows it, or null for a code that is no mode.
const char *modeName(quint8 code);

// The values a reader takes in its setting requests.
namespace limits {
constexpr int NetworkMin = 1, NetworkMax = 65000; // 0xF4
constexpr int ChannelMin = 1, ChannelMax = 255;
constexpr int PowerMin = 3, PowerMax = 255;
constexpr int DelayMax = 6000;                    // 0xF1
constexpr int NewAddressMax = 200;                // 0xFB
constexpr qint64 SerialMax = 2000000;             // 0xF6
} // namespace limits

struct CommandInfo {
    Command command;
    // The whole request, checksum included; 0 for a code the program never sends.
    int requestLength;
    // What a reply with this code is, in the technician's words (UTF-8).
    const char *replyName;
    // The code of the reply that answers this request (the table read comes
    // back as the table, the delay read as the delay's setting).
    Command answeredBy;
    // A reply carrying this code: its whole length, checksum included, and
    // the length of its long form (0: it has one form only); 0 for a code
    // no reply carries.
    int replyLength;
    int longReplyLength;
    // The bytes its decoder reads: a shorter reply is too short.
    int replyNeeds;
    // The reply only confirms a setting.
    bool confirmation;
    // The program refuses the reply when its checksum is wrong.
    bool checksumChecked;
};

// The row of `code`, or null for a code no device on the line knows.
const CommandInfo *commandInfo(quint8 code);

// The whole length of a request with this command code, checksum included;
// 0 for a code no request of the program carries. The reader search
// (31 FF DC) has no command byte and is not covered.
int requestLength(quint8 command);

// Whether a reply with code `replyCode` answers a request with `requestCode`.
bool answers(quint8 requestCode, quint8 replyCode);

} // namespace proto
