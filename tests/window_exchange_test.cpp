// The exchange cycle on a fake port: automatic polls, dispatch, silence,
// write errors, and the display of the reader's replies.
#include "support/testnames.h"
#include "support/windowfixture.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QThread>

class ExchangeTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        connectToReader(5);
    }
};

TEST_F(ExchangeTest, ReaderPagePollsReaderDataEveryTick)
{
    showPage(0);
    tick();
    tick();
    ASSERT_EQ(port.written.size(), 2);
    EXPECT_EQ(port.written.at(0), proto::buildRequest(5, 0xF0));
    EXPECT_EQ(port.written.at(1), proto::buildRequest(5, 0xF0));
    EXPECT_TRUE(w->vars().wrs.isEmpty());
}

TEST_F(ExchangeTest, BridgePageAlternatesSlaveDataAndRs485StartingWithData)
{
    showPage(2);
    for (int i = 0; i < 4; ++i)
        tick();
    ASSERT_EQ(port.written.size(), 4);
    EXPECT_EQ(port.written.at(0), bytes({0x31, 0x05, 0xE8, 0xA1}));
    EXPECT_EQ(port.written.at(1), bytes({0x31, 0x05, 0x06, 0x57}));
    EXPECT_EQ(port.written.at(2), bytes({0x31, 0x05, 0xE8, 0xA1}));
    EXPECT_EQ(port.written.at(3), bytes({0x31, 0x05, 0x06, 0x57}));
}

TEST_F(ExchangeTest, TagPagePollsForTheTagInTheField)
{
    showPage(1);
    tick();
    EXPECT_EQ(lastWritten(), bytes({0x31, 0x05, 0xE0, 0x7A, 0x7A, 0x7A, 0x7A, 0xF9}));
}

TEST_F(ExchangeTest, PendingRequestGoesOutInsteadOfThePoll)
{
    setVars([&](CycleVars &v) { v.wrs = proto::buildRequest(5, 0xE7); });
    tick();
    EXPECT_EQ(lastWritten(), proto::buildRequest(5, 0xE7));
}

TEST_F(ExchangeTest, AnotherAddressIsIdentifiedFirst)
{
    setVars([&](CycleVars &v) { v.wrs = proto::buildRequest(5, 0xE7); });
    selectAddress(7);
    tick();
    EXPECT_EQ(lastWritten(), proto::buildRequest(7, 0xFC));
    EXPECT_EQ(w->vars().last_net, 7);
    tick();
    EXPECT_EQ(lastWritten(), proto::buildRequest(7, 0xF0));
}

TEST_F(ExchangeTest, NoAddressSelectedMeansNoPoll)
{
    ctl<QComboBox>("CmbNet")->setEditText("abc");
    tick();
    EXPECT_TRUE(port.written.isEmpty());
}

struct Confirmation {
    quint8 code;
    const char *status;
};

class ConfirmationTest : public ExchangeTest, public ::testing::WithParamInterface<Confirmation> {};

