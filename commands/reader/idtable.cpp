// The reader's table of ten bound tag IDs: read (0xE7), clear (0xE9) and
// write one cell (0xE6). The table itself arrives in a 0xE6 reply.
#include "app/frmSerial.h"
#include "commands/reader/messages.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "ui/dialogs.h"
#include "ui_frmSerial.h"

QByteArray frmSerial::HexStr2Dig(const QString &df)
{
    const proto::HexBytes id = proto::HexStr2Dig(df);
    switch (id.error) {
    case proto::HexError::TooLong:
        dialogs_.message(msg::idTooLong());
        return QByteArray();
    case proto::HexError::NotHex:
        dialogs_.message(msg::idNotHex());
        return QByteArray();
    case proto::HexError::None:
        break;
    }
    out_win(id.bytes);
    return id.bytes;
}

void frmSerial::ids_r_Click()
{
    const auto address = currentAddress();
    if (!address) {
        dialogs_.message(msg::noAddress());
        return;
    }
    wrs = proto::buildRequest(*address, 0xE7);
}

void frmSerial::ids_clr_Click()
{
    const auto address = currentAddress();
    if (!address) {
        dialogs_.message(msg::noAddress());
        return;
    }
    wrs = proto::buildRequest(*address, 0xE9);
}

void frmSerial::Command3_Click()
{
    const auto address = currentAddress();
    if (!address) {
        dialogs_.message(msg::noAddress());
        return;
    }
    const auto cell = proto::parseInteger(ui->plm->text());
    if (!cell || *cell < 1 || *cell > 10) {
        dialogs_.message(QStringLiteral("номер ячейки должен быть от 1 до10"));
        return;
    }
    // A rejected ID sends nothing: the operator has just been told it is wrong.
    const QByteArray id = HexStr2Dig(ui->iddm->text());
    if (id.isEmpty())
        return;
    wrs = proto::buildRequest(*address, 0xE6, QByteArray(1, char(*cell - 1)) + id);
}
