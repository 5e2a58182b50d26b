// rfid-service: the service tool for RFID readers on an RS-485 line.
//   rfid-service          works on the computer's serial ports
//   rfid-service --demo   works on a simulated line of two readers (5 and 7)
#include "app/commandline.h"
#include "app/program.h"
#include "app/termination.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (const std::optional<int> rc = answerWithoutDisplay(argc, argv))
        return *rc;
    QApplication app(argc, argv);

    QCommandLineParser options;
    options.setApplicationDescription(programTitle());
    options.addHelpOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Работа на имитируемой линии (считыватели 5 и 7)."));
    options.addOption(demo);
    const QCommandLineOption line(QStringLiteral("port"),
                                  QStringLiteral("Линия за Ethernet-шлюзом: tcp://АДРЕС:ПОРТ или rfc2217://АДРЕС:ПОРТ."),
                                  QStringLiteral("линия"));
    options.addOption(line);
    options.process(app);

    Program program(options.isSet(demo));
    if (!program.ready()) {
        std::fprintf(stderr, "rfid-service: no simulated line in this build or on this system\n");
        return 1;
    }
    // SIGTERM, SIGINT and SIGHUP end the program as closing its window does.
    closeOnTerminationSignals(&program.window());
    program.start();
    if (options.isSet(line))
        program.window().addNetworkLine(options.value(line));
    const int rc = app.exec();
    program.stop();
    return rc;
}
