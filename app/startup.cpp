#include "app/startup.h"

#include "serial/portnames.h"
#ifdef RFID_DEMO_LINE
#include "sim/simline.h"
#endif
#include "widgets/artwork.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QIcon>

#include <cstdlib>

void applyProgramLook()
{
    QApplication::setApplicationName(QStringLiteral("rfid-service"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(artwork::appIcon());
}

#ifdef RFID_DEMO_LINE

SimLine &DemoLine::line()
{
    return host->line();
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

#else

// A build without the simulated line: SimHost is never made, so the empty
// unique_ptr needs only a deleter that is never called.
class SimHost
{
};

SimLine &DemoLine::line()
{
    std::abort();
}

DemoLine startDemoLine(PortNames &)
{
    return DemoLine();
}

#endif

// Here, where SimHost is complete.
DemoLine::DemoLine() = default;
DemoLine::DemoLine(DemoLine &&) noexcept = default;
DemoLine &DemoLine::operator=(DemoLine &&) noexcept = default;
DemoLine::~DemoLine() = default;
