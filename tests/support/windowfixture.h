#pragma once
// A main window on a fake port with scripted dialogs, started as the program
// starts it.
#include "window/frmSerial.h"
#include "window/windowseam.h"
#include "fakeport.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"
#include "replyframe.h"
#include "scripteddialogs.h"

#include <QComboBox>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <ostream>
#include <memory>

// Readable QString values in test failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// Bytes from a list of values.
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// The text a control shows: label, text box, log box, combo box or button.
QString controlText(const QWidget &window, const char *name);

// What every window fixture offers its tests: the controls by name, their
// texts, the pages. The fixture owns the window `w`.
class WindowFixture : public ::testing::Test
{
protected:
    std::unique_ptr<frmSerial> w;

    template <class T = QWidget>
    T *ctl(const char *name) const
    {
        T *c = w->findChild<T *>(QString::fromUtf8(name));
        EXPECT_NE(c, nullptr) << "no control " << name;
        return c;
    }

    QString text(const char *name) const { return controlText(*w, name); }
    QString text(const QString &name) const { return text(name.toUtf8().constData()); }

    void showPage(int page) { ctl<QTabWidget>("SSTab1")->setCurrentIndex(page); }

    // Puts the cycle's variables into a test's starting state.
    void setVars(const std::function<void(CycleVars &)> &change)
    {
        CycleVars v = w->vars();
        change(v);
        WindowSeam::restore(*w, v);
    }
    void showPage(Page page) { showPage(int(page)); }
};

class WindowTest : public WindowFixture
{
protected:
    FakePort port;
    ScriptedDialogs dialogs;

    void SetUp() override
    {
        w = std::make_unique<frmSerial>(port, dialogs);
        w->Form_Load();
    }


    // Scans COM3 and opens it: the connection controls are enabled and the
    // exchange cycle runs (ticks are driven by the test).
    void openPort()
    {
        port.existing = {3};
        w->Timer1_Timer();
        w->BTNOpenCom_Click();
        ASSERT_TRUE(port.open);
    }

    // A port open and the reader at `address` selected and identified, so
    // the next tick polls it.
    void connectToReader(int address)
    {
        openPort();
        selectAddress(address);
        setVars([&](CycleVars &v) { v.last_net = quint8(address); });
    }

    // Replaces the address list as a reader search would and selects `address`.
    void selectAddress(int address)
    {
        auto *box = ctl<QComboBox>("CmbNet");
        box->clear();
        box->addItem(QString::number(address));
        box->setCurrentIndex(0);
    }

    // One tick of the exchange cycle in which `reply` arrives; with none,
    // the read's time-out passes at once.
    void tick(const QByteArray &reply = {})
    {
        if (!reply.isEmpty())
            port.replies.push_back(reply);
        w->TMRComm_Timer();
        WindowSeam::runner(*w).endReadNow();
    }


    QByteArray lastWritten() const { return port.written.isEmpty() ? QByteArray() : port.written.last(); }
};
