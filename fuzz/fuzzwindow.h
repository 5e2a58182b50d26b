#pragma once
// The main window as the fuzz targets drive it: Qt on its offscreen platform,
// the window started and its port opened as the operator does it, with both
// timers stopped so that the target decides when the exchange cycle ticks.
#include "window/frmSerial.h"
#include "harness.h"
#include "tests/support/fakeport.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QTimer>

#include <memory>
#include <optional>

namespace fuzz {

// A rule a run broke, with the bytes concerned; the fuzz targets abort on
// it, the regression tests report it.
struct Violation {
    const char *rule = nullptr;
    QByteArray bytes;
};
using Outcome = std::optional<Violation>;

inline Outcome expectRequests(const char *rule, const QByteArray &bytes)
{
    if (wellFormedRequests(bytes))
        return std::nullopt;
    return Violation{rule, bytes};
}

// One QApplication for the life of the process; libFuzzer's own arguments
// are kept away from it.
inline void startQt()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every tick stamps the exchange log with the local time; with no zone
    // given the C library looks at /etc/localtime again each time.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", "UTC");
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

// Delivers what the widgets posted to themselves during a run (layout
// requests, deferred deletes). Nothing else runs the event loop, and left
// alone these would pile up from run to run.
inline void settle()
{
    QCoreApplication::sendPostedEvents();
}

class FuzzWindow
{
public:
    FakePort port;
    ScriptedDialogs dialogs;
    std::unique_ptr<frmSerial> w;

    FuzzWindow()
    {
        port.existing = {3};
        w = std::make_unique<frmSerial>(port, dialogs);
        w->Form_Load();
        w->Timer1_Timer(); // the port scan finds COM3
        openPort();
        settle();
    }

    // What the boxes of the previous run recorded: nobody reads it.
    void forgetBoxes()
    {
        dialogs.messages.clear();
        dialogs.questions.clear();
        dialogs.inputs.clear();
    }

    // The open button; again after a write error has closed the port.
    void openPort()
    {
        w->BTNOpenCom_Click();
        w->Timer1()->stop();
        w->TMRComm()->stop();
        if (!port.open)
            fail("the port did not open", QByteArray());
    }

    template <class T>
    T *ctl(const char *name) const
    {
        T *c = w->findChild<T *>(QString::fromUtf8(name));
        if (!c)
            fail(name, QByteArray());
        return c;
    }
};

} // namespace fuzz
