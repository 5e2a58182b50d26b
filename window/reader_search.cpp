// Reader search (the broadcast network poll), the identification request
// and the current address that every request goes to.
#include "window/frmSerial.h"
#include "window/messages.h"
#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "ui_frmSerial.h"

int frmSerial::CmbNetListIndex() const
{
    // The address box is editable: an entry counts as selected only while
    // the text shown is that entry's text.
    const QComboBox *const box = ui->CmbNet;
    const int index = box->currentIndex();
    if (index >= 0 && box->itemText(index) == box->currentText())
        return index;
    return box->findText(box->currentText(), Qt::MatchExactly);
}

std::optional<quint8> frmSerial::currentAddress() const
{
    const int index = CmbNetListIndex();
    if (index < 0)
        return std::nullopt;
    return proto::addressFromText(ui->CmbNet->itemText(index));
}

std::optional<quint8> frmSerial::addressOrSay()
{
    const auto address = currentAddress();
    if (!address)
        sayNoAddress();
    return address;
}

void frmSerial::sayNoAddress()
{
    dialogs_.message(msg::noAddress());
}

std::optional<quint32> frmSerial::serialNumberOrSay(const QString &answer)
{
    const auto serial = proto::parseInteger(answer);
    if (!serial || *serial < 0 || *serial > proto::limits::SerialMax) {
        dialogs_.message(msg::range2000000());
        return std::nullopt;
    }
    return quint32(*serial);
}

QByteArray frmSerial::form_zaprosa(const QByteArray &wdd, quint8 numcom) const
{
    const auto address = currentAddress();
    return address ? proto::buildRequest(*address, numcom, wdd) : QByteArray();
}

void frmSerial::Opros_Click()
{
    cycle_.startSearch(outWin());
}

QByteArray frmSerial::Zapros_ser_num() const
{
    return form_zaprosa(QByteArray(), proto::code(proto::Command::Identification));
}

void frmSerial::CmbNet_Change()
{
    // Typed while a tick waits (perhaps for the search answer that refills
    // the list): what is asked is decided once that tick is over, from the
    // address then shown, so the request and the box agree.
    inOrder([this] {
        cycle_.queueRequest(Zapros_ser_num());
        // A typed address that names no reader found: nothing is asked, and
        // nothing of the last reader stays on screen as if it were this one's.
        if (CmbNetListIndex() < 0)
            forgetDeviceValues();
    });
}
