#include "fakeport.h"

bool FakePort::OpenPort(const QString &name, const QString &)
{
    if (failingOpen.contains(name))
        return false;
    open = true;
    openedName = name;
    return true;
}

int FakePort::ClosePort()
{
    open = false;
    return 1;
}

QByteArray FakePort::ReadPort()
{
    if (replies.empty())
        return QByteArray();
    QByteArray r = replies.front();
    replies.pop_front();
    return r;
}

int FakePort::WritePort(const QByteArray &s)
{
    if (writeFails && !s.isEmpty())
        return 0;
    if (!s.isEmpty())
        written << s;
    return s.size();
}
