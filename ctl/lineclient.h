#pragma once
// One request at a time on the line, for a program without a window: sends
// a request and collects its reply by the line's read end (the reply is over
// 20 ms after its last byte, at 255 bytes, or 256 ms after the request went
// out), then lets the next request go no sooner than 500 ms after this one.
// It waits by running Qt's event loop, so the port keeps collecting bytes.
#include "serial/portlayer.h"

#include <QByteArray>


class LineClient
{
public:
    explicit LineClient(PortLayer &port);

    // How often a request that got no valid reply is sent again (the
    // readers' checks decide what is valid), and how long a reply is waited
    // for at most (0: the line's own 256 ms). The pace between requests and
    // the 20 ms end after the last byte stay as they are.
    void setRetries(int retries) { retries_ = retries; }
    int retries() const { return retries_; }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    // The least time between two requests: the line's 500 ms, shorter
    // only where no line is (the fuzzer).
    void setRequestPeriodMs(int ms) { periodMs_ = ms; }

    struct Result {
        bool written = false; // false: the write failed or the adapter was already gone
        bool lost = false;    // the adapter went away while the reply was awaited
        QByteArray reply;     // empty: no one answered
        qint64 sentAtMs = -1; // steadyMs() when the request was handed to the port
    };
    Result exchange(const QByteArray &request);
    // Why the port was lost, when its layer can say (a network gateway).
    QString lostReason() const { return port_.lostReason(); }

private:
    void waitUntil(qint64 atMs);

    PortLayer &port_;
    qint64 lastRequestAtMs_ = -1;
    int retries_ = 0;
    int timeoutMs_ = 0;
    int periodMs_ = PortLayer::RequestPeriodMs;
};
