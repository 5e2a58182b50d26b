#pragma once
// What every start of the program shares: its look, and the simulated line
// of the demo.
#include <memory>

class PortNames;
class SimHost;
class SimLine;

// Name, title, style and icon of the program.
void applyProgramLook();

// The demo readers on a pseudo-terminal. Built only where pseudo-terminals
// exist and the build asks for it (RFID_DEMO_LINE); elsewhere it never runs.
struct DemoLine {
    DemoLine();
    DemoLine(DemoLine &&) noexcept;
    DemoLine &operator=(DemoLine &&) noexcept;
    ~DemoLine();

    bool running() const { return host != nullptr; }
    SimLine &line();

    std::unique_ptr<SimHost> host; // null when no demo line runs
    int portNumber = 0;            // the COM number the line appears as
};

// The two demo readers (addresses 5 and 7) on a pseudo-terminal, mapped in
// `names` to the first COM number that no device of this machine answers
// to, so the line shows in the port list like an adapter.
DemoLine startDemoLine(PortNames &names);
