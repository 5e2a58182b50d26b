#pragma once
// Who holds a serial port. Qt SerialPort, like minicom and other serial
// programs that behave, claims a port with a lock file "LCK..ttyUSB0" in
// /var/lock (on Debian /run/lock) that holds the PID of the program that has
// it. A port refused because of such a file is explained by it: a program
// that is running, or a file left by one that is gone and that this account
// may not remove.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>

struct PortLock {
    QString file;    // the lock file's path
    qint64 pid = 0;  // the PID written in it; 0 when it holds none
    QString program; // the holder's name while it runs, empty when it is gone
    QString owner;   // the user named in the file, else the one it belongs to
};

// Whether the process `pid` runs: kill(pid, 0) succeeds, or fails only for
// lack of rights (EPERM: it runs as another user). Tests put their own.
using ProcessAlive = std::function<bool(qint64 pid)>;
bool processAlive(qint64 pid);

// The name of the running process `pid` (/proc/PID/comm), empty when none
// can be read.
QString runningName(qint64 pid);

// Where serial programs keep their lock files; tests give their own folder.
QStringList defaultLockDirectories();

// What a lock file holds, in any of the forms serial programs write: the PID
// right-aligned in ten characters ("%10d\n", uucp and minicom), the same
// followed by the program and the user on the one line ("%10d minicom
// user\n"), or Qt's "PID\nprogram\nhost\n". `pid` is 0 when none can be
// read; `program` and `owner` are what the file names, if anything.
PortLock parsePortLock(const QByteArray &content);

// The lock file that claims `devicePath` ("/dev/ttyUSB0", "/dev/pts/3"),
// if there is one.
std::optional<PortLock> findPortLock(const QString &devicePath);
// Every lock file that claims `devicePath`, in `directories`.
QVector<PortLock> findPortLocks(const QString &devicePath, const QStringList &directories,
                                const ProcessAlive &alive = processAlive);
// What the lock file at `file` says. `program` is set (to the running name,
// else the name in the file, else "?") only while the holder runs.
PortLock readPortLock(const QString &file, const ProcessAlive &alive = processAlive);

// The lines added after "Com Port COMn недоступен. Установите нужный порт."
// (each after a line break): the program that holds the port with its PID,
// or the left-over file, its owner and the command that removes it. Empty
// when no lock file claims the device.
QString lockHint(const QString &devicePath);
QString lockHint(const PortLock &lock);

#ifdef Q_OS_UNIX
// A new pseudo-terminal pair (the simulated line, the tests), raw at 19200
// baud, whose slave no lock file claims. A run that was killed leaves its
// lock file behind for a pseudo-terminal of the same number: that file is
// removed, or, when it may not be (another user's), another pseudo-terminal
// is taken. The descriptors are close-on-exec; false when none can be had.
struct PseudoTerminal {
    int master = -1;
    int slave = -1;
    QString path; // "/dev/pts/N"
};
bool openFreePseudoTerminal(PseudoTerminal *pty);
#endif
