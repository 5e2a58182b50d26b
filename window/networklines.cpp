// Lines behind Ethernet gateways: named on the command line or with F9,
// offered in the port box after the COM ports for as long as the program
// runs. Nothing of them is stored.
#include "window/frmSerial.h"
#include "window/portlist.h"

#include "serial/netaddress.h"
#include "widgets/dialogs.h"
#include "ui_frmSerial.h"

bool frmSerial::addNetworkLine(const QString &name)
{
    const std::optional<NetworkAddress> address = parseNetworkPort(name.trimmed());
    if (!address) {
        dialogs_.message(QStringLiteral("Адрес линии не понят: ") + name
                             + QStringLiteral("\nНужен tcp://АДРЕС:ПОРТ (шлюз сам настроен на 19200 8N1) "
                                              "или rfc2217://АДРЕС:ПОРТ (настройки линии задаёт программа)."),
                         Dialogs::Icon::Warning);
        return false;
    }
    const QString line = address->name();
    if (!networkLines_.contains(line))
        networkLines_ << line;
    int entry = ui->CmbPort->findText(line);
    if (entry < 0) {
        ui->CmbPort->addItem(line);
        entry = ui->CmbPort->count() - 1;
        ui->CmbPort->setItemData(entry, networkLineTooltip(), Qt::ToolTipRole);
    }
    ui->CmbPort->setCurrentIndex(entry);
    return true;
}

void frmSerial::askNetworkLine()
{
    const QString current = ui->CmbPort->currentText();
    const QString answer = dialogs_.inputBox(
        QStringLiteral("Адрес линии за Ethernet-шлюзом:\n"
                       "tcp://АДРЕС:ПОРТ - шлюз передаёт байты как есть (сам настроен на 19200 8N1);\n"
                       "rfc2217://АДРЕС:ПОРТ - шлюз с управлением портом (RFC 2217)."),
        QStringLiteral("Сетевая линия"),
        looksLikeNetworkPort(current) ? current : QStringLiteral("tcp://"));
    if (answer.trimmed().isEmpty() || answer.trimmed() == QLatin1String("tcp://"))
        return;
    addNetworkLine(answer);
}
