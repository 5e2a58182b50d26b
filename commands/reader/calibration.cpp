// Recalibration of the reader's full (0xF5) and empty (0xFA) level.
#include "app/frmSerial.h"
#include "ui/dialogs.h"

void frmSerial::hig_Click()
{
    if (!currentAddress())
        return;
    if (dialogs_.askYesNo(QStringLiteral("Сейчас будет произведена перекалибровка верхнего уровня. "
                                         "Вы уверены что это нужно?")))
        wrs = form_zaprosa(QByteArray(), 0xF5);
}

void frmSerial::low_Click()
{
    if (!currentAddress())
        return;
    if (dialogs_.askYesNo(QStringLiteral("Сейчас будет произведена перекалибровка нижнего уровня. "
                                         "Вы уверены что это нужно?")))
        wrs = form_zaprosa(QByteArray(), 0xFA);
}
