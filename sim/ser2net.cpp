#include "sim/ser2net.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

bool Ser2net::start(const QString &device, Mode mode)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                                           {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (program.isEmpty() || !dir_.isValid())
        return false;
    if (port_ == 0) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        port_ = probe.serverPort();
    }
    const QString accepter = mode == Mode::Raw ? QStringLiteral("tcp,127.0.0.1,%1").arg(port_)
                                               : QStringLiteral("telnet(rfc2217),tcp,127.0.0.1,%1").arg(port_);
    QFile config(dir_.filePath(QStringLiteral("ser2net.yaml")));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral("%YAML 1.1\n---\nconnection: &rfid\n  accepter: %1\n"
                                "  connector: serialdev,%2,19200n81,local\n")
                     .arg(accepter, device)
                     .toUtf8());
    config.close();
    process_.setProgram(program);
    // -n -d: in the foreground; -u: no UUCP lock file of its own on the
    // simulated line's terminal, which nobody else opens.
    process_.setArguments({QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-c"),
                           config.fileName(), QStringLiteral("-P"), dir_.filePath(QStringLiteral("ser2net.pid"))});
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start();
    if (!process_.waitForStarted(5000))
        return false;
    // Up once a connection is taken.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000 && process_.state() == QProcess::Running) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port_);
        if (s.waitForConnected(200)) {
            s.abort();
            return true;
        }
        QThread::msleep(50);
    }
    stop();
    return false;
}

void Ser2net::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished(5000);
}

QString Ser2net::name(Mode mode) const
{
    return (mode == Mode::Raw ? QStringLiteral("tcp://127.0.0.1:%1") : QStringLiteral("rfc2217://127.0.0.1:%1"))
        .arg(port_);
}
