// Display of the replies that a reader relays from a tag or from its slave
// sensor.
#include "app/frmSerial.h"
#include "protocol/conversions.h"
#include "protocol/replies.h"
#include "ui_frmSerial.h"

#include <QLocale>

void frmSerial::showTagPoll(const QByteArray &r)
{
    const auto t = proto::decodeTagPoll(r);
    if (!t)
        return;
    setStatus(QStringLiteral("Был ПИНГ."));
    ui->SerNumMetki->setText(QString::number(t->serial));
    ui->textOutCmd->setText(proto::byteHex(t->command));
    ui->outID->setText(t->id);
    // After a parameter read the ID box takes the tag's ID once; later polls
    // leave what the operator may have typed.
    if (tag_read == 1) {
        ui->ID_Metki->setText(t->id);
        tag_read = 0;
    }
    ui->UrPr->setText(QString::number(t->level));
}

void frmSerial::showTagData(const QByteArray &r)
{
    const auto t = proto::decodeTagData(r);
    if (!t)
        return;
    setStatus(QStringLiteral("Считаны данные."));
    ui->outSN->setText(QString::number(t->serial));
    ui->textOutCmd->setText(proto::byteHex(t->command));
    ui->outID->setText(t->id);
    ui->ID_Metki->setText(t->id);
    ui->outTime->setText(QString::number(t->interval));
    ui->IntervalMetki->setText(QString::number(t->interval));
    ui->outMode->setText(QString::number(t->mode));
    ui->ModeMetki->setText(QString::number(t->mode));
    ui->outPower->setText(QString::number(t->power));
    ui->PowerMetki->setText(QString::number(t->power));
    ui->outVer->setText(t->version);
    ui->sleep_time->setText(QString::number(t->sleep));
    ui->UrPr->setText(QString::number(t->level));
}

void frmSerial::showSlaveData(const QByteArray &r)
{
    const auto s = proto::decodeSlaveData(r);
    if (!s)
        return;
    setStatus(QStringLiteral("Приняты данные моста"));
    ui->sn_sl->setText(QString::number(s->serial));
    ui->Temp_sl->setText(s->temperature);
    ui->fr_sl->setText(QString::number(s->frequency));
    ui->Check_sl->setChecked(s->contact);
    ui->ur_sl->setText(QString::number(s->level));
}

void frmSerial::showSlaveRs485(const QByteArray &r)
{
    const auto word = proto::decodeSlaveRs485(r);
    if (!word)
        return;
    setStatus(QStringLiteral("Приняты данные моста"));
    ui->RR_SL_data->setText(QString::number(*word));
}
