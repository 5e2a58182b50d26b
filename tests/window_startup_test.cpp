// Start-up, port scan, open and close, enabling by Tag, output log.
#include "support/testnames.h"
#include "support/windowfixture.h"

#include "widgets/form2.h"
#include "window/portlist.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

namespace {

// Controls that a technician can only use while a port is open.
const char *const ConnectionControls[] = {
    "CmbNet", "net", "Opros", "BTNCloseCom", "SSTab1", "MsgCom", "Set_mode", "R_a", "R485",
    "param", "num_net", "Command2", "RD_DP", "Zad2", "ids_r", "ids_clr", "Command3", "plm", "iddm",
    "ReadParamMetki", "SetModesMetki", "ID_Metki", "sleep_time", "Check_sl", "sn", "vv", "netdev",
};

} // namespace

class StartStateTest : public WindowTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(StartStateTest, ConnectionControlIsDisabledUntilAPortOpensAndAfterItCloses)
{
    QWidget *c = ctl(GetParam());
    EXPECT_FALSE(c->isEnabled());
    openPort();
    EXPECT_TRUE(c->isEnabled());
    w->BTNCloseCom_Click();
    EXPECT_FALSE(c->isEnabled());
    // The toggle on open must enable again, not flip back.
    w->BTNOpenCom_Click();
    EXPECT_TRUE(c->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Controls, StartStateTest, ::testing::ValuesIn(ConnectionControls),
                         [](const auto &info) { return std::string(info.param); });

TEST_F(WindowTest, PortControlsStartEnabledAndTheOpenButtonTogglesWithTheConnection)
{
    EXPECT_TRUE(ctl("BTNOpenCom")->isEnabled());
    EXPECT_TRUE(ctl("CmbPort")->isEnabled());
    openPort();
    EXPECT_FALSE(ctl("BTNOpenCom")->isEnabled());
    EXPECT_TRUE(w->TMRComm()->isActive());
    EXPECT_FALSE(w->Timer1()->isActive());
    w->BTNCloseCom_Click();
    EXPECT_TRUE(ctl("BTNOpenCom")->isEnabled());
    EXPECT_FALSE(w->TMRComm()->isActive());
    EXPECT_TRUE(w->Timer1()->isActive());
}

TEST_F(WindowTest, RepeaterModeIsNeverEnabled)
{
    openPort();
    w->swtag130();
    w->swtag131();
    w->swtag134();
    EXPECT_FALSE(ctl("R_p")->isEnabled());
    EXPECT_FALSE(ctl("Label2")->isEnabled());
}

TEST_F(WindowTest, ControlsWithoutTagKeepTheirDesignState)
{
    openPort();
    w->BTNCloseCom_Click();
    // Their own setting: a page's controls also follow the disabled tab control.
    for (const char *name : {"CmdBoxText", "sl_zapros", "zapr_data_sl", "Image1"})
        EXPECT_FALSE(ctl(name)->testAttribute(Qt::WA_ForceDisabled)) << name;
    EXPECT_FALSE(ctl("sl_zapros")->isVisibleTo(w.get()));
}

TEST_F(WindowTest, SplashGivesWayOnTheSecondTick)
{
    EXPECT_TRUE(w->splash()->isVisible());
    EXPECT_FALSE(w->isVisible());
    w->Timer1_Timer();
    EXPECT_TRUE(w->splash()->isVisible());
    w->Timer1_Timer();
    EXPECT_FALSE(w->splash()->isVisible());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("RFID Service Tool"));
}

TEST_F(WindowTest, ScanListsPortsInOrderAndLogsThemOnEveryTick)
{
    port.existing = {7, 1, 3};
    w->Timer1_Timer();
    w->Timer1_Timer();
    auto *list = ctl<QComboBox>("CmbPort");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0), "COM1");
    EXPECT_EQ(list->itemText(1), "COM3");
    EXPECT_EQ(list->itemText(2), "COM7");
    const QStringList lines = text("txtRec").split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.at(0).trimmed(), "COM1, COM3, COM7,");
    EXPECT_EQ(lines.at(1).trimmed(), "COM1, COM3, COM7,");
}

