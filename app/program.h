#pragma once
// The program assembled in one place: its look and Qt's own texts, the port
// names, the demo line when asked for, the dialogs, the serial port and the
// main window, and the one start and stop sequence. main, the screenshot tool
// and the benchmark all start and stop it this way, so they cannot drift apart.
#include "app/startup.h"
#include "serial/portnames.h"
#include "serial/lineport.h"
#include "widgets/dialogs.h"
#include "window/frmSerial.h"

#include <memory>

class Program
{
public:
    // Needs the QApplication. `dialogs` replaces the real message and input
    // boxes (the benchmark's silent ones); null for the real ones.
    explicit Program(bool demo, Dialogs *dialogs = nullptr);
    // Stops the program if start() ran and stop() did not.
    ~Program();

    // False when the demo line was asked for and could not be had.
    bool ready() const { return window_ != nullptr; }
    frmSerial &window() { return *window_; }
    // The demo line, or null without one.
    DemoLine &demo() { return demo_; }

    // The window's load (splash, start values, port scan); on the demo line
    // its port is selected before the first scan.
    void start();
    // The window's end: the port is closed and its lock released.
    void stop();

private:
    PortNames names_;
    DemoLine demo_;
    QtDialogs realDialogs_;
    std::unique_ptr<LinePort> port_;
    std::unique_ptr<frmSerial> window_;
    bool running_ = false;
};
