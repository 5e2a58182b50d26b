#pragma once
// The port list CmbPort: which entries a scan shows and which it selects, and
// which device each entry stands for.
#include <QStringList>

class QComboBox;
class frmSerial;

// What the list shows after a scan.
struct PortScan {
    QStringList entries; // the ports found in order, or "----" first
    int selected = 0;    // the entry to select
    QString missing;     // the chosen port that is gone, "" when none is
};

// The list after a scan that found `found` (possibly nothing) while the port
// `chosen` ("COMn", "" when none) was selected. The chosen port stays
// selected while it is listed, whatever is plugged in or pulled around it.
// When it is gone, "----" stands in its place and remembers it: the
// selection never falls to another device (the machine's own UART least of
// all), and the chosen port is selected again when it comes back, unless the
// technician has picked another one meanwhile. With nothing chosen yet, the
// first port found is selected.
PortScan portsAfterScan(const QString &chosen, const QStringList &found);

// Shows the ports a scan found with the device behind each as its tooltip,
// and selects by portsAfterScan. An unchanged list is left alone, so that a
// drop-down the operator has open stays open.
void showFoundPorts(QComboBox *list, const QStringList &found, const QStringList &devices);

// What "Открыть порт" says when the list offers no port: that the chosen
// port is gone, or "Нет доступных портов".
QString noPortMessage(const QComboBox *list);

// From now on the box's own tooltip names the device of the selected entry.
void showDeviceOfSelectedPort(QComboBox *list);

// Selects COMn before the first scan, which then keeps it selected as long
// as it is listed: the demo starts on its own simulated line, not on the
// first real port of the machine.
void preselectPort(frmSerial &window, int comNumber);

// The tooltip of a line behind an Ethernet gateway in the port list.
QString networkLineTooltip();
