// A line that misbehaves, end to end: the window, the serial module, a
// pseudo-terminal and the simulated readers, with the faults a technician
// meets in the field (a pulled adapter, cut or noisy replies, floods,
// devices answering out of turn, a port held by another program, a reader
// gone quiet for a while).
#include "support/linefixture.h"
#include "support/windowfixture.h"

#include "exchange/exchangerecord.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"

#include "serial/inputqueue.h"

#include <QLabel>
#include <QPlainTextEdit>

#include <atomic>
#include <thread>
#include <vector>

namespace {


// Written into labels before a fault, so that any decoding shows.
const QString Marker = QStringLiteral("·");

const QStringList ReaderLabels = {"tek", "uroven", "lo", "hi", "ko", "ne", "temp", "sn", "vv"};

// The demo line (readers 5 and 7) with values that hold still, searched,
// the first reader identified and its modes loaded.
class FaultLine : public LineTest
{
protected:
    QVector<QByteArray> receptions; // what each tick read, when it read anything

    void SetUp() override
    {
        LineTest::SetUp();
        if (HasFatalFailure())
            return;
        QObject::connect(w.get(), &frmSerial::exchanged, w.get(), [this](const ExchangeRecord &r) {
            if (!r.reply.isEmpty())
                receptions << r.reply;
        });
        searchAndIdentify();
        for (int i = 0; i < 6 && w->vars().mode_yes != 0; ++i)
            tick();
        ASSERT_EQ(w->vars().mode_yes, 0);
        ASSERT_EQ(text("sn"), "1000123");
    }

    QString status() const { return text("MsgCom"); }
    QString received() const { return ctl<QPlainTextEdit>("txtRec")->toPlainText(); }

    QStringList addresses() const
    {
        QStringList items;
        auto *box = ctl<QComboBox>("CmbNet");
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }

    void selectAddress(const QString &address)
    {
        auto *box = ctl<QComboBox>("CmbNet");
        box->setCurrentIndex(box->findText(address));
    }

    void mark(const QStringList &labels)
    {
        for (const QString &name : labels)
            ctl<QLabel>(name.toUtf8().constData())->setText(Marker);
    }

    // The labels that no longer show the marker.
    QStringList rewritten(const QStringList &labels) const
    {
        QStringList out;
        for (const QString &name : labels)
            if (text(name) != Marker)
                out << name;
        return out;
    }

    // Lets the line fall silent after the reply already on its way.
    void silenceAfterLastReply()
    {
        sim.line().setSilent(true);
        tick();
    }
};

} // namespace

// --- The adapter is pulled out and put back ---------------------------------

TEST_F(FaultLine, UnpluggedAdapterClosesThePortAndReplugOpensItAgain)
{
    sim.line().unplug();
    // The hang-up reaches the window through the event loop, with no tick and
    // nothing pending: reported once, and the port no longer polled.
    QElapsedTimer waited;
    waited.start();
    while (dialogs.messages.isEmpty() && waited.elapsed() < 2000)
        runFor(5);
    runFor(300);

    EXPECT_EQ(dialogs.messages, QStringList{"Ошибка записи в порт"});
    EXPECT_FALSE(port->isOpen());
    EXPECT_FALSE(w->TMRComm()->isActive());
    EXPECT_TRUE(w->Timer1()->isActive()); // the port scan runs again
    EXPECT_TRUE(ctl("BTNOpenCom")->isEnabled());
    EXPECT_FALSE(ctl("BTNCloseCom")->isEnabled());
    EXPECT_EQ(addresses(), QStringList{"0"});
    EXPECT_EQ(text("sn"), "0");
    EXPECT_EQ(text("vv"), "--------");
    EXPECT_EQ(status(), "");
    EXPECT_TRUE(w->vars().wrs.isEmpty());

    // A scan while the adapter is away.
    w->Timer1_Timer();
    EXPECT_FALSE(port->isOpen());

    // The adapter comes back as a new device node, which the COM name now maps to.
    ASSERT_TRUE(sim.line().open());
    names.setOverride(PortNumber, sim.line().devicePath());
    w->Timer1_Timer();
    auto *ports = ctl<QComboBox>("CmbPort");
    const int entry = ports->findText(QStringLiteral("COM%1").arg(PortNumber));
    ASSERT_GE(entry, 0);
    ports->setCurrentIndex(entry);
    w->BTNOpenCom_Click();
    ASSERT_TRUE(w->TMRComm()->isActive());
    w->TMRComm()->stop();
    EXPECT_EQ(dialogs.messages.size(), 1);

    sim.line().clearRequests();
    // The address box went back to 0: its identification goes first and
    // would replace a search queued now.
    tick();
    searchAndIdentify();
    EXPECT_EQ(text("sn"), "1000123");
    tick();
    EXPECT_EQ(text("tek"), "15000");
    EXPECT_EQ(sim.line().requests().last(), proto::buildRequest(5, 0xF0));
}

