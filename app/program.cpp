#include "app/program.h"

#include "app/translations.h"
#include "window/portlist.h"

Program::Program(bool demo, Dialogs *dialogs)
{
    // Before the first widget: its style, and Qt's own texts in Russian.
    installQtTranslations();
    applyProgramLook();
    if (demo) {
        demo_ = startDemoLine(names_);
        if (!demo_.running())
            return;
    }
    port_ = std::make_unique<LinePort>(names_);
    window_ = std::make_unique<frmSerial>(*port_, dialogs ? *dialogs : realDialogs_);
    realDialogs_.setParent(window_.get());
}

Program::~Program()
{
    stop();
    // The window goes before the port it uses, and both before the line.
    window_.reset();
    port_.reset();
}

void Program::start()
{
    if (!window_ || running_)
        return;
    running_ = true;
    window_->Form_Load();
    if (demo_.running())
        preselectPort(*window_, demo_.portNumber);
}

void Program::stop()
{
    if (!running_)
        return;
    running_ = false;
    window_->Form_Terminate();
}
