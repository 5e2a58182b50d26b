// Reader operating modes: the mode byte carries the mode code in bits 0..4
// and the two bridge options in bits 6 ("Частотный выход") and 7 ("Мастер").
#include "window/frmSerial.h"
#include "protocol/requests.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "ui_frmSerial.h"

using proto::ModeCodeMask;
constexpr quint8 OptionMaster = proto::ModeOptionMaster;
constexpr quint8 OptionFrequency = proto::ModeOptionFrequency;

std::vector<std::pair<QRadioButton *, quint8>> frmSerial::modeButtons() const
{
    // In the order the mode is read from them: the last one selected counts.
    return {{ui->R485, 0}, {ui->R_a, 2}, {ui->R_f, 1}, {ui->R_p, 6}, {ui->R_p485, 16}};
}

void frmSerial::Set_mode_Click()
{
    quint8 mode = 0;
    for (const auto &[button, code] : modeButtons()) {
        if (button->isChecked())
            mode = code;
    }
    // Hidden boxes count too: a received mode byte may leave one checked.
    if (ui->iinv->isChecked())
        mode |= OptionMaster;
    if (ui->usredn->isChecked())
        mode |= OptionFrequency;

    const auto address = currentAddress();
    if (!address)
        return;
    // Appended: two mode requests made within one tick go out together.
    cycle_.appendRequest(proto::modeRequest(*address, mode), outWin());
    cycle_.requestReload();
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
    // No such mode: the buttons stay as they are.
    for (const auto &[button, code] : modeButtons()) {
        if (code == (nn & ModeCodeMask))
            button->setChecked(true);
    }
    ui->usredn->setChecked(nn & OptionFrequency);
    // The engine has put its latch to rest with the mode it showed.
}
