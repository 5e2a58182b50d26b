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

ExchangeCycle::Then frmSerial::printToWin()
{
    return [this](const QByteArray &pending) { PrintToWin(pending); };
}

ExchangeCycle::Then frmSerial::outWin()
{
    return [this](const QByteArray &pending) { out_win(pending); };
}

ExchangeCycle::Then frmSerial::showInCommandBox()
{
    // Some settings show their request spaced rather than underscored.
    return [this](const QByteArray &pending) {
        ui->CmdBoxText->setText(proto::hexDump(pending, QLatin1Char(' ')));
    };
}
