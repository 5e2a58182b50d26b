#pragma once
// The line added to "Com Port COMn недоступен." when the technician's
// account may not use the device: on Linux, serial devices belong to the
// group dialout.
#include <QString>

// "\n" and the line naming `devicePath` and the group dialout when this
// process may not read and write `devicePath`; empty otherwise (a port held
// elsewhere, a device that vanished).
QString permissionHint(const QString &devicePath);

// The same from a known answer: `denied` true when access was refused.
QString permissionHint(const QString &devicePath, bool denied);
