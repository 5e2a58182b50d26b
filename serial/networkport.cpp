#include "serial/networkport.h"

#include "serial/linesettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QTcpSocket>
#include <QtEndian>

#include <cmath>
#include <cstring>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

// The line settings as the gateway's Telnet option codes.
Rfc2217Session::Line telnetLine(const LineSettings &s)
{
    static const quint8 stops[] = {telnet::StopOne, telnet::StopOneAndHalf, telnet::StopTwo};
    Rfc2217Session::Line line;
    line.baud = quint32(s.baud);
    line.dataBits = quint8(s.dataBits);
    line.parity = quint8(telnet::ParityNone + int(s.parity)); // none, odd, even, mark, space in turn
    line.stopBits = stops[int(s.stopBits)];
    return line;
}

QString socketReason(QAbstractSocket::SocketError error, const QString &host)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("шлюз отказал в соединении (порт закрыт или занят)");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("шлюз закрыл соединение");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("адрес %1 не найден").arg(host);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("шлюз не отвечает");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("нет связи со шлюзом (нет маршрута, или он не отвечает %1 с)")
            .arg(NetworkPort::DeadAfterSeconds);
    default:
        return QStringLiteral("ошибка сети");
    }
}

// A connection that gets no TCP answer for DeadAfterSeconds breaks by
// itself: keepalive probes while the line is quiet, a time-out on
// unacknowledged data while requests go out.
void keepAlive(QTcpSocket &socket)
{
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
#ifdef Q_OS_LINUX
    const int fd = int(socket.socketDescriptor());
    const int idle = 4, interval = 2, count = 3; // 4 + 3 × 2 = 10 s
    const unsigned userTimeout = NetworkPort::DeadAfterSeconds * 1000;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
#endif
}

#ifdef Q_OS_LINUX
// An address as /proc/net/tcp and tcp6 print it: the bytes of each 32-bit
// word in memory order, each word as one hexadecimal number.
QHostAddress procAddress(const QByteArray &hex)
{
    if (hex.size() != 8 && hex.size() != 32)
        return {};
    quint8 bytes[16] = {};
    for (int w = 0; w < hex.size() / 8; ++w) {
        bool ok = false;
        const quint32 word = hex.mid(w * 8, 8).toUInt(&ok, 16);
        if (!ok)
            return {};
        std::memcpy(bytes + 4 * w, &word, 4);
    }
    if (hex.size() == 8)
        return QHostAddress(qFromBigEndian<quint32>(bytes));
    return QHostAddress(bytes);
}

// The inodes of this machine's open TCP connections to address:port.
QList<QByteArray> connectionInodes(const QHostAddress &address, quint16 port)
{
    QList<QByteArray> inodes;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(table));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        f.readLine(); // the header
        while (!f.atEnd()) {
            const QList<QByteArray> cols = f.readLine().simplified().split(' ');
            if (cols.size() < 10)
                continue;
            const QList<QByteArray> remote = cols.at(2).split(':');
            const int state = cols.at(3).toInt(nullptr, 16);
            // Established, or still being set up.
            if (remote.size() != 2 || (state != 1 && state != 2))
                continue;
            if (remote.at(1).toUInt(nullptr, 16) != port)
                continue;
            if (!procAddress(remote.at(0)).isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
                continue;
            inodes << cols.at(9);
        }
    }
    return inodes;
}
#endif

} // namespace

std::optional<PortLock> networkHolder(const QHostAddress &address, quint16 port)
{
#ifdef Q_OS_LINUX
    const QList<QByteArray> inodes = connectionInodes(address, port);
    if (inodes.isEmpty())
        return std::nullopt;
    QStringList sockets;
    for (const QByteArray &inode : inodes)
        sockets << QStringLiteral("socket:[%1]").arg(QString::fromLatin1(inode));
    PortLock holder;
    holder.program = QStringLiteral("?");
    // Which process has that socket open; another user's processes are
    // found only with the rights to look at them.
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool numeric = false;
        const qint64 n = pid.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (!sockets.contains(QFileInfo(fd.symLinkTarget()).fileName()))
                continue;
            holder.pid = n;
            const QString name = runningName(n);
            if (!name.isEmpty())
                holder.program = name;
            holder.owner = QFileInfo(QStringLiteral("/proc/%1").arg(pid)).owner();
            return holder;
        }
    }
    return holder;
#else
    Q_UNUSED(address);
    Q_UNUSED(port);
    return std::nullopt;
#endif
}

NetworkPort::NetworkPort(QObject *parent) : PortLayer(parent) {}

NetworkPort::~NetworkPort()
{
    ClosePort();
}

