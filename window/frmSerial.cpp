#include "window/frmSerial.h"

#include "widgets/form2.h"
#include "window/portlist.h"
#include "widgets/addressbox.h"
#include "exchange/cyclerunner.h"
#include "serial/portlayer.h"
#include "widgets/aboutbox.h"
#include "window/accessibility.h"
#include "widgets/artwork.h"
#include "widgets/dialogs.h"
#include "widgets/exchangelog.h"
#include "widgets/keyboard.h"
#include "diagnostics/diagnosticswindow.h"
#include "linestats/linestats.h"
#include "ui_frmSerial.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QShortcut>
#include <QTimer>

frmSerial::frmSerial(PortLayer &port, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::frmSerial>())
    , port_(port)
    , dialogs_(dialogs, [this] { dialogOpens(); }, [this] { dialogCloses(); })
{
    ui->setupUi(this);
    makeAddressBoxPickOnly(ui->CmbNet);
    showDeviceOfSelectedPort(ui->CmbPort);
    setWindowTitle(programTitle());
    setFixedSize(size());

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    tmrComm_ = new QTimer(this);
    tmrComm_->setObjectName(QStringLiteral("TMRComm"));
    tmrComm_->setInterval(PortLayer::RequestPeriodMs);
    // The line's cadence: a coarse timer may shift a tick by 5 % (25 ms).
    tmrComm_->setTimerType(Qt::PreciseTimer);

    runner_ = new CycleRunner(cycle_, port_, this);
    connect(runner_, &CycleRunner::began, this, [this](const TickStart &start) {
        servedAddress_ = tickSelection_.address;
        if (start.addressChanged)
            anotherReaderShown();
        PrintToWin(start.request);
    });
    connect(runner_, &CycleRunner::finished, this, &frmSerial::showOutcome);
    connect(&port_, &PortLayer::lineLost, this, &frmSerial::onLineLost);
    connect(&port_, &PortLayer::notice, this, [this](const QString &text) {
        ui->txtRec->moveCursor(QTextCursor::End);
        ui->txtRec->insertPlainText(text + QStringLiteral("\r\n"));
    });

    ui->Image1->setPixmap(artwork::rightArrow());
    ui->Image2->setPixmap(artwork::leftArrow());
    ui->Image3->setPixmap(artwork::stopSign());
    ui->Image6->setPixmap(artwork::mixerTruck());

    // The port scan appends a line every second for as long as the program
    // runs; the log keeps the recent ones.
    ui->txtRec->setMaximumBlockCount(1000);

    form2_ = new Form2;

    logModel_ = new ExchangeLogModel(this);
    connect(runner_, &CycleRunner::exchanged, this, &frmSerial::exchanged);
    connect(this, &frmSerial::exchanged, logModel_, &ExchangeLogModel::append);
    connect(this, &frmSerial::lineEvent, logModel_, &ExchangeLogModel::append);
    // The log is offered on a key only, so the window stays as technicians know it.
    auto *logKey = new QShortcut(QKeySequence(Qt::Key_F12), this);
    connect(logKey, &QShortcut::activated, this, &frmSerial::showExchangeLog);
    lineStats_ = new linestats::LineStats(this);
    connect(this, &frmSerial::exchanged, lineStats_, &linestats::LineStats::add);
    connect(this, &frmSerial::lineEvent, lineStats_, &linestats::LineStats::add);
    connect(new QShortcut(QKeySequence(Qt::Key_F11), this), &QShortcut::activated, this,
            &frmSerial::showDiagnostics);
    connect(new QShortcut(QKeySequence(Qt::Key_F9), this), &QShortcut::activated, this,
            &frmSerial::askNetworkLine);

    // What a reader reported goes when the next tick finds another address
    // picked (anotherReaderShown), not on each change of the box: a quick
    // switch away and back leaves the reader as it was.
    rememberStartValues();
    connectHandlers();
    installKeyboard(this);
    installAboutBox(this);
    nameControls(this);
}

frmSerial::~frmSerial()
{
    delete form2_;
}

QLabel *frmSerial::m1(int index) const
{
    QLabel *const labels[] = {ui->m1_0, ui->m1_1, ui->m1_2, ui->m1_3, ui->m1_4,
                              ui->m1_5, ui->m1_6, ui->m1_7, ui->m1_8, ui->m1_9};
    return index >= 0 && index < 10 ? labels[index] : nullptr;
}

