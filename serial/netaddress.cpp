#include "serial/netaddress.h"

#include <QUrl>

namespace {
const QLatin1String kRaw("tcp://");
const QLatin1String kRfc2217("rfc2217://");
} // namespace

QString NetworkAddress::name() const
{
    const QString shownHost = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return (kind == Kind::Raw ? QString(kRaw) : QString(kRfc2217)) + shownHost + QLatin1Char(':')
           + QString::number(port);
}

bool looksLikeNetworkPort(const QString &name)
{
    return name.startsWith(kRaw, Qt::CaseInsensitive) || name.startsWith(kRfc2217, Qt::CaseInsensitive);
}

std::optional<NetworkAddress> parseNetworkPort(const QString &name)
{
    if (!looksLikeNetworkPort(name))
        return std::nullopt;
    const QUrl url(name.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() < 1 || !url.userInfo().isEmpty()
        || !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    NetworkAddress a;
    a.kind = url.scheme().compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0 ? NetworkAddress::Kind::Raw
                                                                                  : NetworkAddress::Kind::Rfc2217;
    a.host = url.host();
    a.port = quint16(url.port());
    return a;
}
