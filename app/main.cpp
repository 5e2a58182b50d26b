// rfid-service: the service tool for RFID readers on an RS-485 line.
//   rfid-service          works on the computer's serial ports
//   rfid-service --demo   works on a simulated line of two readers (5 and 7)
#include "app/commandline.h"
#include "app/frmSerial.h"
#include "app/startup.h"
#include "app/translations.h"
#include "serial/portnames.h"
#include "serial/serialport.h"
#include "sim/simline.h"
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

    PortNames names;
    DemoLine line;
    if (options.isSet(demo)) {
        line = startDemoLine(names);
        if (!line.host) {
            std::fprintf(stderr, "rfid-service: no pseudo-terminal for the demo line\n");
            return 1;
        }
    }

    QtDialogs dialogs;
    SerialPort port(names, dialogs);
    frmSerial window(port, dialogs);
    dialogs.setParent(&window);
    window.Form_Load();

    const int rc = app.exec();
    window.Form_Terminate();
    return rc;
}
