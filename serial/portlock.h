#pragma once
// Who holds a serial port. Qt SerialPort, like minicom and other serial
// programs that behave, claims a port with a lock file "LCK..ttyUSB0" in
// /var/lock (on Debian /run/lock) that holds the PID of the program that has
// it. A port refused because of such a file is explained by it: a program
// that is running, or a file left by one that is gone and that this account
// may not remove.
#include <QString>

#include <optional>

struct PortLock {
    QString file;    // the lock file's path
    qint64 pid = 0;  // the PID written in it; 0 when it holds none
    QString program; // the holder's name while it runs, empty when it is gone
    QString owner;   // the user the lock file belongs to
};

// The lock file that claims `devicePath` ("/dev/ttyUSB0", "/dev/pts/3"),
// if there is one.
std::optional<PortLock> findPortLock(const QString &devicePath);
// What the lock file at `file` says.
PortLock readPortLock(const QString &file);

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
