// rfid-service: the service tool for RFID readers on an RS-485 line.
//   rfid-service          works on the computer's serial ports
//   rfid-service --demo   works on a simulated line of two readers (5 and 7)
#include "app/frmSerial.h"
#include "serial/portnames.h"
#include "serial/serialport.h"
#include "sim/simline.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

namespace {

// The demo line takes the first COM number that no device of this machine
// answers to, so it shows in the port list like an adapter.
int freePortNumber(const PortNames &names)
{
    for (int n = PortNames::FirstPort; n <= PortNames::LastPort; ++n) {
        if (!names.exists(n))
            return n;
    }
    return PortNames::LastPort;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rfid-service"));
    QApplication::setApplicationDisplayName(programTitle());
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(artwork::appIcon());

    QCommandLineParser options;
    options.setApplicationDescription(programTitle());
    options.addHelpOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Работа на имитируемой линии (считыватели 5 и 7)."));
    options.addOption(demo);
    options.process(app);

    PortNames names;
    std::unique_ptr<SimHost> sim;
    if (options.isSet(demo)) {
        sim = std::make_unique<SimHost>();
        for (const SimReader &reader : SimLine::demoReaders())
            sim->line().addReader(reader);
        if (!sim->start()) {
            std::fprintf(stderr, "rfid-service: no pseudo-terminal for the demo line\n");
            return 1;
        }
        names.setOverride(freePortNumber(names), sim->line().devicePath());
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