// ---- The selected port across unplugging and plugging --------------------

struct PortScanCase {
    const char *name;
    QString chosen;
    QStringList found;
    QStringList entries;
    QString selected;
    QString missing;
};

void PrintTo(const PortScanCase &c, std::ostream *os)
{
    *os << c.name;
}

class PortSelection : public ::testing::TestWithParam<PortScanCase> {};

TEST_P(PortSelection, KeepsTheChosenPortAndNeverFallsToAnother)
{
    const PortScanCase &c = GetParam();
    const PortScan scan = portsAfterScan(c.chosen, c.found);
    EXPECT_EQ(scan.entries, c.entries);
    EXPECT_EQ(scan.entries.value(scan.selected), c.selected);
    EXPECT_EQ(scan.missing, c.missing);
}

INSTANTIATE_TEST_SUITE_P(
    Scans, PortSelection,
    ::testing::Values(
        PortScanCase{"AnotherAdapterPulledInFront", "COM6", {"COM6", "COM9"}, {"COM6", "COM9"}, "COM6", ""},
        PortScanCase{"AnotherAdapterPluggedInFront", "COM6", {"COM5", "COM6", "COM9"}, {"COM5", "COM6", "COM9"},
                     "COM6", ""},
        PortScanCase{"ChosenPulledNextToTheUart", "COM5", {"COM1", "COM6"}, {"----", "COM1", "COM6"}, "----",
                     "COM5"},
        PortScanCase{"ChosenPulledAndNothingLeft", "COM5", {}, {"----"}, "----", "COM5"},
        PortScanCase{"ChosenComesBack", "COM5", {"COM1", "COM5"}, {"COM1", "COM5"}, "COM5", ""},
        PortScanCase{"NothingChosenTakesTheFirst", "", {"COM1", "COM3"}, {"COM1", "COM3"}, "COM1", ""},
        PortScanCase{"NothingChosenNothingFound", "", {}, {"----"}, "----", ""}),
    [](const auto &info) { return std::string(info.param.name); });

// The technician's adapter is pulled and plugged back; the machine's own UART
// (COM1) stays listed all along and is never opened instead.
TEST_F(WindowTest, TheChosenAdapterComesBackUnlessAnotherWasPickedMeanwhile)
{
    port.existing = {1, 5};
    w->Timer1_Timer();
    auto *list = ctl<QComboBox>("CmbPort");
    list->setCurrentIndex(list->findText("COM5"));

    port.existing = {1}; // pulled
    w->Timer1_Timer();
    EXPECT_EQ(list->currentText(), "----");
    EXPECT_TRUE(list->toolTip().startsWith("COM5 отключён")) << list->toolTip().toStdString();
    w->BTNOpenCom_Click();
    EXPECT_FALSE(port.open);
    EXPECT_EQ(dialogs.messages,
              QStringList{"Порт COM5 отключён. Подключите его адаптер или выберите другой порт."});
    EXPECT_TRUE(w->Timer1()->isActive());

    port.existing = {1, 5}; // plugged back
    w->Timer1_Timer();
    EXPECT_EQ(list->currentText(), "COM5");
    w->BTNOpenCom_Click();
    EXPECT_EQ(port.openedName, "COM5");
    w->BTNCloseCom_Click();

    // Pulled again, and this time the technician picks the UART himself.
    port.existing = {1};
    w->Timer1_Timer();
    list->setCurrentIndex(list->findText("COM1"));
    port.existing = {1, 5};
    w->Timer1_Timer();
    EXPECT_EQ(list->currentText(), "COM1");
}