TEST_P(ConfirmationTest, ShowsItsMessageAfterRestoringTheSavedStatus)
{
    ctl<QLabel>("MsgCom")->setText("before");
    tick();
    tick();
    EXPECT_EQ(text("MsgCom"), "Нет данных со считывателя с номером 5");
    EXPECT_EQ(w->vars().last_msg, "before");
    tick(replyFrame(5, GetParam().code, bytes({0x02})));
    EXPECT_EQ(text("MsgCom"), QString::fromUtf8(GetParam().status));
    EXPECT_EQ(w->vars().no_data, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ConfirmationTest,
    ::testing::Values(Confirmation{0xE1, "Считаны параметры метки."},
                      Confirmation{0xFA, " Установлен нижний уровень."},
                      Confirmation{0xF2, " Установлен новый режим."},
                      Confirmation{0xF5, " Установлен верхний уровень."},
                      Confirmation{0xFB, " Установлен сетевой номер."},
                      Confirmation{0xF8, " Установлено кол. усреднение."},
                      Confirmation{0xF3, " Снято усреднение."},
                      Confirmation{0xF6, "Установлен серийный номер."},
                      Confirmation{0xFD, "Изменена инверсия."},
                      // Codes outside the table: the restored status stays.
                      Confirmation{0xF4, "before"}, Confirmation{0xE9, "before"},
                      Confirmation{0x42, "before"}),
    [](const auto &info) { return "Code" + hexName(info.param.code); });

TEST_F(ExchangeTest, SilenceShowsThePageMessage)
{
    const struct {
        int page;
        QString status;
    } pages[] = {{0, "Нет данных со считывателя с номером 5"},
                 {1, "Нет связи с меткой "},
                 {2, "Нет связи с удаленным считывателем"}};
    for (const auto &p : pages) {
        showPage(p.page);
        tick();
        EXPECT_EQ(text("MsgCom"), p.status);
    }
}

TEST_F(ExchangeTest, ModeConfirmationShowsTheModeInForce)
{
    tick(replyFrame(5, 0xF2, bytes({0xC0})));
    EXPECT_TRUE(ctl<QRadioButton>("R485")->isChecked());
    EXPECT_TRUE(ctl<QCheckBox>("iinv")->isChecked());
    EXPECT_TRUE(ctl<QCheckBox>("usredn")->isChecked());
    EXPECT_EQ(w->vars().mode_yes, 0);
}

TEST_F(ExchangeTest, ShortAndNonFrameReceptionsTakeTheSearchPath)
{
    for (const QByteArray &r : {bytes({0x3E, 0x05, 0xF0}), bytes({0x00, 0x3E, 0x05, 0xF0, 0x11})}) {
        selectAddress(5);
        setVars([&](CycleVars &v) { v.net_opr = 0; });
        tick(r);
        EXPECT_EQ(ctl<QComboBox>("CmbNet")->count(), 1) << "no search running: list unchanged";
        setVars([&](CycleVars &v) { v.net_opr = -1; });
        tick(r);
        EXPECT_EQ(w->vars().net_opr, 0);
        EXPECT_EQ(ctl<QComboBox>("CmbNet")->count(), r.size());
    }
}

TEST_F(ExchangeTest, SearchAnswerRefillsTheAddressListAndIdentifiesTheFirst)
{
    w->Opros_Click();
    tick();
    EXPECT_EQ(lastWritten(), bytes({0x31, 0xFF, 0xDC}));
    tick(bytes({0x05, 0x07, 0x0C}));
    auto *list = ctl<QComboBox>("CmbNet");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(2), "12");
    EXPECT_EQ(list->currentText(), "5");
    EXPECT_EQ(text("netdev"), "5 7 12 ");
    EXPECT_EQ(text("MsgCom"), "Произошел опрос сети.");
    EXPECT_EQ(w->vars().net_opr, 0);
    tick();
    EXPECT_EQ(lastWritten(), proto::buildRequest(5, 0xFC));
}

TEST_F(ExchangeTest, SearchAnswerOfTwentyBytesIsIgnored)
{
    setVars([&](CycleVars &v) { v.net_opr = -1; });
    tick(QByteArray(20, char(9)));
    EXPECT_EQ(ctl<QComboBox>("CmbNet")->count(), 1);
    EXPECT_EQ(w->vars().net_opr, 0);
}

TEST_F(ExchangeTest, WriteErrorClosesThePort)
{
    port.writeFails = true;
    tick();
    EXPECT_EQ(dialogs.messages, QStringList{"Ошибка записи в порт"});
    EXPECT_FALSE(port.open);
    EXPECT_FALSE(w->TMRComm()->isActive());
    EXPECT_TRUE(w->vars().wrs.isEmpty());
    EXPECT_TRUE(ctl("BTNOpenCom")->isEnabled());
}

TEST_F(ExchangeTest, ReceiveDumpOnlyForRepliesUnderFiftyBytes)
{
    const QByteArray ident = replyFrame(5, 0xFC, bytes({0x01, 0, 0, 0, 134, 0}));
    tick(ident);
    EXPECT_TRUE(text("txtRec").startsWith("3E 5 FC 1 0 0 0 86 0 "));
    const QString before = text("txtRec");
    tick(QByteArray(50, char(0x3E)));
    EXPECT_EQ(text("txtRec"), before);
}

TEST_F(ExchangeTest, IdentificationShowsSerialAndVersion)
{
    const struct {
        QByteArray reply;
        QString sn, vv;
    } cases[] = {
        {replyFrame(5, 0xFC, bytes({0x40, 0xE2, 0x01, 0x00, 134, 0})), "123456", "1.3.4."},
        {replyFrame(5, 0xFC, bytes({0x01, 0, 0, 0, 134, 2})), "1", "21.3.4."},
        {replyFrame(5, 0xFC, bytes({0x01, 0, 0, 0, 99, 0})), "1", "9.9.."},
        {replyFrame(5, 0xFC, bytes({0x02, 0, 0, 0})), "2", "9.9.."}, // no version: label kept
        {bytes({0x3E, 0x05, 0xFC, 0x01}), "????????", "9.9.."},
    };
    for (const auto &c : cases) {
        tick(c.reply);
        EXPECT_EQ(text("sn"), c.sn);
        EXPECT_EQ(text("vv"), c.vv);
    }
}