TEST_F(FaultLine, ACalibrationConfirmedWhileTheLineHangsUpNeverReachesTheReopenedLine)
{
    // Address 0, as the address box shows it again after the port reopens:
    // nothing queued later replaces the calibration.
    auto *box = ctl<QComboBox>("CmbNet");
    box->clear();
    box->addItem(QStringLiteral("0"));
    box->setCurrentIndex(0);
    tick();
    sim.line().setSilent(true);
    w->TMRComm_Timer(); // the tick waits its whole read on the silent line
    dialogs.whileOpen = [this] {
        sim.line().unplug();
        QElapsedTimer waited; // the hang-up reaches the port while the box is open
        waited.start();
        while (port->isOpen() && waited.elapsed() < 2000)
            runFor(5);
        runFor(300); // the technician takes his time: the tick's read is over
    };
    dialogs.yesNoAnswers = {true};
    w->low_Click();
    dialogs.whileOpen = nullptr;
    runFor(300);
    EXPECT_EQ(dialogs.messages, QStringList{"Ошибка записи в порт"});

    ASSERT_TRUE(sim.line().open());
    sim.line().setSilent(false);
    sim.line().clearRequests();
    names.setOverride(PortNumber, sim.line().devicePath());
    w->Timer1_Timer();
    auto *ports = ctl<QComboBox>("CmbPort");
    ports->setCurrentIndex(ports->findText(QStringLiteral("COM%1").arg(PortNumber)));
    w->BTNOpenCom_Click();
    ASSERT_TRUE(w->TMRComm()->isActive());
    w->TMRComm()->stop();
    ticks(3);
    ASSERT_FALSE(sim.line().requests().isEmpty());
    EXPECT_FALSE(sim.line().requests().contains(proto::buildRequest(0, 0xFA)));
}

// "Закрыть порт" pressed while a tick waits for its read: the calibration that
// tick took reaches the reader, and only then does the port close.
TEST_F(FaultLine, ACloseDuringTheReadOfTheTickThatTookACalibrationSendsItFirst)
{
    sim.line().setSilent(true);
    tick(); // the reader's answer never comes: the next tick waits its whole read
    sim.line().clearRequests();
    dialogs.yesNoAnswers = {true};
    w->low_Click();
    w->TMRComm_Timer();
    ASSERT_TRUE(WindowSeam::runner(*w).busy());
    w->BTNCloseCom_Click();
    EXPECT_TRUE(port->isOpen()) << "closed under the waiting tick";
    QElapsedTimer waited;
    waited.start();
    while (port->isOpen() && waited.elapsed() < 2000)
        runFor(5);
    runFor(50); // the line takes in what came before the close
    EXPECT_FALSE(port->isOpen());
    EXPECT_EQ(sim.line().requests(), QVector<QByteArray>{proto::buildRequest(5, 0xFA)});
}

// --- Replies cut in two --------------------------------------------------------

namespace {

struct SplitCase {
    const char *name;
    Page page;
    const char *address;
    QStringList shown; // what the page's poll replies display
};

class SplitReplies : public FaultLine, public ::testing::WithParamInterface<SplitCase>
{
};

} // namespace

