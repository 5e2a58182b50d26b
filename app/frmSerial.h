#pragma once
// The main window: it owns every control, every window variable and every
// handler. Handlers live in the folder of their subsystem:
//   app/               start-up, port scan, open and close
//   exchange/          the exchange cycle and the display of replies
//   commands/reader/   reader commands
//   commands/tag/      tag and slave-sensor commands
//   ui/                control enabling by Tag, output log
// Byte-level work (frames, CRC, conversions, decoding) is in protocol/.
#include "exchange/exchangerecord.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

namespace Ui {
class frmSerial;
}
class Dialogs;
class PortLayer;
class QLabel;
class QTimer;
class Form2;
class ExchangeLog;
class ExchangeLogModel;

class frmSerial : public QWidget
{
    Q_OBJECT

public:
    frmSerial(PortLayer &port, Dialogs &dialogs, QWidget *parent = nullptr);
    ~frmSerial() override;

    // Window variables shared by the command handlers and the exchange cycle.
    QByteArray wrs;          // the pending request; empty = nothing pending
    qint16 net_opr = 0;      // -1 while a reader search waits for its answer
    quint8 mode_yes = 2;     // 2 load requested, 1 load on the next long reader data, 0 idle
    QString last_msg;        // status text saved when the line fell silent
    qint16 no_data = 0;      // -1 while ticks bring no bytes
    quint8 CointWrs = 0;     // 1: the next automatic bridge poll is 0x06, else 0xE8
    quint8 last_net = 0;     // address the identification request was last issued for
    quint8 tag_read = 0;     // 1 while a tag parameter read waits for the next tag poll reply
    double SplashTicks = 0;  // Timer1 ticks so far

    // The label array m1 (bound-ID table), index 0..9.
    QLabel *m1(int index) const;
    QTimer *Timer1() const { return timer1_; }
    QTimer *TMRComm() const { return tmrComm_; }
    Form2 *splash() const { return form2_; }

    // Start-up and connection (app/).
    void Form_Load();
    void Timer1_Timer();
    void BTNOpenCom_Click();
    void BTNCloseCom_Click();
    void Form_Terminate();

    // Exchange cycle (exchange/).
    void TMRComm_Timer();

    // Reader search and identification (commands/reader/).
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

    // Tag and slave-sensor commands (commands/tag/).
    void CMD_zapros_metki(quint32 SerialN, quint8 cmdd);
    void Find_metki_Click();
    void ReadParamMetki_Click();
    void SetModesMetki_Click();
    void InstSN_Click();
    void sl_zapros_Click();
    void zapr_data_sl_Click();

    // Control enabling by Tag (ui/).
    void SwitchTags();
    void CloseAllTags();
    void swtag130();
    void swtag131();
    void swtag134();

    // Output log (ui/).
    void PrintToWin(const QByteArray &wdd);
    void out_win(const QByteArray &sst);

    // Frames for the current address (commands/reader/).
    // The address of the selected CmbNet entry; none when no entry is
    // selected or its text is no number 0..255.
    std::optional<quint8> currentAddress() const;
    // The index of the selected CmbNet entry, -1 when none (also while the
    // operator has typed a text that is no entry of the list).
    int CmbNetListIndex() const;
    // 0x31, address, numcom, wdd, checksum; empty when there is no address.
    QByteArray form_zaprosa(const QByteArray &wdd, quint8 numcom) const;
    // HexStr2Dig with its messages and its dump in the output log; empty on
    // error.
    QByteArray HexStr2Dig(const QString &df);

signals:
    // After each tick that wrote or read anything: the previous tick's
    // request and the reply it got. The exchange log listens; the cycle does
    // not depend on anyone listening.
    void exchanged(const ExchangeRecord &record);

protected:
    void closeEvent(QCloseEvent *event) override; // Form_QueryUnload

private:
    // Display of the replies (exchange/).
    void showIdentification(const QByteArray &r);
    void showNetworkPoll(const QByteArray &r);
    void showAdditionalParams(const QByteArray &r);
    void showIdTable(const QByteArray &r);
    void showReaderData(const QByteArray &r);
    void showTagPoll(const QByteArray &r);
    void showTagData(const QByteArray &r);
    void showSlaveData(const QByteArray &r);
    void showSlaveRs485(const QByteArray &r);
    void dispatchReply(const QByteArray &r);
    void setStatus(const QString &text);

    // The show/hide rule of the mode option boxes (commands/reader/).
    void showModeOptions(bool visible);

    void reportExchange(const QByteArray &request, const QDateTime &sentAt, int roundTripMs,
                        const QByteArray &reply, const QString &meaning);
    void showExchangeLog();

    void connectHandlers();
    void applyTagRange(int from, int to, bool enable);

    std::unique_ptr<Ui::frmSerial> ui;
    PortLayer &port_;
    Dialogs &dialogs_;
    QTimer *timer1_ = nullptr;
    QTimer *tmrComm_ = nullptr;
    Form2 *form2_ = nullptr;

    // What the exchange log needs to pair a request with its reply.
    QByteArray sentRequest_;
    QDateTime sentAt_;
    QElapsedTimer sentClock_;
    bool statusSet_ = false; // the reply being processed set a status text
    ExchangeLogModel *logModel_ = nullptr;
    ExchangeLog *logWindow_ = nullptr;
};
