// rfid-service: the service tool for RFID readers on an RS-485 line.
//   rfid-service          works on the computer's serial ports
//   rfid-service --demo   works on a simulated line of two readers (5 and 7)
#include "app/commandline.h"
#include "app/portlist.h"
#include "app/program.h"
#include "app/startup.h"
#include "app/termination.h"
#include "app/translations.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (const std::optional<int> rc = answerWithoutDisplay(argc, argv))
        return *rc;
    QApplication app(argc, argv);
    installQtTranslations();
    applyProgramLook();

    QCommandLineParser options;
    options.setApplicationDescription(programTitle());
    options.addHelpOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Работа на имитируемой линии (считыватели 5 и 7)."));
    options.addOption(demo);
    options.process(app);

    Program program(options.isSet(demo));
    if (!program.ready()) {
        std::fprintf(stderr, "rfid-service: no simulated line in this build or on this system\n");
        return 1;
    }
    frmSerial &window = program.window();
    // SIGTERM and SIGINT end the program as closing its window does.
    closeOnTerminationSignals(&window);
    window.Form_Load();
    if (program.demo().running())
        preselectPort(window, program.demo().portNumber);

    const int rc = app.exec();
    window.Form_Terminate();
    return rc;
}
