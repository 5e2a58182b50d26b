#pragma once
// The port the program opens by name: "COMn" (or a device path) on a serial
// adapter, "tcp://…" or "rfc2217://…" behind an Ethernet gateway. Everything
// above talks to this one layer and cannot tell the two apart.
#include "serial/networkport.h"
#include "serial/portlayer.h"
#include "serial/serialport.h"

class PortNames;

class LinePort : public PortLayer
{
    Q_OBJECT

public:
    explicit LinePort(const PortNames &names, QObject *parent = nullptr);

    qint32 PortExists(qint16 n) override { return serial_.PortExists(n); }
    bool OpenPort(const QString &name, const QString &settings, OpenFailure *failure = nullptr) override;
    int ClosePort() override;
    void FlushPort() override { current().FlushPort(); }
    QByteArray ReadPort() override { return current().ReadPort(); }
    int WritePort(const QByteArray &s) override { return current().WritePort(s); }
    Waiting waiting() const override { return current().waiting(); }
    qint64 lastReadByteAtMs() const override { return current().lastReadByteAtMs(); }
    QString PortDevice(qint16 n) override { return serial_.PortDevice(n); }
    int latencyMs() const override { return current().latencyMs(); }
    QString latencyNote() const override { return current().latencyNote(); }
    QString lostReason() const override { return current().lostReason(); }

    bool isOpen() const { return onNetwork_ ? network_.isOpen() : serial_.isOpen(); }
    SerialPort &serial() { return serial_; }
    NetworkPort &network() { return network_; }

private:
    PortLayer &current() { return onNetwork_ ? static_cast<PortLayer &>(network_) : serial_; }
    const PortLayer &current() const
    {
        return onNetwork_ ? static_cast<const PortLayer &>(network_) : serial_;
    }

    SerialPort serial_;
    NetworkPort network_;
    bool onNetwork_ = false;
};
