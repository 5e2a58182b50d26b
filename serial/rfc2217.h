#pragma once
// Telnet with the COM-PORT-OPTION (RFC 2217), as a gateway in that mode
// speaks it, without a socket: bytes from the gateway go in, the line's own
// bytes and what we must answer come out. The line settings are asked for
// once the gateway agrees to the option, and the line counts as set only
// when the gateway has confirmed every one of them with our values.
#include <QByteArray>
#include <QString>

namespace telnet {
constexpr quint8 IAC = 0xFF, DONT = 0xFE, DO = 0xFD, WONT = 0xFC, WILL = 0xFB, SB = 0xFA, SE = 0xF0;
constexpr quint8 Binary = 0, SuppressGoAhead = 3, ComPortOption = 44;
// COM-PORT-OPTION commands from the client; the server answers each with
// the same number plus 100.
constexpr quint8 SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5;
constexpr quint8 ServerOffset = 100;
constexpr quint8 ParityNone = 1, ParityOdd = 2, ParityEven = 3, ParityMark = 4, ParitySpace = 5;
constexpr quint8 StopOne = 1, StopTwo = 2, StopOneAndHalf = 3;
constexpr quint8 ControlNoFlow = 1;
} // namespace telnet

class Rfc2217Session
{
public:
    struct Line {
        quint32 baud = 19200;
        quint8 dataBits = 8;
        quint8 parity = telnet::ParityNone;
        quint8 stopBits = telnet::StopOne;
    };
    enum class State { Negotiating, Agreed, Refused };

    explicit Rfc2217Session(const Line &wanted);

    // What the client says first: binary both ways, and that it will use
    // the COM-PORT-OPTION.
    QByteArray opening() const;

    struct Parsed {
        QByteArray data;   // the line's own bytes, unescaped
        QByteArray answer; // to be sent back to the gateway
    };
    // Takes the next bytes from the gateway, in pieces of any size: a
    // command split across pieces is kept until its end comes.
    Parsed feed(const QByteArray &in);

    State state() const { return state_; }
    // Why the gateway refused, in the technician's words (Russian).
    QString refusal() const { return refusal_; }

    // The line's bytes as they travel in Telnet: 0xFF doubled.
    static QByteArray escape(const QByteArray &data);

private:
    void onOption(quint8 verb, quint8 option, QByteArray *answer);
    void onSubnegotiation(const QByteArray &sb);
    void refuse(const QString &why);
    void keepSub(char c);
    QByteArray settingRequests() const;

    Line wanted_;
    State state_ = State::Negotiating;
    QString refusal_;
    bool requested_ = false;
    int confirmed_ = 0; // bit per setting the gateway has confirmed
    // The parser's place in the stream.
    enum class In { Data, Iac, Option, Sub, SubIac } in_ = In::Data;
    quint8 verb_ = 0;
    QByteArray sub_;
    bool subTooLong_ = false;
};
