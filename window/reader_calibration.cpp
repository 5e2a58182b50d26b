// Recalibration of the reader's full (0xF5) and empty (0xFA) level.
#include "window/frmSerial.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "widgets/dialogs.h"

void frmSerial::hig_Click()
{
    const auto address = currentAddress();
    if (!address)
        return;
    if (dialogs_.askYesNo(QStringLiteral("Сейчас будет произведена перекалибровка верхнего уровня. "
                                         "Вы уверены что это нужно?")))
        cycle_.queueRequest(proto::buildRequest(*address, proto::code(proto::Command::FullLevel)));
}

void frmSerial::low_Click()
{
    const auto address = currentAddress();
    if (!address)
        return;
    if (dialogs_.askYesNo(QStringLiteral("Сейчас будет произведена перекалибровка нижнего уровня. "
                                         "Вы уверены что это нужно?")))
        cycle_.queueRequest(proto::buildRequest(*address, proto::code(proto::Command::EmptyLevel)));
}