namespace {

// A reader data reply: temperature byte, level, current value, empty level,
// tag ID, k, and optionally the long form.
QByteArray readerData(quint8 temperature, quint16 level, quint32 current, bool longForm = false,
                      quint8 mode = 0, quint16 network = 0, quint8 channel = 0, quint8 power = 0)
{
    QByteArray p;
    p.append(char(temperature));
    p.append(char(level & 0xFF)).append(char(level >> 8));
    for (int i = 0; i < 4; ++i)
        p.append(char((current >> (8 * i)) & 0xFF));
    p += bytes({0x10, 0x27, 0, 0});         // empty level 10000
    p += bytes({0x0A, 0x00, 0xB2, 0x01});   // tag ID 1B2000A
    p += bytes({0x2A, 0x00});               // k 42
    if (longForm) {
        p.append(char(mode));
        p.append(char(network & 0xFF)).append(char(network >> 8));
        p.append(char(channel)).append(char(power));
    }
    return replyFrame(5, 0xF0, p);
}

} // namespace

TEST_F(ExchangeTest, ReaderDataShowsLiveValues)
{
    tick(readerData(0x1E, 700, 123456));
    EXPECT_EQ(text("tek"), "123456");
    EXPECT_EQ(text("temp"), "30 °C");
    EXPECT_EQ(text("uroven"), "700");
    EXPECT_EQ(ctl<QProgressBar>("ProgressBar1")->value(), 700);
    EXPECT_EQ(text("ne"), "5");
    EXPECT_EQ(text("lo"), "10000");
    EXPECT_EQ(text("hi"), "1B2000A");
    EXPECT_EQ(text("ko"), "42");
}

TEST_F(ExchangeTest, ReaderTemperatureIsTwosComplement)
{
    const struct {
        quint8 byte;
        const char *shown;
    } cases[] = {{0xFF, "-1 °C"}, {0x80, "-128 °C"}, {0x1E, "30 °C"}, {0x00, "0 °C"}, {0x7F, "127 °C"}};
    for (const auto &c : cases) {
        tick(readerData(c.byte, 1, 1));
        EXPECT_EQ(text("temp"), QString::fromUtf8(c.shown));
    }
}

TEST_F(ExchangeTest, ReaderDataWithZeroCurrentOrHighLevelLeavesParts)
{
    tick(readerData(0x1E, 700, 5));
    tick(readerData(0x20, 1024, 0));
    EXPECT_EQ(text("temp"), "30 °C");
    EXPECT_EQ(text("uroven"), "700");
    tick(readerData(0x20, 1024, 9));
    EXPECT_EQ(text("uroven"), "1024");
    EXPECT_EQ(ctl<QProgressBar>("ProgressBar1")->value(), 700);
}

TEST_F(ExchangeTest, ReaderDataWithBadChecksumOrCutShortChangesNothing)
{
    QByteArray bad = readerData(0x1E, 700, 123456);
    bad[bad.size() - 1] = char(bad.back() ^ 0x55);
    const QString initial = text("tek");
    tick(bad);
    EXPECT_EQ(text("tek"), initial);
    const QByteArray full = readerData(0x1E, 700, 123456, true, 2, 1, 1, 10);
    for (int n = 4; n < full.size(); ++n) {
        if (n == 21)
            continue; // the short form is complete at 21 bytes
        QByteArray cut = full.left(n - 1);
        cut.append(char(proto::crc8(cut)));
        tick(cut);
        EXPECT_EQ(text("tek"), initial) << n;
    }
}

TEST_F(ExchangeTest, ModeAndRadioParametersLoadOnceFromTheSecondLongReply)
{
    setVars([&](CycleVars &v) { v.mode_yes = 2; });
    const QByteArray reply = readerData(0x1E, 1, 1, true, 0x41, 300, 7, 20);
    tick(reply);
    EXPECT_EQ(text("MsgCom"), "Приняты данные");
    EXPECT_EQ(text("num_net"), "0");
    tick(reply);
    EXPECT_EQ(text("num_net"), "300");
    EXPECT_EQ(text("n_kan"), "7");
    EXPECT_EQ(text("ppow"), "20");
    EXPECT_TRUE(ctl<QRadioButton>("R_f")->isChecked());
    EXPECT_TRUE(ctl<QCheckBox>("usredn")->isChecked());
    EXPECT_EQ(w->vars().mode_yes, 0);
    ctl<QLineEdit>("num_net")->setText("11");
    tick(reply);
    EXPECT_EQ(text("num_net"), "11");
}

