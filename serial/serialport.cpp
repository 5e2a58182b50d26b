#include "serial/serialport.h"

#include "serial/linesettings.h"
#include "serial/permission.h"
#include "serial/portlock.h"
#include "serial/portnames.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QStringList>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

// Error codes as the operator knows them from the Windows port dialogs.
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorGenFailure = 31;
constexpr int kErrorInvalidParameter = 87;

int systemCode(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::UnsupportedOperationError:
        return kErrorInvalidParameter;
    case QSerialPort::PermissionError:
        return kErrorAccessDenied;
    default:
        return kErrorGenFailure;
    }
}

// Returns 0 on success, otherwise the code to show to the operator.
int applySettings(QSerialPort &port, const LineSettings &s)
{
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                   QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                   QSerialPort::SpaceParity};
    static const QSerialPort::StopBits stops[] = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                                  QSerialPort::TwoStop};
    port.clearError();
    const bool ok = port.setBaudRate(s.baud) && port.setParity(parities[int(s.parity)])
                    && port.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits))
                    && port.setStopBits(stops[int(s.stopBits)]) && port.setFlowControl(QSerialPort::NoFlowControl);
    return ok ? 0 : systemCode(port.error());
}

// A program that writes no lock file is kept out by the device itself:
// TIOCEXCL refuses every further open of the terminal (except a privileged
// one), and the flock on the device refuses a second holder through another
// path, object or process, privileged or not.
bool lockDevice(QSerialPort &port)
{
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(port.handle());
    return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd, TIOCEXCL) == 0;
#else
    Q_UNUSED(port);
    return true; // Windows opens a COM port exclusively by itself.
#endif
}

// The exclusive mode stays with the terminal while anyone keeps it open
// (the simulated line keeps its pseudo-terminal): it is given back before
// the close, so that the next open by path is not refused.
void releaseDevice(QSerialPort &port)
{
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(port.handle());
    if (fd >= 0)
        ::ioctl(fd, TIOCNXCL);
#else
    Q_UNUSED(port);
#endif
}

// Errors after which the device is gone: a pulled adapter shows as a
// hang-up on the next read (Qt: ResourceError, or ReadError for a read of 0
// bytes), and a write to it fails. Modem-line calls that a pseudo-terminal
// does not support (UnsupportedOperationError) and time-outs are not fatal.
bool lineIsGone(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError
           || error == QSerialPort::WriteError;
}

QString systemPath(const PortNames &names, const QString &name)
{
    const QString path = names.devicePathForName(name);
#ifdef Q_OS_WIN
    return path;
#else
    // One device reached through links gets one lock file.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
#endif
}

} // namespace

SerialPort::SerialPort(const PortNames &names, QObject *parent)
    : PortLayer(parent), names_(names), writeDeadline_(new QTimer(this))
{
    writeDeadline_->setSingleShot(true);
    writeDeadline_->setTimerType(Qt::PreciseTimer);
    connect(writeDeadline_, &QTimer::timeout, this, [this] {
        // What did not go out in time is dropped, as a timed-out serial
        // write does: it must not trail behind the next request.
        if (port_ && port_->bytesToWrite() > 0)
            port_->clear(QSerialPort::Output);
    });
}

SerialPort::~SerialPort()
{
    ClosePort();
}

qint32 SerialPort::PortExists(qint16 n)
{
    return names_.exists(n) ? 1 : 0;
}

bool SerialPort::OpenPort(const QString &name, const QString &settings, OpenFailure *failure)
{
    ClosePort();
    const auto fail = [failure](const QString &text, bool warning) {
        if (failure)
            *failure = {text, warning};
        return false;
    };

    const QString unavailable =
        QStringLiteral("Com Port ") + name + QStringLiteral(" недоступен. Установите нужный порт.");
    const QString device = systemPath(names_, name);
    // Qt SerialPort takes any lock file but its own for a stale one and
    // replaces it: the files of other programs are read first.
    if (const std::optional<PortLock> held = liveLockOrClearStale(device))
        return fail(unavailable + lockHint(*held), true);

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device);
    if (!port->open(QIODevice::ReadWrite) || !lockDevice(*port)) {
        port->close(); // nothing to give back: a refused lock set no exclusive mode
        // The first line as technicians know it; what is known of the
        // reason follows on lines of its own.
        return fail(unavailable + permissionHint(device) + lockHint(device), true);
    }

    const std::optional<LineSettings> line = parseLineSettings(settings);
    if (!line) {
        releaseDevice(*port);
        port->close();
        return fail(QStringLiteral("Unable to build Comm DCB ") + settings
                        + QStringLiteral(" Error: ") + QString::number(kErrorInvalidParameter),
                    false);
    }

    if (const int code = applySettings(*port, *line)) {
        releaseDevice(*port);
        port->close();
        return fail(QStringLiteral("Unable to set Comm DCB ") + settings
                        + QStringLiteral(" Error: ") + QString::number(code),
                    false);
    }

    // What arrived before the open (a late reply to another program, noise
    // of the plug-in) answers nothing that this program asks.
    port->clear(QSerialPort::Input);

    port_ = std::move(port);
    lost_ = false;
    input_.clear();
    lastReadByteAt_ = -1;
    connect(port_.get(), &QSerialPort::readyRead, this, &SerialPort::collect);
    connect(port_.get(), &QSerialPort::errorOccurred, this, &SerialPort::onError);
    return true;
}

