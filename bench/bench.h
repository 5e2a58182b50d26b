#pragma once
// The benchmark's pieces. Every mode that reports memory runs in a process of
// its own, so one figure never carries the pages of another; the modes hand
// their figures to the report as "key value" lines on standard output.
#include "widgets/dialogs.h"

#include <QString>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

using Figures = std::map<std::string, double>;

// Monotonic clock, the one the simulator's thread stamps with as well.
std::int64_t nowNs();
// CPU time of the calling thread.
std::int64_t threadCpuNs();
// CPU time of the whole process (user + system).
std::int64_t processCpuNs();
// A field of /proc/self/status ("VmRSS", "VmHWM") in MiB; -1 when missing.
double statusMiB(const char *field);

struct Stats {
    double median = 0;
    double p95 = 0;
    double p99 = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
};
Stats stats(std::vector<double> values);

// Lets the event loop run for `ms`.
void runFor(int ms);
// Prints one figure for the report.
void put(const char *key, double value);

// Message and input boxes that nobody can answer in a benchmark: a box that
// would have shown is written to stderr instead, so a failure cannot hang
// the run behind a modal dialog.
class SilentDialogs : public Dialogs
{
public:
    void message(const QString &text, Icon icon, const QString &caption) override;
    bool askYesNo(const QString &text) override;
    QString inputBox(const QString &prompt, const QString &title, const QString &initial) override;
    int shown() const { return shown_; }

private:
    int shown_ = 0;
};

// Modes, each in its own process.
int pollingMode(int argc, char **argv);        // --window [--diagnostics]
int floorMode(int argc, char **argv);          // --floor WIDGETS WIDTH HEIGHT
int startupInProcessMode(int argc, char **argv); // --startup-inproc

// Start-up of the real program watched from outside, under an X server.
struct StartupRun {
    double splashMs = -1;
    double mainMs = -1;
    std::string error;
};
bool outsideStartupAvailable();
StartupRun measureStartupOutside(const std::string &service, const std::string &display);

} // namespace bench

class frmSerial;

namespace bench {

// Feeds 10 minutes of made-up reader data records to the window and opens
// the diagnostics window (F11) on them.
void openDiagnosticsWithTrends(frmSerial &w);
// The entries the trends hold now.
double trendEntries(frmSerial &w);

} // namespace bench
