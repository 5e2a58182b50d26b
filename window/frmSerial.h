#pragma once
// The main window: it owns every control and every handler. Handlers are
// grouped by subsystem in this folder:
//   lifecycle.cpp, portlist.cpp   start-up, port scan, open and close
//   TMRComm.cpp, *_replies.cpp    the exchange cycle's display of each reply
//   reader_*.cpp                  reader commands
//   tag_*.cpp                     tag and slave-sensor commands
//   tags.cpp, outputlog.cpp       control enabling by Tag, output log
// Byte-level work (frames, CRC, conversions, decoding) is in protocol/; the
// cycle and its variables are the engine's (exchange/).
#include "exchange/exchangecycle.h"
#include "exchange/exchangerecord.h"
#include "widgets/dialogs.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>
#include <optional>

namespace Ui {
class frmSerial;
}
class CycleRunner;
class PortLayer;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTimer;
class Form2;
class ExchangeLog;
class ExchangeLogModel;
class DiagnosticsWindow;
namespace linestats {
class LineStats;
}

class frmSerial : public QWidget
{
    Q_OBJECT

public:
    frmSerial(PortLayer &port, Dialogs &dialogs, QWidget *parent = nullptr);
    ~frmSerial() override;

    // The cycle's variables (wrs, net_opr, mode_yes, ...), as the exchange
    // engine holds them; the handlers change them through its verbs.
    const CycleVars &vars() const { return cycle_.vars(); }

    // The label array m1 (bound-ID table), index 0..9.
    QLabel *m1(int index) const;
    QTimer *Timer1() const { return timer1_; }
    QTimer *TMRComm() const { return tmrComm_; }
    Form2 *splash() const { return form2_; }

    // Start-up and connection (lifecycle.cpp).
    void Form_Load();
    void Timer1_Timer();
    void BTNOpenCom_Click();
    void BTNCloseCom_Click();
    void Form_Terminate();

    // Exchange cycle (TMRComm.cpp): starts a tick; the tick shows its reply
    // once the read is over, without the window ever waiting for the line.
    void TMRComm_Timer();

    // Reader search and identification (reader_*.cpp).
    void Opros_Click();
    QByteArray Zapros_ser_num() const;
    void CmbNet_Change();
    // Reader modes.
    void Set_mode_Click();
    void R_a_Click();
    void R_f_Click();
    void R_p_Click();
    void R_p485_Click();
    void R485_Click();
    void Out_modes(quint8 nn);
    // Radio and additional parameters.
    void param_Click();
    void Command2_Click();
    void RD_DP_Click();
    // Network address and serial number.
    void net_Click();
    void Command1_Click();
    void Set_ident_Click();
    // Level calibration.
    void hig_Click();
    void low_Click();
    // Bound-ID table.
    void ids_r_Click();
    void ids_clr_Click();
    void Command3_Click();

    // Tag and slave-sensor commands (tag_*.cpp).
    void CMD_zapros_metki(quint32 SerialN, quint8 cmdd);
    void Find_metki_Click();
    void ReadParamMetki_Click();
    void SetModesMetki_Click();
    void InstSN_Click();
    void sl_zapros_Click();
    void zapr_data_sl_Click();

    // Control enabling by Tag (tags.cpp).
    void SwitchTags();
    void CloseAllTags();
    void swtag130();
    void swtag131();
    void swtag134();

    // Output log.
    void PrintToWin(const QByteArray &wdd);
    void out_win(const QByteArray &sst);
    // The same, as a verb's display of the pending request once the verb
    // has taken effect.
    ExchangeCycle::Then printToWin();
    ExchangeCycle::Then outWin();
    ExchangeCycle::Then showInCommandBox();

    // Frames for the current address (reader_search.cpp).
    // The address of the selected CmbNet entry; none when no entry is
    // selected or its text is no number 0..255.
    std::optional<quint8> currentAddress() const;
    // The index of the selected CmbNet entry, -1 when none (also while the
    // operator has typed a text that is no entry of the list).
    int CmbNetListIndex() const;
    // The current address; with none the operator is told to pick one.
    std::optional<quint8> addressOrSay();
    void sayNoAddress();
    // A serial number typed into an input box, 0 to 2 000 000; with anything
    // else the operator is told the range.
    std::optional<quint32> serialNumberOrSay(const QString &answer);
    // 0x31, address, numcom, wdd, checksum; empty when there is no address.
    QByteArray form_zaprosa(const QByteArray &wdd, quint8 numcom) const;
    // HexStr2Dig with its messages and its dump in the output log; empty on
    // error.
    QByteArray HexStr2Dig(const QString &df);

