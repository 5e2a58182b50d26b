#pragma once
// ser2net, a real serial-to-network server, in front of the simulated line:
// for the tests and the benchmark of lines behind an Ethernet gateway. It
// runs in the foreground with a configuration of its own, on a free port of
// 127.0.0.1 only; the system's configuration (Debian's names /dev/ttyS0) is
// never read.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class Ser2net
{
public:
    enum class Mode { Raw, Rfc2217 };

    ~Ser2net() { stop(); }

    // Starts ser2net in front of `device` and waits until it takes
    // connections; false when it is not installed or does not come up. A
    // restart keeps the port.
    bool start(const QString &device, Mode mode);
    void stop();
    // The line's name for the port layer: "tcp://127.0.0.1:N" or "rfc2217://…".
    QString name(Mode mode) const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};
