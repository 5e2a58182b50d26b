// rfid_gateway_bench: the round trip and the poll cadence of one reader over
// a pseudo-terminal (as over a USB adapter) and over ser2net on loopback, raw
// and RFC 2217, side by side. Prints figures; asserts nothing.
//   cmake --build build --target rfid_gateway_bench && ./build/bench/rfid_gateway_bench [polls]
#include "ctl/lineclient.h"
#include "protocol/frame.h"
#include "serial/lineport.h"
#include "serial/portnames.h"
#include "sim/ser2net.h"
#include "sim/simline.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Run {
    std::vector<double> roundTrip; // write to the reply's last byte, ms
    std::vector<double> cadence;   // one request's start to the next's, ms
    int missed = 0;
};

double at(std::vector<double> v, double q)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::size_t(q * double(v.size() - 1) + 0.5)];
}

// The cadence is taken where it matters, on the line: when each request
// reached the simulated readers.
Run poll(PortLayer &port, SimLine &sim, int polls)
{
    Run run;
    std::vector<qint64> arrived;
    const QMetaObject::Connection seen = QObject::connect(
        &sim, &SimLine::requestHandled, &sim, [&arrived] { arrived.push_back(steadyMs()); }, Qt::DirectConnection);
    LineClient line(port);
    const QByteArray request = proto::buildRequest(5, 0xF0);
    for (int i = 0; i < polls; ++i) {
        const LineClient::Result r = line.exchange(request);
        if (r.reply.isEmpty() || port.lastReadByteAtMs() < 0)
            ++run.missed;
        else
            run.roundTrip.push_back(double(port.lastReadByteAtMs() - r.sentAtMs));
    }
    QObject::disconnect(seen);
    for (std::size_t i = 1; i < arrived.size(); ++i)
        run.cadence.push_back(double(arrived[i] - arrived[i - 1]));
    return run;
}

void report(const char *name, const Run &r, const QString &note)
{
    std::printf("%-22s round trip median %5.1f  p95 %5.1f  max %5.1f ms   cadence median %5.1f  max %5.1f ms"
                "   missed %d   %s\n",
                name, at(r.roundTrip, 0.5), at(r.roundTrip, 0.95), at(r.roundTrip, 1.0), at(r.cadence, 0.5),
                at(r.cadence, 1.0), r.missed, qPrintable(note));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int polls = argc > 1 ? std::max(2, std::atoi(argv[1])) : 40;
    SimHost sim;
    for (SimReader r : SimLine::demoReaders()) {
        r.live = false;
        sim.line().addReader(r);
    }
    if (!sim.start()) {
        std::fprintf(stderr, "no pseudo-terminal for the simulated line\n");
        return 1;
    }
    PortNames names;
    names.setOverride(9, sim.line().devicePath());
    std::printf("%d polls of reader 5 (0xF0), one every %d ms\n", polls, PortLayer::RequestPeriodMs);
    {
        LinePort port(names);
        if (!port.OpenPort(QStringLiteral("COM9"), QString::fromLatin1(PortLayer::LineSettingsText)))
            return 1;
        report("pseudo-terminal", poll(port, sim.line(), polls), QString());
    }
    for (const Ser2net::Mode mode : {Ser2net::Mode::Raw, Ser2net::Mode::Rfc2217}) {
        Ser2net gateway;
        const char *name = mode == Ser2net::Mode::Raw ? "ser2net tcp://" : "ser2net rfc2217://";
        if (!gateway.start(sim.line().devicePath(), mode)) {
            std::printf("%-22s ser2net is not installed or did not start\n", name);
            continue;
        }
        LinePort port(names);
        PortLayer::OpenFailure why;
        if (!port.OpenPort(gateway.name(mode), QString::fromLatin1(PortLayer::LineSettingsText), &why)) {
            std::printf("%-22s %s\n", name, qPrintable(why.text));
            continue;
        }
        const Run r = poll(port, sim.line(), polls);
        report(name, r, port.latencyNote());
    }
    return 0;
}
