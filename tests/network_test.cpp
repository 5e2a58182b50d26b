// Lines behind an Ethernet gateway: the Telnet COM-PORT-OPTION against
// scripted gateway bytes, the address forms, and end to end against ser2net
// (a real serial-to-network server) in front of the simulated line's
// pseudo-terminal, in raw and in RFC 2217 mode. ser2net runs in the
// foreground with our own configuration, on 127.0.0.1 only.
#include "ctl/commandline.h"
#include "ctl/commands.h"
#include "ctl/lineclient.h"
#include "exchange/cyclerunner.h"
#include "serial/lineport.h"
#include "serial/netaddress.h"
#include "serial/portnames.h"
#include "serial/rfc2217.h"
#include "sim/ser2net.h"
#include "sim/simline.h"
#include "support/scripteddialogs.h"
#include "support/linefixture.h"
#include "widgets/exchangelog.h"
#include "support/windowfixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>

namespace {

QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

// ---- The Telnet COM-PORT-OPTION, without a socket --------------------------

// The gateway's confirmations of 19200 8N1 without flow control.
const char *const kAcks = "fffa2c6500004b00fff0" "fffa2c6608fff0" "fffa2c6701fff0" "fffa2c6801fff0"
                          "fffa2c6901fff0";

struct TelnetCase {
    const char *name;
    QByteArray fromGateway;
    Rfc2217Session::State state;
    QByteArray answer;    // what we must send back
    QByteArray data;      // the line's bytes among it
    const char *refusal;  // part of the reason, for a refusal
};

class Telnet : public ::testing::TestWithParam<TelnetCase>
{
};

TEST_P(Telnet, WholeOrByteByByteGivesTheSameOutcome)
{
    const TelnetCase &c = GetParam();
    const Rfc2217Session::Line line;
    for (const bool bytewise : {false, true}) {
        Rfc2217Session session(line);
        Rfc2217Session::Parsed all;
        if (bytewise) {
            for (const char b : c.fromGateway) {
                const Rfc2217Session::Parsed p = session.feed(QByteArray(1, b));
                all.data += p.data;
                all.answer += p.answer;
            }
        } else {
            all = session.feed(c.fromGateway);
        }
        EXPECT_EQ(session.state(), c.state) << (bytewise ? "byte by byte" : "whole");
        EXPECT_EQ(all.answer.toHex(), c.answer.toHex());
        EXPECT_EQ(all.data.toHex(), c.data.toHex());
        if (c.refusal)
            EXPECT_TRUE(session.refusal().contains(QString::fromUtf8(c.refusal))) << session.refusal().toStdString();
    }
}

// Asked for once the gateway agrees to the option: 19200, 8 bits, no
// parity, one stop bit, no flow control.
const QByteArray kSettings = hex("fffa2c0100004b00fff0" "fffa2c0208fff0" "fffa2c0301fff0" "fffa2c0401fff0"
                                 "fffa2c0501fff0");

INSTANTIATE_TEST_SUITE_P(
    Gateway, Telnet,
    ::testing::Values(
        TelnetCase{"Agrees", hex("fffd2c") + hex(kAcks), Rfc2217Session::State::Agreed, kSettings, {}, nullptr},
        TelnetCase{"ConfirmsAllButOne", hex("fffd2c") + hex(kAcks).left(hex(kAcks).size() - 7),
                   Rfc2217Session::State::Negotiating, kSettings, {}, nullptr},
        TelnetCase{"RefusesTheOption", hex("fffe2c"), Rfc2217Session::State::Refused, {}, {}, "RFC 2217"},
        TelnetCase{"KeepsItsOwnBaudRate", hex("fffd2c" "fffa2c650000" "2580fff0"), Rfc2217Session::State::Refused,
                   kSettings, {}, "9600"},
        TelnetCase{"DataWithADoubledFFAndANop", hex("31ffff05" "fff1" "01"), Rfc2217Session::State::Negotiating,
                   {}, hex("31ff0501"), nullptr},
        TelnetCase{"OtherOptionsDeclinedOnce", hex("fffd18" "fffb01" "fffd03"), Rfc2217Session::State::Negotiating,
                   hex("fffc18" "fffe01" "fffb03"), {}, nullptr},
        TelnetCase{"OverlongSubnegotiationIsDropped",
                   hex("fffa2c65") + QByteArray(300, '\x01') + hex("fff0") + hex("3e"),
                   Rfc2217Session::State::Negotiating, {}, hex("3e"), nullptr}),
    [](const ::testing::TestParamInfo<TelnetCase> &info) { return std::string(info.param.name); });

TEST(TelnetData, FFTravelsDoubled)
{
    EXPECT_EQ(Rfc2217Session::escape(hex("3eff05ff")).toHex(), hex("3effff05ffff").toHex());
}

TEST(NetworkAddress, Forms)
{
    struct Row {
        const char *name;
        bool valid;
        NetworkAddress::Kind kind;
        const char *host;
        int port;
    };
    const Row rows[] = {
        {"tcp://10.0.0.5:4001", true, NetworkAddress::Kind::Raw, "10.0.0.5", 4001},
        {"rfc2217://gw.plant.local:2217", true, NetworkAddress::Kind::Rfc2217, "gw.plant.local", 2217},
        {"TCP://[::1]:4001", true, NetworkAddress::Kind::Raw, "::1", 4001},
        {"tcp://10.0.0.5", false, {}, "", 0},
        {"tcp://10.0.0.5:0", false, {}, "", 0},
        {"tcp://10.0.0.5:70000", false, {}, "", 0},
        {"tcp://:4001", false, {}, "", 0},
        {"tcp://10.0.0.5:4001/x", false, {}, "", 0},
        {"tcp://user@10.0.0.5:4001", false, {}, "", 0},
        {"udp://10.0.0.5:4001", false, {}, "", 0},
        {"COM5", false, {}, "", 0},
    };
    for (const Row &r : rows) {
        const std::optional<NetworkAddress> a = parseNetworkPort(QString::fromLatin1(r.name));
        ASSERT_EQ(a.has_value(), r.valid) << r.name;
        if (!a)
            continue;
        EXPECT_EQ(a->kind, r.kind) << r.name;
        EXPECT_EQ(a->host, QString::fromLatin1(r.host)) << r.name;
        EXPECT_EQ(a->port, r.port) << r.name;
        EXPECT_EQ(parseNetworkPort(a->name())->name(), a->name()) << r.name;
    }
}

TEST(NetworkTiming, TheRoundTripWidensTheReplyWindowNotTheQuietGap)
{
    EXPECT_EQ(readEndsAt(1000, 0, -1, 256 + 40), 1000 + 40 + 256);
    EXPECT_EQ(readEndsAt(1000, 3, 1290, 256 + 40), 1296);
    EXPECT_EQ(readEndsAt(1000, 3, 1010, 256 + 40), 1030);
}

// ---- End to end over ser2net ------------------------------------------------

using Mode = Ser2net::Mode;

QVector<SimReader> steadyReaders()
{
    QVector<SimReader> r = SimLine::demoReaders();
    for (SimReader &reader : r)
        reader.live = false;
    return r;
}

class OverSer2net : public WindowFixture, public ::testing::WithParamInterface<Mode>
{
protected:
    SimHost sim;
    Ser2net gateway;
    PortNames names;
    ScriptedDialogs dialogs;
    std::unique_ptr<LinePort> port;
    std::atomic<int> handled{0};
    QString out, err;

