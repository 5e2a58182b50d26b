// The reader's table of ten bound tag IDs: read (0xE7), clear (0xE9) and
// write one cell (0xE6). The table itself arrives in a 0xE6 reply.
#include "window/frmSerial.h"
#include "window/messages.h"
#include "protocol/requests.h"
#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "widgets/dialogs.h"
#include "ui_frmSerial.h"

QByteArray frmSerial::HexStr2Dig(const QString &df)
{
    const proto::HexBytes id = proto::HexStr2Dig(df);
    if (id.error != proto::HexError::None) {
        dialogs_.message(msg::forHexError(id.error));
        return QByteArray();
    }
    out_win(id.bytes);
    return id.bytes;
}

void frmSerial::ids_r_Click()
{
    const auto address = addressOrSay();
    if (!address)
        return;
    cycle_.queueRequest(proto::buildRequest(*address, proto::code(proto::Command::IdTableRead)));
}

void frmSerial::ids_clr_Click()
{
    const auto address = addressOrSay();
    if (!address)
        return;
    cycle_.queueRequest(proto::buildRequest(*address, proto::code(proto::Command::IdTableClear)));
}

void frmSerial::Command3_Click()
{
    const auto address = addressOrSay();
    if (!address)
        return;
    const auto cell = proto::parseInteger(ui->plm->text());
    if (!cell || *cell < 1 || *cell > 10) {
        dialogs_.message(QStringLiteral("номер ячейки должен быть от 1 до10"));
        return;
    }
    // A rejected ID sends nothing: the operator has just been told it is wrong.
    const QByteArray id = HexStr2Dig(ui->iddm->text());
    if (id.isEmpty())
        return;
    cycle_.queueRequest(proto::idCellRequest(*address, int(*cell - 1), id));
}
