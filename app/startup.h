#pragma once
// What every start of the program shares: its look, and the simulated line
// of the demo.
#include "sim/simline.h"

#include <memory>

class PortNames;

// Name, title, style and icon of the program.
void applyProgramLook();

struct DemoLine {
    std::unique_ptr<SimHost> host; // null when no pseudo-terminal can be had
    int portNumber = 0;            // the COM number the line appears as
};

// The two demo readers (addresses 5 and 7) on a pseudo-terminal, mapped in
// `names` to the first COM number that no device of this machine answers
// to, so the line shows in the port list like an adapter.
DemoLine startDemoLine(PortNames &names);
