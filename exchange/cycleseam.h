#pragma once
// What tests and the fuzzing harness may do to the engine that the program
// never does: put its variables into a given starting state.
#include "exchange/exchangecycle.h"

struct CycleSeam {
    static void restore(ExchangeCycle &cycle, const CycleVars &vars) { cycle.v_ = vars; }
};
