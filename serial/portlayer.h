#pragma once
// The six operations through which the program reaches the RS-485 line, plus
// what the exchange cycle needs to pace itself without waiting: how much has
// arrived and when. The window only ever talks to this interface: the Qt
// SerialPort implementation on a real machine, a fake in tests.
#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

// Milliseconds of the monotonic clock that stamps received bytes.
inline qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

class PortLayer : public QObject
{
    Q_OBJECT

public:
    // The line's time-outs: a read is over 20 ms after the last byte, or 1 ms
    // per requested byte plus 1 ms after it began; a write of n bytes is given
    // n + 10 ms.
    static constexpr int MaxTransfer = 255;
    static constexpr int ReadIntervalMs = 20;
    static constexpr int ReadTotalMs = MaxTransfer * 1 + 1;
    static constexpr int WriteConstantMs = 10;
    // Every program of the tool opens the line with these settings and
    // sends at most one request every RequestPeriodMs, one at a time.
    static constexpr const char *LineSettingsText = "19200,n,8,1";
    static constexpr int RequestPeriodMs = 500;

    // Why an open failed, as the operator is to be told.
    struct OpenFailure {
        QString text;
        bool warning = false; // shown with the exclamation icon
    };

    // The input queue: bytes received and not yet read.
    struct Waiting {
        int bytes = 0;
        qint64 newestAtMs = -1; // steadyMs() when the newest came
    };

    using QObject::QObject;
    ~PortLayer() override = default;

    // Non-zero when port COMn exists; the port is not opened to find out.
    virtual qint32 PortExists(qint16 n) = 0;
    // Opens "COMn" exclusively with a settings text such as "19200,n,8,1".
    // A port that another running program holds is refused; bytes that
    // arrived before the open are discarded, they answer no request of ours.
    // On failure fills `failure` (when given) and returns false.
    virtual bool OpenPort(const QString &name, const QString &settings,
                          OpenFailure *failure = nullptr) = 0;
    // Does nothing when no port is open.
    virtual int ClosePort() = 0;
    virtual void FlushPort() = 0;
    // What has arrived, at most 255 bytes, at once and without waiting;
    // empty when nothing came. The exchange cycle decides when a reply is
    // complete (waiting() tells it what has come so far).
    virtual QByteArray ReadPort() = 0;
    // Number of bytes written; a string longer than 255 bytes goes out in
    // pieces of 255 and returns 0.
    virtual int WritePort(const QByteArray &s) = 0;

    virtual Waiting waiting() const = 0;
    // When the last byte that ReadPort returned arrived (steadyMs()), -1 when
    // it returned nothing.
    virtual qint64 lastReadByteAtMs() const = 0;

    // The device behind COMn ("/dev/ttyUSB0"), so that a technician with
    // several adapters can tell them apart; empty when the layer cannot say.
    virtual QString PortDevice(qint16 /*n*/) { return QString(); }

    // How much later than on a serial line a reply can come: a line behind
    // a network gateway adds the round trip to the reply window.
    virtual int latencyMs() const { return 0; }
    // Which delay latencyMs() is and where it comes from, for the log and the
    // diagnostics; empty on a serial line.
    virtual QString latencyNote() const { return QString(); }
    // Why the line was lost, in the technician's words, when the layer knows
    // more than that it went away; empty otherwise.
    virtual QString lostReason() const { return QString(); }

signals:
    // Bytes were received into the input queue.
    void bytesArrived();
    // The device went away (adapter pulled, line hung up): the port has
    // closed itself. Emitted once per open.
    void lineLost();
    // Something the operator should read in the log, such as a lock file
    // left by a program that is gone and removed by OpenPort.
    void notice(const QString &text);
};
