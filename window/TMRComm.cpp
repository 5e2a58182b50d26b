// The window's side of the exchange cycle: it hands the cycle what the
// controls say and shows what a tick brought. The cycle itself
// (exchangecycle.h) and its pacing on the line (cyclerunner.h) hold no widgets.
#include "window/frmSerial.h"
#include "serial/portlayer.h"

#include "exchange/cyclerunner.h"
#include "exchange/statustexts.h"
#include "protocol/conversions.h"
#include "widgets/lamp.h"
#include "ui_frmSerial.h"

#include <QLocale>
#include <QTimer>

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

} // namespace

Selection frmSerial::selection() const
{
    Selection s;
    s.page = Page(ui->SSTab1->currentIndex());
    s.address = currentAddress();
    s.listIndex = CmbNetListIndex();
    s.addressText = ui->CmbNet->currentText();
    s.status = ui->MsgCom->text();
    return s;
}

void frmSerial::TMRComm_Timer()
{
    // Kept for the tick's began(), which comes only if the tick starts.
    tickSelection_ = selection();
    runner_->tick(tickSelection_);
}

void frmSerial::inOrder(std::function<void()> act)
{
    if (!cycle_.inTick())
        return act();
    cycle_.whenSettled([act = std::move(act)](const QByteArray &) { act(); });
}

void frmSerial::anotherReaderShown()
{
    forgetDeviceValues();
}

void frmSerial::dialogOpens()
{
    // The first box over a running exchange holds it up until the last one closes.
    if (!runner_->paused() && tmrComm_->isActive())
        heldSince_ = QDateTime::currentDateTime();
    runner_->pause();
}

void frmSerial::dialogCloses()
{
    runner_->resume();
    if (!runner_->paused() && heldSince_.isValid()) {
        const qint64 ms = heldSince_.msecsTo(QDateTime::currentDateTime());
        noteEvent(QStringLiteral("Обмен приостановлен окном сообщения на %1 с")
                      .arg(QLocale().toString(double(ms) / 1000.0, 'f', 1)),
                  heldSince_);
        heldSince_ = QDateTime();
    }
    // A device lost while the box was open is dealt with once the handler
    // that opened the box is over, so that a request it built is dropped too.
    if (lineLostPending_ && !runner_->paused())
        QTimer::singleShot(0, this, &frmSerial::onLineLost);
}

void frmSerial::noteEvent(const QString &text, const QDateTime &at)
{
    ExchangeRecord r;
    r.event = true;
    r.sentAt = at;
    r.meaning = text;
    emit lineEvent(r);
}

void frmSerial::onLineLost()
{
    // Whatever was built for this port is dropped at once, even under a box:
    // a handler that stores its request once the box closes stores it for a
    // port that is gone, and it must never go out on one opened later.
    cycle_.lineLost();
    if (runner_->paused()) {
        lineLostPending_ = true;
        return;
    }
    lineLostPending_ = false;
    if (ui->BTNOpenCom->isEnabled())
        return; // the port was closed already: the loss was handled once
    closeForLostLine();
}

void frmSerial::closeForLostLine()
{
    // Stop before the box, whose event loop must run no tick against a port
    // that is gone. The engine has dropped what was built for it already:
    // onLineLost and a failed write both tell it first.
    tmrComm_->stop();
    runner_->abort();
    const QString reason = port_.lostReason();
    noteEvent(reason.isEmpty() ? QStringLiteral("Порт потерян") : QStringLiteral("Порт потерян: ") + reason);
    dialogs_.message(reason.isEmpty() ? status::writeError() : status::writeError() + QStringLiteral(": ") + reason);
    BTNCloseCom_Click();
}

void frmSerial::showOutcome(const TickOutcome &out)
{
    if (out.writeFailed)
        return closeForLostLine();
    if (out.lamp != LampAction::Unchanged)
        ui->Pic->setFillColor(ui->Pic->fillColor() == Lamp::White ? Lamp::Grey : Lamp::White);
    if (out.status)
        ui->MsgCom->setText(*out.status);
    if (out.dump)
        ui->txtRec->setPlainText(*out.dump);

    std::visit(Overloaded{
                   [](std::monostate) {},
                   [this](const reply::NetworkPoll &p) { showNetworkPoll(p); },
                   [this](const proto::Identification &id) { showIdentification(id); },
                   [this](const reply::ReaderData &d) { showReaderData(d); },
                   [this](const reply::AdditionalParams &p) {
                       showDeviceValue(ui->Zad2, QString::number(p.delay));
                   },
                   [this](const reply::IdTable &t) {
                       for (int k = 0; k < 10 && k < t.ids.size(); ++k)
                           m1(k)->setText(t.ids.at(k));
                   },
                   [this](const reply::TagPoll &p) { showTagPoll(p); },
                   [this](const proto::TagData &t) { showTagData(t); },
                   [this](const proto::SlaveData &s) { showSlaveData(s); },
                   [this](const reply::SlaveRs485 &s) {
                       ui->RR_SL_data->setText(QString::number(s.word));
                   },
                   [this](const reply::ModeSet &m) { Out_modes(m.mode); },
               },
               out.decoded);

    if (out.lamp == LampAction::Red)
        ui->Pic->setFillColor(Lamp::Red);
}
