// The exchange cycle: one request in flight, one tick (500 ms) to answer it.
#include "app/frmSerial.h"
#include "protocol/conversions.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"
#include "protocol/replies.h"
#include "serial/portlayer.h"
#include "ui/dialogs.h"
#include "ui_frmSerial.h"

#include <QTimer>

namespace {

constexpr quint32 TagPollNumber = 0x7A7A7A7A;

enum Page { ReaderPage = 0, TagPage = 1, BridgePage = 2 };

const QColor LampWhite(0xFF, 0xFF, 0xFF);
const QColor LampGrey(0x80, 0x80, 0x80);
const QColor LampRed(0xFF, 0x00, 0x00);

} // namespace

void frmSerial::setStatus(const QString &text)
{
    ui->MsgCom->setText(text);
    statusSet_ = true;
}

void frmSerial::TMRComm_Timer()
{
    // Another address selected: identify the device there first.
    if (const auto address = currentAddress(); address && *address != last_net) {
        wrs = Zapros_ser_num();
        last_net = *address;
    }

    // Nothing pending: poll the device of the open page.
    quint8 pollChecksum = 0;
    if (wrs.isEmpty() && CmbNetListIndex() >= 0) {
        switch (ui->SSTab1->currentIndex()) {
        case TagPage:
            CMD_zapros_metki(TagPollNumber, 0xE0);
            break;
        case ReaderPage:
            wrs = form_zaprosa(QByteArray(), 0xF0);
            break;
        case BridgePage:
            if (CointWrs == 1) {
                wrs = form_zaprosa(QByteArray(), 0x06);
                CointWrs = 0;
            } else {
                wrs = form_zaprosa(QByteArray(), 0xE8);
                CointWrs = 1;
            }
            break;
        default:
            break;
        }
        if (ui->SSTab1->currentIndex() != TagPage && !wrs.isEmpty())
            pollChecksum = quint8(wrs.back());
    }

    PrintToWin(wrs);

    // The answer to the request written on the previous tick.
    const QByteArray reply = port_.ReadPort();
    const QByteArray previousRequest = sentRequest_;
    const QDateTime previousSentAt = sentAt_;
    const int roundTrip = sentClock_.isValid() ? int(sentClock_.elapsed()) : -1;

    const int written = port_.WritePort(wrs);
    if (written == wrs.size()) {
        sentRequest_ = wrs;
        sentAt_ = QDateTime::currentDateTime();
        if (wrs.isEmpty())
            sentClock_.invalidate();
        else
            sentClock_.start();
        wrs.clear();
        ui->Pic->setFillColor(ui->Pic->fillColor() == LampWhite ? LampGrey : LampWhite);
    } else {
        // Stop the cycle before the message box: its event loop must not run
        // further ticks against a port that is gone.
        tmrComm_->stop();
        sentRequest_.clear();
        sentClock_.invalidate();
        dialogs_.message(QStringLiteral("Ошибка записи в порт"));
        reportExchange(previousRequest, previousSentAt, roundTrip, reply,
                       QStringLiteral("Ошибка записи в порт"));
        BTNCloseCom_Click();
        wrs.clear();
        return;
    }

    if (reply.isEmpty()) {
        // Silence: keep the status that was showing, say what is missing.
        if (no_data == 0)
            last_msg = ui->MsgCom->text();
        no_data = -1;
        switch (ui->SSTab1->currentIndex()) {
        case ReaderPage:
            setStatus(QStringLiteral("Нет данных со считывателя с номером ") + ui->CmbNet->currentText());
            break;
        case TagPage:
            setStatus(QStringLiteral("Нет связи с меткой "));
            break;
        case BridgePage:
            setStatus(QStringLiteral("Нет связи с удаленным считывателем"));
            break;
        default:
            break;
        }
        reportExchange(previousRequest, previousSentAt, -1, reply, QStringLiteral("нет ответа"));
        return;
    }

    // Something came: a status saved during silence comes back first, so
    // that the reply's own message can overwrite it.
    if (no_data) {
        setStatus(last_msg);
        no_data = 0;
    }
    statusSet_ = false;
    const int n = reply.size();
    const quint8 computed = proto::crc8(reply, n - 1);
    if (n < 50) {
        ui->txtRec->setPlainText(proto::hexDump(reply, QLatin1Char(' ')) + proto::byteHex(computed)
                                 + QStringLiteral(" \r\n\r\n") + proto::CleanStr(reply)
                                 + proto::byteHex(pollChecksum));
    }

    if (quint8(reply.at(0)) == proto::ReplyPrefix && n > 3) {
        dispatchReply(reply);
    } else {
        // Not a frame: the answer to a reader search (one byte per reader).
        showNetworkPoll(reply);
        net_opr = 0;
    }

    ui->Pic->setFillColor(LampRed);
    port_.FlushPort();

    reportExchange(previousRequest, previousSentAt, roundTrip, reply,
                   statusSet_ ? ui->MsgCom->text() : proto::replyName(reply));
}

void frmSerial::reportExchange(const QByteArray &request, const QDateTime &sentAt, int roundTripMs,
                               const QByteArray &reply, const QString &meaning)
{
    if (request.isEmpty() && reply.isEmpty())
        return;
    ExchangeRecord record;
    record.sentAt = sentAt.isValid() && !request.isEmpty() ? sentAt : QDateTime::currentDateTime();
    record.request = request;
    record.reply = reply;
    if (reply.size() > 3 && quint8(reply.at(0)) == proto::ReplyPrefix)
        record.checksum = proto::crc8(reply, reply.size() - 1) == quint8(reply.back())
                              ? ExchangeRecord::Checksum::Right
                              : ExchangeRecord::Checksum::Wrong;
    record.meaning = meaning;
    record.roundTripMs = request.isEmpty() || reply.isEmpty() ? -1 : roundTripMs;
    emit exchanged(record);
}

void frmSerial::dispatchReply(const QByteArray &r)
{
    switch (quint8(r.at(2))) {
    case 0xFC:
        showIdentification(r);
        break;
    case 0xF0:
        showReaderData(r);
        break;
    case 0xE0:
        showTagPoll(r);
        break;
    case 0xE3:
        showTagData(r);
        break;
    case 0xE6:
        showIdTable(r);
        break;
    case 0xE8:
        showSlaveData(r);
        break;
    case 0x06:
        showSlaveRs485(r);
        break;
    case 0xF1:
    case 0xF7: // some readers answer the read of the additional parameters with its own code
        showAdditionalParams(r);
        break;
    case 0xE1:
        setStatus(QStringLiteral("Считаны параметры метки."));
        break;
    case 0xFA:
        setStatus(QStringLiteral(" Установлен нижний уровень."));
        break;
    case 0xF2:
        setStatus(QStringLiteral(" Установлен новый режим."));
        Out_modes(quint8(r.at(3))); // the mode byte now in force
        break;
    case 0xF5:
        setStatus(QStringLiteral(" Установлен верхний уровень."));
        break;
    case 0xFB:
        setStatus(QStringLiteral(" Установлен сетевой номер."));
        break;
    case 0xF8:
        setStatus(QStringLiteral(" Установлено кол. усреднение."));
        break;
    case 0xF3:
        setStatus(QStringLiteral(" Снято усреднение."));
        break;
    case 0xF6:
        setStatus(QStringLiteral("Установлен серийный номер."));
        break;
    case 0xFD:
        setStatus(QStringLiteral("Изменена инверсия."));
        break;
    default:
        break; // codes outside the table are only dumped
    }
}
