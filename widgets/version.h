#pragma once
// The program's version, set once as the CMake project's version.
#include <QString>

#ifndef RFID_SERVICE_VERSION
#error "RFID_SERVICE_VERSION comes from CMake's project version"
#endif

inline QString programVersion() { return QStringLiteral(RFID_SERVICE_VERSION); }
