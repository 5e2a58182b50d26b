// Giving the tag last heard a new serial number (0xE2). The tag is addressed
// by the ID the last tag reply reported.
#include "window/frmSerial.h"
#include "window/messages.h"
#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "widgets/dialogs.h"
#include "ui_frmSerial.h"

void frmSerial::InstSN_Click()
{
    // Whatever was pending goes, whatever happens next.
    cycle_.dropRequest();
    const auto address = currentAddress();
    const QString answer = dialogs_.inputBox(QStringLiteral("Введите серийный номер метки"),
                                             QStringLiteral("Ввод серийного номера метки"),
                                             QStringLiteral("0"));
    if (answer.isEmpty())
        return;

    if (!address) {
        sayNoAddress();
        cycle_.whenSettled(outWin());
        return;
    }
    // The tag is the one last heard through the reader picked, as shown when
    // the technician answered.
    if (!tagHeardOrSay())
        return;
    const proto::HexBytes id = proto::HexStr2Dig(ui->outID->text());
    if (id.error != proto::HexError::None) {
        dialogs_.message(msg::forHexError(id.error));
        cycle_.whenSettled(outWin());
        return;
    }
    const auto serial = serialNumberOrSay(answer);
    if (!serial)
        return;
    cycle_.queueRequest(proto::buildRequest(*address, proto::code(proto::Command::TagSerial),
                                            id.bytes + proto::Long_to_string(*serial)),
                        outWin());
}
