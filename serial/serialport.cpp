#include "serial/serialport.h"

#include "serial/permission.h"
#include "serial/portnames.h"
#include "ui/dialogs.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

namespace {

// One transfer is at most 255 bytes in either direction.
constexpr int kMaxChunk = 255;
// A read returns once the line stays quiet this long after a byte...
constexpr int kReadIntervalMs = 20;
// ...and at the latest after 1 ms per requested byte plus 1 ms.
constexpr int kReadTotalMs = kMaxChunk * 1 + 1;
// A write of n bytes is given n ms plus this much.
constexpr int kWriteConstantMs = 10;

// Error codes as the operator knows them from the Windows port dialogs.
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorGenFailure = 31;
constexpr int kErrorInvalidParameter = 87;

struct LineSettings {
    qint32 baud = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// "baud,parity,data,stop" as in "19200,n,8,1".
bool parseSettings(const QString &text, LineSettings *out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;

    bool ok = false;
    const qint32 baud = parts.at(0).trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return false;

    const QString parity = parts.at(1).trimmed().toLower();
    if (parity == QLatin1String("n"))
        out->parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("e"))
        out->parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("o"))
        out->parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("m"))
        out->parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("s"))
        out->parity = QSerialPort::SpaceParity;
    else
        return false;

    const int data = parts.at(2).trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8)
        return false;
    out->dataBits = static_cast<QSerialPort::DataBits>(data);

    const QString stop = parts.at(3).trimmed();
    if (stop == QLatin1String("1"))
        out->stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        out->stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        out->stopBits = QSerialPort::TwoStop;
    else
        return false;

    out->baud = baud;
    return true;
}

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
    port.clearError();
    const bool ok = port.setBaudRate(s.baud) && port.setParity(s.parity)
                    && port.setDataBits(s.dataBits) && port.setStopBits(s.stopBits)
                    && port.setFlowControl(QSerialPort::NoFlowControl);
    return ok ? 0 : systemCode(port.error());
}

// QSerialPort's lock file is kept per path and TIOCEXCL does not stop a
// privileged process, so the device itself is locked as well: a second
// open through another path, object or process then fails too.
bool lockDevice(QSerialPort &port)
{
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(port.handle());
    return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
#else
    Q_UNUSED(port);
    return true; // Windows opens a COM port exclusively by itself.
#endif
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

SerialPort::SerialPort(const PortNames &names, Dialogs &dialogs)
    : names_(names), dialogs_(dialogs)
{
}

SerialPort::~SerialPort()
{
    ClosePort();
}

qint32 SerialPort::PortExists(qint16 n)
{
    return names_.exists(n) ? 1 : 0;
}

bool SerialPort::OpenPort(const QString &name, const QString &settings)
{
    ClosePort();

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(systemPath(names_, name));
    if (!port->open(QIODevice::ReadWrite) || !lockDevice(*port)) {
        port->close();
        dialogs_.message(QStringLiteral("Com Port ") + name
                             + QStringLiteral(" недоступен. Установите нужный порт.")
                             + permissionHint(systemPath(names_, name)),
                         Dialogs::Icon::Warning);
        return false;
    }

    LineSettings line;
    if (!parseSettings(settings, &line)) {
        port->close();
        dialogs_.message(QStringLiteral("Unable to build Comm DCB ") + settings
                         + QStringLiteral(" Error: ") + QString::number(kErrorInvalidParameter));
        return false;
    }

    if (const int code = applySettings(*port, line)) {
        port->close();
        dialogs_.message(QStringLiteral("Unable to set Comm DCB ") + settings
                         + QStringLiteral(" Error: ") + QString::number(code));
        return false;
    }

    port_ = std::move(port);
    return true;
}

int SerialPort::ClosePort()
{
    if (!port_)
        return 0;
    port_->close();
    port_.reset();
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

QByteArray SerialPort::ReadPort()
{
    if (!port_)
        return QByteArray();

    QElapsedTimer clock;
    clock.start();
    QByteArray got;
    // Qt only moves bytes from the device into its own buffer inside
    // waitForReadyRead (there is no event loop running here); whatever it
    // holds beyond our 255 stays there for the next call.
    const auto take = [&] {
        if (port_->bytesAvailable() > 0)
            got += port_->read(kMaxChunk - got.size());
    };

    port_->waitForReadyRead(0);
    take();
    while (got.size() < kMaxChunk) {
        const int remaining = kReadTotalMs - static_cast<int>(clock.elapsed());
        const int wait = got.isEmpty() ? remaining : qMin(remaining, kReadIntervalMs);
        // A failed wait is either the quiet line we wait for or a device
        // that went away; either way the read is over.
        if (wait <= 0 || !port_->waitForReadyRead(wait))
            break;
        take();
    }

    if (got.isEmpty())
        FlushPort();
    return got;
}

int SerialPort::WritePort(const QByteArray &s)
{
    if (s.size() > kMaxChunk) {
        WritePort(s.left(kMaxChunk));
        WritePort(s.mid(kMaxChunk));
        return 0;
    }
    if (!port_ || s.isEmpty())
        return 0;

    if (port_->write(s) != s.size()) {
        port_->clear(QSerialPort::Output);
        return 0;
    }

    const int budget = static_cast<int>(s.size()) + kWriteConstantMs;
    QElapsedTimer clock;
    clock.start();
    while (port_->bytesToWrite() > 0) {
        const int remaining = budget - static_cast<int>(clock.elapsed());
        if (remaining <= 0 || !port_->waitForBytesWritten(remaining))
            break;
    }

    const qint64 left = port_->bytesToWrite();
    if (left > 0) {
        // What did not go out in time is dropped, as a timed-out serial
        // write does: it must not trail behind the next request.
        port_->clear(QSerialPort::Output);
    }
    return static_cast<int>(qMax<qint64>(0, s.size() - left));
}
