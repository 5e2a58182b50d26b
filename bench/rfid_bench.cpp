// rfid_bench: measures and prints the tool's figures on the demo line.
//
//   rfid_bench [--runs N] [--service PATH] [--offscreen]
//
// It starts its own Xvfb when one is installed (else everything runs on the
// offscreen platform), then runs, one after another and each in a process of
// its own:
//   - the real `rfid-service --demo`, N times, for the start-up figures;
//   - itself with --window: the main window polling the demo line;
//   - itself with --floor: a bare window with as many widgets, for the memory
//     floor.
// It prints the figures, whether each target is met, and a Markdown table.
// It measures; it asserts nothing. RFID_BENCH_TRACE=1 also writes every
// request interval seen on the wire to stderr.
#include "bench/bench.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef RFID_SERVICE_PATH
#define RFID_SERVICE_PATH "rfid-service"
#endif

namespace {

using bench::Figures;

struct Options {
    int runs = 5;
    std::string service = RFID_SERVICE_PATH;
    bool offscreen = false;
};

std::string selfPath()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "rfid_bench";
    buf[n] = 0;
    return buf;
}

std::string findInPath(const char *program)
{
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        const std::size_t to = std::min(dirs.find(':', from), dirs.size());
        const std::string candidate = dirs.substr(from, to - from) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        from = to + 1;
    }
    return std::string();
}

std::string cpuModel()
{
    std::FILE *f = std::fopen("/proc/cpuinfo", "r");
    if (!f)
        return "unknown";
    char line[512];
    std::string model = "unknown";
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "model name", 10) == 0) {
            const char *colon = std::strchr(line, ':');
            if (colon) {
                model = colon + 1;
                model.erase(0, model.find_first_not_of(" \t"));
                model.erase(model.find_last_not_of(" \t\r\n") + 1);
            }
            break;
        }
    }
    std::fclose(f);
    return model;
}

std::string today()
{
    const std::time_t now = std::time(nullptr);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M %Z", std::localtime(&now));
    return buf;
}

std::string loadAverage()
{
    std::FILE *f = std::fopen("/proc/loadavg", "r");
    if (!f)
        return "unknown";
    double one = 0, five = 0, fifteen = 0;
    const int got = std::fscanf(f, "%lf %lf %lf", &one, &five, &fifteen);
    std::fclose(f);
    if (got != 3)
        return "unknown";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f %.2f %.2f", one, five, fifteen);
    return buf;
}

// A private X server for the run; its display comes back through -displayfd.
class Xvfb
{
public:
    bool start()
    {
        const std::string server = findInPath("Xvfb");
        if (server.empty())
            return false;
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int quiet = open("/dev/null", O_WRONLY);
            if (quiet >= 0) {
                dup2(quiet, STDOUT_FILENO);
                dup2(quiet, STDERR_FILENO);
            }
            const std::string fd = std::to_string(fds[1]);
            execl(server.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                  "-nolisten", "tcp", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        if (pid_ < 0) {
            close(fds[0]);
            return false;
        }
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty()) {
            stop();
            return false;
        }
        display_ = ":" + number;
        return true;
    }

    void stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

