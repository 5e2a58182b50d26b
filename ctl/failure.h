#pragma once
// rfidctl's exit codes, and the failure that ends a command with one of them
// and one line on standard error.
#include <QString>

namespace exitcode {
constexpr int Done = 0;
constexpr int Device = 1;   // the device did not answer, or answered wrong
constexpr int Usage = 2;    // bad arguments, a bad profile, nothing confirmed
constexpr int Port = 3;     // the port cannot be opened
constexpr int PortLost = 4; // the port went away while in use (adapter pulled, write failed)
} // namespace exitcode

struct Failure {
    int exitCode = exitcode::Device;
    QString message;
};

// Of the exit codes of several readers, the one to end with: the worst.
inline int worseExit(int a, int b)
{
    return a > b ? a : b;
}
