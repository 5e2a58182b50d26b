#include "ctl/lineclient.h"

#include "exchange/cyclerunner.h"
#include "serial/portlayer.h"

#include <QEventLoop>
#include <QTimer>


LineClient::LineClient(PortLayer &port) : port_(port) {}

void LineClient::waitUntil(qint64 atMs)
{
    const qint64 left = atMs - steadyMs();
    if (left <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(int(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

LineClient::Result LineClient::exchange(const QByteArray &request)
{
    if (lastRequestAtMs_ >= 0)
        waitUntil(lastRequestAtMs_ + periodMs_);
    // Whatever came unasked since the last reply answers no request of ours.
    while (port_.waiting().bytes > 0)
        port_.ReadPort();

    const qint64 start = steadyMs();
    lastRequestAtMs_ = start;
    if (port_.WritePort(request) != request.size())
        return {};

    QEventLoop loop;
    QTimer due;
    due.setSingleShot(true);
    due.setTimerType(Qt::PreciseTimer);
    bool over = false;
    bool lost = false;
    const auto reconsider = [&] {
        const PortLayer::Waiting waiting = port_.waiting();
        // The line's rule, with the total time of the user's choosing if
        // any; behind a network gateway after the round trip as well.
        const int total = (timeoutMs_ > 0 ? timeoutMs_ : PortLayer::ReadTotalMs) + port_.latencyMs();
        const qint64 end = readEndsAt(start, waiting.bytes, waiting.newestAtMs, total);
        const qint64 now = steadyMs();
        if (end <= now) {
            over = true;
            loop.quit();
        } else {
            due.start(int(end - now));
        }
    };
    QObject::connect(&due, &QTimer::timeout, &loop, reconsider);
    QObject::connect(&port_, &PortLayer::bytesArrived, &loop, reconsider);
    QObject::connect(&port_, &PortLayer::lineLost, &loop, [&] {
        lost = over = true;
        loop.quit();
    });
    reconsider();
    if (!over)
        loop.exec();
    if (lost)
        return {true, true, {}, start};
    return {true, false, port_.ReadPort(), start};
}
