// The window polling the demo line, as an operator leaves it after a search:
// the real window, the real serial module, the simulated readers behind a
// pseudo-terminal, and the shipped 500 ms TMRComm driving every tick.
//
// The window thread is watched from outside: every event it handles is
// timed (QApplication::notify; the simulated line's thread is not counted),
// so "busy" is the longest the window could not answer a click, whatever
// handler held it. A thread of the benchmark posts a "click" every 20 ms and
// notes how long it waited. TMRComm's timeout is
// handed to TMRComm_Timer through a wrapper that stamps the tick's start.
#include "bench/bench.h"

#include "app/program.h"
#include "serial/portlayer.h"
#include "sim/simline.h"
#include "window/windowseam.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

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
constexpr int kFloodTicks = 120; // 60 s of random bytes at 19200 baud
constexpr int kRssAfterMs = 30000;
constexpr double kPeriodMs = 500.0;

enum Phase { Settle, Reply, SilentSettle, Silent, Flood, Done };

struct Tick {
    Phase phase;
    double busyMs;  // longest single event on the window thread since the previous tick
    double cpuUs;   // window thread CPU time since the previous tick
    bool gotReply;
};

// Times every event the window thread handles; nested events count within
// the outer one.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        // Only the window thread's events: the simulated line's thread
        // delivers its own through here too, and would count as the window's.
        if (QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        if (depth_++ > 0) {
            const bool r = QApplication::notify(receiver, event);
            --depth_;
            return r;
        }
        const std::int64_t t0 = nowNs();
        const bool r = QApplication::notify(receiver, event);
        longest_ = std::max(longest_, nowNs() - t0);
        --depth_;
        return r;
    }

    std::int64_t takeLongest()
    {
        const std::int64_t v = longest_;
        longest_ = 0;
        return v;
    }

