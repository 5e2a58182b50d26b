#pragma once
// One run of the operator target: arbitrary texts into the protocol's text
// conversions, and into every handler that reads a number or an ID from a
// text box, an input box or the address box. No text may crash a handler;
// whatever a handler leaves pending, and whatever the next tick sends, must
// be well-formed requests; each conversion must agree with an answer worked
// out another way. The input layout is OperatorInput. Shared by
// fuzz_operator and the regression tests.
#include "fuzzwindow.h"
#include "window/windowseam.h"

#include "protocol/conversions.h"
#include "protocol/frame.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTabWidget>

#include <optional>

namespace fuzz {

// A decimal integer as the operator means it: blanks around it, one optional
// sign, ASCII digits, and within the 64-bit range.
inline std::optional<qint64> expectedInteger(const QString &text)
{
    QString t = text.trimmed();
    bool negative = false;
    if (!t.isEmpty() && (t.front() == QLatin1Char('+') || t.front() == QLatin1Char('-'))) {
        negative = t.front() == QLatin1Char('-');
        t.remove(0, 1);
    }
    if (t.isEmpty())
        return std::nullopt;
    for (const QChar c : t) {
        if (c.unicode() < '0' || c.unicode() > '9')
            return std::nullopt;
    }
    int zeros = 0;
    while (zeros < t.size() - 1 && t.at(zeros) == QLatin1Char('0'))
        ++zeros;
    t.remove(0, zeros);
    const QString limit = negative ? QStringLiteral("9223372036854775808") : QStringLiteral("9223372036854775807");
    if (t.size() > limit.size() || (t.size() == limit.size() && t > limit))
        return std::nullopt;
    return (negative ? QLatin1Char('-') + t : t).toLongLong();
}

inline bool allHexDigits(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f')))
            return false;
    }
    return true;
}

// The text conversions on one field of the input.
inline Outcome checkConversions(const QByteArray &raw)
{
    const QString text = QString::fromUtf8(raw);

    const auto number = proto::parseInteger(text);
    if (number != expectedInteger(text))
        return Violation{"parseInteger", raw};

    const auto address = proto::addressFromText(text);
    const bool isAddress = number && *number >= 0 && *number <= 255;
    if (address.has_value() != isAddress || (address && *address != *number))
        return Violation{"addressFromText", raw};

    const proto::HexNumber hex = proto::hexToNumber(text);
    const proto::HexBytes id = proto::HexStr2Dig(text);
    proto::HexError expectedError = proto::HexError::None;
    if (text.size() > 8)
        expectedError = proto::HexError::TooLong;
    else if (!allHexDigits(text))
        expectedError = proto::HexError::NotHex;
    if (hex.error != expectedError || id.error != expectedError)
        return Violation{"hexToNumber / HexStr2Dig refusal", raw};
    if (expectedError == proto::HexError::None) {
        const quint32 value = text.isEmpty() ? 0 : text.toUInt(nullptr, 16);
        if (hex.value != value || id.bytes != proto::Long_to_string(value))
            return Violation{"hexToNumber / HexStr2Dig value", raw};
    } else if (!id.bytes.isEmpty()) {
        return Violation{"HexStr2Dig gave bytes with its refusal", raw};
    }

    // The reply-side renderings take the same bytes, from any position.
    for (int pos : {-3, 0, 1, int(raw.size()) - 2, int(raw.size()) + 1})
        proto::dig2hexStr(raw, pos);
    proto::CleanStr(raw);
    return std::nullopt;
}

