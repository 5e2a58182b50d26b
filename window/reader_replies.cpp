// Display of the reader's replies: identification, reader search answer,
// additional parameters, bound-ID table and the live reader data.
#include "window/frmSerial.h"
#include "protocol/conversions.h"
#include "protocol/replies.h"
#include "ui_frmSerial.h"

void frmSerial::showIdentification(const proto::Identification &id)
{
    if (!id.serial) {
        ui->sn->setText(QStringLiteral("????????"));
        return;
    }
    ui->sn->setText(QString::number(*id.serial));
    if (!id.version)
        return; // only the full reply tells the version
    ui->vv->setText(*id.version);
    // Independent tests: a newer reader switches on every older class too.
    if (id.versionNumber >= 130)
        swtag130();
    if (id.versionNumber >= 131)
        swtag131();
    if (id.versionNumber >= 134)
        swtag134();
}

void frmSerial::showNetworkPoll(const reply::NetworkPoll &poll)
{
    QString list;
    ui->CmbNet->clear();
    for (quint8 a : poll.addresses) {
        const QString text = QString::number(a);
        ui->CmbNet->addItem(text);
        list += text + QLatin1Char(' ');
    }
    ui->CmbNet->setCurrentIndex(0);
    ui->netdev->setText(list);
}

void frmSerial::showReaderData(const reply::ReaderData &reader)
{
    const proto::ReaderData *const d = &reader.data;

    // A zero current value means the reader has no fresh measurement.
    if (d->current > 0) {
        ui->tek->setText(QString::number(d->current));

        // In the tag's drum modes (4, 5) byte 4 is the rotation, not a temperature.
        const QString tagMode = ui->ModeMetki->text();
        const auto mode = proto::parseInteger(tagMode);
        if (!tagMode.isEmpty() && mode && *mode >= 0 && *mode <= 255) {
            if (*mode == 4 || *mode == 5) {
                ui->vra->show();
                ui->vraa->show();
                ui->Image1->hide();
                ui->Image2->hide();
                ui->Image3->hide();
                ui->Image6->hide();
                switch (d->byte4) {
                case 0:
                    ui->vraa->setText(QStringLiteral("СТОП"));
                    ui->Image3->show();
                    ui->Image6->show();
                    break;
                case 1:
                    ui->vraa->setText(QStringLiteral("ЛЕВОЕ"));
                    ui->Image1->show();
                    ui->Image6->show();
                    break;
                case 2:
                    ui->vraa->setText(QStringLiteral("ПРАВОЕ"));
                    ui->Image2->show();
                    ui->Image6->show();
                    break;
                default:
                    break;
                }
            } else {
                ui->vra->hide();
                ui->vraa->hide();
            }
        }

        ui->temp->setText(QString::number(d->temperature) + QStringLiteral(" °C"));
        ui->ne->setText(QString::number(d->address));
        if (d->level < 1024)
            ui->ProgressBar1->setValue(d->level);
        ui->uroven->setText(QString::number(d->level));
    }

    ui->lo->setText(QString::number(d->empty));
    ui->hi->setText(d->tagId);
    ui->ko->setText(QString::number(d->k));

    if (reader.loadSettings && d->longForm) {
        Out_modes(d->longForm->mode);
        showDeviceValue(ui->num_net, QString::number(d->longForm->network));
        showDeviceValue(ui->n_kan, QString::number(d->longForm->channel));
        showDeviceValue(ui->ppow, QString::number(d->longForm->power));
    }
}