TEST_F(ExchangeTest, DrumRotationFollowsTheTagMode)
{
    ctl<QLineEdit>("ModeMetki")->setText("4");
    const struct {
        quint8 state;
        const char *caption;
        const char *picture;
    } cases[] = {{0, "СТОП", "Image3"}, {1, "ЛЕВОЕ", "Image1"}, {2, "ПРАВОЕ", "Image2"}};
    for (const auto &c : cases) {
        tick(readerData(c.state, 1, 1));
        EXPECT_EQ(text("vraa"), QString::fromUtf8(c.caption));
        EXPECT_TRUE(ctl(c.picture)->isVisibleTo(w.get()));
        EXPECT_TRUE(ctl("Image6")->isVisibleTo(w.get()));
        EXPECT_TRUE(ctl("vra")->isVisibleTo(w.get()));
    }
    ctl<QLineEdit>("ModeMetki")->setText("2");
    tick(readerData(1, 1, 1));
    EXPECT_FALSE(ctl("vra")->isVisibleTo(w.get()));
    EXPECT_FALSE(ctl("vraa")->isVisibleTo(w.get()));
}

TEST_F(ExchangeTest, BoundIdTableFillsAllTenCells)
{
    QByteArray p;
    for (int k = 0; k < 10; ++k)
        p += bytes({0x3C, 0xAB, 0x12, k});
    tick(replyFrame(5, 0xE6, p));
    EXPECT_EQ(w->m1(0)->text(), "012AB3C");
    EXPECT_EQ(w->m1(9)->text(), "912AB3C");
    tick(replyFrame(5, 0xE6, p.left(20)));
    EXPECT_EQ(w->m1(0)->text(), "012AB3C");
}

TEST_F(ExchangeTest, AdditionalParametersFillTheDelay)
{
    for (quint8 code : {0xF1, 0xF7}) {
        ctl<QLineEdit>("Zad2")->setText("0");
        tick(replyFrame(5, code, bytes({0xE8, 0x03})));
        EXPECT_EQ(text("Zad2"), "1000");
        EXPECT_EQ(text("MsgCom"), "Приняты доп. параметры считывателя");
    }
}

// --- No tick inside a box -----------------------------------------------------

TEST_F(ExchangeTest, ASearchAnswerArrivingUnderTheAddressBoxMovesThePickedReader)
{
    selectAddress(7);
    setVars([&](CycleVars &v) { v.last_net = 7; });
    w->Opros_Click();
    tick(); // the search goes out
    port.replies.push_back(bytes({200}));
    const int writes = int(port.written.size());
    // The box's own event loop keeps the tick timer running.
    dialogs.whileOpen = [this] { tick(); };
    dialogs.inputAnswers = {"150"};
    w->net_Click();
    dialogs.whileOpen = nullptr;

    EXPECT_EQ(port.written.size(), writes) << "nothing went on the line under the box";
    EXPECT_EQ(text("CmbNet"), "7");
    EXPECT_EQ(w->vars().wrs, proto::buildRequest(7, 0xFB, bytes({150})));
    tick(); // the search answer is read now, after the box
    EXPECT_EQ(lastWritten(), proto::buildRequest(7, 0xFB, bytes({150})));
}

TEST_F(ExchangeTest, APortLostUnderABoxDropsTheRequestBuiltFromItsAnswer)
{
    selectAddress(0);
    setVars([&](CycleVars &v) { v.last_net = 0; });
    dialogs.whileOpen = [this] { port.hangUp(); };
    dialogs.inputAnswers = {"9"};
    w->net_Click();
    dialogs.whileOpen = nullptr;
    QCoreApplication::processEvents(); // the loss is dealt with once the handler is over

    EXPECT_EQ(dialogs.messages, QStringList{"Ошибка записи в порт"});
    EXPECT_TRUE(w->vars().wrs.isEmpty());
    EXPECT_TRUE(ctl("BTNOpenCom")->isEnabled());
    const int writes = int(port.written.size());
    w->BTNOpenCom_Click();
    tick();
    EXPECT_EQ(port.written.size(), writes + 1);
    EXPECT_NE(lastWritten(), proto::buildRequest(0, 0xFB, bytes({9}))) << "sent with no operator action";
}

