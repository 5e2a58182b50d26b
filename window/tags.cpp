// Enabling of controls by their Tag: 9..129 while a port is open, 130, 131
// and 134..214 by the reader's firmware version, 220 never.
#include "window/frmSerial.h"

#include <QVariant>

namespace {

// The control's Tag as a number, or -1 when it has none.
int tagOf(const QWidget *w)
{
    bool ok = false;
    const int tag = w->property("Tag").toString().toInt(&ok);
    return ok ? tag : -1;
}

// A control's own Enabled setting, whatever its container's state.
bool ownEnabled(const QWidget *w)
{
    return !w->testAttribute(Qt::WA_ForceDisabled);
}

} // namespace

void frmSerial::SwitchTags()
{
    // Toggles rather than sets: every connection control is disabled while
    // the port is closed, so the toggle enables them on each open.
    for (QWidget *w : findChildren<QWidget *>()) {
        const int tag = tagOf(w);
        if (tag > 8 && tag < 130)
            w->setEnabled(!ownEnabled(w));
    }
}

void frmSerial::CloseAllTags()
{
    for (QWidget *w : findChildren<QWidget *>()) {
        if (tagOf(w) > 8)
            w->setEnabled(false);
    }
}

void frmSerial::applyTagRange(int from, int to, bool enable)
{
    for (QWidget *w : findChildren<QWidget *>()) {
        const int tag = tagOf(w);
        if (tag >= from && tag <= to)
            w->setEnabled(enable);
    }
}

void frmSerial::swtag130()
{
    applyTagRange(130, 130, true);
}

void frmSerial::swtag131()
{
    applyTagRange(131, 131, true);
}

void frmSerial::swtag134()
{
    applyTagRange(134, 214, true);
}
