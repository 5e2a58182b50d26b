#pragma once
// rfidctl's commands: each opens the port, talks to the line through
// LineClient and prints a readable table, or JSON with --json.
#include "ctl/commandline.h"

#include <QTextStream>

#include <functional>

class PortNames;

struct Console {
    QTextStream &out;
    QTextStream &err;
    // Standard input is a terminal: apply may ask instead of needing --yes.
    bool interactive = false;
    // One line typed on standard input: the answer to apply's question.
    std::function<QString()> readLine;
    // True once the user asked to stop (Ctrl+C): watch ends after its
    // current request.
    std::function<bool()> stopRequested;
};

// Runs `inv` on the port it names (COMn through `names`, or a device path)
// and returns the exit code; a failure has been reported on console.err.
int runCommand(const Invocation &inv, PortNames &names, Console &console);