TEST_F(WindowTest, ScanKeepsTheSelectedAdapterAndNamesEachDevice)
{
    port.existing = {5, 6, 9};
    port.devices = {{5, "/dev/ttyUSB0"}, {6, "/dev/ttyUSB1"}, {9, "/dev/ttyUSB4"}};
    w->Timer1_Timer();
    auto *list = ctl<QComboBox>("CmbPort");
    list->setCurrentIndex(1);
    EXPECT_EQ(list->toolTip(), "/dev/ttyUSB1");

    port.existing = {6, 9}; // COM5 pulled
    w->Timer1_Timer();
    EXPECT_EQ(list->currentText(), "COM6");
    port.existing = {5, 6, 9}; // and plugged back
    w->Timer1_Timer();
    EXPECT_EQ(list->currentText(), "COM6");
    EXPECT_EQ(list->toolTip(), "/dev/ttyUSB1");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list->itemData(i, Qt::ToolTipRole).toString(), port.devices.value(list->itemText(i).mid(3).toInt()));

    w->BTNOpenCom_Click();
    EXPECT_EQ(port.openedName, "COM6");
}

// ---- The demo's own line --------------------------------------------------

struct DemoPort {
    const char *name;
    QSet<int> machinePorts;
    int demoPort;
};

void PrintTo(const DemoPort &c, std::ostream *os)
{
    *os << c.name;
}

class DemoPortTest : public WindowTest, public ::testing::WithParamInterface<DemoPort> {};

TEST_P(DemoPortTest, IsSelectedAndOpened)
{
    const DemoPort &c = GetParam();
    port.existing = c.machinePorts;
    port.existing.insert(c.demoPort);
    preselectPort(*w, c.demoPort);
    w->Timer1_Timer();
    w->Timer1_Timer();
    const QString demo = QStringLiteral("COM") + QString::number(c.demoPort);
    EXPECT_EQ(ctl<QComboBox>("CmbPort")->currentText(), demo);
    w->BTNOpenCom_Click();
    EXPECT_EQ(port.openedName, demo);
}