// --- A handler acts between two whole ticks -------------------------------------
// Each tick below begins and then waits for its read (nothing has come yet);
// the technician acts meanwhile.

TEST_F(ExchangeTest, ACalibrationConfirmedWhileTheAdapterIsPulledNeverReachesTheReopenedLine)
{
    selectAddress(0); // as the address box shows it again after the port reopens
    setVars([&](CycleVars &v) { v.last_net = 0; });
    w->TMRComm_Timer(); // the tick waits for its read
    dialogs.whileOpen = [this] {
        port.hangUp();
        QThread::msleep(PortLayer::ReadTotalMs + 10); // the tick's read is over before the box closes
    };
    dialogs.yesNoAnswers = {true};
    w->low_Click();
    dialogs.whileOpen = nullptr;
    EXPECT_TRUE(port.written.isEmpty()) << "the waiting tick did not go on inside the handler";
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.messages, QStringList{"Ошибка записи в порт"});

    w->BTNOpenCom_Click();
    tick();
    tick();
    EXPECT_FALSE(port.written.contains(proto::buildRequest(0, 0xFA)));
}

TEST_F(ExchangeTest, TheTagsSerialNumberGoesToTheTagShownWhenTheTechnicianDecided)
{
    showPage(Page::Tag);
    tick(replyFrame(5, 0xE0, bytes({0, 0, 0, 1, 0x00, 0x12, 0xAB, 0x3C, 0x10})));
    w->TMRComm_Timer();
    // Another tag answers while the box is open, and is quiet before it closes.
    dialogs.whileOpen = [this] {
        port.replies.push_back(replyFrame(5, 0xE0, bytes({0, 0, 0, 1, 0x00, 0xA1, 0xB2, 0xC3, 0x10})));
    };
    dialogs.inputAnswers = {"100"};
    w->InstSN_Click();
    dialogs.whileOpen = nullptr;
    EXPECT_EQ(text("outID"), "012AB3C") << "nothing is shown inside the handler";
    QCoreApplication::processEvents();
    EXPECT_EQ(text("outID"), "0A1B2C3");
    EXPECT_EQ(w->vars().wrs, proto::buildRequest(5, 0xE2, bytes({0x00, 0x12, 0xAB, 0x3C, 0, 0, 0, 100})));
}

TEST_F(ExchangeTest, AModeSetWhileALongReplyIsReadIsNotUndoneByTheRepliesThatLeftBeforeIt)
{
    setVars([&](CycleVars &v) { v.mode_yes = 0; });
    port.replies.push_back(readerData(1, 1, 1, true, 0x02)); // the reader is in mode "Считыватель"
    tick();
    w->TMRComm_Timer();
    port.arriveNow(readerData(1, 1, 1, true, 0x02));
    qobject_cast<QRadioButton *>(ctl("R485"))->setChecked(true); // the technician picks "Мост"
    w->Set_mode_Click();
    WindowSeam::runner(*w).endReadNow();
    tick(readerData(1, 1, 1, true, 0x02)); // left the reader before the mode request
    EXPECT_EQ(lastWritten(), proto::buildRequest(5, 0xF2, bytes({0x00})));
    EXPECT_TRUE(qobject_cast<QRadioButton *>(ctl("R485"))->isChecked()) << "the old mode came back";
    tick(replyFrame(5, 0xF2, bytes({0x00})));
    tick(readerData(1, 1, 1, true, 0x00));
    tick(readerData(1, 1, 1, true, 0x00));
    EXPECT_TRUE(qobject_cast<QRadioButton *>(ctl("R485"))->isChecked());
}

TEST_F(ExchangeTest, ARequestMadeWhileTheSearchAnswerIsReadWinsOverTheIdentification)
{
    QVector<ExchangeRecord> log;
    QObject::connect(w.get(), &frmSerial::exchanged, [&](const ExchangeRecord &r) { log << r; });
    w->Opros_Click();
    tick(); // the search goes out
    w->TMRComm_Timer();
    port.arriveNow(bytes({5, 7}));
    dialogs.yesNoAnswers = {true};
    w->hig_Click();
    WindowSeam::runner(*w).endReadNow(); // the answer queues reader 5's identification...
    tick();                   // ...which the technician's request replaced
    EXPECT_EQ(lastWritten(), proto::buildRequest(5, 0xF5));
    ASSERT_FALSE(log.isEmpty());
    const auto notSent = std::find_if(log.begin(), log.end(), [](const ExchangeRecord &r) { return !r.sent; });
    ASSERT_NE(notSent, log.end());
    EXPECT_EQ(notSent->request, proto::buildRequest(5, 0xFC));
}

