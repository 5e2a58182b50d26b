#include "serial/rfc2217.h"

#include <initializer_list>

using namespace telnet;

namespace {

constexpr int AllConfirmed = (1 << SetBaudRate) | (1 << SetDataSize) | (1 << SetParity) | (1 << SetStopSize)
                             | (1 << SetControl);
// A subnegotiation longer than any the option defines is not one of ours:
// it is dropped, never grown without bound.
constexpr int MaxSubnegotiation = 64;

QByteArray bytes(std::initializer_list<quint8> values)
{
    QByteArray out;
    for (const quint8 v : values)
        out += char(v);
    return out;
}

QByteArray command(quint8 verb, quint8 option)
{
    return bytes({IAC, verb, option});
}

QByteArray subnegotiation(quint8 code, const QByteArray &value)
{
    QByteArray out = bytes({IAC, SB, ComPortOption, code});
    out += Rfc2217Session::escape(value);
    out += char(IAC);
    out += char(SE);
    return out;
}

QString parityText(quint8 p)
{
    switch (p) {
    case ParityNone: return QStringLiteral("N");
    case ParityOdd: return QStringLiteral("O");
    case ParityEven: return QStringLiteral("E");
    case ParityMark: return QStringLiteral("M");
    case ParitySpace: return QStringLiteral("S");
    default: return QStringLiteral("?");
    }
}

} // namespace

Rfc2217Session::Rfc2217Session(const Line &wanted) : wanted_(wanted) {}

QByteArray Rfc2217Session::opening() const
{
    return command(WILL, Binary) + command(DO, Binary) + command(WILL, ComPortOption);
}

QByteArray Rfc2217Session::escape(const QByteArray &data)
{
    QByteArray out;
    out.reserve(data.size());
    for (const char c : data) {
        out += c;
        if (quint8(c) == IAC)
            out += c;
    }
    return out;
}

QByteArray Rfc2217Session::settingRequests() const
{
    const quint32 b = wanted_.baud;
    const QByteArray baud = bytes({quint8(b >> 24), quint8(b >> 16), quint8(b >> 8), quint8(b)});
    return subnegotiation(SetBaudRate, baud) + subnegotiation(SetDataSize, QByteArray(1, char(wanted_.dataBits)))
           + subnegotiation(SetParity, QByteArray(1, char(wanted_.parity)))
           + subnegotiation(SetStopSize, QByteArray(1, char(wanted_.stopBits)))
           + subnegotiation(SetControl, QByteArray(1, char(ControlNoFlow)));
}

void Rfc2217Session::refuse(const QString &why)
{
    if (state_ == State::Refused)
        return;
    state_ = State::Refused;
    refusal_ = why;
}

void Rfc2217Session::onOption(quint8 verb, quint8 option, QByteArray *answer)
{
    if (option == ComPortOption) {
        if (verb == DO && !requested_) {
            requested_ = true;
            *answer += settingRequests();
        } else if (verb == DONT || verb == WONT) {
            refuse(QStringLiteral("шлюз не поддерживает управление портом по RFC 2217"));
        }
        return;
    }
    // Binary both ways and no go-ahead are welcome (and already offered or
    // asked for in the opening); everything else is declined, once, so that
    // two parties never answer each other forever.
    const bool welcome = option == Binary || option == SuppressGoAhead;
    if (verb == DO && !welcome)
        *answer += command(WONT, option);
    else if (verb == WILL && !welcome)
        *answer += command(DONT, option);
    else if (verb == DO && option == SuppressGoAhead)
        *answer += command(WILL, option);
    else if (verb == WILL && option == SuppressGoAhead)
        *answer += command(DO, option);
}

void Rfc2217Session::onSubnegotiation(const QByteArray &sb)
{
    if (sb.size() < 2 || quint8(sb.at(0)) != ComPortOption)
        return;
    const quint8 code = quint8(sb.at(1));
    if (code <= ServerOffset || code > ServerOffset + SetControl)
        return; // line state and modem state notices tell us nothing we wait for
    const quint8 setting = code - ServerOffset;
    const QByteArray value = sb.mid(2);
    QString wrong;
    switch (setting) {
    case SetBaudRate: {
        if (value.size() != 4)
            return refuse(QStringLiteral("шлюз ответил на скорость неполным значением"));
        const quint32 baud = (quint32(quint8(value[0])) << 24) | (quint32(quint8(value[1])) << 16)
                             | (quint32(quint8(value[2])) << 8) | quint32(quint8(value[3]));
        if (baud != wanted_.baud)
            wrong = QStringLiteral("скорость %1 вместо %2").arg(baud).arg(wanted_.baud);
        break;
    }
    case SetDataSize:
        if (value.size() != 1 || quint8(value[0]) != wanted_.dataBits)
            wrong = QStringLiteral("%1 бит данных вместо %2").arg(value.isEmpty() ? 0 : quint8(value[0]))
                        .arg(wanted_.dataBits);
        break;
    case SetParity:
        if (value.size() != 1 || quint8(value[0]) != wanted_.parity)
            wrong = QStringLiteral("чётность %1 вместо %2")
                        .arg(parityText(value.isEmpty() ? 0 : quint8(value[0])), parityText(wanted_.parity));
        break;
    case SetStopSize:
        if (value.size() != 1 || quint8(value[0]) != wanted_.stopBits)
            wrong = QStringLiteral("другое число стоповых битов");
        break;
    case SetControl:
        if (value.size() != 1 || quint8(value[0]) != ControlNoFlow)
            wrong = QStringLiteral("управление потоком не отключено");
        break;
    default:
        return;
    }
    if (!wrong.isEmpty())
        return refuse(QStringLiteral("шлюз не принял 19200 8N1: ") + wrong);
    confirmed_ |= 1 << setting;
    if (confirmed_ == AllConfirmed && state_ == State::Negotiating)
        state_ = State::Agreed;
}

void Rfc2217Session::keepSub(char c)
{
    if (sub_.size() < MaxSubnegotiation)
        sub_ += c;
    else
        subTooLong_ = true;
}

Rfc2217Session::Parsed Rfc2217Session::feed(const QByteArray &in)
{
    Parsed out;
    for (const char ch : in) {
        const quint8 c = quint8(ch);
        switch (in_) {
        case In::Data:
            if (c == IAC)
                in_ = In::Iac;
            else
                out.data += ch;
            break;
        case In::Iac:
            if (c == IAC) {
                out.data += ch; // a doubled 0xFF is one data byte
                in_ = In::Data;
            } else if (c == DO || c == DONT || c == WILL || c == WONT) {
                verb_ = c;
                in_ = In::Option;
            } else if (c == SB) {
                sub_.clear();
                subTooLong_ = false;
                in_ = In::Sub;
            } else {
                in_ = In::Data; // NOP, go-ahead and the like carry nothing
            }
            break;
        case In::Option:
            onOption(verb_, c, &out.answer);
            in_ = In::Data;
            break;
        case In::Sub:
            if (c == IAC)
                in_ = In::SubIac;
            else
                keepSub(ch);
            break;
        case In::SubIac:
            if (c == SE) {
                if (!subTooLong_)
                    onSubnegotiation(sub_);
                sub_.clear();
                in_ = In::Data;
            } else {
                if (c == IAC)
                    keepSub(ch);
                in_ = In::Sub;
            }
            break;
        }
    }
    return out;
}
