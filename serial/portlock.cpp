#include "serial/portlock.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <vector>
#endif

namespace {

// Where serial programs keep their lock files, in the order Qt SerialPort
// looks; /var/lock is /run/lock on Debian.
const char *const kLockDirectories[] = {
    "/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp",
    "/var/tmp",  "/var/lock/lockdev", "/run/lock",
};

// "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3.
QString lockFileName(const QString &devicePath)
{
    QString name = devicePath;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    return QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

QString runningProgram(qint64 pid)
{
#ifdef Q_OS_UNIX
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno != EPERM))
        return QString();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name =
        comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
    return name.isEmpty() ? QStringLiteral("?") : name;
#else
    Q_UNUSED(pid);
    return QString();
#endif
}

} // namespace

PortLock readPortLock(const QString &file)
{
    PortLock lock;
    lock.file = file;
    QFile f(file);
    if (f.open(QIODevice::ReadOnly)) {
        // Qt writes "PID\nprogram\nhost\n...", minicom and uucp the PID
        // right-aligned in ten characters; both start with the PID as text.
        bool ok = false;
        const qint64 pid = f.readLine(64).trimmed().toLongLong(&ok);
        lock.pid = ok && pid > 0 ? pid : 0;
    }
    lock.program = runningProgram(lock.pid);
    lock.owner = QFileInfo(file).owner();
    return lock;
}

std::optional<PortLock> findPortLock(const QString &devicePath)
{
    const QString name = lockFileName(devicePath);
    for (const char *dir : kLockDirectories) {
        const QFileInfo file(QFile::decodeName(dir) + QLatin1Char('/') + name);
        if (file.exists()) // named by its real folder: /var/lock is a link on Debian
            return readPortLock(file.canonicalFilePath());
    }
    return std::nullopt;
}

QString lockHint(const PortLock &lock)
{
    if (!lock.program.isEmpty()) {
        QString holder = QStringLiteral("\nПорт занят программой %1 (PID %2").arg(lock.program).arg(lock.pid);
        if (!lock.owner.isEmpty())
            holder += QStringLiteral(", пользователь ") + lock.owner;
        return holder + QStringLiteral("): закройте её или выберите другой порт.");
    }
    // The holder is gone but its file stays: only its owner (or root) may
    // remove it from the shared lock directory.
    bool mayRemove = false;
#ifdef Q_OS_UNIX
    mayRemove = ::geteuid() == 0 || QFileInfo(lock.file).ownerId() == ::geteuid();
#endif
    const QString who = lock.pid > 0 ? QStringLiteral("программы (PID %1), которой больше нет").arg(lock.pid)
                                     : QStringLiteral("программы, которой больше нет");
    QString text = QStringLiteral("\nФайл блокировки %1 остался от %2").arg(lock.file, who);
    if (!lock.owner.isEmpty())
        text += QStringLiteral("; его владелец — ") + lock.owner;
    return text + QStringLiteral(".\nУдалите его командой: ") + (mayRemove ? QString() : QStringLiteral("sudo "))
           + QStringLiteral("rm ") + lock.file;
}

QString lockHint(const QString &devicePath)
{
    const std::optional<PortLock> lock = findPortLock(devicePath);
    return lock ? lockHint(*lock) : QString();
}

#ifdef Q_OS_UNIX

namespace {

bool openPseudoTerminal(PseudoTerminal *pty)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return false;
    char name[128] = {};
    int slave = -1;
    if (::grantpt(master) == 0 && ::unlockpt(master) == 0 && ::ptsname_r(master, name, sizeof name) == 0)
        slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    *pty = {master, slave, QString::fromLocal8Bit(name)};
    return true;
}

void closePseudoTerminal(const PseudoTerminal &pty)
{
    ::close(pty.slave);
    ::close(pty.master);
}

// Removes every lock file that claims `devicePath`; false when one stays.
bool removeLockFiles(const QString &devicePath)
{
    const QString name = lockFileName(devicePath);
    bool gone = true;
    for (const char *dir : kLockDirectories) {
        const QString file = QFile::decodeName(dir) + QLatin1Char('/') + name;
        if (QFileInfo::exists(file) && !QFile::remove(file))
            gone = false;
    }
    return gone;
}

} // namespace

bool openFreePseudoTerminal(PseudoTerminal *pty)
{
    // A pseudo-terminal just made has no holder: any lock file for its name
    // was left for an earlier one. Those that cannot be removed are kept
    // open meanwhile, so the next one gets another number.
    constexpr int Attempts = 16;
    std::vector<PseudoTerminal> claimed;
    bool found = false;
    for (int i = 0; i < Attempts && !found; ++i) {
        PseudoTerminal candidate;
        if (!openPseudoTerminal(&candidate))
            break;
        if (removeLockFiles(candidate.path)) {
            *pty = candidate;
            found = true;
        } else {
            claimed.push_back(candidate);
        }
    }
    for (const PseudoTerminal &p : claimed)
        closePseudoTerminal(p);
    return found;
}

#endif
