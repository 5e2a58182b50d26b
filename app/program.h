#pragma once
// The program assembled in one place: the port names, the demo line when
// asked for, the dialogs, the serial port and the main window. main, the
// screenshot tool and the benchmark all start it this way.
#include "app/frmSerial.h"
#include "app/startup.h"
#include "serial/portnames.h"
#include "serial/serialport.h"
#include "ui/dialogs.h"

#include <memory>

class Program
{
public:
    // `dialogs` replaces the real message and input boxes (the benchmark's
    // silent ones); null for the real ones.
    explicit Program(bool demo, Dialogs *dialogs = nullptr);
    ~Program();

    // False when the demo line was asked for and could not be had.
    bool ready() const { return window_ != nullptr; }
    frmSerial &window() { return *window_; }
    // The demo line, or null without one.
    DemoLine &demo() { return demo_; }

private:
    PortNames names_;
    DemoLine demo_;
    QtDialogs realDialogs_;
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<frmSerial> window_;
};