    // A line behind an Ethernet gateway ("tcp://HOST:PORT",
    // "rfc2217://HOST:PORT"), offered in the port box after the COM ports for
    // this run and selected; false (and the technician told) when the name
    // is no such line.
    bool addNetworkLine(const QString &name);
    // F9 "Сетевая линия…": asks for the gateway's address.
    void askNetworkLine();

signals:
    // After each tick that wrote or read anything: the previous tick's
    // request and the reply it got. The exchange log listens; the cycle does
    // not depend on anyone listening.
    void exchanged(const ExchangeRecord &record);
    // An event of the line as a record of its own (`event` set): the port
    // opened, closed or lost, the counters reset, the exchange held by a
    // box. The log and the diagnostics take it beside the exchanges.
    void lineEvent(const ExchangeRecord &record);

protected:
    void closeEvent(QCloseEvent *event) override; // Form_QueryUnload

private:
    friend class WindowSeam;

    double SplashTicks = 0;  // Timer1 ticks so far

    // What the controls say at the start of a tick.
    Selection selection() const;
    // Display of a tick's outcome and of each reply (TMRComm.cpp, *_replies.cpp).
    void showOutcome(const TickOutcome &outcome);
    void showIdentification(const proto::Identification &id);
    void showNetworkPoll(const reply::NetworkPoll &poll);
    void showReaderData(const reply::ReaderData &reader);
    void showTagPoll(const reply::TagPoll &poll);
    void showTagData(const proto::TagData &t);
    void showSlaveData(const proto::SlaveData &s);
    // Runs `act` as if it ran between two whole ticks: at once between
    // ticks, else once the tick in progress has shown its reply, after the
    // verbs issued before it.
    void inOrder(std::function<void()> act);
    // The one place that decides another reader is shown: a tick found
    // another address selected than the one last served. Its identification
    // is asked by that tick; what the last reader reported goes.
    void anotherReaderShown();
    // Closing the port and resetting the window, at once.
    void closePort();
    // The values of one device (devicevalues.cpp): back to their start
    // texts when another device is picked or the port closes.
    std::vector<QLabel *> deviceLabels() const;
    std::vector<QLineEdit *> deviceBoxes() const;
    void rememberStartValues();
    void forgetDeviceValues();
    // A box filled by a device's reply, until the technician types into it.
    void showDeviceValue(QLineEdit *box, const QString &text);
    // False, and the technician told, while no tag reply has filled the
    // tag's ID since the last reset.
    bool tagHeardOrSay();
    // The device went away under an open port.
    void onLineLost();
    // A failed write or a lost device: "Ошибка записи в порт", port closed.
    void closeForLostLine();
    void dialogOpens();
    void dialogCloses();
    // Puts an event of the line on the record (lineEvent).
    void noteEvent(const QString &text, const QDateTime &at = QDateTime::currentDateTime());

    // The show/hide rule of the mode option boxes (reader_modes.cpp).
    void showModeOptions(bool visible);
    // Each mode's option button with the mode code it stands for.
    std::vector<std::pair<QRadioButton *, quint8>> modeButtons() const;

    void showExchangeLog();
    void showDiagnostics();

    void connectHandlers();
    void applyTagRange(int from, int to, bool enable);

    std::unique_ptr<Ui::frmSerial> ui;
    ExchangeCycle cycle_;
    PortLayer &port_;
    // Every box of the window goes through here: the cycle pauses while one is open.
    GuardedDialogs dialogs_;
    QTimer *timer1_ = nullptr;
    QTimer *tmrComm_ = nullptr;
    Form2 *form2_ = nullptr;
    CycleRunner *runner_ = nullptr;
    bool lineLostPending_ = false; // the device went away while a box was open
    QDateTime heldSince_;          // when a box began to hold the exchange up
    QHash<QWidget *, QString> startTexts_;
    QSet<QLineEdit *> fromDevice_;
    bool rotationShown_ = false;
    // The reader that relayed the tag last heard; none since the last reset.
    std::optional<quint8> tagHeardBy_;
    // The address the tick in progress serves.
    std::optional<quint8> servedAddress_;
    Selection tickSelection_;
    bool closeAfterTick_ = false; // "Закрыть порт" waits for the tick in progress

    ExchangeLogModel *logModel_ = nullptr;
    ExchangeLog *logWindow_ = nullptr;
    // Line diagnostics (F11): statistics and trends from the same records.
    linestats::LineStats *lineStats_ = nullptr;
    DiagnosticsWindow *diagWindow_ = nullptr;
    // Lines behind Ethernet gateways named in this run, in the order given.
    QStringList networkLines_;
};
