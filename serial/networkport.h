#pragma once
// The line behind an Ethernet gateway, as a port: "tcp://HOST:PORT" passes
// the line's bytes as they are, "rfc2217://HOST:PORT" wraps them in Telnet
// and sets the gateway's line to 19200 8N1. Bytes are collected as Qt
// reports them, each with its arrival time, into the same bounded input
// queue as a serial port's, so the exchange cycle sees no difference.
//
// Opening resolves the name and connects with a bounded wait (the open is
// the one moment the technician waits for the line); afterwards nothing
// ever blocks. A connection that breaks, is closed by the gateway or gets
// no TCP answer for 10 s is a lost line, with its reason in Russian.
#include "serial/inputqueue.h"
#include "serial/netaddress.h"
#include "serial/portlayer.h"
#include "serial/portlock.h"
#include "serial/rfc2217.h"

#include <QAbstractSocket>
#include <QHostAddress>

#include <memory>
#include <optional>

class QTcpSocket;

class NetworkPort : public PortLayer
{
    Q_OBJECT

public:
    static constexpr int ConnectTimeoutMs = 5000;
    static constexpr int NegotiationTimeoutMs = 3000;
    // No TCP answer for this long and the line is lost.
    static constexpr int DeadAfterSeconds = 10;

    explicit NetworkPort(QObject *parent = nullptr);
    ~NetworkPort() override;

    qint32 PortExists(qint16) override { return 0; }
    bool OpenPort(const QString &name, const QString &settings, OpenFailure *failure = nullptr) override;
    int ClosePort() override;
    void FlushPort() override;
    QByteArray ReadPort() override;
    int WritePort(const QByteArray &s) override;
    Waiting waiting() const override;
    qint64 lastReadByteAtMs() const override { return lastReadByteAt_; }
    int latencyMs() const override;
    QString latencyNote() const override;
    QString lostReason() const override { return lostReason_; }

    // A fixed network delay instead of the measured one; negative: measure.
    void setLatencyOverride(int ms) { latencyOverride_ = ms; }
    bool isOpen() const { return socket_ != nullptr; }

private:
    void collect();
    void onError(QAbstractSocket::SocketError error);
    void dropLostPort();
    bool negotiate(QString *why);
    int measuredRoundTripMs() const;

    std::unique_ptr<QTcpSocket> socket_;
    std::optional<Rfc2217Session> telnet_;
    InputQueue input_;
    qint64 lastReadByteAt_ = -1;
    bool lost_ = false;
    QString lostReason_;
    int connectMs_ = 0;
    int latencyOverride_ = -1;
};

// The program of this machine (this one included) that is connected to
// `address`:`port` already, if one is: two masters on one gateway port are
// two masters on its line. Its `file` is empty.
std::optional<PortLock> networkHolder(const QHostAddress &address, quint16 port);