private:
    int depth_ = 0;
    std::int64_t longest_ = 0;
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
    TimedApplication app(argc, argv);
    // The same run with the diagnostics window open on 10 minutes of trends.
    const bool diagnostics = argc > 2 && std::string(argv[2]) == "--diagnostics";
    // And once more with "Опрашивать всех найденных" on: the poll goes round
    // every reader the search found.
    const bool pollAll = argc > 3 && std::string(argv[3]) == "--poll-all";

    SilentDialogs dialogs;
    Program program(true, &dialogs);
    if (!program.ready()) {
        std::fprintf(stderr, "rfid_bench: no pseudo-terminal for the demo line\n");
        return 1;
    }
    SimLine &sim = program.demo().line();
    const int com = program.demo().portNumber;
    frmSerial &w = program.window();

    std::atomic<int> phase{Settle};
    std::atomic<int> wirePhase{Settle};
    std::atomic<std::int64_t> tickStartNs{0};
    std::vector<Tick> ticks;
    ticks.reserve(kSettleTicks + kReplyTicks + kSilentSettleTicks + kSilentTicks + kFloodTicks + 8);
    std::int64_t replyStartWall = 0, replyStartCpu = 0, replyStartProcCpu = 0;
    std::int64_t replyEndWall = 0, replyEndCpu = 0, replyEndProcCpu = 0;
    double dataBeforeFlood = -1, dataAfterFlood = -1;

    std::mutex wireMutex;
    std::vector<WireRequest> wire;
    std::vector<double> silentRequestAfterTickMs;
    wire.reserve(1024);
    QObject::connect(
        &sim, &SimLine::requestHandled, &sim,
        [&](const QByteArray &request, const QByteArray &) {
            const std::int64_t at = nowNs();
            const quint8 command = request.size() > 2 ? quint8(request.at(2)) : 0;
            std::lock_guard<std::mutex> lock(wireMutex);
            wire.push_back({Phase(wirePhase.load()), at, command});
            if (wirePhase == Silent)
                silentRequestAfterTickMs.push_back(double(at - tickStartNs.load()) / 1e6);
        },
        Qt::DirectConnection);

    // Clicks: how long a posted event waits for the window thread.
    std::mutex clickMutex;
    std::vector<std::pair<Phase, double>> clicks;
    std::atomic<bool> clicking{true};
    std::thread clicker([&] {
        while (clicking) {
            const std::int64_t posted = nowNs();
            const Phase p = Phase(phase.load());
            QMetaObject::invokeMethod(
                &w,
                [&, posted, p] {
                    std::lock_guard<std::mutex> lock(clickMutex);
                    clicks.emplace_back(p, double(nowNs() - posted) / 1e6);
                },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });

    // 19200 baud of random bytes during the flood phase: 96 bytes every 50 ms.
    std::atomic<bool> flooding{false};
    std::thread babbler([&] {
        quint32 seed = 2463534242u;
        QByteArray junk(96, '\0');
        while (clicking) {
            if (flooding) {
                for (char &c : junk) {
                    seed ^= seed << 13;
                    seed ^= seed >> 17;
                    seed ^= seed << 5;
                    c = char(seed);
                }
                sim.inject(junk);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });

    if (!QObject::disconnect(w.TMRComm(), &QTimer::timeout, &w, &frmSerial::TMRComm_Timer)) {
        std::fprintf(stderr, "rfid_bench: TMRComm is not connected to TMRComm_Timer\n");
        return 1;
    }
    QEventLoop finished;
    std::int64_t lastCpu = threadCpuNs();
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
        const std::int64_t cpu = threadCpuNs();
        ticks.push_back({Phase(wirePhase.load()), double(app.takeLongest()) / 1e6,
                         double(cpu - lastCpu) / 1e3, w.vars().no_data == 0});
        lastCpu = cpu;

        wirePhase = now;
        tickStartNs = nowNs();
        w.TMRComm_Timer();

        const int done = int(ticks.size());
        if (done == kSettleTicks) {
            phase = Reply;
        } else if (done == kSettleTicks + kReplyTicks) {
            sim.setSilent(true);
            phase = SilentSettle;
        } else if (done == kSettleTicks + kReplyTicks + kSilentSettleTicks) {
            phase = Silent;
        } else if (done == kSettleTicks + kReplyTicks + kSilentSettleTicks + kSilentTicks) {
            sim.setSilent(false);
            dataBeforeFlood = statusMiB("VmData");
            flooding = true;
            phase = Flood;
        } else if (done == kSettleTicks + kReplyTicks + kSilentSettleTicks + kSilentTicks + kFloodTicks) {
            flooding = false;
            dataAfterFlood = statusMiB("VmData");
            phase = Done;
            finished.quit();
        }
    });

    program.start();
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
    if (diagnostics)
        openDiagnosticsWithTrends(w);
    w.BTNOpenCom_Click();
    if (!w.TMRComm()->isActive()) {
        std::fprintf(stderr, "rfid_bench: the demo port did not open\n");
        return 1;
    }
    w.Opros_Click();
    if (pollAll)
        WindowSeam::cycle(w).pollAll(true);

    double rss30 = -1;
    QTimer::singleShot(kRssAfterMs, &w, [&] { rss30 = statusMiB("VmRSS"); });
    QTimer::singleShot((kSettleTicks + kReplyTicks + kSilentSettleTicks + kSilentTicks + kFloodTicks + 20) * 500,
                       &finished, [&] {
                           std::fprintf(stderr, "rfid_bench: the ticks stopped coming\n");
                           finished.exit(1);
                       });
    const int rc = finished.exec();
    clicking = false;
    clicker.join();
    babbler.join();
    if (rc != 0)
        return 1;
    const double hwm = statusMiB("VmHWM");
    program.stop();

    std::vector<double> replyCpu, replyBusy, silentBusy;
    int replyTicksWithReply = 0;
    for (const Tick &t : ticks) {
        if (t.phase == Reply) {
            replyCpu.push_back(t.cpuUs);
            replyBusy.push_back(t.busyMs);
            replyTicksWithReply += t.gotReply ? 1 : 0;
        } else if (t.phase == Silent) {
            silentBusy.push_back(t.busyMs);
        }
    }
    std::vector<double> silentClicks;
    for (const auto &[p, ms] : clicks) {
        if (p == Silent)
            silentClicks.push_back(ms);
    }

    std::vector<double> intervals, deviations;
    int polls = 0;
    {
        std::lock_guard<std::mutex> lock(wireMutex);
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
    const Stats busyReply = stats(replyBusy);
    const Stats busySilent = stats(silentBusy);
    const Stats click = stats(silentClicks);
    const Stats requestAfter = stats(silentRequestAfterTickMs);
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
    put("busy_reply_ms_p99", busyReply.p99);
    put("busy_reply_ms_max", busyReply.max);
    put("busy_reply_count", double(replyBusy.size()));
    put("tick_reply_with_reply", replyTicksWithReply);
    put("busy_silent_ms_p99", busySilent.p99);
    put("busy_silent_ms_max", busySilent.max);
    put("busy_silent_count", double(silentBusy.size()));
    put("click_silent_ms_max", click.max);
    put("click_silent_ms_p99", click.p99);
    put("click_silent_count", double(silentClicks.size()));
    put("silent_request_after_tick_ms_median", requestAfter.median);
    put("silent_request_after_tick_ms_min", requestAfter.min);
    put("silent_request_after_tick_ms_max", requestAfter.max);
    put("flood_data_growth_mib", dataAfterFlood - dataBeforeFlood);
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
    if (diagnostics)
        put("trend_entries", trendEntries(w));
    return 0;
}

} // namespace bench
