#include "serial/lineport.h"

#include "serial/netaddress.h"

LinePort::LinePort(const PortNames &names, QObject *parent)
    : PortLayer(parent), serial_(names), network_()
{
    for (PortLayer *layer : {static_cast<PortLayer *>(&serial_), static_cast<PortLayer *>(&network_)}) {
        connect(layer, &PortLayer::bytesArrived, this, &PortLayer::bytesArrived);
        connect(layer, &PortLayer::lineLost, this, &PortLayer::lineLost);
        connect(layer, &PortLayer::notice, this, &PortLayer::notice);
    }
}

bool LinePort::OpenPort(const QString &name, const QString &settings, OpenFailure *failure)
{
    ClosePort();
    onNetwork_ = looksLikeNetworkPort(name);
    return current().OpenPort(name, settings, failure);
}

int LinePort::ClosePort()
{
    return serial_.ClosePort() | network_.ClosePort();
}