TEST_P(SplitReplies, CutPartsChangeNothingAndTheDisplayRecovers)
{
    const SplitCase &c = GetParam();
    selectAddress(c.address);
    showPage(c.page);
    ticks(4); // identification of the address, then the page's own polls

    sim.line().setSplitReplies(true);
    tick(); // the last whole reply; the one to this tick's request comes cut
    mark(c.shown);
    receptions.clear();

    tick();
    ASSERT_EQ(receptions.size(), 1);
    const QByteArray first = receptions.at(0);
    ASSERT_GE(first.size(), 3);
    EXPECT_EQ(quint8(first.at(0)), 0x3E);
    EXPECT_EQ(first.at(1), char(QByteArray(c.address).toInt()));
    EXPECT_EQ(rewritten(c.shown), QStringList()) << "a first part was decoded";

    ticks(4);
    ASSERT_EQ(receptions.size(), 5);
    for (int i = 1; i < receptions.size(); ++i)
        EXPECT_NE(quint8(receptions.at(i).at(0)), 0x3E) << "reception " << i;
    EXPECT_EQ(rewritten(c.shown), QStringList());
    EXPECT_EQ(w->vars().net_opr, 0);
    EXPECT_EQ(addresses(), (QStringList{"5", "7"}));
    EXPECT_EQ(ctl<QComboBox>("CmbNet")->currentText(), c.address);

    sim.line().setSplitReplies(false);
    // The cut reply in flight, then its held-back part with a whole reply
    // behind it, then whole replies: two of them, as the bridge page
    // alternates two polls.
    ticks(4);
    EXPECT_EQ(rewritten(c.shown), c.shown);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Pages, SplitReplies,
    ::testing::Values(
        SplitCase{"ReaderData", Page::Reader, "5", {"tek", "uroven", "lo", "hi", "ko", "ne", "temp"}},
        SplitCase{"TagPoll", Page::Tag, "5", {"SerNumMetki", "outID", "UrPr"}},
        SplitCase{"SlaveSensor", Page::Bridge, "7", {"sn_sl", "Temp_sl", "fr_sl", "ur_sl", "RR_SL_data"}}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Noise in front of every reply ----------------------------------------------

namespace {

struct NoiseCase {
    const char *name;
    QByteArray noise;
    QStringList searchAnswer; // CmbNet after a search through the noise
};

class NoisyLine : public FaultLine, public ::testing::WithParamInterface<NoiseCase>
{
};

} // namespace

TEST_P(NoisyLine, NoisyRepliesChangeNothingUnlessASearchRuns)
{
    const NoiseCase &c = GetParam();
    sim.line().setNoise(c.noise);
    tick(); // the last clean reply
    mark(ReaderLabels);
    receptions.clear();

    ticks(3);
    ASSERT_EQ(receptions.size(), 3);
    for (const QByteArray &r : receptions)
        EXPECT_TRUE(r.startsWith(c.noise));
    EXPECT_EQ(rewritten(ReaderLabels), QStringList());
    EXPECT_EQ(w->vars().net_opr, 0);
    EXPECT_EQ(addresses(), (QStringList{"5", "7"}));

    // During a search the noise is read as addresses like the answers are.
    // (The search starts after a quiet tick: a noisy reply to the poll before
    // it would take the search's place and end it.)
    silenceAfterLastReply();
    w->Opros_Click();
    sim.line().setSilent(false);
    tick(); // the broadcast goes out
    tick(); // its answer, noise first
    EXPECT_EQ(addresses(), c.searchAnswer);
    EXPECT_EQ(w->vars().net_opr, 0);
    EXPECT_EQ(status(), "Произошел опрос сети.");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Noise, NoisyLine,
    ::testing::Values(
        NoiseCase{"OneZeroByte", QByteArray(1, '\0'), {"0", "5", "7"}},
        NoiseCase{"LineJunk", QByteArray::fromHex("FF55AA"), {"255", "85", "170", "5", "7"}},
        // A stray reply prefix: the frames start 3E 3E and carry the
        // address where the code belongs, which no code matches; the
        // search answer is three bytes, too short for a frame.
        NoiseCase{"StrayPrefix", QByteArray::fromHex("3E"), {"62", "5", "7"}}),
    [](const auto &info) { return std::string(info.param.name); });

// --- A flood longer than one read ------------------------------------------------

namespace {

struct FloodCase {
    const char *name;
    QByteArray flood;
    bool searching; // a reader search waits for its answer when the flood comes
};

QByteArray frameLedFlood()
{
    // Looks like reader data from reader 5 but is 255 bytes with a wrong
    // checksum at byte 255, followed by more junk.
    QByteArray f = QByteArray::fromHex("3E05F0") + QByteArray(297, '\0');
    f[254] = char(proto::crc8(f, 254) ^ 0xFF);
    return f;
}

class Flood : public FaultLine, public ::testing::WithParamInterface<FloodCase>
{
};

} // namespace

TEST_P(Flood, FirstReadTakes255TheRestComesNext)
{
    const FloodCase &c = GetParam();
    ASSERT_EQ(c.flood.size(), 300);
    silenceAfterLastReply();
    mark(ReaderLabels);
    if (c.searching)
        w->Opros_Click();
    ctl<QPlainTextEdit>("txtRec")->setPlainText(Marker);
    receptions.clear();

    sim.line().inject(c.flood);
    tick();
    ASSERT_EQ(receptions.size(), 1);
    EXPECT_EQ(receptions.at(0), c.flood.left(255));
    EXPECT_EQ(received(), Marker) << "a reception of 50 bytes or more rewrote the dump";

    tick();
    ASSERT_EQ(receptions.size(), 2);
    EXPECT_EQ(receptions.at(1), c.flood.mid(255));
    // 45 bytes: dumped like any short reception.
    EXPECT_TRUE(received().startsWith(QStringLiteral("%1 ").arg(quint8(c.flood.at(255)), 0, 16).toUpper()))
        << received().toStdString();

    EXPECT_EQ(rewritten(ReaderLabels), QStringList());
    EXPECT_EQ(w->vars().net_opr, 0);
    EXPECT_EQ(addresses(), (QStringList{"5", "7"})) << "a flood is no list of addresses";
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Floods, Flood,
    ::testing::Values(FloodCase{"Junk", QByteArray(300, char(0x55)), false},
                      FloodCase{"JunkDuringSearch", QByteArray(300, char(0x55)), true},
                      FloodCase{"OverlongFrame", frameLedFlood(), false}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Replies from another device or to another request ------------------------

namespace {

struct ForeignCase {
    const char *name;
    QByteArray (*reply)(SimLine &line);
    std::vector<std::pair<QString, QString>> expect; // label -> text; Marker = untouched
};

class ForeignReply : public FaultLine, public ::testing::WithParamInterface<ForeignCase>
{
};

} // namespace

TEST_P(ForeignReply, IsTakenByItsOwnCode)
{
    const ForeignCase &c = GetParam();
    const QByteArray reply = c.reply(sim.line());
    ASSERT_FALSE(reply.isEmpty());
    silenceAfterLastReply();
    QStringList labels;
    for (const auto &e : c.expect)
        labels << e.first;
    mark(labels);
    receptions.clear();
    sim.line().clearRequests();

    sim.line().inject(reply);
    tick();
    ASSERT_EQ(receptions.size(), 1);
    EXPECT_EQ(receptions.at(0), reply);
    for (const auto &e : c.expect)
        EXPECT_EQ(text(e.first), e.second) << e.first.toStdString();
    // The cycle goes on polling the selected reader.
    EXPECT_EQ(sim.line().requests(), QVector<QByteArray>{proto::buildRequest(5, 0xF0)});
    EXPECT_EQ(w->vars().net_opr, 0);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    OutOfTurn, ForeignReply,
    ::testing::Values(
        ForeignCase{"IdentificationFromAnotherReader",
                    [](SimLine &l) { return l.answer(proto::buildRequest(7, 0xFC)); },
                    {{"sn", "1000456"}, {"vv", "1.3.1."}, {"tek", Marker}}},
        ForeignCase{"DataFromAnotherReader",
                    [](SimLine &l) { return l.answer(proto::buildRequest(7, 0xF0)); },
                    {{"ne", "7"}, {"tek", "9000"}, {"lo", "80"}, {"sn", Marker}}},
        ForeignCase{"TableNobodyAskedFor",
                    [](SimLine &l) { return l.answer(proto::buildRequest(5, 0xE7)); },
                    {{"m1_0", "012AB3C"}, {"m1_1", "0A1B2C3"}, {"tek", Marker}}},
        ForeignCase{"SlaveDataOnTheReaderPage",
                    [](SimLine &l) { return l.answer(proto::buildRequest(7, 0xE8)); },
                    {{"sn_sl", "3000777"}, {"fr_sl", "1200"}, {"tek", Marker}}},
        ForeignCase{"TagOnTheReaderPage",
                    [](SimLine &l) {
                        return l.answer(proto::buildRequest(5, 0xE0, QByteArray::fromHex("7A7A7A7A")));
                    },
                    {{"SerNumMetki", "2000100"}, {"UrPr", "-75"}, {"tek", Marker}}},
        ForeignCase{"ConfirmationFromAnotherReader",
                    [](SimLine &) { return replyFrame(7, 0xFA); },
                    {{"MsgCom", " Установлен нижний уровень."}, {"tek", Marker}}},
        ForeignCase{"CodeOutsideTheTable",
                    [](SimLine &) { return replyFrame(5, 0x77, bytes({1, 2, 3})); },
                    {{"MsgCom", Marker}, {"tek", Marker}, {"sn", Marker}, {"m1_0", Marker}}}),
    [](const auto &info) { return std::string(info.param.name); });

// --- A port held by another program ---------------------------------------------

TEST_F(FaultLine, SecondOpenOfAHeldPortIsRefused)
{
    SerialPort other(names);
    PortLayer::OpenFailure why;
    EXPECT_FALSE(other.OpenPort(QStringLiteral("COM%1").arg(PortNumber), QStringLiteral("19200,n,8,1"), &why));
    EXPECT_TRUE(why.text.startsWith(QStringLiteral("Com Port COM%1 недоступен. Установите нужный порт.\n").arg(PortNumber)));
    EXPECT_FALSE(other.isOpen());

    // The window keeps its line.
    ticks(2);
    EXPECT_EQ(text("tek"), "15000");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(FaultLine, OpeningAPortHeldElsewhereReportsItAndScanningGoesOn)
{
    w->BTNCloseCom_Click();
    ASSERT_FALSE(port->isOpen());
    const QString name = QStringLiteral("COM%1").arg(PortNumber);
    auto holder = std::make_unique<SerialPort>(names);
    ASSERT_TRUE(holder->OpenPort(name, QStringLiteral("19200,n,8,1")));

    w->Timer1_Timer(); // a held port still exists
    auto *ports = ctl<QComboBox>("CmbPort");
    ASSERT_GE(ports->findText(name), 0);
    ports->setCurrentIndex(ports->findText(name));
    w->BTNOpenCom_Click();
    ASSERT_EQ(dialogs.messages.size(), 2);
    // Who holds it follows on a line of its own: here, this very program.
    const QStringList why = dialogs.messages.at(0).split(QLatin1Char('\n'));
    EXPECT_EQ(why.value(0), QStringLiteral("Com Port %1 недоступен. Установите нужный порт.").arg(name));
    EXPECT_TRUE(why.value(1).contains(QStringLiteral("(PID %1").arg(QCoreApplication::applicationPid())))
        << dialogs.messages.at(0).toStdString();
    EXPECT_EQ(dialogs.messages.at(1), name + QStringLiteral(" Not available!"));
    EXPECT_FALSE(port->isOpen());
    EXPECT_FALSE(w->TMRComm()->isActive());
    EXPECT_TRUE(w->Timer1()->isActive());
    EXPECT_TRUE(ctl("BTNOpenCom")->isEnabled());

    // The other program lets go: the next try works.
    holder.reset();
    w->Timer1_Timer();
    ports->setCurrentIndex(ports->findText(name));
    w->BTNOpenCom_Click();
    ASSERT_TRUE(w->TMRComm()->isActive());
    w->TMRComm()->stop();
    EXPECT_EQ(dialogs.messages.size(), 2);
    tick(); // the identification of address 0, back in the address box
    searchAndIdentify();
    EXPECT_EQ(text("sn"), "1000123");
}

// --- A reader silent for a long while -------------------------------------------

// The one long test: every silent tick waits out the read time-out.
TEST_F(FaultLine, LongSilenceShowsNoDataAndTheFirstReplyRestoresTheStatus)
{
    silenceAfterLastReply();
    ctl<QLabel>("MsgCom")->setText("Приняты данные (до обрыва)");
    const QString saved = status();
    for (int i = 0; i < 100; ++i) {
        tick();
        ASSERT_EQ(status(), "Нет данных со считывателя с номером 5") << "silent tick " << i;
        ASSERT_EQ(w->vars().no_data, -1);
    }
    EXPECT_EQ(w->vars().last_msg, saved);

    // A reply without a message of its own: the saved status comes back.
    sim.line().setSilent(false);
    tick(); // the request of this tick is answered
    EXPECT_EQ(status(), "Нет данных со считывателя с номером 5");
    tick();
    EXPECT_EQ(status(), saved);
    EXPECT_EQ(w->vars().no_data, 0);
    EXPECT_EQ(text("tek"), "15000");

    // A reply with its own message after a short silence overwrites it.
    silenceAfterLastReply();
    tick();
    EXPECT_EQ(status(), "Нет данных со считывателя с номером 5");
    dialogs.yesNoAnswers.push_back(true);
    w->low_Click();
    ASSERT_EQ(w->vars().wrs, proto::buildRequest(5, 0xFA));
    sim.line().setSilent(false);
    tick(); // nothing for the last poll; the calibration goes out
    tick();
    EXPECT_EQ(status(), " Установлен нижний уровень.");
    EXPECT_EQ(w->vars().no_data, 0);
    EXPECT_EQ(sim.line().reader(5)->empty, 512u); // the level it stood at
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// --- Timing of a tick's read, with the event loop running ---------------------

namespace {

// Sends `parts` on the line's thread, each `delayMs` after the tick began.
void sendLater(SimLine &line, const std::vector<std::pair<int, QByteArray>> &parts)
{
    QElapsedTimer since;
    since.start();
    for (const auto &[delayMs, bytes] : parts) {
        while (since.elapsed() < delayMs)
            QThread::msleep(1);
        line.inject(bytes);
    }
}

} // namespace

TEST_F(FaultLine, ATickWaitsForALateReplyButNotForOneLaterThanItsReadTimeOut)
{
    silenceAfterLastReply();
    receptions.clear();
    const QByteArray late = replyFrame(5, 0xFA);
    // Within the 256 ms the read waits: this tick's reception.
    w->TMRComm_Timer();
    std::thread device(sendLater, std::ref(sim.line()),
                       std::vector<std::pair<int, QByteArray>>{{60, late}});
    while (WindowSeam::runner(*w).busy())
        runFor(1);
    device.join();
    EXPECT_EQ(receptions, QVector<QByteArray>{late});
    EXPECT_EQ(status(), " Установлен нижний уровень.");

    // After the read has given up, a reply waits for the next tick.
    receptions.clear();
    w->TMRComm_Timer();
    std::thread tooLate(sendLater, std::ref(sim.line()),
                        std::vector<std::pair<int, QByteArray>>{{400, replyFrame(5, 0xF5)}});
    while (WindowSeam::runner(*w).busy())
        runFor(1);
    EXPECT_TRUE(receptions.isEmpty());
    tooLate.join();
    runFor(30);
    w->TMRComm_Timer();
    while (WindowSeam::runner(*w).busy())
        runFor(1);
    EXPECT_EQ(receptions, QVector<QByteArray>{replyFrame(5, 0xF5)});
}

TEST_F(FaultLine, AFloodNeverFillsMemoryAndRealRepliesReturnRightAfterIt)
{
    std::atomic<bool> flooding{true};
    std::thread babbler([this, &flooding] {
        quint32 seed = 12345;
        QByteArray junk(1000, '\0');
        // About 100 KB/s for 30 s: five times what 19200 baud can carry.
        for (int ms = 0; ms < 30000; ms += 10) {
            for (char &c : junk)
                c = char((seed = seed * 1103515245u + 12345u) >> 24);
            sim.line().inject(junk);
            QThread::msleep(10);
        }
        flooding = false;
    });
    int most = 0;
    QObject::connect(&WindowSeam::runner(*w), &CycleRunner::began, w.get(),
                     [&] { most = std::max(most, port->waiting().bytes); });
    w->TMRComm()->start(); // the real 500 ms cadence
    while (flooding)
        runFor(50);
    babbler.join();
    EXPECT_LE(most, InputQueue::Capacity);

    mark({"tek"});
    int ticksAfter = 0;
    QObject::connect(&WindowSeam::runner(*w), &CycleRunner::finished, w.get(), [&] { ++ticksAfter; });
    QElapsedTimer t;
    t.start();
    while (text("tek") == Marker && t.elapsed() < 5000)
        runFor(10);
    w->TMRComm()->stop();
    EXPECT_NE(text("tek"), Marker);
    EXPECT_LE(ticksAfter, 3) << "ticks after the flood before a real reply showed";
}