    void SetUp() override
    {
        for (const SimReader &r : steadyReaders())
            sim.line().addReader(r);
        ASSERT_TRUE(sim.start());
        QObject::connect(&sim.line(), &SimLine::requestHandled, &sim.line(), [this] { ++handled; },
                         Qt::DirectConnection);
        if (!gateway.start(sim.line().devicePath(), GetParam())) {
            if (qEnvironmentVariableIsSet("CI"))
                FAIL() << "ser2net could not be started (scripts/packages.sh installs it for the tests)";
            GTEST_SKIP() << "ser2net is not installed";
        }
    }

    void TearDown() override
    {
        w.reset();
        port.reset();
    }

    int rfidctl(const QStringList &args)
    {
        out.clear();
        err.clear();
        const ParsedLine parsed = parseCommandLine(QStringList{"rfidctl", "--port", gateway.name(GetParam())} + args);
        EXPECT_TRUE(parsed.invocation) << parsed.err.toStdString();
        if (!parsed.invocation)
            return parsed.exitCode;
        QTextStream o(&out), e(&err);
        Console console{o, e, false, [] { return QString(); }, {}};
        return runCommand(*parsed.invocation, names, console);
    }

    void openWindow()
    {
        port = std::make_unique<LinePort>(names);
        w = std::make_unique<frmSerial>(*port, dialogs);
        w->Form_Load();
        w->Timer1_Timer();
        ASSERT_TRUE(w->addNetworkLine(gateway.name(GetParam())));
        w->Timer1_Timer(); // a later scan keeps the line selected
        EXPECT_EQ(text("CmbPort"), gateway.name(GetParam()));
        w->BTNOpenCom_Click();
        ASSERT_TRUE(w->TMRComm()->isActive()) << dialogs.messages.join(QLatin1Char('|')).toStdString();
        w->TMRComm()->stop(); // the test drives the ticks
    }

