#pragma once
// The port list CmbPort: which entry a scan selects, and which device each
// entry stands for.
#include <QStringList>

class QComboBox;
class frmSerial;

// The entry of `found` (not empty) to select after a scan when the entry
// `selectedName` at `selectedIndex` was selected before. A port still listed
// stays selected, so that pulling one adapter never moves the selection to
// another one; only when it is gone does the position count: the same
// index, the last entry when the list has become shorter, the first when
// nothing was selected.
int portIndexAfterScan(const QString &selectedName, int selectedIndex, const QStringList &found);

// Shows the ports a scan found (not none) with the device behind each as its
// tooltip, and selects by portIndexAfterScan. An unchanged list is left
// alone, so that a drop-down the operator has open stays open.
void showFoundPorts(QComboBox *list, const QStringList &found, const QStringList &devices);

// From now on the box's own tooltip names the device of the selected entry.
void showDeviceOfSelectedPort(QComboBox *list);

// Selects COMn before the first scan, which then keeps it selected as long
// as it is listed: the demo starts on its own simulated line, not on the
// first real port of the machine.
void preselectPort(frmSerial &window, int comNumber);