void frmSerial::showExchangeLog()
{
    if (!logWindow_)
        logWindow_ = new ExchangeLog(logModel_, this);
    logWindow_->show();
    logWindow_->raise();
    logWindow_->activateWindow();
}

void frmSerial::showDiagnostics()
{
    if (!diagWindow_) {
        diagWindow_ = new DiagnosticsWindow(*lineStats_, nullptr, this);
        connect(diagWindow_, &DiagnosticsWindow::pollAllToggled, this, [this](bool on) { cycle_.pollAll(on); });
        connect(diagWindow_, &DiagnosticsWindow::countersReset, this,
                [this] { noteEvent(QStringLiteral("Счётчики диагностики сброшены")); });
        diagWindow_->setPortName([this] {
            const QString latency = port_.latencyNote();
            return latency.isEmpty() ? ui->CmbPort->currentText()
                                     : ui->CmbPort->currentText() + QStringLiteral(" (") + latency + QLatin1Char(')');
        });
    }
    diagWindow_->show();
    diagWindow_->raise();
    diagWindow_->activateWindow();
}

void frmSerial::connectHandlers()
{
    connect(timer1_, &QTimer::timeout, this, &frmSerial::Timer1_Timer);
    connect(tmrComm_, &QTimer::timeout, this, &frmSerial::TMRComm_Timer);

    const auto onClick = [this](QAbstractButton *button, void (frmSerial::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    onClick(ui->BTNOpenCom, &frmSerial::BTNOpenCom_Click);
    onClick(ui->BTNCloseCom, &frmSerial::BTNCloseCom_Click);
    onClick(ui->Opros, &frmSerial::Opros_Click);
    onClick(ui->Set_mode, &frmSerial::Set_mode_Click);
    onClick(ui->param, &frmSerial::param_Click);
    onClick(ui->Command2, &frmSerial::Command2_Click);
    onClick(ui->RD_DP, &frmSerial::RD_DP_Click);
    onClick(ui->net, &frmSerial::net_Click);
    onClick(ui->Command1, &frmSerial::Command1_Click);
    onClick(ui->Set_ident, &frmSerial::Set_ident_Click);
    onClick(ui->hig, &frmSerial::hig_Click);
    onClick(ui->low, &frmSerial::low_Click);
    onClick(ui->ids_r, &frmSerial::ids_r_Click);
    onClick(ui->ids_clr, &frmSerial::ids_clr_Click);
    onClick(ui->Command3, &frmSerial::Command3_Click);
    onClick(ui->Find_metki, &frmSerial::Find_metki_Click);
    onClick(ui->ReadParamMetki, &frmSerial::ReadParamMetki_Click);
    onClick(ui->SetModesMetki, &frmSerial::SetModesMetki_Click);
    onClick(ui->InstSN, &frmSerial::InstSN_Click);
    onClick(ui->sl_zapros, &frmSerial::sl_zapros_Click);
    onClick(ui->zapr_data_sl, &frmSerial::zapr_data_sl_Click);

    // An option button's click handler runs whenever it becomes selected,
    // by the operator or by the display of a received mode byte, and on every
    // click of the operator, also on the option already selected (the rule
    // may run twice; it gives the same result).
    const auto onSelect = [this](QAbstractButton *button, void (frmSerial::*handler)()) {
        connect(button, &QAbstractButton::toggled, this, [this, handler](bool on) {
            if (on)
                (this->*handler)();
        });
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    onSelect(ui->R_a, &frmSerial::R_a_Click);
    onSelect(ui->R_f, &frmSerial::R_f_Click);
    onSelect(ui->R_p, &frmSerial::R_p_Click);
    onSelect(ui->R_p485, &frmSerial::R_p485_Click);
    onSelect(ui->R485, &frmSerial::R485_Click);

    // Only the operator's typing counts as a change of the address text;
    // the list being refilled by a reader search does not.
    connect(ui->CmbNet->lineEdit(), &QLineEdit::textEdited, this, &frmSerial::CmbNet_Change);
}

void frmSerial::closeEvent(QCloseEvent *event)
{
    // Form_QueryUnload: the request to close is never refused, and the
    // program ends without waiting for the tick in progress.
    closePort();
    timer1_->stop();
    event->accept();
    QCoreApplication::quit();
}
