#pragma once
// One request at a time on the line, for a program without a window: sends
// a request and collects its reply by the line's read end (the reply is over
// 20 ms after its last byte, at 255 bytes, or 256 ms after the request went
// out), then lets the next request go no sooner than 500 ms after this one.
// It waits by running Qt's event loop, so the port keeps collecting bytes.
#include <QByteArray>

class PortLayer;

class LineClient
{
public:
    explicit LineClient(PortLayer &port);

    struct Result {
        bool written = false; // false: the write failed or the adapter went away
        QByteArray reply;     // empty: no one answered
        qint64 sentAtMs = -1; // steadyMs() when the request was handed to the port
    };
    Result exchange(const QByteArray &request);

private:
    void waitUntil(qint64 atMs);

    PortLayer &port_;
    qint64 lastRequestAtMs_ = -1;
};
