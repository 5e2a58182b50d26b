#pragma once
// The line settings text both kinds of port take, "baud,parity,data,stop"
// as in "19200,n,8,1": read once here, then set on a serial adapter or asked
// of a network gateway.
#include <QString>

#include <optional>

struct LineSettings {
    enum class Parity { None, Odd, Even, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baud = 0;
    Parity parity = Parity::None;
    int dataBits = 8; // 5..8
    StopBits stopBits = StopBits::One;
};

// Nothing when the text is not four such fields.
std::optional<LineSettings> parseLineSettings(const QString &text);