INSTANTIATE_TEST_SUITE_P(Machines, DemoPortTest,
                         ::testing::Values(DemoPort{"WithAUart", {1}, 2}, DemoPort{"WithoutPorts", {}, 1},
                                           DemoPort{"WithAdapters", {1, 5, 6}, 2}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(WindowTest, NoPortsShowDashesAndOpenSaysSo)
{
    w->Timer1_Timer();
    EXPECT_EQ(text("CmbPort"), "----");
    w->BTNOpenCom_Click();
    EXPECT_EQ(dialogs.messages, QStringList{"Нет доступных портов"});
    EXPECT_FALSE(port.open);
}

TEST_F(WindowTest, ScanResumesAfterAFailedOpen)
{
    port.existing = {4};
    port.failingOpen = {"COM4"};
    w->Timer1_Timer();
    w->BTNOpenCom_Click();
    // The port layer's own reason first, then the window's.
    EXPECT_EQ(dialogs.messages, (QStringList{"Com Port COM4 недоступен. Установите нужный порт.",
                                             "COM4 Not available!"}));
    EXPECT_TRUE(ctl("BTNOpenCom")->isEnabled());
    // An adapter plugged in afterwards shows up without a restart.
    EXPECT_TRUE(w->Timer1()->isActive());
    port.existing = {4, 6};
    w->Timer1_Timer();
    EXPECT_EQ(ctl<QComboBox>("CmbPort")->count(), 2);
}

TEST_F(WindowTest, ScanResumesAfterOpenWithNoPorts)
{
    w->Timer1_Timer();
    w->BTNOpenCom_Click();
    EXPECT_TRUE(w->Timer1()->isActive());
}

TEST_F(WindowTest, OpenUsesTheFixedLineSettings)
{
    openPort();
    EXPECT_EQ(port.openedName, "COM3");
    // The readers speak 19200 baud, 8 data bits, no parity, 1 stop bit.
    EXPECT_EQ(port.openedSettings, "19200,n,8,1");
}

// Enter on "Открыть порт", then Enter again: the second searches the line
// rather than closing the port just opened.
TEST_F(WindowTest, AfterOpeningTheFocusIsOnTheSearch)
{
    port.existing = {3};
    w->Timer1_Timer();
    w->Timer1_Timer(); // the window is shown
    QApplication::setActiveWindow(w.get());
    ctl("BTNOpenCom")->setFocus();
    for (int press = 0; press < 2; ++press) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
        QWidget *focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        QApplication::sendEvent(focused, &enter);
        QApplication::sendEvent(focused, &release);
    }
    EXPECT_TRUE(port.open);
    EXPECT_EQ(QApplication::focusWidget(), ctl("Opros"));
    EXPECT_EQ(w->vars().wrs, bytes({0x31, 0xFF, 0xDC}));
}

TEST_F(WindowTest, CloseResetsTheDisplaysAndTheAddressList)
{
    openPort();
    auto *addresses = ctl<QComboBox>("CmbNet");
    addresses->clear();
    addresses->addItems({"5", "7", "12"});
    addresses->setCurrentIndex(1);
    w->BTNCloseCom_Click();
    EXPECT_EQ(addresses->count(), 1);
    EXPECT_EQ(addresses->currentText(), "0");
    EXPECT_EQ(text("sn"), "0");
    EXPECT_EQ(text("vv"), "--------");
    for (const char *name : {"tek", "temp", "uroven", "lo", "hi", "ne"})
        EXPECT_EQ(text(name), "Нет данных") << name;
    EXPECT_EQ(text("MsgCom"), "");
    EXPECT_EQ(text("netdev"), "Не определены");
    EXPECT_FALSE(port.open);
}

TEST_F(WindowTest, ClosingTheWindowClosesThePort)
{
    openPort();
    QCloseEvent event;
    QCoreApplication::sendEvent(w.get(), &event);
    EXPECT_TRUE(event.isAccepted());
    EXPECT_FALSE(port.open);
    EXPECT_FALSE(w->TMRComm()->isActive());
}

TEST_F(WindowTest, ReaderSearchQueuesTheBroadcastAndLogsIt)
{
    setVars([&](CycleVars &v) { v.wrs = bytes({0x31, 0x01, 0xF7, 0x46}); });
    ctl<QComboBox>("CmbNet")->setEditText("x"); // no address selected
    w->Opros_Click();
    EXPECT_EQ(w->vars().wrs, bytes({0x31, 0xFF, 0xDC}));
    EXPECT_EQ(w->vars().net_opr, -1);
    EXPECT_EQ(w->vars().mode_yes, 2);
    EXPECT_EQ(text("txtRec"), QStringLiteral("31 FF DC \n\n1") + QChar(0x044F) + QChar(0x042C));
}

TEST_F(WindowTest, IdentificationRequestFollowsTheSelectedAddress)
{
    selectAddress(1);
    EXPECT_EQ(w->Zapros_ser_num(), bytes({0x31, 0x01, 0xFC, 0x66}));
    selectAddress(200);
    EXPECT_EQ(w->Zapros_ser_num(), bytes({0x31, 0xC8, 0xFC, 0x60}));
    ctl<QComboBox>("CmbNet")->setEditText("13");
    EXPECT_EQ(w->Zapros_ser_num(), QByteArray());
    setVars([&](CycleVars &v) { v.wrs = bytes({1, 2, 3}); });
    w->CmbNet_Change();
    EXPECT_TRUE(w->vars().wrs.isEmpty());
}

TEST_F(WindowTest, OutputLogRoutinesReplaceTheirBoxes)
{
    const QByteArray slavePoll = bytes({0x31, 0x01, 0x06, 0x6C});
    w->PrintToWin(slavePoll);
    EXPECT_EQ(text("CmdBoxText"), "31_1_6_6C_");
    w->PrintToWin(QByteArray());
    EXPECT_EQ(text("CmdBoxText"), "");
    w->out_win(bytes({0x00}));
    w->out_win(slavePoll);
    EXPECT_EQ(text("txtRec"), "31 1 6 6C \n\n1@@l");
}

TEST_F(WindowTest, ScanEverySecondAndExchangeEveryHalfSecondOnAPreciseTimer)
{
    EXPECT_EQ(w->Timer1()->interval(), 1000);
    EXPECT_EQ(w->TMRComm()->interval(), 500);
    // A coarse timer may move a tick by 25 ms, and the line's cadence with it.
    EXPECT_EQ(w->TMRComm()->timerType(), Qt::PreciseTimer);
}
// ---- Every value whole ----------------------------------------------------

// The widest text each value control can be given ("D" is the widest hex
// digit, all decimal digits are equally wide), at the window's size with
// Debian's DejaVu Sans.
struct WidestValue {
    const char *control;
    const char *text;
};

void PrintTo(const WidestValue &v, std::ostream *os)
{
    *os << v.control << " \"" << v.text << '"';
}

class WidestValueTest : public WindowTest, public ::testing::WithParamInterface<WidestValue>
{
protected:
    // The width the control leaves for text and the width `t` takes there.
    static std::pair<int, int> room(QWidget *c, const QString &t)
    {
        const QFontMetrics fm = c->fontMetrics();
        if (auto *label = qobject_cast<QLabel *>(c))
            return {label->contentsRect().width() - 2 * label->margin(), fm.horizontalAdvance(t)};
        if (auto *edit = qobject_cast<QLineEdit *>(c)) {
            QStyleOptionFrame opt;
            opt.initFrom(edit);
            opt.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit);
            const QRect r = edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
            // 2 px of margin each side; the text cursor after the last digit takes 1 px.
            const QMargins m = edit->textMargins();
            return {r.width() - m.left() - m.right() - 4, fm.horizontalAdvance(t) + 1};
        }
        if (auto *box = qobject_cast<QComboBox *>(c)) {
            QStyleOptionComboBox opt;
            opt.initFrom(box);
            opt.editable = box->isEditable();
            opt.frame = box->hasFrame();
            const QRect r = box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box);
            return {r.width() - 2, fm.horizontalAdvance(t)}; // the label is drawn 1 px inside
        }
        return {-1, 0};
    }
};

