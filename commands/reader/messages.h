#pragma once
// Message texts shared by several command handlers.
#include <QString>

namespace msg {

inline QString noAddress() { return QStringLiteral("Установите существующий сетевой адрес"); }
inline QString range2000000() { return QStringLiteral("Введите число в диапазоне 0....2 000 000"); }
inline QString idTooLong() { return QStringLiteral("Cлишком много символов Идентификатора"); }
inline QString idNotHex() { return QStringLiteral("В строке имеются символы не принадлежащие HEX"); }

} // namespace msg
