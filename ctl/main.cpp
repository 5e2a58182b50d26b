// rfidctl: the RS-485 line of RFID readers from a terminal, for scripts and
// remote service. The same frames, pacing, port names and lock as the
// window's; no display needed.
#include "ctl/commandline.h"
#include "ctl/commands.h"
#include "ctl/failure.h"
#include "serial/portnames.h"
#ifdef RFID_DEMO_LINE
#include "sim/demoline.h"
#endif

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

bool stdinIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdin)) != 0;
#else
    return ::isatty(STDIN_FILENO) != 0;
#endif
}

QString readAnswer()
{
    std::string line;
    std::getline(std::cin, line);
    return QString::fromLocal8Bit(line.c_str());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    const ParsedLine parsed = parseCommandLine(QCoreApplication::arguments());
    if (!parsed.invocation) {
        out << parsed.out;
        err << parsed.err;
        return parsed.exitCode;
    }
    Invocation inv = *parsed.invocation;

    PortNames names;
#ifdef RFID_DEMO_LINE
    DemoLine demo;
    if (inv.demo) {
        demo = startDemoLine(names);
        if (!demo.running()) {
            err << "rfidctl: нет псевдотерминала для имитируемой линии\n";
            return exitcode::Port;
        }
        // `ports` lists every name, the demo line's among them.
        if (inv.command != QLatin1String("ports"))
            inv.port = QStringLiteral("COM%1").arg(demo.portNumber);
    }
#else
    if (inv.demo) {
        err << "rfidctl: в этой сборке нет имитируемой линии (--demo)\n";
        return exitcode::Usage;
    }
#endif

    // watch and tag program run until Ctrl+C (or SIGTERM, or SIGHUP when the
    // terminal or the SSH session goes) and then end as after --count, the
    // tag in progress finished: the port closed and its lock released. Other
    // commands keep the default: they end at once.
    if (inv.command == QLatin1String("watch") || inv.command == QLatin1String("tag program")) {
        std::signal(SIGINT, requestStop);
        std::signal(SIGTERM, requestStop);
#ifdef SIGHUP
        std::signal(SIGHUP, requestStop);
#endif
    }
    Console console{out, err, stdinIsTerminal(), readAnswer, [] { return stopRequested != 0; }};
    return runCommand(inv, names, console);
}
