#pragma once
// rfidctl's command line: global options, one command word, the command's
// own arguments and options (QCommandLineParser, parsed twice: once to find
// the command, once with exactly its options).
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

struct Invocation {
    QString command;          // ports, search, info, settings, apply, diff, watch, tag, "tag write", "tag program"
    QString port;             // --port: COMn, a device path, tcp://… or rfc2217://…
    int latencyMs = -1;       // --latency: the network's delay; -1 = measured
    bool demo = false;        // --demo: the simulated line
    bool json = false;        // --json
    bool csv = false;         // watch --csv
    quint8 address = 0;       // ADDR (the first, when several are given)
    QVector<quint8> addresses; // ADDR as given: "5" or "5,7,12"; empty with --all
    bool all = false;         // --all: every reader a search finds
    QString file;             // apply's and diff's FILE, settings' -o FILE or FOLDER/
    bool yes = false;         // apply --yes
    bool withAddress = false; // apply --with-address
    bool dryRun = false;      // apply --dry-run: compare only, as diff
    int count = 0;            // watch --count; 0 = until interrupted
    // tag write / tag program: the values given (empty: the tag keeps its own)
    QString tagId;            // --id (tag write)
    QString firstId;          // --first-id (tag program)
    QString journal;          // --journal (tag program)
    std::optional<qint64> delay, mode, power, period; // --delay, --mode, --power, --period
    int retries = 2;          // --retries: repeats of a request that got no valid reply
    int timeoutMs = 0;        // --timeout: how long a reply is waited for; 0 = the line's own rule
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

// Why `port` is no port name when it reads "COMn" with n outside 1..30
// (empty otherwise): the same fault for every command.
QString comNumberFault(const QString &port);
