#include "window/portlist.h"

#include "window/frmSerial.h"

#include <QComboBox>

int portIndexAfterScan(const QString &selectedName, int selectedIndex, const QStringList &found)
{
    const int same = found.indexOf(selectedName);
    if (same >= 0)
        return same;
    if (selectedIndex > found.size() - 1)
        return found.size() - 1;
    return selectedIndex < 0 ? 0 : selectedIndex;
}

void showFoundPorts(QComboBox *list, const QStringList &found, const QStringList &devices)
{
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->itemText(i);
    if (shown != found || list->currentIndex() < 0) {
        const QString selected = list->currentText();
        const int index = list->currentIndex();
        list->clear();
        list->addItems(found);
        list->setCurrentIndex(portIndexAfterScan(selected, index, found));
    }
    for (int i = 0; i < found.size(); ++i) {
        if (list->itemData(i, Qt::ToolTipRole).toString() != devices.value(i))
            list->setItemData(i, devices.value(i), Qt::ToolTipRole);
    }
    list->setToolTip(list->currentData(Qt::ToolTipRole).toString());
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
