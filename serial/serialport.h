#pragma once
// The port layer over Qt SerialPort: one port at a time, opened exclusively.
// It never blocks: bytes are collected as Qt reports them (readyRead on the
// window thread), each with its arrival time, into a bounded input queue.
#include "serial/inputqueue.h"
#include "serial/portlayer.h"
#include "serial/portlock.h"

#include <QSerialPort>

#include <memory>

class PortNames;
class QTimer;

class SerialPort : public PortLayer
{
    Q_OBJECT

public:
    explicit SerialPort(const PortNames &names, QObject *parent = nullptr);
    ~SerialPort() override;

    qint32 PortExists(qint16 n) override;
    bool OpenPort(const QString &name, const QString &settings,
                  OpenFailure *failure = nullptr) override;
    int ClosePort() override;
    void FlushPort() override;
    QByteArray ReadPort() override;
    int WritePort(const QByteArray &s) override;
    Waiting waiting() const override;
    qint64 lastReadByteAtMs() const override { return lastReadByteAt_; }
    QString PortDevice(qint16 n) override;

    bool isOpen() const;

    // Where the lock files of other programs are looked for, and how their
    // holders are found running; tests set their own.
    struct LockRules {
        QStringList directories = defaultLockDirectories();
        ProcessAlive alive = processAlive;
    };
    void setLockRules(const LockRules &rules) { lockRules_ = rules; }

private:
    void collect();
    void onError(QSerialPort::SerialPortError error);
    void dropLostPort();
    int writePiece(const QByteArray &s);
    std::optional<PortLock> liveLockOrClearStale(const QString &device);

    const PortNames &names_;
    std::unique_ptr<QSerialPort> port_;
    InputQueue input_;
    qint64 lastReadByteAt_ = -1;
    bool lost_ = false;
    QTimer *writeDeadline_ = nullptr;
    LockRules lockRules_;
};
