#include "app/program.h"

Program::Program(bool demo, Dialogs *dialogs)
{
    if (demo) {
        demo_ = startDemoLine(names_);
        if (!demo_.running())
            return;
    }
    port_ = std::make_unique<SerialPort>(names_);
    window_ = std::make_unique<frmSerial>(*port_, dialogs ? *dialogs : realDialogs_);
    realDialogs_.setParent(window_.get());
}

Program::~Program()
{
    // The window goes before the port it uses, and both before the line.
    window_.reset();
    port_.reset();
}