    static void runFor(int ms) { runEventsFor(ms); }
    void tick() { tickOnLine(*w, handled, 20); }
};

TEST_P(OverSer2net, RfidctlSearchesReadsAndWritesASettingBack)
{
    ASSERT_EQ(rfidctl({"search", "--json"}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("\"address\": 5") && out.contains("\"address\": 7")) << out.toStdString();
    ASSERT_EQ(rfidctl({"info", "5"}), 0) << err.toStdString();

    QTemporaryDir dir;
    const QString file = dir.filePath("p.json");
    ASSERT_EQ(rfidctl({"settings", "7", "-o", file}), 0) << err.toStdString();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QJsonObject profile = QJsonDocument::fromJson(f.readAll()).object();
    f.close();
    const int delay = profile["delay"].toInt() == 1234 ? 4321 : 1234;
    profile["delay"] = delay;
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QJsonDocument(profile).toJson());
    f.close();
    ASSERT_EQ(rfidctl({"apply", "7", file, "--yes"}), 0) << err.toStdString();
    EXPECT_EQ(sim.line().reader(7)->delay, delay);
}

// A gateway that goes away under rfidctl ends the command as a lost port
// (exit 4), with the reason, not as a silent reader.
TEST_P(OverSer2net, RfidctlEndsWithALostPortWhenTheGatewayStops)
{
    QTimer::singleShot(1200, [this] { gateway.stop(); });
    EXPECT_EQ(rfidctl({"watch", "5", "--count", "20"}), 4) << out.toStdString();
    EXPECT_TRUE(err.contains("шлюз закрыл соединение")) << err.toStdString();
}

TEST_P(OverSer2net, WindowSearchesPollsAndWritesASettingBack)
{
    openWindow();
    w->Opros_Click();
    for (int i = 0; i < 5; ++i)
        tick();
    EXPECT_EQ(text("netdev"), "5 7 ");
    EXPECT_EQ(text("sn"), "1000123");
    EXPECT_EQ(text("tek"), "15000");
    // The log's files say which network delay the reply window allowed for.
    const auto *log = w->findChild<ExchangeLogModel *>();
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->headerLine().startsWith("# " + gateway.name(GetParam()) + ": задержка сети "))
        << log->headerLine().toStdString();

    // A setting written, confirmed and read back through the gateway.
    auto *delay = ctl<QLineEdit>("Zad2");
    delay->setText("2500");
    w->Command2_Click();
    tick();
    tick();
    EXPECT_EQ(sim.line().reader(5)->delay, 2500);
    delay->setText("0");
    w->RD_DP_Click();
    tick();
    tick();
    EXPECT_EQ(delay->text(), "2500");
}

TEST_P(OverSer2net, GatewayStoppedMidExchangeIsOneLostLine)
{
    openWindow();
    w->Opros_Click();
    tick();
    tick();
    const int seenBefore = sim.line().requests().size();
    gateway.stop();
    // The program's own pace from here: ticks every 500 ms until the loss.
    w->TMRComm()->start();
    runFor(2000);
    EXPECT_EQ(dialogs.messages.filter("Ошибка записи в порт").size(), 1) << dialogs.messages.join('|').toStdString();
    EXPECT_TRUE(dialogs.messages.filter("Ошибка записи в порт").value(0).contains("шлюз"));
    EXPECT_TRUE(ctl("BTNOpenCom")->isEnabled());
    EXPECT_FALSE(w->TMRComm()->isActive());
    EXPECT_EQ(sim.line().requests().size(), seenBefore);

    // The technician reopens once the gateway is back: the exchange starts
    // afresh, with nothing built for the lost line.
    ASSERT_TRUE(gateway.start(sim.line().devicePath(), GetParam()));
    w->BTNOpenCom_Click();
    ASSERT_TRUE(w->TMRComm()->isActive()) << dialogs.messages.join('|').toStdString();
    w->TMRComm()->stop();
    tick();
    tick();
    const QVector<QByteArray> seen = sim.line().requests();
    ASSERT_GT(seen.size(), seenBefore);
    for (int i = seenBefore; i < seen.size(); ++i)
        EXPECT_EQ(quint8(seen.at(i).at(2)), 0xF0) << seen.at(i).toHex().toStdString();
}