    ~Xvfb() { stop(); }
    const std::string &display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Runs this program in another mode and collects its "key value" lines.
Figures runMode(const std::string &environment, const std::string &arguments)
{
    const std::string command = environment + " '" + selfPath() + "' " + arguments;
    Figures figures;
    std::FILE *p = popen(command.c_str(), "r");
    if (!p)
        return figures;
    char line[256];
    while (std::fgets(line, sizeof line, p)) {
        char key[128];
        double value = 0;
        if (std::sscanf(line, "%127s %lf", key, &value) == 2)
            figures[key] = value;
    }
    const int status = pclose(p);
    if (status != 0)
        std::fprintf(stderr, "rfid_bench: %s ended with status %d\n", arguments.c_str(), status);
    return figures;
}

double get(const Figures &f, const char *key)
{
    const auto it = f.find(key);
    return it == f.end() ? -1 : it->second;
}

struct Row {
    std::string figure;
    std::string value;
    std::string target;
    std::string met;
};

std::string fmt(const char *format, double a, double b = 0, double c = 0)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

const char *verdict(bool known, bool met)
{
    return !known ? "not measured" : met ? "met" : "NOT met";
}

int orchestrate(const Options &options)
{
    const std::int64_t began = bench::nowNs();

    Xvfb x;
    const bool onX = !options.offscreen && x.start();
    const std::string env = onX ? "env DISPLAY=" + x.display() + " QT_QPA_PLATFORM=xcb"
                                : std::string("env QT_QPA_PLATFORM=offscreen");
    const std::string platform = onX ? "xcb on a private Xvfb (" + x.display() + ")" : "offscreen";

    std::printf("rfid-service benchmark\n");
    std::printf("Date:     %s\n", today().c_str());
    std::printf("Machine:  nproc %u, %s\n", std::thread::hardware_concurrency(), cpuModel().c_str());
    std::printf("Qt:       %s (built against %s), platform %s\n", qVersion(), QT_VERSION_STR,
                platform.c_str());
    std::printf("Load:     %s (load average at the start; other work on the machine shows in the timings)\n",
                loadAverage().c_str());
    std::printf("Program:  %s\n\n", options.service.c_str());
    std::fflush(stdout);

    // 1. Start-up.
    std::vector<double> splash, shown;
    std::string startupHow;
    if (onX && bench::outsideStartupAvailable()) {
        startupHow = "real `rfid-service --demo` under Xvfb, from fork() to the X server mapping the window "
                     "(MapNotify seen by the benchmark's own X client); median of "
                     + std::to_string(options.runs) + " starts after one warm-up";
        for (int i = 0; i <= options.runs; ++i) {
            const bench::StartupRun run = bench::measureStartupOutside(options.service, x.display());
            if (!run.error.empty()) {
                std::fprintf(stderr, "rfid_bench: start-up run %d: %s\n", i, run.error.c_str());
                continue;
            }
            if (i > 0) {
                splash.push_back(run.splashMs);
                shown.push_back(run.mainMs);
            }
            usleep(300000);
        }
    } else {
        startupHow = "in process (no X server): the objects main() builds, clock started before QApplication, "
                     "until the first paint of Form2 and of the main window; median of "
                     + std::to_string(options.runs) + " runs after one warm-up";
        for (int i = 0; i <= options.runs; ++i) {
            const Figures f = runMode(env, "--startup-inproc");
            if (i > 0 && get(f, "main_ms") >= 0) {
                splash.push_back(get(f, "splash_ms"));
                shown.push_back(get(f, "main_ms"));
            }
        }
    }
    const bench::Stats splashStats = bench::stats(splash);
    const bench::Stats shownStats = bench::stats(shown);

    // 2 to 5. The window polling the demo line.
    std::fprintf(stderr, "rfid_bench: polling the demo line (about 150 s)...\n");
    const Figures poll = runMode(env, "--window");
    const int widgets = int(get(poll, "widgets"));
    std::fprintf(stderr, "rfid_bench: again with the diagnostics window open on 10 minutes of trends "
                         "(about 150 s)...\n");
    const Figures diag = runMode(env, "--window --diagnostics");
    std::fprintf(stderr, "rfid_bench: again going round every reader found (about 150 s)...\n");
    const Figures round = runMode(env, "--window --diagnostics --poll-all");

    // 6. The floor, in its own process.
    Figures floor;
    if (widgets > 0) {
        std::fprintf(stderr, "rfid_bench: the bare window with %d widgets (30 s)...\n", widgets);
        floor = runMode(env, "--floor " + std::to_string(widgets) + " "
                                 + std::to_string(int(get(poll, "window_width"))) + " "
                                 + std::to_string(int(get(poll, "window_height"))));
    }
    x.stop();

    const double rss = get(poll, "rss_30s_mib");
    const double floorRss = get(floor, "floor_rss_mib");
    const double cpuUs = get(poll, "cpu_tick_us_mean");
    const double cpuPct = cpuUs / 500000.0 * 100.0;
    const double busyReplyP99 = get(poll, "busy_reply_ms_p99");
    const double busyReplyMax = get(poll, "busy_reply_ms_max");
    const double busySilentP99 = get(poll, "busy_silent_ms_p99");
    const double busySilentMax = get(poll, "busy_silent_ms_max");
    const double clickMax = get(poll, "click_silent_ms_max");
    const double requestAfter = get(poll, "silent_request_after_tick_ms_median");
    const double requestAfterMin = get(poll, "silent_request_after_tick_ms_min");
    const double requestAfterMax = get(poll, "silent_request_after_tick_ms_max");
    const double floodGrowth = get(poll, "flood_data_growth_mib");
    const double cadMed = get(poll, "cadence_ms_median");
    const double cadDevMed = get(poll, "cadence_dev_ms_median");
    const double cadDevMax = get(poll, "cadence_dev_ms_max");
    const bool havePoll = !poll.empty() && rss >= 0;
    const bool haveStart = !splash.empty();

    std::printf("Figures\n");
    if (haveStart) {
        std::printf("  start to splash shown        %8.1f ms   (max %.1f ms; %s)\n", splashStats.median,
                    splashStats.max, startupHow.c_str());
        std::printf("  start to main window shown   %8.1f ms   (max %.1f ms; same runs; the hand-over is on "
                    "Timer1's second 1000 ms tick)\n",
                    shownStats.median, shownStats.max);
    } else {
        std::printf("  start-up                     not measured (see the messages above)\n");
    }
    if (havePoll) {
        std::printf("  RSS after 30 s polling       %8.1f MiB  (VmRSS of a process holding the real window on a "
                    "simulated line, port opened, search run, then 30 s of TMRComm at 500 ms; peak %.1f MiB)\n",
                    rss, get(poll, "hwm_mib"));
        std::printf("  CPU per tick                 %8.1f us   (CLOCK_THREAD_CPUTIME_ID of the window thread over "
                    "each 500 ms period, every event included, mean of %.0f polling ticks, max %.1f us; = %.3f %% "
                    "of one core)\n",
                    cpuUs, get(poll, "cpu_tick_count"), get(poll, "cpu_tick_us_max"), cpuPct);
        std::printf("  window thread busy, reply    %8.2f ms   (99th percentile; max %.2f ms: the longest single "
                    "event handled per tick, over %.0f ticks, %.0f of them read a reply)\n",
                    busyReplyP99, busyReplyMax, get(poll, "busy_reply_count"), get(poll, "tick_reply_with_reply"));
        std::printf("  window thread busy, silent   %8.2f ms   (99th percentile; max %.2f ms; SimLine::setSilent(true), "
                    "%.0f ticks)\n",
                    busySilentP99, busySilentMax, get(poll, "busy_silent_count"));
        std::printf("  click latency, silent line   %8.2f ms   (max; 99th percentile %.2f ms; an event posted every "
                    "20 ms, %.0f of them)\n",
                    clickMax, get(poll, "click_silent_ms_p99"), get(poll, "click_silent_count"));
        std::printf("  request after tick start     %8.1f ms   (silent line, median; min %.1f, max %.1f)\n",
                    requestAfter, requestAfterMin, requestAfterMax);
        std::printf("  data growth, 60 s flood      %8.2f MiB  (VmData after 60 s of random bytes at 19200 baud)\n",
                    floodGrowth);
        std::printf("  request cadence on the wire  %8.1f ms   (median interval; deviation from 500 ms: median "
                    "%.1f ms, 95th percentile %.1f ms, max %.1f ms; simulator thread stamps each requestHandled, "
                    "%.0f intervals, %.0f requests were 0xF0 polls)\n",
                    cadMed, cadDevMed, get(poll, "cadence_dev_ms_p95"), cadDevMax, get(poll, "cadence_intervals"),
                    get(poll, "cadence_f0_polls"));
        std::printf("  window thread, whole loop    %8.2f %%    (thread CPU time over the same 100 ticks incl. "
                    "repaints, per wall time; whole process with the simulator: %.2f %%)\n",
                    get(poll, "window_thread_core_pct"), get(poll, "process_core_pct"));
        if (get(poll, "dialogs_shown") > 0)
            std::printf("  WARNING: %.0f message boxes would have shown during the run\n",
                        get(poll, "dialogs_shown"));
    } else {
        std::printf("  polling figures              not measured (see the messages above)\n");
    }
    if (floorRss >= 0) {
        std::printf("  floor: bare window RSS       %8.1f MiB  (a QWidget with %d plain QLabels/QPushButtons, as many "
                    "widgets as frmSerial has (findChildren<QWidget*>), same size and style, shown, 30 s idle, "
                    "own process)\n",
                    floorRss, widgets);
        std::printf("  window over the floor        %8.1f MiB\n", rss - floorRss);
    }

    const bool haveDiag = !diag.empty() && get(diag, "busy_reply_count") > 0;
    if (haveDiag) {
        std::printf("\nThe same with the diagnostics window (F11) open, 10 minutes of trends preloaded "
                    "(%.0f trend entries at the end)\n",
                    get(diag, "trend_entries"));
        std::printf("  window thread busy, reply    %8.2f ms   (99th percentile; max %.2f ms)\n",
                    get(diag, "busy_reply_ms_p99"), get(diag, "busy_reply_ms_max"));
        std::printf("  window thread busy, silent   %8.2f ms   (99th percentile; max %.2f ms)\n",
                    get(diag, "busy_silent_ms_p99"), get(diag, "busy_silent_ms_max"));
        std::printf("  click latency, silent line   %8.2f ms   (max; 99th percentile %.2f ms)\n",
                    get(diag, "click_silent_ms_max"), get(diag, "click_silent_ms_p99"));
        std::printf("  CPU per tick                 %8.1f us   (window thread, mean; = %.3f %% of one core)\n",
                    get(diag, "cpu_tick_us_mean"), get(diag, "cpu_tick_us_mean") / 5000.0);
        std::printf("  request cadence on the wire  %8.1f ms   (median; max deviation %.1f ms)\n",
                    get(diag, "cadence_ms_median"), get(diag, "cadence_dev_ms_max"));
        std::printf("  RSS after 30 s polling       %8.1f MiB\n", get(diag, "rss_30s_mib"));
    } else {
        std::printf("\n  diagnostics window figures   not measured (see the messages above)\n");
    }
    if (!round.empty() && get(round, "busy_reply_count") > 0) {
        std::printf("\nThe same going round every reader found (\"Опрашивать всех найденных\" on)\n");
        std::printf("  window thread busy, reply    %8.2f ms   (99th percentile; max %.2f ms)\n",
                    get(round, "busy_reply_ms_p99"), get(round, "busy_reply_ms_max"));
        std::printf("  CPU per tick                 %8.1f us   (window thread, mean; = %.3f %% of one core)\n",
                    get(round, "cpu_tick_us_mean"), get(round, "cpu_tick_us_mean") / 5000.0);
        std::printf("  request cadence on the wire  %8.1f ms   (median; max deviation %.1f ms)\n",
                    get(round, "cadence_ms_median"), get(round, "cadence_dev_ms_max"));
    }

    const bool cadenceMet = std::abs(cadMed - 500.0) < 1.0 && cadDevMax <= 5.0;
    const bool busyMet = busyReplyP99 <= 2.0 && busyReplyMax <= 5.0 && busySilentP99 <= 2.0
                         && busySilentMax <= 5.0;
    const bool clickMet = clickMax <= 20.0;
    const bool requestMet = std::abs(requestAfter - 256.0) <= 5.0;
    const bool floodMet = floodGrowth <= 1.0;
    const bool rssMet = rss <= floorRss + 15.0;
    const bool cpuMet = cpuPct <= 1.0;
    const bool splashMet = splashStats.median <= 300.0;
    std::printf("\nTargets\n");
    std::printf("  cadence median 500 ms, max deviation <= 5 ms    %s\n", verdict(havePoll, cadenceMet));
    std::printf("  window thread busy <= 2 ms p99, <= 5 ms max     %s\n", verdict(havePoll, busyMet));
    std::printf("  click latency on a silent line <= 20 ms (max)   %s\n", verdict(havePoll, clickMet));
    std::printf("  silent line: request 256 +- 5 ms after the tick %s\n", verdict(havePoll, requestMet));
    std::printf("  data growth in a 60 s flood <= 1 MiB            %s\n", verdict(havePoll, floodMet));
    std::printf("  RSS <= floor + 15 MiB                           %s\n",
                verdict(havePoll && floorRss >= 0, rssMet));
    std::printf("  CPU <= 1 %% of one core while polling            %s\n", verdict(havePoll, cpuMet));
    std::printf("  start to splash <= 300 ms (median)              %s\n", verdict(haveStart, splashMet));

    std::vector<Row> rows;
    if (haveStart) {
        rows.push_back({"Start to splash shown", fmt("%.0f ms (max %.0f)", splashStats.median, splashStats.max),
                        "≤ 300 ms", verdict(true, splashMet)});
        rows.push_back({"Start to main window shown", fmt("%.0f ms (max %.0f)", shownStats.median, shownStats.max),
                        "— (~2 s by design: Timer1's 2nd tick)", "—"});
    }
    if (havePoll) {
        rows.push_back({"RSS after 30 s polling", fmt("%.1f MiB", rss),
                        floorRss >= 0 ? fmt("≤ %.1f MiB (floor + 15)", floorRss + 15.0) : "floor + 15 MiB",
                        verdict(floorRss >= 0, rssMet)});
        if (floorRss >= 0)
            rows.push_back({fmt("Floor: bare window, %.0f widgets", widgets), fmt("%.1f MiB", floorRss), "—", "—"});
        rows.push_back({"CPU per tick (mean of 100)", fmt("%.0f µs (%.3f %% of a core)", cpuUs, cpuPct),
                        "≤ 1 % of a core", verdict(true, cpuMet)});
        rows.push_back({"Window thread busy per tick, reply waiting (p99 / max)",
                        fmt("%.2f / %.2f ms", busyReplyP99, busyReplyMax), "≤ 2 / 5 ms",
                        verdict(true, busyReplyP99 <= 2.0 && busyReplyMax <= 5.0)});
        rows.push_back({"Window thread busy per tick, silent line (p99 / max)",
                        fmt("%.2f / %.2f ms", busySilentP99, busySilentMax), "≤ 2 / 5 ms",
                        verdict(true, busySilentP99 <= 2.0 && busySilentMax <= 5.0)});
        rows.push_back({"Latency of a click while polling a silent line (max)", fmt("%.1f ms", clickMax),
                        "≤ 20 ms", verdict(true, clickMet)});
        rows.push_back({"Request time after the tick start, silent line",
                        fmt("%.1f ms (%.1f–%.1f)", requestAfter, requestAfterMin, requestAfterMax),
                        "256 ± 5 ms", verdict(true, requestMet)});
        rows.push_back({"Data memory growth, 60 s of random bytes at 19200 baud",
                        fmt("%+.2f MiB", floodGrowth), "≤ 1 MiB", verdict(true, floodMet)});
        if (haveDiag)
            rows.push_back({"Window thread busy per tick, diagnostics window open (reply p99 / max, silent p99 / max)",
                            fmt("%.2f / %.2f ms, ", get(diag, "busy_reply_ms_p99"), get(diag, "busy_reply_ms_max"))
                                + fmt("%.2f / %.2f ms", get(diag, "busy_silent_ms_p99"),
                                      get(diag, "busy_silent_ms_max")),
                            "≤ 2 / 5 ms", "—"});
        rows.push_back({"Request cadence on the wire",
                        fmt("%.1f ms median, max deviation %.1f ms", cadMed, cadDevMax),
                        "500 ms, ≤ 5 ms", verdict(true, cadenceMet)});
    }
    std::printf("\nFor the README (%s, nproc %u, %s, Qt %s, %s):\n\n", today().c_str(),
                std::thread::hardware_concurrency(), cpuModel().c_str(), qVersion(),
                onX ? "Xvfb" : "offscreen");
    std::printf("| Figure | Measured | Target | Met |\n|---|---|---|---|\n");
    for (const Row &r : rows)
        std::printf("| %s | %s | %s | %s |\n", r.figure.c_str(), r.value.c_str(), r.target.c_str(),
                    r.met.c_str());

    std::printf("\nThe benchmark ran for %.0f s.\n", double(bench::nowNs() - began) / 1e9);
    return havePoll && haveStart ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1) {
        const std::string mode = argv[1];
        if (mode == "--window")
            return bench::pollingMode(argc, argv);
        if (mode == "--floor")
            return bench::floorMode(argc, argv);
        if (mode == "--startup-inproc")
            return bench::startupInProcessMode(argc, argv);
    }

    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            options.runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--service" && i + 1 < argc) {
            options.service = argv[++i];
        } else if (a == "--offscreen") {
            options.offscreen = true;
        } else {
            std::fprintf(stderr,
                         "usage: rfid_bench [--runs N] [--service PATH] [--offscreen]\n"
                         "       (internal modes: --window, --floor WIDGETS WIDTH HEIGHT, --startup-inproc)\n");
            return 2;
        }
    }
    return orchestrate(options);
}