TEST_P(WidestValueTest, FitsWhole)
{
    const WidestValue &v = GetParam();
    QWidget *c = ctl(v.control);
    if (QFontInfo(c->font()).family() != QLatin1String("DejaVu Sans"))
        GTEST_SKIP() << "laid out for DejaVu Sans, have " << QFontInfo(c->font()).family().toStdString();
    const auto [width, needed] = room(c, QString::fromUtf8(v.text));
    EXPECT_LE(needed, width) << v.control << " is " << c->width() << " px wide";
    if (auto *label = qobject_cast<QLabel *>(c))
        EXPECT_LE(label->fontMetrics().height(), label->contentsRect().height()) << v.control;
}

INSTANTIATE_TEST_SUITE_P(
    Controls, WidestValueTest,
    ::testing::Values(WidestValue{"CmbPort", "COM30"}, WidestValue{"CmbNet", "255"},
                      WidestValue{"sn", "4294967295"}, WidestValue{"vv", "2552.5.5."},
                      WidestValue{"vv", "--------------------"}, WidestValue{"hi", "DDDDDDDD"},
                      WidestValue{"ne", "Нет данных"}, WidestValue{"vraa", "нет данных"},
                      WidestValue{"iddm", "DDDDDDDD"}, WidestValue{"m1_9", "DDDDDDDD"},
                      WidestValue{"Zad2", "65535"}, WidestValue{"SerNumMetki", "4294967295"},
                      WidestValue{"outID", "DDDDDDDD"}, WidestValue{"ID_Metki", "DDDDDDDD"},
                      WidestValue{"IntervalMetki", "65535"}, WidestValue{"UrPr", "-126"},
                      WidestValue{"outVer", "2.5.5."}, WidestValue{"sn_sl", "4294967295"},
                      WidestValue{"Temp_sl", "4095.9375"}),
    [](const auto &info) { return std::string(info.param.control) + "_" + std::to_string(info.index); });
