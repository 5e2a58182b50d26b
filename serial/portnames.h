#pragma once
// Which device a COM port name stands for. The operator sees "COMn"; on Linux
// COM1..COM4 are /dev/ttyS0..3 (only when a real UART is behind them),
// COM5..COM20 are /dev/ttyUSB0..15 and COM21..COM30 /dev/ttyACM0..9. On
// Windows the plain name is the device. A port may be mapped elsewhere in
// process (a pseudo-terminal in tests and in the demo).
#include <QHash>
#include <QString>

class PortNames
{
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 30;

    // The device path of COMn, or an empty string for a number outside 1..30.
    QString devicePath(int n) const;
    // The device path for a port name "COMn"; other names pass unchanged.
    QString devicePathForName(const QString &name) const;
    // Whether COMn's device is there and is a terminal (symbolic links
    // followed, not opened).
    bool exists(int n) const;

    void setOverride(int n, const QString &path);
    void clearOverrides();

private:
    QHash<int, QString> overrides_;
};

// Whether `path` is a terminal device that may be a port: not a regular
// file, /dev/null, or the terminal the program runs in. Decided without
// opening it (always true on Windows, where the open tells).
bool isPortDevice(const QString &path);
