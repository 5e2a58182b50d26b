// Reader operating modes: the mode byte carries the mode code in bits 0..4
// and the two bridge options in bits 6 ("Частотный выход") and 7 ("Мастер").
#include "app/frmSerial.h"
#include "protocol/frame.h"
#include "ui_frmSerial.h"

namespace {
constexpr quint8 OptionMaster = 0x80;
constexpr quint8 OptionFrequency = 0x40;
constexpr quint8 ModeCodeMask = 0x1F;
} // namespace

void frmSerial::Set_mode_Click()
{
    quint8 mode = 0;
    if (ui->R485->isChecked())
        mode = 0;
    if (ui->R_a->isChecked())
        mode = 2;
    if (ui->R_f->isChecked())
        mode = 1;
    if (ui->R_p->isChecked())
        mode = 6;
    if (ui->R_p485->isChecked())
        mode = 16;
    // Hidden boxes count too: a received mode byte may leave one checked.
    if (ui->iinv->isChecked())
        mode |= OptionMaster;
    if (ui->usredn->isChecked())
        mode |= OptionFrequency;

    const auto address = currentAddress();
    if (!address)
        return;
    // Appended: two mode requests made within one tick go out together.
    wrs += proto::buildRequest(*address, 0xF2, QByteArray(1, char(mode)));
    out_win(wrs);
    mode_yes = 2;
}

void frmSerial::showModeOptions(bool visible)
{
    ui->iinv->setVisible(visible);
    ui->invers->setVisible(visible);
    ui->usredn->setVisible(visible);
    ui->usred->setVisible(visible);
    if (!visible) {
        ui->iinv->setChecked(false);
        ui->usredn->setChecked(false);
    }
}

void frmSerial::R_a_Click()
{
    showModeOptions(false);
}

void frmSerial::R_f_Click()
{
    showModeOptions(false);
}

void frmSerial::R_p_Click()
{
    showModeOptions(false);
}

void frmSerial::R_p485_Click()
{
    showModeOptions(false);
}

void frmSerial::R485_Click()
{
    showModeOptions(true);
}

void frmSerial::Out_modes(quint8 nn)
{
    ui->iinv->setChecked(nn & OptionMaster);
    // Selecting a button that was not selected runs its click handler (the
    // show/hide rule) at this moment; see connectHandlers().
    switch (nn & ModeCodeMask) {
    case 0:
        ui->R485->setChecked(true);
        break;
    case 1:
        ui->R_f->setChecked(true);
        break;
    case 2:
        ui->R_a->setChecked(true);
        break;
    case 6:
        ui->R_p->setChecked(true);
        break;
    case 16:
        ui->R_p485->setChecked(true);
        break;
    default:
        break; // no such mode: the buttons stay as they are
    }
    ui->usredn->setChecked(nn & OptionFrequency);
    mode_yes = 0;
}
