#include "serial/linesettings.h"

#include <QStringList>

std::optional<LineSettings> parseLineSettings(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;

    LineSettings s;
    bool ok = false;
    s.baud = parts.at(0).trimmed().toInt(&ok);
    if (!ok || s.baud <= 0)
        return std::nullopt;

    const QString parity = parts.at(1).trimmed().toLower();
    if (parity == QLatin1String("n"))
        s.parity = LineSettings::Parity::None;
    else if (parity == QLatin1String("o"))
        s.parity = LineSettings::Parity::Odd;
    else if (parity == QLatin1String("e"))
        s.parity = LineSettings::Parity::Even;
    else if (parity == QLatin1String("m"))
        s.parity = LineSettings::Parity::Mark;
    else if (parity == QLatin1String("s"))
        s.parity = LineSettings::Parity::Space;
    else
        return std::nullopt;

    s.dataBits = parts.at(2).trimmed().toInt(&ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return std::nullopt;

    const QString stop = parts.at(3).trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = LineSettings::StopBits::One;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = LineSettings::StopBits::OneAndHalf;
    else if (stop == QLatin1String("2"))
        s.stopBits = LineSettings::StopBits::Two;
    else
        return std::nullopt;
    return s;
}
