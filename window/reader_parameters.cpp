// Radio parameters (0xF4) and the additional parameter, the ID-zeroing
// delay (write 0xF1, read 0xF7).
#include "window/frmSerial.h"
#include "window/messages.h"
#include "protocol/requests.h"
#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "widgets/dialogs.h"
#include "ui_frmSerial.h"

namespace {

// The number in `text` when it lies within from..to.
std::optional<qint64> inRange(const QString &text, qint64 from, qint64 to)
{
    const auto v = proto::parseInteger(text);
    if (!v || *v < from || *v > to)
        return std::nullopt;
    return v;
}

const QString Error = QStringLiteral("error");

} // namespace

void frmSerial::param_Click()
{
    cycle_.dropRequest();
    // Checked in this order; only the first bad entry is reported.
    const auto network = inRange(ui->num_net->text(), proto::limits::NetworkMin, proto::limits::NetworkMax);
    if (!network) {
        dialogs_.message(Error);
        return;
    }
    const auto channel = inRange(ui->n_kan->text(), proto::limits::ChannelMin, proto::limits::ChannelMax);
    if (!channel) {
        dialogs_.message(Error);
        return;
    }
    const auto power = inRange(ui->ppow->text(), proto::limits::PowerMin, proto::limits::PowerMax);
    if (!power) {
        dialogs_.message(Error);
        return;
    }
    const auto address = addressOrSay();
    if (!address)
        return;
    cycle_.queueRequest(proto::radioRequest(*address, quint16(*network), quint8(*channel), quint8(*power)),
                        showInCommandBox());
}

void frmSerial::Command2_Click()
{
    cycle_.dropRequest();
    const auto delay = inRange(ui->Zad2->text(), 0, proto::limits::DelayMax);
    if (!delay) {
        dialogs_.message(Error);
        return;
    }
    const auto address = addressOrSay();
    if (!address)
        return;
    cycle_.queueRequest(proto::delayRequest(*address, quint16(*delay)),
                        showInCommandBox());
}

void frmSerial::RD_DP_Click()
{
    const auto address = addressOrSay();
    if (!address)
        return;
    cycle_.queueRequest(proto::buildRequest(*address, proto::code(proto::Command::DelayRead)));
}
