#include "sim/demoline.h"

#include "serial/portnames.h"
#include "sim/simline.h"

SimLine &DemoLine::line()
{
    return host->line();
}

DemoLine startDemoLine(PortNames &names)
{
    DemoLine demo;
    demo.host = std::make_shared<SimHost>();
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
