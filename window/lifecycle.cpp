// Start-up, port scan, opening and closing the port.
#include "widgets/form2.h"
#include "window/frmSerial.h"
#include "window/portlist.h"
#include "exchange/cyclerunner.h"
#include "serial/portlayer.h"
#include "widgets/exchangelog.h"
#include "serial/portnames.h"
#include "widgets/dialogs.h"
#include "widgets/lamp.h"
#include "linestats/linestats.h"
#include "ui_frmSerial.h"

#include <QTimer>

namespace {
const QString LineSettings = QString::fromLatin1(PortLayer::LineSettingsText);
}

void frmSerial::Form_Load()
{
    form2_->show();
    hide();

    SplashTicks = 0;
    ui->iinv->hide();
    ui->iinv->setChecked(false);
    ui->usredn->hide();
    ui->usredn->setChecked(false);
    ui->invers->hide();
    ui->usred->hide();

    cycle_.reset();

    ui->CmbNet->clear();
    ui->CmbNet->addItem(QStringLiteral("0"));
    ui->CmbNet->setCurrentIndex(0);

    ui->Image1->hide();
    ui->Image2->hide();
    ui->Image3->hide();
    ui->Image6->hide();

    timer1_->start();
    ui->CmbPort->addItem(QStringLiteral("----"));
    ui->CmbPort->setCurrentIndex(0);
}

void frmSerial::Timer1_Timer()
{
    if (SplashTicks == 1) {
        form2_->hide();
        show();
    }
    SplashTicks += 1;

    port_.ClosePort();
    port_.FlushPort();

    QStringList found;
    QStringList devices;
    QString line;
    for (qint16 n = PortNames::FirstPort; n <= PortNames::LastPort; ++n) {
        if (port_.PortExists(n)) {
            const QString name = QStringLiteral("COM") + QString::number(n);
            line += name + QStringLiteral(", ");
            found << name;
            devices << port_.PortDevice(n);
        }
    }
    ui->txtRec->moveCursor(QTextCursor::End);
    ui->txtRec->insertPlainText(line + QStringLiteral("\r\n"));

    for (const QString &network : networkLines_) {
        found << network;
        devices << networkLineTooltip();
    }
    showFoundPorts(ui->CmbPort, found, devices);
}

void frmSerial::BTNOpenCom_Click()
{
    timer1_->stop();

    const QString entry = ui->CmbPort->currentText();
    if (entry.isEmpty() || entry.startsWith(QLatin1Char('-'))) {
        dialogs_.message(noPortMessage(ui->CmbPort));
        timer1_->start(); // keep scanning: an adapter may be plugged in yet
        return;
    }
    PortLayer::OpenFailure why;
    if (!port_.OpenPort(entry, LineSettings, &why)) {
        if (!why.text.isEmpty())
            dialogs_.message(why.text, why.warning ? Dialogs::Icon::Warning : Dialogs::Icon::None);
        dialogs_.message(entry + QStringLiteral(" Not available!"));
        timer1_->start();
        return;
    }

    cycle_.portOpened();
    // Behind a network gateway the log and F11 say which delay the reply
    // window allows for.
    const QString latency = port_.latencyNote();
    logModel_->setLineNote(latency.isEmpty() ? QString() : entry + QStringLiteral(": ") + latency);
    noteEvent(QStringLiteral("Порт %1 открыт").arg(entry)
              + (latency.isEmpty() ? QString() : QStringLiteral("; ") + latency));
    SwitchTags();
    lineStats_->portOpened(); // the diagnostics' counters start with the port
    tmrComm_->start();
    ui->BTNOpenCom->setEnabled(false);
    // The next thing to do; the disabled open button would hand the focus
    // to "Закрыть порт", and a second Enter would close the port again.
    ui->Opros->setFocus();
}

void frmSerial::BTNCloseCom_Click()
{
    tmrComm_->stop();
    if (runner_->busy() && !cycle_.lost()) {
        // A tick waits for its read: it writes its request, perhaps the
        // technician's own, and shows its reply first, as it would have had
        // the click come after it. The close follows at once (within the
        // read's 256 ms); meanwhile the window shows that it is closing and
        // takes no further command.
        CloseAllTags();
        if (!closeAfterTick_) {
            closeAfterTick_ = true;
            cycle_.whenSettled([this](const QByteArray &) {
                if (closeAfterTick_) // not closed meanwhile (the window closing)
                    closePort();
            });
        }
        return;
    }
    closePort();
}

void frmSerial::closePort()
{
    if (!ui->BTNOpenCom->isEnabled())
        noteEvent(QStringLiteral("Порт закрыт"));
    closeAfterTick_ = false;
    tmrComm_->stop();
    runner_->abort();
    // The last request written may still wait in the output buffer: it
    // reaches the line before the port closes.
    port_.FlushPort();
    port_.ClosePort();

    CloseAllTags();
    ui->BTNOpenCom->setEnabled(true);

    ui->CmbNet->clear();
    ui->CmbNet->addItem(QStringLiteral("0"));
    ui->CmbNet->setCurrentIndex(0);

    forgetDeviceValues();
    ui->MsgCom->clear();
    ui->netdev->setText(QStringLiteral("Не определены"));

    ui->Pic->setFillColor(Lamp::Closed);

    timer1_->start();
    port_.ClosePort();
    port_.FlushPort();
}

void frmSerial::Form_Terminate()
{
    // The program ends: nothing waits for the tick in progress.
    tmrComm_->stop();
    closePort();
    timer1_->stop();
}
