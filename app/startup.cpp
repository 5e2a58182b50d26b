#include "app/startup.h"

#include "serial/portnames.h"
#include "sim/simline.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QIcon>

void applyProgramLook()
{
    QApplication::setApplicationName(QStringLiteral("rfid-service"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(artwork::appIcon());
}

DemoLine startDemoLine(PortNames &names)
{
    DemoLine demo;
    demo.host = std::make_unique<SimHost>();
    for (const SimReader &reader : SimLine::demoReaders())
        demo.host->line().addReader(reader);
    if (!demo.host->start()) {
        demo.host.reset();
        return demo;
    }
    demo.portNumber = PortNames::LastPort;
    for (int n = PortNames::FirstPort; n <= PortNames::LastPort; ++n) {
        if (!names.exists(n)) {
            demo.portNumber = n;
            break;
        }
    }
    names.setOverride(demo.portNumber, demo.host->line().devicePath());
    return demo;
}
