// On-demand requests to the slave sensor behind a bridge reader: 0x06 (its
// RS-485 data word) and 0xE8 (its data). The automatic bridge poll sends the
// same two alternately.
#include "window/frmSerial.h"
#include "protocol/commands.h"

void frmSerial::sl_zapros_Click()
{
    if (currentAddress())
        cycle_.queueRequest(form_zaprosa(QByteArray(), proto::code(proto::Command::SlaveRs485)));
}

void frmSerial::zapr_data_sl_Click()
{
    if (currentAddress())
        cycle_.queueRequest(form_zaprosa(QByteArray(), proto::code(proto::Command::SlaveData)));
}
