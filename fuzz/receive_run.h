#pragma once
// One run of the receive target: arbitrary bytes from the line, in a window
// state the operator can bring about. The exchange cycle must take every
// reception without a crash, an out-of-bounds read or undefined behaviour,
// and must only ever send well-formed requests. The input layout is
// ReceiveSetup. Shared by fuzz_receive and the regression tests.
#include "fuzzwindow.h"
#include "window/windowseam.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QTabWidget>

namespace fuzz {

class ReceiveTarget
{
public:
    Outcome run(const uint8_t *data, size_t size)
    {
        const ReceiveSetup setup = ReceiveSetup::decode(data, size);
        prepare(setup);
        frmSerial &w = *window_.w;
        FakePort &port = window_.port;

        Outcome outcome;
        for (int i = 0; i < setup.receptions.size(); ++i) {
            const QByteArray &reception = setup.receptions.at(i);
            const bool late = setup.lateMask & (1 << i);
            port.replies.clear();
            if (!late && !reception.isEmpty())
                port.replies.push_back(reception);
            w.TMRComm_Timer();
            if (late && !reception.isEmpty())
                port.arriveNow(reception);
            // The read's time-out, at once: the target decides what came.
            WindowSeam::runner(w).endReadNow();
            for (const QByteArray &sent : port.written) {
                if (!outcome)
                    outcome = expectRequests("a tick wrote a malformed request", sent);
            }
            port.written.clear();
            // Left pending by the tick: the identification after a reader search.
            if (!outcome)
                outcome = expectRequests("a tick left a malformed request pending", w.vars().wrs);
            if (outcome || !port.open)
                break; // a write failed and closed the port: no more ticks
        }
        settle();
        return outcome;
    }

private:
    void prepare(const ReceiveSetup &s)
    {
        frmSerial &w = *window_.w;
        FakePort &port = window_.port;

        // A write error of the previous run closed the port: open it again,
        // as the operator would before anything else can arrive.
        port.writeFails = false;
        window_.forgetBoxes();
        if (!port.open)
            window_.openPort();

        tabs_->setCurrentIndex(s.page);
        const QString tagMode = QString::fromLatin1(TagModeTexts[s.tagMode]);
        if (tagMode_->text() != tagMode)
            tagMode_->setText(tagMode);

        // Refilling the list costs more than a whole tick; most runs want
        // the list the previous run left.
        QStringList entries;
        for (quint8 a : s.addresses)
            entries << QString::number(a);
        QStringList shown;
        for (int i = 0; i < addressBox_->count(); ++i)
            shown << addressBox_->itemText(i);
        if (shown != entries) {
            addressBox_->clear();
            addressBox_->addItems(entries);
        }
        switch (s.selection) {
        case ReceiveSetup::First:
            addressBox_->setCurrentIndex(s.addresses.isEmpty() ? -1 : 0);
            break;
        case ReceiveSetup::None:
            addressBox_->setCurrentIndex(-1);
            break;
        case ReceiveSetup::Last:
            addressBox_->setCurrentIndex(int(s.addresses.size()) - 1);
            break;
        case ReceiveSetup::Typed:
            // Typed over the list: may or may not name an entry.
            addressBox_->setEditText(QString::number(s.addresses.isEmpty() ? 0 : s.addresses.front() + 1));
            break;
        }

        CycleVars v = w.vars();
        v.wrs.clear();
        v.net_opr = s.netOpr ? -1 : 0;
        v.mode_yes = quint8(s.modeYes);
        v.tag_read = s.tagRead ? 1 : 0;
        v.no_data = s.noData ? -1 : 0;
        v.last_msg.clear();
        v.CointWrs = s.bridgeToggle ? 1 : 0;
        const auto address = w.currentAddress();
        v.last_net = s.identified && address ? *address : quint8(address ? *address + 1 : 0);
        WindowSeam::restore(w, v);

        port.written.clear();
        port.replies.clear();
        port.writeFails = s.unplugged;
    }

    FuzzWindow window_;
    QTabWidget *tabs_ = window_.ctl<QTabWidget>("SSTab1");
    QComboBox *addressBox_ = window_.ctl<QComboBox>("CmbNet");
    QLineEdit *tagMode_ = window_.ctl<QLineEdit>("ModeMetki");
};

} // namespace fuzz
