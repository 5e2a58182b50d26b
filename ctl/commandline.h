#pragma once
// rfidctl's command line: global options, one command word, the command's
// own arguments and options (QCommandLineParser, parsed twice: once to find
// the command, once with exactly its options).
#include <QString>
#include <QStringList>

#include <optional>

struct Invocation {
    QString command;          // ports, search, info, settings, apply, watch, tag
    QString port;             // --port: COMn, a device path, tcp://… or rfc2217://…
    int latencyMs = -1;       // --latency: the network's delay; -1 = measured
    bool demo = false;        // --demo: the simulated line
    bool json = false;        // --json
    quint8 address = 0;       // ADDR
    QString file;             // apply's FILE, settings' -o FILE
    bool yes = false;         // apply --yes
    bool withAddress = false; // apply --with-address
    int count = 0;            // watch --count; 0 = until interrupted
};

// Either an invocation to run, or what to print and the exit code: the help
// or the version on standard output (0), or the fault and a usage line on
// standard error (2).
struct ParsedLine {
    std::optional<Invocation> invocation;
    int exitCode = 0;
    QString out;
    QString err;
};

// `arguments` as main gets them, the program's name first.
ParsedLine parseCommandLine(const QStringList &arguments);

QString programVersionLine();
