#pragma once
// The six operations through which the program reaches the RS-485 line.
// The window only ever talks to this interface: the Qt SerialPort
// implementation on a real machine, a fake in tests.
#include <QByteArray>
#include <QString>

class PortLayer
{
public:
    virtual ~PortLayer() = default;

    // Non-zero when port COMn exists; the port is not opened to find out.
    virtual qint32 PortExists(qint16 n) = 0;
    // Opens "COMn" exclusively with a settings text such as "19200,n,8,1".
    // Reports its own failures to the operator and returns false.
    virtual bool OpenPort(const QString &name, const QString &settings) = 0;
    // Does nothing when no port is open.
    virtual int ClosePort() = 0;
    virtual void FlushPort() = 0;
    // What arrived, at most 255 bytes; returns 20 ms after the last byte,
    // after 256 ms at the latest. Empty when nothing came.
    virtual QByteArray ReadPort() = 0;
    // Number of bytes written; a string longer than 255 bytes goes out in
    // pieces of 255 and returns 0.
    virtual int WritePort(const QByteArray &s) = 0;

    // The device behind COMn ("/dev/ttyUSB0"), so that a technician with
    // several adapters can tell them apart; empty when the layer cannot say.
    virtual QString PortDevice(qint16 /*n*/) { return QString(); }
};
