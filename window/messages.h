#pragma once
// Message texts shared by the reader and the tag commands.
#include "protocol/conversions.h"

#include <QString>

namespace msg {

inline QString noAddress() { return QStringLiteral("Установите существующий сетевой адрес"); }
inline QString range2000000() { return QStringLiteral("Введите число в диапазоне 0....2 000 000"); }
inline QString idTooLong() { return QStringLiteral("Cлишком много символов Идентификатора"); }
inline QString idNotHex() { return QStringLiteral("В строке имеются символы не принадлежащие HEX"); }

// What the operator is told about an identifier that is no ID; empty when it is one.
inline QString forHexError(proto::HexError error)
{
    switch (error) {
    case proto::HexError::TooLong:
        return idTooLong();
    case proto::HexError::NotHex:
        return idNotHex();
    case proto::HexError::None:
        break;
    }
    return QString();
}

} // namespace msg
