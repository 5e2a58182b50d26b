// Display of the replies that a reader relays from a tag or from its slave
// sensor.
#include "window/frmSerial.h"
#include "protocol/conversions.h"
#include "protocol/replies.h"
#include "ui_frmSerial.h"

#include <QLocale>

void frmSerial::showTagPoll(const reply::TagPoll &poll)
{
    const proto::TagPoll *const t = &poll.tag;
    ui->SerNumMetki->setText(QString::number(t->serial));
    ui->textOutCmd->setText(proto::byteHex(t->command));
    ui->outID->setText(t->id);
    // After a parameter read the ID box takes the tag's ID once; later polls
    // leave what the operator may have typed.
    if (poll.takeId)
        showDeviceValue(ui->ID_Metki, t->id);
    ui->UrPr->setText(QString::number(t->level));
    tagHeardBy_ = servedAddress_;
}

void frmSerial::showTagData(const proto::TagData &tag)
{
    const proto::TagData *const t = &tag;
    ui->outSN->setText(QString::number(t->serial));
    ui->textOutCmd->setText(proto::byteHex(t->command));
    ui->outID->setText(t->id);
    showDeviceValue(ui->ID_Metki, t->id);
    ui->outTime->setText(QString::number(t->interval));
    showDeviceValue(ui->IntervalMetki, QString::number(t->interval));
    ui->outMode->setText(QString::number(t->mode));
    showDeviceValue(ui->ModeMetki, QString::number(t->mode));
    ui->outPower->setText(QString::number(t->power));
    showDeviceValue(ui->PowerMetki, QString::number(t->power));
    ui->outVer->setText(t->version);
    showDeviceValue(ui->sleep_time, QString::number(t->sleep));
    ui->UrPr->setText(QString::number(t->level));
    tagHeardBy_ = servedAddress_;
}

void frmSerial::showSlaveData(const proto::SlaveData &slave)
{
    const proto::SlaveData *const s = &slave;
    ui->sn_sl->setText(QString::number(s->serial));
    ui->Temp_sl->setText(s->temperature);
    ui->fr_sl->setText(QString::number(s->frequency));
    ui->Check_sl->setChecked(s->contact);
    ui->ur_sl->setText(QString::number(s->level));
}