int SerialPort::ClosePort()
{
    writeDeadline_->stop();
    if (!port_)
        return 0;
    port_->disconnect(this);
    releaseDevice(*port_);
    port_->close();
    port_.reset();
    input_.clear();
    return 1;
}

void SerialPort::FlushPort()
{
    if (port_)
        port_->flush();
}

bool SerialPort::isOpen() const
{
    return port_ != nullptr;
}

void SerialPort::collect()
{
    if (!port_)
        return;
    // Exactly what came: readAll() would hand over a buffer sized for far
    // more, and every reply kept in the exchange log would keep it alive.
    const QByteArray bytes = port_->read(port_->bytesAvailable());
    if (bytes.isEmpty())
        return;
    input_.append(bytes, steadyMs());
    emit bytesArrived();
}

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    if (!lineIsGone(error) || lost_)
        return;
    lost_ = true;
    // Closed from the event loop, not from inside Qt's own notification:
    // until then a hung-up descriptor could keep reporting itself readable.
    QMetaObject::invokeMethod(this, &SerialPort::dropLostPort, Qt::QueuedConnection);
}

void SerialPort::dropLostPort()
{
    if (!lost_ || !port_)
        return;
    ClosePort();
    emit lineLost();
}

PortLayer::Waiting SerialPort::waiting() const
{
    return {input_.size(), input_.newestAtMs()};
}

QByteArray SerialPort::ReadPort()
{
    lastReadByteAt_ = -1;
    if (!port_)
        return QByteArray();
    // Bytes Qt holds but has not announced yet belong to this read too.
    if (port_->bytesAvailable() > 0)
        collect();
    const QByteArray got = input_.take(&lastReadByteAt_);
    if (got.isEmpty())
        FlushPort();
    return got;
}

int SerialPort::WritePort(const QByteArray &s)
{
    if (s.size() > MaxTransfer) {
        WritePort(s.left(MaxTransfer));
        WritePort(s.mid(MaxTransfer));
        return 0;
    }
    return writePiece(s);
}

int SerialPort::writePiece(const QByteArray &s)
{
    if (!port_ || lost_ || s.isEmpty())
        return 0;
    if (port_->write(s) != s.size()) {
        port_->clear(QSerialPort::Output);
        return 0;
    }
    // Qt hands the bytes to the device as soon as the event loop runs, which
    // is at once: the window thread never waits for them.
    const int budget = int(port_->bytesToWrite()) + WriteConstantMs;
    writeDeadline_->start(budget);
    return int(s.size());
}

std::optional<PortLock> SerialPort::liveLockOrClearStale(const QString &device)
{
    const QVector<PortLock> locks = findPortLocks(device, lockRules_.directories, lockRules_.alive);
    for (const PortLock &lock : locks) {
        if (!lock.program.isEmpty())
            return lock; // its holder runs: the file stays as it is
    }
    for (const PortLock &lock : locks) {
        // Left by a program that is gone. One that this account may not
        // remove makes the open fail below, with the command that removes it.
        if (QFile::remove(lock.file)) {
            const QString who = lock.pid > 0 ? QStringLiteral(" (PID %1)").arg(lock.pid) : QString();
            emit notice(QStringLiteral("Удалён файл блокировки %1: программы%2, которой он принадлежал, больше нет.")
                            .arg(lock.file, who));
        }
    }
    return std::nullopt;
}

QString SerialPort::PortDevice(qint16 n)
{
    return names_.devicePath(n);
}
