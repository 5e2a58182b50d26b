#pragma once
// A line behind an Ethernet gateway (a serial device server) is named like a
// port: "tcp://HOST:PORT" when the gateway passes bytes as they are (it is
// set to the line's 19200 8N1 itself), "rfc2217://HOST:PORT" when it speaks
// Telnet's COM-PORT-OPTION and takes the line settings from us.
#include <QString>

#include <optional>

struct NetworkAddress {
    enum class Kind { Raw, Rfc2217 };
    Kind kind = Kind::Raw;
    QString host;      // a name, an IPv4 address or an IPv6 address without brackets
    quint16 port = 0;  // 1..65535

    // Back to the name the technician typed, in one spelling.
    QString name() const;
};

// True when `name` starts with one of the network schemes, well formed or
// not: such a name never stands for a serial device.
bool looksLikeNetworkPort(const QString &name);

// The address in `name`, or nothing when it is not a well-formed network
// port name (a scheme, a host, a port 1..65535 and nothing more).
std::optional<NetworkAddress> parseNetworkPort(const QString &name);
