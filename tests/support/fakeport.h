#pragma once
// A port layer without hardware: the test says which ports exist, what the
// next reads return and whether writes succeed, and sees every write. A
// queued reply has long been quiet, so a tick takes it at once; with none
// queued the tick waits for its read time-out (CycleRunner::endReadNow).
#include "serial/portlayer.h"

#include <QByteArrayList>
#include <QHash>
#include <QSet>
#include <deque>

class FakePort : public PortLayer
{
    Q_OBJECT

public:
    QSet<int> existing;              // port numbers that exist
    QSet<QString> failingOpen;       // names whose open fails
    std::deque<QByteArray> replies;  // what the next reads return; "" when empty
    QByteArrayList written;          // every successful write, in order
    bool writeFails = false;         // writes report 0 bytes
    bool open = false;
    QString openedName;
    QString openedSettings;          // the line settings text of the last open
    int flushes = 0;

    QHash<int, QString> devices;     // the device behind each port, for its tooltip

    qint32 PortExists(qint16 n) override { return existing.contains(n) ? 1 : 0; }
    bool OpenPort(const QString &name, const QString &settings, OpenFailure *failure) override;
    QString PortDevice(qint16 n) override { return devices.value(n); }
    int ClosePort() override;
    void FlushPort() override { ++flushes; }
    QByteArray ReadPort() override;
    int WritePort(const QByteArray &s) override;
    Waiting waiting() const override;
    qint64 lastReadByteAtMs() const override { return lastReadAt_; }

    // The adapter is pulled: the port closes itself and says so.
    void hangUp();
    // A reception that comes now, while a tick may be waiting for it.
    void arriveNow(const QByteArray &bytes);

private:
    qint64 arrivedAt() const;

    qint64 lastReadAt_ = -1;
    qint64 frontArrivedAt_ = -1; // when the first queued reply came; -1: long ago
};
