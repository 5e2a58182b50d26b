#pragma once
// The main window on a simulated line, over a pseudo-terminal and the real
// serial module. Ticks are driven by the test; each waits until the line
// has taken in what the tick wrote.
#include "window/frmSerial.h"
#include "exchange/cyclerunner.h"
#include "windowfixture.h"
#include "scripteddialogs.h"
#include "serial/portnames.h"
#include "serial/serialport.h"
#include "sim/simline.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

// Runs the event loop for `ms`, as the program does between ticks.
inline void runEventsFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
}

// One tick of the exchange cycle, with the event loop running; returns once
// the line has handled the request written (`handled` counts them; or after
// 2 s when nothing valid went out) and its answer has come in.
inline void tickOnLine(frmSerial &w, const std::atomic<int> &handled, int settleMs = 10)
{
    const int before = handled;
    w.TMRComm_Timer();
    QElapsedTimer t;
    t.start();
    while ((WindowSeam::runner(w).busy() || handled == before) && t.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    runEventsFor(settleMs); // the reply's bytes on their way to the port
}

class LineTest : public WindowFixture
{
protected:
    static constexpr int PortNumber = 9;

    SimHost sim;
    PortNames names;
    ScriptedDialogs dialogs;
    std::unique_ptr<SerialPort> port;
    std::atomic<int> handled{0};

    // Readers on the line: the demo line with values that hold still, so
    // tests can compare them. Override to change them.
    virtual QVector<SimReader> readers() const
    {
        QVector<SimReader> r = SimLine::demoReaders();
        for (SimReader &reader : r)
            reader.live = false;
        return r;
    }

    void SetUp() override
    {
        for (const SimReader &r : readers())
            sim.line().addReader(r);
        ASSERT_TRUE(sim.start());
        QObject::connect(&sim.line(), &SimLine::requestHandled, &sim.line(),
                         [this] { ++handled; }, Qt::DirectConnection);
        names.setOverride(PortNumber, sim.line().devicePath());
        port = std::make_unique<SerialPort>(names);
        w = std::make_unique<frmSerial>(*port, dialogs);
        w->Form_Load();
        w->Timer1_Timer();
        auto *ports = w->findChild<QComboBox *>(QStringLiteral("CmbPort"));
        ports->setCurrentIndex(ports->findText(QStringLiteral("COM%1").arg(PortNumber)));
        w->BTNOpenCom_Click();
        ASSERT_TRUE(w->TMRComm()->isActive()) << dialogs.messages.join(QLatin1Char('|')).toStdString();
        w->TMRComm()->stop(); // the test drives the ticks
    }

    void TearDown() override { w.reset(); }

    static void runFor(int ms) { runEventsFor(ms); }
    void tick() { tickOnLine(*w, handled); }

    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            tick();
    }

    // Search the line and identify the first reader, as the operator does.
    void searchAndIdentify()
    {
        w->Opros_Click();
        ticks(4);
    }
};
