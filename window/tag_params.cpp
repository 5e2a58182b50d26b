// Writing a tag's ID, delay, mode, power and period (0xE1). The tag is
// addressed by the serial number the last tag poll reported.
#include "window/frmSerial.h"
#include "window/messages.h"
#include "protocol/requests.h"
#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "widgets/dialogs.h"
#include "ui_frmSerial.h"

#include <limits>

namespace {

bool fitsInt32(const std::optional<qint64> &v)
{
    return v && *v >= std::numeric_limits<qint32>::min() && *v <= std::numeric_limits<qint32>::max();
}

// Digits only, after an optional "+", too many for any integer type: a
// whole number, just a large one.
bool isLargeWholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    const int start = t.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (t.size() == start)
        return false;
    for (int i = start; i < t.size(); ++i) {
        if (t.at(i) < QLatin1Char('0') || t.at(i) > QLatin1Char('9'))
            return false;
    }
    return true;
}


} // namespace

void frmSerial::SetModesMetki_Click()
{
    cycle_.dropRequest();
    // The values are read once a tick in progress has shown its reply: a tag
    // reply it brings is on the page before the click, as it would have been.
    inOrder([this] {
        const auto address = currentAddress();
        if (!address) {
            sayNoAddress();
            cycle_.whenSettled(showInCommandBox());
            return;
        }

        // Every refusal leaves nothing pending. The checks run in this order and
        // only the first failing one is reported.
        const auto refuse = [this](const QString &text) {
            dialogs_.message(text);
            cycle_.dropRequest();
        };

        const auto serial = proto::parseInteger(ui->SerNumMetki->text());
        const auto mode = proto::parseInteger(ui->ModeMetki->text());
        const auto delay = proto::parseInteger(ui->IntervalMetki->text());
        const auto power = proto::parseInteger(ui->PowerMetki->text());
        // Serial numbers are unsigned 32-bit: tags with the top bit set exist.
        const bool serialFits = serial && *serial <= std::numeric_limits<quint32>::max()
                                && *serial >= std::numeric_limits<qint32>::min();
        // A delay too large for two bytes gets its own message further on, however
        // many digits it has; here only a text that is no number fails.
        const bool delayTooLarge = delay ? *delay > 65535 : isLargeWholeNumber(ui->IntervalMetki->text());
        if (!serialFits || !fitsInt32(mode) || (!delay && !delayTooLarge) || !fitsInt32(power))
            return refuse(msg::range2000000());
        if (*mode > 255 || *serial < 0)
            return refuse(msg::range2000000());

        const proto::HexBytes id = proto::HexStr2Dig(ui->ID_Metki->text());
        if (id.error != proto::HexError::None)
            return refuse(msg::forHexError(id.error));

        // The delay travels in two bytes: a larger value would reach the tag as
        // another number than the one typed.
        if (delayTooLarge)
            return refuse(QStringLiteral("Введите число в диапазоне 0....65535"));
        if (*delay < 0)
            return refuse(msg::range2000000());
        if (*mode < 0 || *power < 0 || *power > 255)
            return refuse(msg::range2000000());
        if (*power == 0)
            return refuse(QStringLiteral("Значение мощности не может быть нулевым"));

        const auto period = proto::parseInteger(ui->sleep_time->text());
        if (!period || *period < -32768 || *period > 32767)
            return refuse(msg::range2000000());
        if (*period == 0)
            return refuse(QStringLiteral("Значение периода не может быть нулевым"));
        if (*period < 0)
            return refuse(msg::range2000000());

        const proto::TagParams tag{quint32(*serial), id.bytes, quint16(*delay), quint8(*mode), quint8(*power),
                                   quint16(*period)};
        cycle_.queueRequest(proto::tagParamsRequest(*address, tag), showInCommandBox());
    });
}
