#pragma once
// The simulated devices on the line: readers (with the tags in their field
// and, in bridge mode, a slave sensor) behind the master side of a
// pseudo-terminal. The tool opens the other side through its normal serial
// module, so everything between the window and the bytes is the real path.
//
// SimLine lives on a thread of its own (SimHost); its setters and getters may
// be called from any thread.
#include <QByteArray>
#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>

#include <array>
#include <memory>
#include <optional>

class QSocketNotifier;
class QThread;
class QTimer;

struct SimTag {
    quint32 serial = 0;
    quint32 id = 0;
    quint16 interval = 0;
    quint8 mode = 0;
    quint8 power = 0;
    quint8 version = 0;
    quint16 sleep = 0;
    quint8 level = 0; // reception level, two's complement
};

struct SimSlave {
    quint32 serial = 0;
    qint16 temperature = 0; // sixteenths of a degree
    quint16 frequency = 0;
    bool contact = false;
    quint8 level = 0;       // reception level, two's complement
    quint16 rs485 = 0;
};

struct SimReader {
    quint8 address = 1;
    quint32 serial = 0;
    quint8 version = 134;
    quint8 versionPrefix = 0;
    quint8 mode = 2;         // mode byte: code in bits 0..4, options in bits 6 and 7
    quint16 network = 1;
    quint8 channel = 1;
    quint8 power = 10;
    quint8 maxPower = 255;   // the radio takes no more: a higher power is stored as this
    quint16 delay = 0;       // ID-zeroing delay
    quint32 empty = 0;       // empty level
    quint32 full = 0;        // full level, remembered by the upper calibration
    quint16 level = 0;
    quint32 current = 0;
    quint8 temperature = 0;  // two's complement, or the rotation state in tag modes 4 and 5
    quint16 k = 0;
    std::array<quint32, 10> table{}; // bound tag IDs
    QVector<SimTag> tags;    // tags in the field; the first one answers the poll
    std::optional<SimSlave> slave;
    // The values drift slowly on every data request (level, current value and
    // temperature with 0xF0, the slave's temperature and frequency with 0xE8):
    // the demo line's trends show something; tests that compare values leave it off.
    bool live = false;
    quint32 livePolls = 0;   // data requests answered while live: the drift's clock
};

class SimLine : public QObject
{
    Q_OBJECT

public:
    explicit SimLine(QObject *parent = nullptr);
    ~SimLine() override;

    // Opens the pseudo-terminal pair; false when none can be had.
    bool open();
    // The device path the tool opens ("/dev/pts/N").
    QString devicePath() const;
    // The adapter is unplugged: the line's side closes, the tool's next write fails.
    void unplug();

    void addReader(const SimReader &reader);
    // The tags now in the field of the reader at `address` (a tag brought
    // to it or taken away).
    void setTags(quint8 address, const QVector<SimTag> &tags);
    std::optional<SimReader> reader(quint8 address) const;
    QVector<SimReader> readers() const;

    // Faults.
    void setSilent(bool silent);            // no reader answers
    void dropReplies(int count);            // the next `count` replies are lost on the way back
    void setCorruptChecksum(bool corrupt);  // replies carry a wrong checksum
    void setSplitReplies(bool split);       // each reply comes in two parts, the second with the next reply
    void setNoise(const QByteArray &noise); // bytes put before every reply
    void setTrailer(const QByteArray &more); // bytes put after every reply: a second device answering
    // Bytes sent unasked, at once: a flood, or a reply meant for someone else.
    void inject(const QByteArray &bytes);

    // Every complete request received, in order.
    QVector<QByteArray> requests() const;
    void clearRequests();

    // The reply to one request (empty when no one answers); what the line
    // sends back, without faults. Public so tests can ask directly.
    QByteArray answer(const QByteArray &request);

    // The two readers of the demo line, at addresses 5 and 7.
    static QVector<SimReader> demoReaders();

signals:
    // Emitted on the simulator's thread after each complete request; `reply`
    // is what the readers answered, before any line fault (empty when none).
    void requestHandled(const QByteArray &request, const QByteArray &reply);

private:
    void onReadable();
    void handleBytes();
    void closeLine();
    QByteArray answerLocked(const QByteArray &request);
    void sendReply(const QByteArray &reply, bool framed);
    void flushHeldBack();
    void writeOut(const QByteArray &bytes);
    static void drift(SimReader &reader);
    static void driftSlave(SimReader &reader);

    mutable QMutex mutex_;
    int master_ = -1;
    int slaveKeep_ = -1; // keeps the line side alive while the tool's port is closed
    QString devicePath_;
    QSocketNotifier *notifier_ = nullptr;
    QByteArray inbox_;
    QByteArray heldBack_; // second part of a split reply
    QTimer *heldTimer_ = nullptr; // sends heldBack_ when no request follows
    QElapsedTimer lastBytes_;     // a partial request left standing too long is dropped
    QVector<SimReader> readers_;
    QVector<QByteArray> requests_;
    bool silent_ = false;
    int dropReplies_ = 0;
    bool corrupt_ = false;
    bool split_ = false;
    QByteArray noise_;
    QByteArray trailer_;
};

// Runs a SimLine on a thread of its own.
class SimHost
{
public:
    SimHost();
    ~SimHost();
    // Opens the line and starts the thread; false when no pseudo-terminal can be had.
    bool start();
    SimLine &line() { return *line_; }

private:
    std::unique_ptr<QThread> thread_;
    SimLine *line_;
};