TEST_F(ExchangeTest, TheWriteErrorRowNamesTheRequestThatFailed)
{
    QVector<ExchangeRecord> log;
    QObject::connect(w.get(), &frmSerial::exchanged, [&](const ExchangeRecord &r) { log << r; });
    tick(); // 31 05 F0 goes out fine
    log.clear();
    w->ids_r_Click();
    port.writeFails = true;
    tick(readerData(1, 1, 1));
    const auto failed = std::find_if(log.begin(), log.end(), [](const ExchangeRecord &r) {
        return r.meaning == "Ошибка записи в порт";
    });
    ASSERT_NE(failed, log.end());
    EXPECT_EQ(failed->request, proto::buildRequest(5, 0xE7));
}

// --- What the technician sees belongs to the reader he picked ------------------

namespace {

struct StaleCase {
    const char *name;
    Page page;
    QByteArray reply;                          // what reader 5 reports on that page
    std::vector<std::pair<const char *, const char *>> shown; // control -> its start text
};

class StaleValues : public ExchangeTest, public ::testing::WithParamInterface<StaleCase>
{
protected:
    void fill()
    {
        auto *box = ctl<QComboBox>("CmbNet");
        box->clear();
        box->addItems({"5", "9"});
        box->setCurrentIndex(0);
        showPage(GetParam().page);
        tick(GetParam().reply);
        for (const auto &[name, start] : GetParam().shown)
            ASSERT_NE(text(name), start) << name << " was not filled";
    }
    void expectStartTexts()
    {
        for (const auto &[name, start] : GetParam().shown)
            EXPECT_EQ(text(name), start) << name;
    }
};

QByteArray idTable()
{
    QByteArray p;
    for (int k = 0; k < 10; ++k)
        p += bytes({0x3C, 0xAB, 0x12, k});
    return replyFrame(5, 0xE6, p);
}

} // namespace

TEST_P(StaleValues, GoBackToTheirStartTextsWhenAnotherReaderIsPicked)
{
    fill();
    ctl<QComboBox>("CmbNet")->setCurrentIndex(1);
    tick(); // the tick that finds reader 9 picked
    expectStartTexts();
}

TEST_P(StaleValues, GoBackToTheirStartTextsWhenThePortClosesAndOpensAgain)
{
    fill();
    w->BTNCloseCom_Click();
    w->BTNOpenCom_Click();
    expectStartTexts();
}

