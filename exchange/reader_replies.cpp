// Display of the reader's replies: identification, reader search answer,
// additional parameters, bound-ID table and the live reader data.
#include "app/frmSerial.h"
#include "protocol/conversions.h"
#include "protocol/replies.h"
#include "ui_frmSerial.h"

void frmSerial::showIdentification(const QByteArray &r)
{
    const proto::Identification id = proto::decodeIdentification(r);
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

void frmSerial::showNetworkPoll(const QByteArray &r)
{
    if (!net_opr)
        return;
    const auto addresses = proto::decodeNetworkPoll(r);
    if (!addresses)
        return;

    QString list;
    ui->CmbNet->clear();
    for (quint8 a : *addresses) {
        const QString text = QString::number(a);
        ui->CmbNet->addItem(text);
        list += text + QLatin1Char(' ');
    }
    ui->CmbNet->setCurrentIndex(0);
    ui->netdev->setText(list);
    ui->txtRec->setPlainText(proto::hexDump(r, QLatin1Char(' ')));
    wrs = Zapros_ser_num();
    setStatus(QStringLiteral("Произошел опрос сети."));
}

void frmSerial::showAdditionalParams(const QByteArray &r)
{
    const auto delay = proto::decodeAdditionalParams(r);
    if (!delay)
        return;
    setStatus(QStringLiteral("Приняты доп. параметры считывателя"));
    ui->Zad2->setText(QString::number(*delay));
}

void frmSerial::showIdTable(const QByteArray &r)
{
    const auto table = proto::decodeIdTable(r);
    if (!table)
        return;
    for (int k = 0; k < 10 && k < table->size(); ++k)
        m1(k)->setText(table->at(k));
}

void frmSerial::showReaderData(const QByteArray &r)
{
    const auto d = proto::decodeReaderData(r);
    if (!d)
        return; // wrong checksum or cut short: nothing changes

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

    if (d->longForm) {
        // The latch lets the operator's choices stand: the reader's mode and
        // radio parameters are loaded once, from the second long reply after
        // a search or a mode setting.
        if (mode_yes == 1) {
            Out_modes(d->longForm->mode);
            ui->num_net->setText(QString::number(d->longForm->network));
            ui->n_kan->setText(QString::number(d->longForm->channel));
            ui->ppow->setText(QString::number(d->longForm->power));
        }
        if (mode_yes == 2) {
            mode_yes = 1;
            setStatus(QStringLiteral("Приняты данные"));
        }
    }
}
