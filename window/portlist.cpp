#include "window/portlist.h"

#include "window/frmSerial.h"

#include "serial/netaddress.h"

#include <QComboBox>

namespace {

const QString kNoPort = QStringLiteral("----");
// The port a "----" entry stands in for.
constexpr int MissingPortRole = Qt::UserRole + 1;

// The port the selected entry stands for, "" for none.
QString chosenPort(const QComboBox *list)
{
    const QString missing = list->currentData(MissingPortRole).toString();
    if (!missing.isEmpty())
        return missing;
    const QString text = list->currentText();
    return text.startsWith(QLatin1String("COM")) || looksLikeNetworkPort(text) ? text : QString();
}

} // namespace

PortScan portsAfterScan(const QString &chosen, const QStringList &found)
{
    PortScan scan;
    scan.entries = found;
    const int same = found.indexOf(chosen);
    if (same >= 0) {
        scan.selected = same;
    } else if (!chosen.isEmpty() || found.isEmpty()) {
        scan.entries.prepend(kNoPort);
        scan.missing = chosen;
    }
    return scan;
}

void showFoundPorts(QComboBox *list, const QStringList &found, const QStringList &devices)
{
    const PortScan scan = portsAfterScan(chosenPort(list), found);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->itemText(i);
    if (shown != scan.entries || list->currentIndex() < 0
        || list->itemData(0, MissingPortRole).toString() != scan.missing) {
        list->clear();
        list->addItems(scan.entries);
        if (!scan.missing.isEmpty())
            list->setItemData(0, scan.missing, MissingPortRole);
        list->setCurrentIndex(scan.selected);
    }
    const int first = scan.entries.size() - found.size(); // 1 behind "----"
    if (!scan.missing.isEmpty())
        list->setItemData(0, scan.missing + QStringLiteral(" отключён; он будет выбран снова, когда появится"),
                          Qt::ToolTipRole);
    for (int i = 0; i < found.size(); ++i) {
        if (list->itemData(first + i, Qt::ToolTipRole).toString() != devices.value(i))
            list->setItemData(first + i, devices.value(i), Qt::ToolTipRole);
    }
    list->setToolTip(list->currentData(Qt::ToolTipRole).toString());
}

QString noPortMessage(const QComboBox *list)
{
    const QString missing = list->currentData(MissingPortRole).toString();
    if (missing.isEmpty())
        return QStringLiteral("Нет доступных портов");
    return QStringLiteral("Порт ") + missing
           + QStringLiteral(" отключён. Подключите его адаптер или выберите другой порт.");
}

void showDeviceOfSelectedPort(QComboBox *list)
{
    QObject::connect(list, &QComboBox::currentIndexChanged, list,
                     [list] { list->setToolTip(list->currentData(Qt::ToolTipRole).toString()); });
}

void preselectPort(frmSerial &window, int comNumber)
{
    auto *list = window.findChild<QComboBox *>(QStringLiteral("CmbPort"));
    if (!list || comNumber < 1)
        return;
    list->clear();
    list->addItem(QStringLiteral("COM") + QString::number(comNumber));
    list->setCurrentIndex(0);
}

QString networkLineTooltip()
{
    return QStringLiteral("Линия за Ethernet-шлюзом (только на время работы программы)");
}
