// Moving a reader to another network address (0xFB) and setting its serial
// number (0xF6).
#include "window/frmSerial.h"
#include "window/messages.h"
#include "protocol/requests.h"
#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "widgets/dialogs.h"
#include "ui_frmSerial.h"

void frmSerial::net_Click()
{
    // The request goes to the reader the box was opened for.
    const auto address = currentAddress();
    const int index = CmbNetListIndex();
    const QString answer = dialogs_.inputBox(QStringLiteral("Введите новый сетевой номер"),
                                             QStringLiteral("Ввод сетевого номера"),
                                             index >= 0 ? ui->CmbNet->itemText(index) : QString());
    if (answer.isEmpty())
        return;
    if (!address)
        return sayNoAddress();
    const auto newAddress = proto::parseInteger(answer);
    if (!newAddress || *newAddress < 0 || *newAddress > proto::limits::NewAddressMax) {
        dialogs_.message(QStringLiteral("Введите число в диапазоне 0....200"));
        return;
    }
    // A reader the last search found there would share the address with
    // this one: from then on neither could be told from the other.
    if (*newAddress != *address && cycle_.lastFound().contains(quint8(*newAddress))
        && !dialogs_.askYesNo(QStringLiteral("По адресу %1 уже отвечает считыватель. Всё равно изменить?")
                                  .arg(*newAddress)))
        return;
    // Appended to what is pending. The reader answers at its new address
    // only afterwards, so the list of addresses is left for a new search.
    cycle_.appendRequest(proto::netAddressRequest(*address, quint8(*newAddress)), outWin());
}

void frmSerial::Command1_Click()
{
    cycle_.dropRequest();
    const auto address = currentAddress();
    const QString answer = dialogs_.inputBox(QStringLiteral("Введите серийный номер"),
                                             QStringLiteral("Ввод серийного номера"),
                                             QStringLiteral("0"));
    if (answer.isEmpty())
        return;
    if (!address) {
        sayNoAddress();
        cycle_.whenSettled(outWin());
        return;
    }
    const auto serial = serialNumberOrSay(answer);
    if (!serial)
        return;
    cycle_.queueRequest(proto::readerSerialRequest(*address, *serial),
                        outWin());
}

void frmSerial::Set_ident_Click()
{
    // The readers' command code for an identification number is not known:
    // the button stays without effect rather than send a guess.
}
