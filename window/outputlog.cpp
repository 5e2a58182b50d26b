// The service outlets: the request box CmdBoxText and the log box txtRec.
#include "window/frmSerial.h"
#include "protocol/conversions.h"
#include "ui_frmSerial.h"

void frmSerial::PrintToWin(const QByteArray &wdd)
{
    ui->CmdBoxText->setText(proto::hexDump(wdd, QLatin1Char('_')));
}

void frmSerial::out_win(const QByteArray &sst)
{
    ui->txtRec->setPlainText(proto::outWinText(sst));
}
