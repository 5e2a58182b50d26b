#pragma once
// What every start of the program shares: its look, and the simulated line
// of the demo (sim/demoline.h, shared with rfidctl).
#include "sim/demoline.h"

// Name, title, style and icon of the program.
void applyProgramLook();
