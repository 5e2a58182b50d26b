#include "app/startup.h"

#include "widgets/artwork.h"

#include <QApplication>
#include <QIcon>

void applyProgramLook()
{
    QApplication::setApplicationName(QStringLiteral("rfid-service"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(artwork::appIcon());
}

#ifndef RFID_DEMO_LINE
// A build without the simulated line (RFID_DEMO_LINE off, no rfid_sim):
// --demo finds no line.
DemoLine startDemoLine(PortNames &)
{
    return DemoLine();
}
#endif