bool NetworkPort::OpenPort(const QString &name, const QString &settings, OpenFailure *failure)
{
    ClosePort();
    const auto fail = [&](const QString &why) {
        if (failure)
            *failure = {QStringLiteral("Линия ") + name + QStringLiteral(" недоступна: ") + why, true};
        return false;
    };
    const std::optional<NetworkAddress> address = parseNetworkPort(name);
    if (!address)
        return fail(QStringLiteral("адрес не понят; нужен tcp://АДРЕС:ПОРТ или rfc2217://АДРЕС:ПОРТ."));
    const std::optional<LineSettings> line = parseLineSettings(settings);
    if (!line)
        return fail(QStringLiteral("настройки линии ") + settings + QStringLiteral(" не поняты."));

    const QHostInfo resolved = QHostInfo::fromName(address->host);
    if (resolved.error() != QHostInfo::NoError || resolved.addresses().isEmpty())
        return fail(socketReason(QAbstractSocket::HostNotFoundError, address->host) + QLatin1Char('.'));
    const QHostAddress target = resolved.addresses().constFirst();
    if (const std::optional<PortLock> holder = networkHolder(target, address->port))
        return fail(QStringLiteral("к нему уже подключена программа этой машины.") + lockHint(*holder));

    auto socket = std::make_unique<QTcpSocket>();
    QElapsedTimer connecting;
    connecting.start();
    socket->connectToHost(target, address->port);
    if (!socket->waitForConnected(ConnectTimeoutMs)) {
        const QString why = socket->error() == QAbstractSocket::SocketTimeoutError
                                ? QStringLiteral("шлюз не ответил за %1 с").arg(ConnectTimeoutMs / 1000)
                                : socketReason(socket->error(), address->host);
        return fail(why + QLatin1Char('.'));
    }
    connectMs_ = int(connecting.elapsed());
    keepAlive(*socket);

    socket_ = std::move(socket);
    lost_ = false;
    lostReason_.clear();
    input_.clear();
    lastReadByteAt_ = -1;
    telnet_.reset();
    if (address->kind == NetworkAddress::Kind::Rfc2217) {
        telnet_.emplace(telnetLine(*line));
        QString why;
        if (!negotiate(&why)) {
            ClosePort();
            return fail(why);
        }
    }
    // What the gateway held before we came answers none of our requests.
    socket_->readAll();
    input_.clear();
    connect(socket_.get(), &QTcpSocket::readyRead, this, &NetworkPort::collect);
    connect(socket_.get(), &QTcpSocket::errorOccurred, this, &NetworkPort::onError);
    return true;
}

bool NetworkPort::negotiate(QString *why)
{
    socket_->write(telnet_->opening());
    QElapsedTimer elapsed;
    elapsed.start();
    while (telnet_->state() == Rfc2217Session::State::Negotiating) {
        const int left = NegotiationTimeoutMs - int(elapsed.elapsed());
        if (left <= 0 || !socket_->waitForReadyRead(left)) {
            if (socket_->state() != QAbstractSocket::ConnectedState)
                *why = socketReason(socket_->error(), QString()) + QLatin1Char('.');
            else
                *why = QStringLiteral("шлюз не подтвердил 19200 8N1 за %1 с (это шлюз RFC 2217?).")
                           .arg(NegotiationTimeoutMs / 1000);
            return false;
        }
        const Rfc2217Session::Parsed parsed = telnet_->feed(socket_->readAll());
        if (!parsed.answer.isEmpty())
            socket_->write(parsed.answer);
    }
    if (telnet_->state() == Rfc2217Session::State::Refused) {
        *why = telnet_->refusal() + QLatin1Char('.');
        return false;
    }
    socket_->flush();
    return true;
}

int NetworkPort::ClosePort()
{
    if (!socket_)
        return 0;
    socket_->disconnect(this);
    socket_->abort();
    socket_.reset();
    telnet_.reset();
    input_.clear();
    return 1;
}

void NetworkPort::FlushPort()
{
    if (socket_)
        socket_->flush();
}

void NetworkPort::collect()
{
    if (!socket_)
        return;
    const QByteArray bytes = socket_->read(socket_->bytesAvailable());
    if (bytes.isEmpty())
        return;
    QByteArray data = bytes;
    if (telnet_) {
        const Rfc2217Session::Parsed parsed = telnet_->feed(bytes);
        if (!parsed.answer.isEmpty())
            socket_->write(parsed.answer);
        data = parsed.data;
    }
    if (data.isEmpty())
        return;
    input_.append(data, steadyMs());
    emit bytesArrived();
}

void NetworkPort::onError(QAbstractSocket::SocketError error)
{
    if (lost_ || !socket_)
        return;
    lost_ = true;
    lostReason_ = socketReason(error, QString());
    QMetaObject::invokeMethod(this, &NetworkPort::dropLostPort, Qt::QueuedConnection);
}

void NetworkPort::dropLostPort()
{
    if (!lost_ || !socket_)
        return;
    ClosePort();
    emit lineLost();
}

PortLayer::Waiting NetworkPort::waiting() const
{
    return {input_.size(), input_.newestAtMs()};
}

QByteArray NetworkPort::ReadPort()
{
    lastReadByteAt_ = -1;
    if (!socket_)
        return QByteArray();
    if (socket_->bytesAvailable() > 0)
        collect();
    return input_.take(&lastReadByteAt_);
}

int NetworkPort::WritePort(const QByteArray &s)
{
    if (!socket_ || lost_ || s.isEmpty() || socket_->state() != QAbstractSocket::ConnectedState)
        return 0;
    const QByteArray wire = telnet_ ? Rfc2217Session::escape(s) : s;
    if (socket_->write(wire) != wire.size())
        return 0;
    // Handed to the system at once; the window thread never waits for it.
    socket_->flush();
    return int(s.size());
}

int NetworkPort::measuredRoundTripMs() const
{
#ifdef Q_OS_LINUX
    if (socket_) {
        tcp_info info{};
        socklen_t size = sizeof info;
        // The kernel's smoothed round trip, kept up to date by the
        // acknowledgements of the exchange itself.
        if (::getsockopt(int(socket_->socketDescriptor()), IPPROTO_TCP, TCP_INFO, &info, &size) == 0
            && info.tcpi_rtt > 0)
            return int(std::ceil(info.tcpi_rtt / 1000.0));
    }
#endif
    return connectMs_;
}

int NetworkPort::latencyMs() const
{
    return latencyOverride_ >= 0 ? latencyOverride_ : measuredRoundTripMs();
}

QString NetworkPort::latencyNote() const
{
    if (latencyOverride_ >= 0)
        return QStringLiteral("задержка сети %1 мс (задана)").arg(latencyOverride_);
    return QStringLiteral("задержка сети %1 мс (измерена)").arg(measuredRoundTripMs());
}
