#include "serial/portnames.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSerialPortInfo>
#else
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace {

// Numbering blocks of the operator's COMn on Linux: each block maps onto one
// kind of tty device, counted from 0.
struct PortBlock {
    int first;
    int last;
    const char *prefix;
};

constexpr PortBlock kBlocks[] = {
    {1, 4, "/dev/ttyS"},
    {5, 20, "/dev/ttyUSB"},
    {21, 30, "/dev/ttyACM"},
};

#ifndef Q_OS_WIN
// The kernel creates ttyS0..ttyS3 whether or not a UART answers at the port
// address; sysfs reports type 0 (PORT_UNKNOWN) for the empty ones.
bool uartPresent(int index)
{
    QFile type(QStringLiteral("/sys/class/tty/ttyS%1/type").arg(index));
    if (!type.open(QIODevice::ReadOnly))
        return false;
    const QByteArray value = type.readAll().trimmed();
    return !value.isEmpty() && value != "0";
}

#ifdef Q_OS_LINUX
// The device number of this process's controlling terminal, 0 when it has
// none (the tty_nr field of /proc/self/stat).
dev_t controllingTerminal()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // "pid (comm) state ppid pgrp session tty_nr ...": comm may hold blanks
    // and parentheses, the fields after its last ')' do not.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 1).simplified().split(' ');
    const unsigned long nr = fields.value(4).toULong();
    return makedev((nr >> 8) & 0xfff, (nr & 0xff) | ((nr >> 12) & 0xfff00));
}
#endif

// Only a terminal is a port: a character device that the kernel's tty layer
// drives (serial adapters, UARTs) or the slave side of a pseudo-terminal. A
// regular file, a FIFO, a directory or a device such as /dev/null is none,
// even when a COM name leads to it. Neither is the terminal the program was
// started from, under its own name or as /dev/tty: writing requests to it
// would write them into the technician's shell. Decided from the inode, sysfs
// and /proc, without opening the device.
bool isTerminalDevice(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
#ifdef Q_OS_LINUX
    const unsigned maj = major(st.st_rdev);
    const unsigned min = minor(st.st_rdev);
    // Major 5 holds the aliases /dev/tty (the caller's terminal),
    // /dev/console and /dev/ptmx: never a port of their own.
    constexpr unsigned TtyAliases = 5;
    static const dev_t ownTerminal = controllingTerminal();
    if (maj == TtyAliases || (ownTerminal != 0 && st.st_rdev == ownTerminal))
        return false;
    constexpr unsigned PtySlaveFirst = 136; // /dev/pts/N, eight majors
    constexpr unsigned PtySlaveLast = 143;
    if (maj >= PtySlaveFirst && maj <= PtySlaveLast)
        return true;
    const QString subsystem =
        QFileInfo(QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(maj).arg(min)).canonicalFilePath();
    return subsystem.endsWith(QLatin1String("/tty"));
#else
    return true;
#endif
}
#endif

} // namespace

QString PortNames::devicePath(int n) const
{
    const auto over = overrides_.constFind(n);
    if (over != overrides_.constEnd())
        return over.value();
    if (n < FirstPort || n > LastPort)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    for (const PortBlock &block : kBlocks) {
        if (n >= block.first && n <= block.last)
            return QLatin1String(block.prefix) + QString::number(n - block.first);
    }
    return QString();
#endif
}

QString PortNames::devicePathForName(const QString &name) const
{
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return name;
    bool ok = false;
    const int n = name.mid(3).toInt(&ok);
    // Only a plain decimal number counts: "COM 7" or "COM+7" are someone's
    // own device names.
    if (!ok || name.size() == 3 || !name.at(3).isDigit())
        return name;
    const QString path = devicePath(n);
    return path.isEmpty() ? name : path;
}

bool PortNames::exists(int n) const
{
    const auto over = overrides_.constFind(n);
    if (over != overrides_.constEnd()) {
#ifdef Q_OS_WIN
        return QFileInfo::exists(over.value());
#else
        return isTerminalDevice(over.value());
#endif
    }
    if (n < FirstPort || n > LastPort)
        return false;
#ifdef Q_OS_WIN
    const QString name = devicePath(n);
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        if (info.portName().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
#else
    if (n <= kBlocks[0].last && !uartPresent(n - kBlocks[0].first))
        return false;
    return isTerminalDevice(devicePath(n));
#endif
}

void PortNames::setOverride(int n, const QString &path)
{
    overrides_.insert(n, path);
}

void PortNames::clearOverrides()
{
    overrides_.clear();
}

bool isPortDevice(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return true; // COMn is no file; opening it tells
#else
    return isTerminalDevice(path);
#endif
}