class OperatorTarget
{
public:
    Outcome run(const uint8_t *data, size_t size)
    {
        const OperatorInput in = OperatorInput::decode(data, size);
        for (const QByteArray &field : in.fields) {
            if (Outcome broken = checkConversions(field))
                return broken;
        }

        frmSerial &w = *window_.w;
        FakePort &port = window_.port;
        CycleVars start = w.vars();
        start.wrs.clear();
        start.tag_read = 0;
        start.last_net = 5;
        WindowSeam::restore(w, start);
        window_.forgetBoxes();
        window_.dialogs.standingInput.reset();
        window_.dialogs.standingYesNo = in.yes;
        setAddressBox(in);
        if (in.typed)
            w.CmbNet_Change(); // as the typing itself would
        Outcome outcome = expectRequests("the address box left a malformed request", w.vars().wrs);
        if (in.pending)
            WindowSeam::cycle(w).appendRequest(proto::buildRequest(5, 0xF2, QByteArray(1, '\x02')));

        if (!outcome) {
            click(in);
            outcome = expectRequests("a handler left a malformed request", w.vars().wrs);
        }

        if (!outcome && in.tick) {
            tabs_->setCurrentIndex(in.page);
            port.written.clear();
            w.TMRComm_Timer();
            WindowSeam::runner(w).endReadNow();
            for (const QByteArray &sent : port.written) {
                if (!outcome)
                    outcome = expectRequests("the tick after a handler wrote a malformed request", sent);
            }
            if (!outcome && !w.vars().wrs.isEmpty())
                outcome = Violation{"the tick left its request pending", w.vars().wrs};
        }
        settle();
        return outcome;
    }

private:
    void setAddressBox(const OperatorInput &in)
    {
        QComboBox *const box = addressBox_;
        const QString text = in.text(0);
        const QStringList readers{QStringLiteral("5"), QStringLiteral("7")};
        box->clear();
        switch (in.addressBox) {
        case OperatorInput::TypedOverList:
            box->addItems(readers);
            box->setCurrentIndex(0);
            if (!text.isEmpty())
                box->setEditText(text);
            break;
        case OperatorInput::OnlyEntry:
            box->addItem(text);
            box->setCurrentIndex(0);
            break;
        case OperatorInput::TypedNoList:
            box->setEditText(text);
            break;
        case OperatorInput::NoneSelected:
            box->addItems(readers);
            box->setCurrentIndex(-1);
            box->setEditText(text);
            break;
        }
    }

    void fill(const char *box, const OperatorInput &in, int field)
    {
        window_.ctl<QLineEdit>(box)->setText(in.text(field));
    }

    void label(const char *name, const OperatorInput &in, int field)
    {
        window_.ctl<QLabel>(name)->setText(in.text(field));
    }

    void click(const OperatorInput &in)
    {
        frmSerial &w = *window_.w;
        ScriptedDialogs &dialogs = window_.dialogs;

        switch (Handler(in.handler)) {
        case Handler::param:
            fill("num_net", in, 1);
            fill("n_kan", in, 2);
            fill("ppow", in, 3);
            w.param_Click();
            break;
        case Handler::Command2:
            fill("Zad2", in, 1);
            w.Command2_Click();
            break;
        case Handler::Command3:
            fill("plm", in, 1);
            fill("iddm", in, 2);
            w.Command3_Click();
            break;
        case Handler::net:
            dialogs.standingInput = in.text(1);
            w.net_Click();
            break;
        case Handler::Command1:
            dialogs.standingInput = in.text(1);
            w.Command1_Click();
            break;
        case Handler::InstSN:
            dialogs.standingInput = in.text(1);
            label("outID", in, 2);
            w.InstSN_Click();
            break;
        case Handler::ReadParamMetki:
            label("outID", in, 1);
            w.ReadParamMetki_Click();
            break;
        case Handler::SetModesMetki:
            label("SerNumMetki", in, 1);
            fill("ID_Metki", in, 2);
            fill("IntervalMetki", in, 3);
            fill("ModeMetki", in, 4);
            fill("PowerMetki", in, 5);
            fill("sleep_time", in, 6);
            w.SetModesMetki_Click();
            break;
        case Handler::ids_r:
            w.ids_r_Click();
            break;
        case Handler::ids_clr:
            w.ids_clr_Click();
            break;
        case Handler::RD_DP:
            w.RD_DP_Click();
            break;
        case Handler::hig:
            w.hig_Click();
            break;
        case Handler::low:
            w.low_Click();
            break;
        case Handler::Find_metki:
            w.Find_metki_Click();
            break;
        case Handler::sl_zapros:
            w.sl_zapros_Click();
            break;
        case Handler::zapr_data_sl:
            w.zapr_data_sl_Click();
            break;
        case Handler::Set_mode:
            w.Set_mode_Click();
            break;
        case Handler::Opros:
            w.Opros_Click();
            break;
        case Handler::Count:
            break;
        }
    }

    FuzzWindow window_;
    QTabWidget *tabs_ = window_.ctl<QTabWidget>("SSTab1");
    QComboBox *addressBox_ = window_.ctl<QComboBox>("CmbNet");
};

} // namespace fuzz