TEST_P(OverSer2net, SecondConnectionFromThisMachineIsRefused)
{
    LinePort first(names), second(names);
    PortLayer::OpenFailure why;
    ASSERT_TRUE(first.OpenPort(gateway.name(GetParam()), QStringLiteral("19200,n,8,1"), &why))
        << why.text.toStdString();
    EXPECT_FALSE(second.OpenPort(gateway.name(GetParam()), QStringLiteral("19200,n,8,1"), &why));
    EXPECT_TRUE(why.text.contains("Порт занят программой")) << why.text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Modes, OverSer2net, ::testing::Values(Mode::Raw, Mode::Rfc2217),
                         [](const ::testing::TestParamInfo<Mode> &info) {
                             return info.param == Mode::Raw ? "Raw" : "Rfc2217";
                         });

TEST(NetworkLine, RefusedConnectionSaysSoInRussian)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closed = probe.serverPort();
    probe.close();
    PortNames names;
    LinePort port(names);
    PortLayer::OpenFailure why;
    EXPECT_FALSE(port.OpenPort(QStringLiteral("tcp://127.0.0.1:%1").arg(closed), QStringLiteral("19200,n,8,1"), &why));
    EXPECT_TRUE(why.text.contains("отказал в соединении")) << why.text.toStdString();
}

// F9 on the fake port: a well-formed address joins the port box after the
// COM ports, in one spelling, selected and kept by the next scan; anything
// else is refused with the forms it takes, and the box is left as it was.
TEST_F(WindowTest, F9OffersAGatewayLineAfterTheComPorts)
{
    port.existing = {3, 5};
    w->Timer1_Timer();
    struct Row {
        const char *typed;
        const char *shown; // null: refused
    };
    const Row rows[] = {
        {"TCP://10.0.0.5:4001", "tcp://10.0.0.5:4001"},
        {"rfc2217://gw:2217", "rfc2217://gw:2217"},
        {"tcp://10.0.0.5", nullptr},
        {"tcp://10.0.0.5:4001", "tcp://10.0.0.5:4001"}, // once only
    };
    for (const Row &r : rows) {
        const int before = dialogs.messages.size();
        dialogs.inputAnswers.push_back(QString::fromLatin1(r.typed));
        w->askNetworkLine();
        w->Timer1_Timer();
        if (r.shown) {
            EXPECT_EQ(text("CmbPort"), QString::fromLatin1(r.shown)) << r.typed;
            EXPECT_EQ(dialogs.messages.size(), before) << r.typed;
        } else {
            ASSERT_EQ(dialogs.messages.size(), before + 1) << r.typed;
            EXPECT_TRUE(dialogs.messages.last().contains("rfc2217://АДРЕС:ПОРТ"));
        }
    }
    auto *box = ctl<QComboBox>("CmbPort");
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    EXPECT_EQ(entries, (QStringList{"COM3", "COM5", "tcp://10.0.0.5:4001", "rfc2217://gw:2217"}));
}

// A gateway hands a reply over in TCP segments as its line delivered it: the
// pieces that come within the line's quiet gap are one reply.
TEST(NetworkLine, ReplyInSegmentsWithinTheQuietGapIsOneReply)
{
    QTcpServer gateway;
    ASSERT_TRUE(gateway.listen(QHostAddress::LocalHost, 0));
    const QByteArray reply = QByteArray::fromHex("3e05fc0100000005aa");
    QObject::connect(&gateway, &QTcpServer::newConnection, &gateway, [&] {
        QTcpSocket *peer = gateway.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer, reply] {
            peer->readAll();
            peer->write(reply.left(4));
            peer->flush();
            QTimer::singleShot(8, peer, [peer, reply] {
                peer->write(reply.mid(4));
                peer->flush();
            });
        });
    });
    PortNames names;
    LinePort port(names);
    ASSERT_TRUE(port.OpenPort(QStringLiteral("tcp://127.0.0.1:%1").arg(gateway.serverPort()),
                              QStringLiteral("19200,n,8,1")));
    LineClient line(port);
    EXPECT_EQ(line.exchange(QByteArray::fromHex("3105fc00")).reply.toHex(), reply.toHex());
}

} // namespace