INSTANTIATE_TEST_SUITE_P(
    Pages, StaleValues,
    ::testing::Values(
        StaleCase{"BoundIdTable", Page::Reader, idTable(), {{"m1_0", "0"}, {"m1_9", "0"}}},
        StaleCase{"Delay", Page::Reader, replyFrame(5, 0xF1, bytes({0xE8, 0x03})), {{"Zad2", "0"}}},
        StaleCase{"Tag", Page::Tag, replyFrame(5, 0xE0, bytes({0, 0, 0, 1, 0x00, 0x12, 0xAB, 0x3C, 0x10})),
                  {{"outID", "0"}, {"SerNumMetki", "0"}, {"UrPr", "0"}}},
        StaleCase{"SlaveSensor", Page::Bridge, replyFrame(5, 0xE8, bytes({0x01, 0xE2, 0x40, 0x00, 0x19, 0x80, 0x04, 0xB0, 0x01, 0xA0})),
                  {{"sn_sl", "-"}, {"fr_sl", "нет"}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ExchangeTest, ADelayTheTechnicianTypedStaysWhenAnotherReaderIsPicked)
{
    auto *box = ctl<QComboBox>("CmbNet");
    box->clear();
    box->addItems({"5", "9"});
    box->setCurrentIndex(0);
    tick(replyFrame(5, 0xF1, bytes({0xE8, 0x03}))); // reader 5's delay
    auto *delay = ctl<QLineEdit>("Zad2");
    delay->setText("25"); // typed by the technician
    emit delay->textEdited("25");
    box->setCurrentIndex(1);
    EXPECT_EQ(text("Zad2"), "25");
}

TEST_F(ExchangeTest, TheAnswerToTheLastReadersRequestIsNotShownAsTheNewOnes)
{
    auto *box = ctl<QComboBox>("CmbNet");
    box->clear();
    box->addItems({"5", "9"});
    box->setCurrentIndex(0);
    tick();                                  // 31 05 F0 goes out
    box->setCurrentIndex(1);                 // the technician picks reader 9
    tick(readerData(0x1E, 700, 123456));     // reader 5 answers while 9 is identified
    EXPECT_EQ(lastWritten(), proto::buildRequest(9, 0xFC));
    EXPECT_EQ(text("tek"), "Нет данных");
}

TEST_F(ExchangeTest, NoTagHeardSinceAnotherReaderWasPickedNoTagIsAddressed)
{
    showPage(Page::Tag);
    tick(replyFrame(5, 0xE0, bytes({0, 0, 0, 1, 0x00, 0x12, 0xAB, 0x3C, 0x10})));
    selectAddress(9);
    dialogs.inputAnswers = {"100"};
    w->InstSN_Click();
    w->ReadParamMetki_Click();
    EXPECT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(w->vars().wrs.isEmpty());
}

TEST_F(ExchangeTest, ATypedAddressThatNamesNoReaderSaysNothingIsAsked)
{
    tick(readerData(0x1E, 700, 123456));
    auto *box = ctl<QComboBox>("CmbNet");
    box->setEditText("99");
    w->CmbNet_Change();
    tick();
    EXPECT_EQ(text("MsgCom"), "Запросов нет: выберите найденный адрес");
    EXPECT_EQ(text("tek"), "Нет данных");
    // The whole text fits the status label.
    auto *status = ctl<QLabel>("MsgCom");
    EXPECT_LE(status->heightForWidth(status->width()), status->height());
}

// --- The window's own effects, made while a tick waits -------------------------
// Each row clicks while a tick waits for its read and then lets the ticks run
// on; the wire and the window must be what they would be had the click come
// after that tick.

namespace {

class WaitingClick;

struct WaitingClickCase {
    const char *name;
    std::function<void(WaitingClick &)> run;
    QList<QByteArray> wire;                               // every request written
    std::vector<std::pair<const char *, QString>> shown;  // control -> its text
    QStringList messages;
    bool portOpen = true;
};

void PrintTo(const WaitingClickCase &c, std::ostream *os)
{
    *os << c.name;
}

class WaitingClick : public ExchangeTest, public ::testing::WithParamInterface<WaitingClickCase>
{
public:
    using WindowTest::dialogs;
    using WindowTest::port;
    using WindowTest::tick;
    using WindowFixture::w;
    using WindowFixture::ctl;

    QComboBox *addressBox() { return ctl<QComboBox>("CmbNet"); }
    // The list as a search leaves it, the first entry served.
    void list(const QStringList &addresses)
    {
        addressBox()->clear();
        addressBox()->addItems(addresses);
        addressBox()->setCurrentIndex(0);
        setVars([&](CycleVars &v) { v.last_net = quint8(addresses.first().toInt()); });
    }
    void page(Page p) { showPage(p); }
    void begin() { w->TMRComm_Timer(); }
    void endRead() { WindowSeam::runner(*w).endReadNow(); }
};

const QString NoTag = QStringLiteral("Метка не определена: дождитесь ответа метки на странице \"метка\"");
const QByteArray TagOf5 = replyFrame(5, 0xE0, bytes({0, 0, 0, 1, 0x00, 0x12, 0xAB, 0x3C, 0x10}));

QByteArray tagPoll(quint8 address)
{
    return proto::buildRequest(address, 0xE0, bytes({0x7A, 0x7A, 0x7A, 0x7A}));
}

} // namespace

TEST_P(WaitingClick, ActsAfterTheTick)
{
    GetParam().run(*this);
    EXPECT_EQ(port.written, GetParam().wire);
    for (const auto &[name, shown] : GetParam().shown)
        EXPECT_EQ(text(name), shown) << name;
    EXPECT_EQ(dialogs.messages, GetParam().messages);
    EXPECT_EQ(port.open, GetParam().portOpen);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WaitingClick,
    ::testing::Values(
        // The calibration confirmed between ticks goes out with the waiting
        // tick; the port closes after it.
        WaitingClickCase{"Close",
                         [](WaitingClick &t) {
                             t.dialogs.yesNoAnswers = {true};
                             t.w->low_Click();
                             t.begin();
                             t.w->BTNCloseCom_Click();
                             EXPECT_TRUE(t.port.open) << "closed inside the tick";
                             t.endRead();
                         },
                         {proto::buildRequest(5, 0xFA)},
                         {{"sn", "0"}, {"tek", "Нет данных"}, {"MsgCom", ""}},
                         {},
                         false},
        // Reader 5's reply read after the pick of 7 is shown, then cleared
        // by the tick that asks 7 who it is.
        WaitingClickCase{"Pick",
                         [](WaitingClick &t) {
                             t.list({"5", "7"});
                             t.begin();
                             t.addressBox()->setCurrentIndex(1);
                             t.port.arriveNow(readerData(0x1E, 321, 4242));
                             t.endRead();
                             t.tick();
                             t.tick();
                         },
                         {proto::buildRequest(5, 0xF0), proto::buildRequest(7, 0xFC), proto::buildRequest(7, 0xF0)},
                         {{"tek", "Нет данных"}, {"uroven", "Нет данных"}, {"ne", "Нет данных"},
                          {"vv", "--------"}, {"MsgCom", "Нет данных со считывателя с номером 7"}},
                         {}},
        // 12 -> 7 -> 12 within one tick: reader 12 stays as identified.
        WaitingClickCase{"QuickSwitch",
                         [](WaitingClick &t) {
                             t.list({"12", "7"});
                             t.tick(replyFrame(12, 0xFC, bytes({0x4C, 0x42, 0x0F, 0x00, 134, 0})));
                             t.begin();
                             t.addressBox()->setCurrentIndex(1);
                             t.addressBox()->setCurrentIndex(0);
                             t.endRead();
                             t.tick();
                         },
                         {proto::buildRequest(12, 0xF0), proto::buildRequest(12, 0xF0), proto::buildRequest(12, 0xF0)},
                         {{"sn", "1000012"}, {"vv", "1.3.4."}},
                         {}},
        // An old address typed while the search answer is read: the list
        // shows the reader found, and that reader is identified.
        WaitingClickCase{"TypedDuringSearchAnswer",
                         [](WaitingClick &t) {
                             t.list({"5", "7"});
                             t.w->Opros_Click();
                             t.tick();
                             t.begin();
                             t.addressBox()->setEditText("7");
                             t.w->CmbNet_Change();
                             t.port.arriveNow(bytes({5}));
                             t.endRead();
                             t.tick();
                         },
                         {proto::networkPollFrame(), proto::buildRequest(5, 0xF0), proto::buildRequest(5, 0xFC)},
                         {{"CmbNet", "5"}},
                         {}},
        // Reader 5's tag, read after the pick of 7, is no tag reader 7 heard.
        WaitingClickCase{"TagReadAfterPick",
                         [](WaitingClick &t) {
                             t.page(Page::Tag);
                             t.list({"5", "7"});
                             t.begin();
                             t.addressBox()->setCurrentIndex(1);
                             t.port.arriveNow(TagOf5);
                             t.endRead();
                             t.tick();
                             t.w->ReadParamMetki_Click();
                             t.tick();
                         },
                         {tagPoll(5), proto::buildRequest(7, 0xFC), tagPoll(7)},
                         {{"outID", "0"}},
                         {NoTag}},
        // The tag parameters are read after the tag reply the waiting tick
        // brings: the tag it reports is the one written to.
        WaitingClickCase{"TagParamsAfterTagReply",
                         [](WaitingClick &t) {
                             t.page(Page::Tag);
                             t.ctl<QLineEdit>("PowerMetki")->setText("3");
                             t.ctl<QLineEdit>("sleep_time")->setText("10");
                             t.begin();
                             t.port.arriveNow(TagOf5);
                             t.w->SetModesMetki_Click();
                             t.endRead();
                             t.tick();
                         },
                         {tagPoll(5), proto::buildRequest(5, 0xE1, bytes({0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 10}))},
                         {},
                         {}},
        // The refusal leaves nothing pending, not even a request made
        // before it in the same wait.
        WaitingClickCase{"InstSNRefused",
                         [](WaitingClick &t) {
                             t.begin();
                             t.w->ids_r_Click();
                             t.dialogs.inputAnswers = {"100"};
                             t.w->InstSN_Click();
                             t.endRead();
                             t.tick();
                         },
                         {proto::buildRequest(5, 0xF0), proto::buildRequest(5, 0xF0)},
                         {},
                         {NoTag}},
        // A typed address that names no reader is reported as such, before
        // the tag.
        WaitingClickCase{"InstSNWithNoReaderAddress",
                         [](WaitingClick &t) {
                             t.begin();
                             t.addressBox()->setEditText("99");
                             t.w->CmbNet_Change();
                             t.dialogs.inputAnswers = {"100"};
                             t.w->InstSN_Click();
                             t.endRead();
                             t.tick();
                         },
                         {proto::buildRequest(5, 0xF0)},
                         {},
                         {"Установите существующий сетевой адрес"}}),
    [](const auto &info) { return std::string(info.param.name); });
