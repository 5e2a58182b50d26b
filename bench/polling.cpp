// The window polling the demo line, as an operator leaves it after a search:
// the real window, the real serial module, the simulated readers behind a
// pseudo-terminal, and the shipped 500 ms TMRComm driving every tick.
//
// The tick handler is measured from outside: the benchmark takes TMRComm's
// timeout away from the window and hands it back through a wrapper that
// reads the clocks around TMRComm_Timer. Same timer, same thread, same
// handler; only the clocks are added.
#include "bench/bench.h"

#include "app/frmSerial.h"
#include "app/startup.h"
#include "serial/portnames.h"
#include "serial/serialport.h"
#include "sim/simline.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>

namespace bench {

namespace {

// Ticks before the figures start: the search broadcast, its answer, the
// identification of reader 5 and its answer, then plain 0xF0 polls.
constexpr int kSettleTicks = 10;
constexpr int kReplyTicks = 100;
// After the line falls silent, the first tick may still find the answer to
// the request written just before.
constexpr int kSilentSettleTicks = 2;
constexpr int kSilentTicks = 50;
constexpr int kRssAfterMs = 30000;
constexpr double kPeriodMs = 500.0;

enum Phase { Settle, Reply, SilentSettle, Silent, Done };

struct Tick {
    Phase phase;
    double wallMs;
    double cpuUs;
    bool gotReply;
};

struct WireRequest {
    Phase phase;
    std::int64_t atNs;
    quint8 command;
};

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    const std::int64_t end = nowNs() + std::int64_t(timeoutMs) * 1000000;
    while (!done()) {
        if (nowNs() > end)
            return false;
        runFor(20);
    }
    return true;
}

} // namespace

