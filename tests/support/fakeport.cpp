#include "fakeport.h"

namespace {
// Queued replies arrived this long before the tick that reads them.
constexpr qint64 QuietForMs = 1000;
} // namespace

bool FakePort::OpenPort(const QString &name, const QString &settings, OpenFailure *failure)
{
    openedSettings = settings;
    if (failingOpen.contains(name)) {
        if (failure)
            *failure = {QStringLiteral("Com Port ") + name
                            + QStringLiteral(" недоступен. Установите нужный порт."),
                        true};
        return false;
    }
    open = true;
    openedName = name;
    return true;
}

int FakePort::ClosePort()
{
    const bool was = open;
    open = false;
    return was ? 1 : 0;
}

QByteArray FakePort::ReadPort()
{
    lastReadAt_ = -1;
    if (!open || replies.empty())
        return QByteArray();
    QByteArray r = replies.front();
    if (!r.isEmpty())
        lastReadAt_ = arrivedAt();
    replies.pop_front();
    frontArrivedAt_ = -1;
    return r;
}

int FakePort::WritePort(const QByteArray &s)
{
    if (!open || (writeFails && !s.isEmpty()))
        return 0;
    if (!s.isEmpty())
        written << s;
    return int(s.size());
}

PortLayer::Waiting FakePort::waiting() const
{
    if (!open || replies.empty() || replies.front().isEmpty())
        return {};
    return {int(replies.front().size()), arrivedAt()};
}

qint64 FakePort::arrivedAt() const
{
    return frontArrivedAt_ >= 0 ? frontArrivedAt_ : steadyMs() - QuietForMs;
}

void FakePort::arriveNow(const QByteArray &bytes)
{
    if (replies.empty())
        frontArrivedAt_ = steadyMs();
    replies.push_back(bytes);
    emit bytesArrived();
}

void FakePort::hangUp()
{
    open = false;
    emit lineLost();
}
