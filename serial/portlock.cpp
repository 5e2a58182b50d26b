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

#include <limits>

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


} // namespace

QString runningName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
}

bool processAlive(qint64 pid)
{
#ifdef Q_OS_UNIX
    return pid > 0 && pid <= std::numeric_limits<pid_t>::max()
           && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
#else
    Q_UNUSED(pid);
    return false;
#endif
}

QStringList defaultLockDirectories()
{
    QStringList dirs;
    for (const char *dir : kLockDirectories)
        dirs << QFile::decodeName(dir);
    return dirs;
}

PortLock parsePortLock(const QByteArray &content)
{
    PortLock lock;
    // The first line: the PID, then, in the one-line form, the program and
    // the user. Qt puts the program on the second line.
    const QList<QByteArray> lines = content.left(256).split('\n');
    const QList<QByteArray> words = lines.value(0).simplified().split(' ');
    bool ok = false;
    const qint64 pid = words.value(0).toLongLong(&ok);
    lock.pid = ok && pid > 0 ? pid : 0;
    if (words.size() >= 2) {
        lock.program = QString::fromLocal8Bit(words.at(1));
        lock.owner = QString::fromLocal8Bit(words.value(2));
    } else if (lines.size() >= 2) {
        lock.program = QString::fromLocal8Bit(lines.at(1).trimmed());
    }
    return lock;
}

PortLock readPortLock(const QString &file, const ProcessAlive &alive)
{
    QFile f(file);
    PortLock lock = parsePortLock(f.open(QIODevice::ReadOnly) ? f.read(256) : QByteArray());
    lock.file = file;
    if (lock.pid > 0 && alive(lock.pid)) {
        const QString running = runningName(lock.pid);
        if (!running.isEmpty())
            lock.program = running;
        else if (lock.program.isEmpty())
            lock.program = QStringLiteral("?");
    } else {
        lock.program.clear();
    }
    if (lock.owner.isEmpty())
        lock.owner = QFileInfo(file).owner();
    return lock;
}

QVector<PortLock> findPortLocks(const QString &devicePath, const QStringList &directories,
                                const ProcessAlive &alive)
{
    const QString name = lockFileName(devicePath);
    QVector<PortLock> locks;
    QStringList seen;
    for (const QString &dir : directories) {
        const QFileInfo file(dir + QLatin1Char('/') + name);
        // Named by its real folder: /var/lock is a link on Debian.
        const QString path = file.exists() ? file.canonicalFilePath() : QString();
        if (!path.isEmpty() && !seen.contains(path)) {
            seen << path;
            locks.append(readPortLock(path, alive));
        }
    }
    return locks;
}

std::optional<PortLock> findPortLock(const QString &devicePath)
{
    const QVector<PortLock> locks = findPortLocks(devicePath, defaultLockDirectories());
    if (locks.isEmpty())
        return std::nullopt;
    return locks.first();
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
