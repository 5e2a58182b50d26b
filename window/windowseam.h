#pragma once
// What tests and the fuzzing harness reach inside the main window and the
// program does not: the engine and its runner, to set a starting state and
// to end a tick's read at once on a fake port, and the splash's tick count.
#include "exchange/cycleseam.h"
#include "exchange/cyclerunner.h"
#include "window/frmSerial.h"

class WindowSeam
{
public:
    static ExchangeCycle &cycle(frmSerial &w) { return w.cycle_; }
    static CycleRunner &runner(frmSerial &w) { return *w.runner_; }
    static double splashTicks(const frmSerial &w) { return w.SplashTicks; }
    static void restore(frmSerial &w, const CycleVars &vars) { CycleSeam::restore(w.cycle_, vars); }
};
