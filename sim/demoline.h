#pragma once
// The demo line: the two demo readers (addresses 5 and 7) on a
// pseudo-terminal, mapped to a COM name so that it shows in the port list
// like an adapter. rfid-service --demo and rfidctl --demo start the same one.
#include <memory>

class PortNames;
class SimHost;
class SimLine;

struct DemoLine {
    DemoLine() = default;
    DemoLine(DemoLine &&) = default;
    DemoLine &operator=(DemoLine &&) = default;
    DemoLine(const DemoLine &) = delete;
    DemoLine &operator=(const DemoLine &) = delete;

    bool running() const { return host != nullptr; }
    SimLine &line();

    // Null when no demo line runs. A shared_ptr only because it can be
    // destroyed where SimHost is not defined: a build without the simulated
    // line still has a DemoLine, one that never runs.
    std::shared_ptr<SimHost> host;
    int portNumber = 0; // the COM number the line appears as
};

// Starts the demo readers on a pseudo-terminal and maps them in `names` to
// the first COM number that no device of this machine answers to. The line
// does not run (running() false) when no pseudo-terminal can be had.
DemoLine startDemoLine(PortNames &names);
