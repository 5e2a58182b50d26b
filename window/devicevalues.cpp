// The values one reader, its tag or its slave sensor reported. They belong
// to that device: when a tick finds another address picked, when the typed
// address names no reader, or when the port closes, each goes back to the
// text it had when the window started (the reader's own labels to the texts
// of a closed port), until the new device's own reply fills it.
// A box the technician typed into since is his, not the device's, and keeps
// what he typed.
#include "window/frmSerial.h"
#include "ui_frmSerial.h"

std::vector<QLabel *> frmSerial::deviceLabels() const
{
    std::vector<QLabel *> labels = {
        // Page "Считыватель".
        ui->sn, ui->vv, ui->tek, ui->temp, ui->uroven, ui->lo, ui->hi, ui->ne, ui->ko, ui->vraa,
        // Page "метка".
        ui->SerNumMetki, ui->outSN, ui->textOutCmd, ui->outID, ui->outTime, ui->outMode,
        ui->outPower, ui->outVer, ui->UrPr,
        // Page "мост".
        ui->sn_sl, ui->Temp_sl, ui->fr_sl, ui->ur_sl, ui->RR_SL_data};
    for (int k = 0; k < 10; ++k)
        labels.push_back(m1(k));
    return labels;
}

std::vector<QLineEdit *> frmSerial::deviceBoxes() const
{
    return {ui->num_net, ui->n_kan, ui->ppow, ui->Zad2, ui->ID_Metki, ui->ModeMetki,
            ui->IntervalMetki, ui->PowerMetki, ui->sleep_time};
}

void frmSerial::rememberStartValues()
{
    for (QLabel *label : deviceLabels())
        startTexts_.insert(label, label->text());
    for (QLineEdit *box : deviceBoxes()) {
        startTexts_.insert(box, box->text());
        // Typing makes the box the technician's.
        connect(box, &QLineEdit::textEdited, this, [this, box] { fromDevice_.remove(box); });
    }
    rotationShown_ = !ui->vra->isHidden();
}

void frmSerial::showDeviceValue(QLineEdit *box, const QString &text)
{
    box->setText(text);
    fromDevice_.insert(box);
}

void frmSerial::forgetDeviceValues()
{
    for (QLabel *label : deviceLabels())
        label->setText(startTexts_.value(label));
    for (QLineEdit *box : deviceBoxes()) {
        if (fromDevice_.contains(box))
            box->setText(startTexts_.value(box));
    }
    fromDevice_.clear();
    ui->ProgressBar1->setValue(0);
    ui->Check_sl->setChecked(false);
    ui->vra->setVisible(rotationShown_);
    ui->vraa->setVisible(rotationShown_);
    for (QLabel *picture : {ui->Image1, ui->Image2, ui->Image3, ui->Image6})
        picture->hide();
    // The reader's own labels read as they do after a close, whatever the
    // window started with: one state, one wording.
    const QString noData = QStringLiteral("Нет данных");
    ui->sn->setText(QStringLiteral("0"));
    ui->vv->setText(QStringLiteral("--------"));
    for (QLabel *label : {ui->tek, ui->temp, ui->uroven, ui->lo, ui->hi, ui->ne})
        label->setText(noData);
    tagHeardBy_.reset();
}

bool frmSerial::tagHeardOrSay()
{
    // Heard through the reader now picked: a tag another reader relayed is
    // not in this one's field.
    const bool heard = tagHeardBy_ && tagHeardBy_ == currentAddress();
    if (!heard)
        dialogs_.message(QStringLiteral("Метка не определена: дождитесь ответа метки на странице \"метка\""));
    return heard;
}