int pollingMode(int argc, char **argv)
{
    QApplication app(argc, argv);
    applyProgramLook();

    PortNames names;
    const DemoLine line = startDemoLine(names);
    if (!line.host) {
        std::fprintf(stderr, "rfid_bench: no pseudo-terminal for the demo line\n");
        return 1;
    }
    SimHost &sim = *line.host;
    const int com = line.portNumber;

    SilentDialogs dialogs;
    SerialPort port(names, dialogs);
    frmSerial w(port, dialogs);

    std::atomic<int> phase{Settle};
    // The phase of the tick that wrote the request on the line; it holds
    // until the next tick, long after the simulator has taken the request.
    std::atomic<int> wirePhase{Settle};
    std::vector<Tick> ticks;
    ticks.reserve(kSettleTicks + kReplyTicks + kSilentSettleTicks + kSilentTicks + 8);
    std::int64_t replyStartWall = 0, replyStartCpu = 0, replyStartProcCpu = 0;
    std::int64_t replyEndWall = 0, replyEndCpu = 0, replyEndProcCpu = 0;

    std::mutex wireMutex;
    std::vector<WireRequest> wire;
    wire.reserve(512);
    QObject::connect(
        &sim.line(), &SimLine::requestHandled, &sim.line(),
        [&](const QByteArray &request, const QByteArray &) {
            const std::int64_t at = nowNs();
            const quint8 command = request.size() > 2 ? quint8(request.at(2)) : 0;
            std::lock_guard<std::mutex> lock(wireMutex);
            wire.push_back({Phase(wirePhase.load()), at, command});
        },
        Qt::DirectConnection);

    if (!QObject::disconnect(w.TMRComm(), &QTimer::timeout, &w, &frmSerial::TMRComm_Timer)) {
        std::fprintf(stderr, "rfid_bench: TMRComm is not connected to TMRComm_Timer\n");
        return 1;
    }
    QEventLoop finished;
    QObject::connect(w.TMRComm(), &QTimer::timeout, &w, [&] {
        const Phase now = Phase(phase.load());
        if (now == Reply && replyStartWall == 0) {
            replyStartWall = nowNs();
            replyStartCpu = threadCpuNs();
            replyStartProcCpu = processCpuNs();
        }
        if (now != Reply && now != Settle && replyEndWall == 0) {
            replyEndWall = nowNs();
            replyEndCpu = threadCpuNs();
            replyEndProcCpu = processCpuNs();
        }

        wirePhase = now;
        const std::int64_t cpu0 = threadCpuNs();
        const std::int64_t wall0 = nowNs();
        w.TMRComm_Timer();
        const std::int64_t wall1 = nowNs();
        const std::int64_t cpu1 = threadCpuNs();
        ticks.push_back({now, double(wall1 - wall0) / 1e6, double(cpu1 - cpu0) / 1e3, w.no_data == 0});

        const int done = int(ticks.size());
        if (done == kSettleTicks) {
            phase = Reply;
        } else if (done == kSettleTicks + kReplyTicks) {
            sim.line().setSilent(true);
            phase = SilentSettle;
        } else if (done == kSettleTicks + kReplyTicks + kSilentSettleTicks) {
            phase = Silent;
        } else if (done == kSettleTicks + kReplyTicks + kSilentSettleTicks + kSilentTicks) {
            phase = Done;
            finished.quit();
        }
    });

    w.Form_Load();
    const int widgets = int(w.findChildren<QWidget *>().size());
    if (!waitUntil([&] { return w.isVisible(); }, 10000)) {
        std::fprintf(stderr, "rfid_bench: the main window never came up\n");
        return 1;
    }

    auto *ports = w.findChild<QComboBox *>(QStringLiteral("CmbPort"));
    const QString portName = QStringLiteral("COM") + QString::number(com);
    if (!waitUntil([&] { return ports && ports->findText(portName) >= 0; }, 5000)) {
        std::fprintf(stderr, "rfid_bench: %s never showed in the port list\n", qPrintable(portName));
        return 1;
    }
    ports->setCurrentIndex(ports->findText(portName));
    w.BTNOpenCom_Click();
    if (!w.TMRComm()->isActive()) {
        std::fprintf(stderr, "rfid_bench: the demo port did not open\n");
        return 1;
    }
    w.Opros_Click();

    double rss30 = -1;
    QTimer::singleShot(kRssAfterMs, &w, [&] { rss30 = statusMiB("VmRSS"); });
    QTimer::singleShot((kSettleTicks + kReplyTicks + kSilentSettleTicks + kSilentTicks + 20) * 500,
                       &finished, [&] {
                           std::fprintf(stderr, "rfid_bench: the ticks stopped coming\n");
                           finished.exit(1);
                       });
    if (finished.exec() != 0)
        return 1;
    const double hwm = statusMiB("VmHWM");
    w.Form_Terminate();

    std::vector<double> replyCpu, replyWall, silentWall;
    int replyTicksWithReply = 0, silentTicksQuiet = 0;
    for (const Tick &t : ticks) {
        if (t.phase == Reply) {
            replyCpu.push_back(t.cpuUs);
            replyWall.push_back(t.wallMs);
            replyTicksWithReply += t.gotReply ? 1 : 0;
        } else if (t.phase == Silent) {
            silentWall.push_back(t.wallMs);
            silentTicksQuiet += t.gotReply ? 0 : 1;
        }
    }

    std::vector<double> intervals, deviations;
    int polls = 0;
    {
        std::lock_guard<std::mutex> lock(wireMutex);
        // The request of the last settling tick opens the first interval, so
        // 100 ticks give 100 intervals.
        const WireRequest *previous = nullptr;
        for (const WireRequest &r : wire) {
            if (r.phase == Reply) {
                polls += r.command == 0xF0 ? 1 : 0;
                if (previous) {
                    const double ms = double(r.atNs - previous->atNs) / 1e6;
                    intervals.push_back(ms);
                    if (std::getenv("RFID_BENCH_TRACE"))
                        std::fprintf(stderr, "interval %.3f\n", ms);
                    deviations.push_back(std::abs(ms - kPeriodMs));
                }
            }
            if (r.phase == Settle || r.phase == Reply)
                previous = &r;
        }
    }

    const Stats cpu = stats(replyCpu);
    const Stats wallReply = stats(replyWall);
    const Stats wallSilent = stats(silentWall);
    const Stats cadence = stats(intervals);
    const Stats deviation = stats(deviations);
    put("widgets", widgets);
    put("window_width", w.width());
    put("window_height", w.height());
    put("rss_30s_mib", rss30);
    put("hwm_mib", hwm);
    put("cpu_tick_us_mean", cpu.mean);
    put("cpu_tick_us_max", cpu.max);
    put("cpu_tick_count", double(replyCpu.size()));
    put("tick_reply_ms_median", wallReply.median);
    put("tick_reply_ms_p95", wallReply.p95);
    put("tick_reply_ms_max", wallReply.max);
    put("tick_reply_count", double(replyWall.size()));
    put("tick_reply_with_reply", replyTicksWithReply);
    put("tick_silent_ms_median", wallSilent.median);
    put("tick_silent_ms_max", wallSilent.max);
    put("tick_silent_count", double(silentWall.size()));
    put("tick_silent_quiet", silentTicksQuiet);
    put("cadence_ms_median", cadence.median);
    put("cadence_dev_ms_median", deviation.median);
    put("cadence_dev_ms_p95", deviation.p95);
    put("cadence_dev_ms_max", deviation.max);
    put("cadence_intervals", double(intervals.size()));
    put("cadence_f0_polls", polls);
    const double span = double(replyEndWall - replyStartWall);
    if (span > 0) {
        put("window_thread_core_pct", 100.0 * double(replyEndCpu - replyStartCpu) / span);
        put("process_core_pct", 100.0 * double(replyEndProcCpu - replyStartProcCpu) / span);
    }
    put("dialogs_shown", dialogs.shown());
    return 0;
}

} // namespace bench
