#pragma once
// The port layer over Qt SerialPort: one port at a time, opened exclusively,
// used synchronously on the window thread.
#include "serial/portlayer.h"

#include <memory>

class Dialogs;
class PortNames;
class QSerialPort;

class SerialPort : public PortLayer
{
public:
    SerialPort(const PortNames &names, Dialogs &dialogs);
    ~SerialPort() override;

    qint32 PortExists(qint16 n) override;
    bool OpenPort(const QString &name, const QString &settings) override;
    int ClosePort() override;
    void FlushPort() override;
    QByteArray ReadPort() override;
    int WritePort(const QByteArray &s) override;
    QString PortDevice(qint16 n) override;

    bool isOpen() const;

private:
    const PortNames &names_;
    Dialogs &dialogs_;
    std::unique_ptr<QSerialPort> port_;
};
