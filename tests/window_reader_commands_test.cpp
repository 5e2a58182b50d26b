// The reader page's commands on a fake port: the request each handler leaves
// pending, the checks of what the operator typed, the input and Yes/No boxes,
// and the operating mode frame.
#include "support/testnames.h"
#include "support/windowfixture.h"

#include "protocol/frame.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <utility>
#include <vector>

namespace {

using Handler = void (frmSerial::*)();
using Fields = std::vector<std::pair<const char *, const char *>>;

QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

// Something else already waiting to go out (a reader data poll of address 1).
const QByteArray OtherPending = hex("3101F0C5");

const QString NoAddress = QStringLiteral("Установите существующий сетевой адрес");
const QString AddressRange = QStringLiteral("Введите число в диапазоне 0....200");
const QString SerialRange = QStringLiteral("Введите число в диапазоне 0....2 000 000");
const QString CellRange = QStringLiteral("номер ячейки должен быть от 1 до10");
const QString NotHex = QStringLiteral("В строке имеются символы не принадлежащие HEX");
const QString TooLong = QStringLiteral("Cлишком много символов Идентификатора");
const QString UpperQuestion = QStringLiteral(
    "Сейчас будет произведена перекалибровка верхнего уровня. Вы уверены что это нужно?");
const QString LowerQuestion = QStringLiteral(
    "Сейчас будет произведена перекалибровка нижнего уровня. Вы уверены что это нужно?");

class ReaderCommands : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        selectAddress(1);
    }

    void type(const Fields &fields)
    {
        for (const auto &[name, value] : fields)
            ctl<QLineEdit>(name)->setText(QString::fromUtf8(value));
    }

    // The operator types a number that is no entry of the address list.
    void deselectAddress() { ctl<QComboBox>("CmbNet")->setEditText("x"); }

    void run(Handler h) { (w.get()->*h)(); }

    QRadioButton *option(const char *name) { return ctl<QRadioButton>(name); }
    QCheckBox *box(const char *name) { return ctl<QCheckBox>(name); }
};

// ---------------------------------------------------------------------------
// The request every handler builds for address 1, made while another request
// is still pending: the address and mode requests append, the others replace.

struct RequestCase {
    const char *name;
    Handler handler;
    Fields fields;
    const char *answer; // to the input box or, for "yes", to the Yes/No box
    const char *frame;
    bool appends = false;
};

void PrintTo(const RequestCase &c, std::ostream *os)
{
    *os << c.name;
}

class ReaderRequest : public ReaderCommands, public ::testing::WithParamInterface<RequestCase>
{
};

TEST_P(ReaderRequest, BuildsTheFrame)
{
    const RequestCase &c = GetParam();
    type(c.fields);
    if (c.answer)
        dialogs.inputAnswers.push_back(QString::fromUtf8(c.answer));
    dialogs.yesNoAnswers.push_back(true);
    setVars([&](CycleVars &v) { v.wrs = OtherPending; });
    run(c.handler);
    const QByteArray before = c.appends ? OtherPending : QByteArray();
    EXPECT_EQ(w->vars().wrs.bytes().toHex().toUpper(), (before + hex(c.frame)).toHex().toUpper());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    AllHandlers, ReaderRequest,
    ::testing::Values(
        RequestCase{"Radio", &frmSerial::param_Click, {{"num_net", "1"}, {"n_kan", "5"}, {"ppow", "10"}},
                    nullptr, "3101F40001050A8D"},
        RequestCase{"RadioUpperLimits", &frmSerial::param_Click,
                    {{"num_net", "65000"}, {"n_kan", "255"}, {"ppow", "3"}}, nullptr, "3101F4FDE8FF03CA"},
        RequestCase{"Delay", &frmSerial::Command2_Click, {{"Zad2", "1000"}}, nullptr, "3101F103E89E"},
        RequestCase{"DelayMost", &frmSerial::Command2_Click, {{"Zad2", "6000"}}, nullptr, "3101F117709A"},
        RequestCase{"DelayZero", &frmSerial::Command2_Click, {{"Zad2", "0"}}, nullptr, "3101F10000E0"},
        RequestCase{"ReadDelay", &frmSerial::RD_DP_Click, {}, nullptr, "3101F746"},
        RequestCase{"NewAddress", &frmSerial::net_Click, {}, "5", "3101FB05E9", true},
        RequestCase{"NewAddressMost", &frmSerial::net_Click, {}, "200", "3101FBC8DE", true},
        RequestCase{"NewAddressZero", &frmSerial::net_Click, {}, "0", "3101FB00D6", true},
        RequestCase{"Serial", &frmSerial::Command1_Click, {}, "255", "3101F6000000FF11"},
        RequestCase{"SerialMost", &frmSerial::Command1_Click, {}, "2000000", "3101F6001E848002"},
        RequestCase{"SerialZero", &frmSerial::Command1_Click, {}, "0", "3101F60000000024"},
        RequestCase{"UpperLevel", &frmSerial::hig_Click, {}, nullptr, "3101F5FA"},
        RequestCase{"LowerLevel", &frmSerial::low_Click, {}, nullptr, "3101FABB"},
        RequestCase{"ReadTable", &frmSerial::ids_r_Click, {}, nullptr, "3101E7DB"},
        RequestCase{"ClearTable", &frmSerial::ids_clr_Click, {}, nullptr, "3101E9C4"},
        // The table requests do not depend on the cell and ID boxes.
        RequestCase{"ReadTableWithJunkBoxes", &frmSerial::ids_r_Click, {{"plm", "x"}, {"iddm", "zz"}}, nullptr,
                    "3101E7DB"},
        RequestCase{"WriteCell", &frmSerial::Command3_Click, {{"plm", "1"}, {"iddm", "12AB"}}, nullptr,
                    "3101E600000012ABEB"},
        RequestCase{"WriteLastCell", &frmSerial::Command3_Click, {{"plm", "10"}, {"iddm", "1"}}, nullptr,
                    "3101E60900000001B4"},
        RequestCase{"WriteWidestId", &frmSerial::Command3_Click, {{"plm", "2"}, {"iddm", "FFFFFFFF"}}, nullptr,
                    "3101E601FFFFFFFF59"},
        RequestCase{"Mode", &frmSerial::Set_mode_Click, {}, nullptr, "3101F202D8", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReaderCommands, ParametersAreDumpedIntoTheRequestBoxOnly)
{
    ctl<QPlainTextEdit>("txtRec")->setPlainText("before");
    type({{"num_net", "1"}, {"n_kan", "5"}, {"ppow", "10"}});
    w->param_Click();
    EXPECT_EQ(text("CmdBoxText"), "31 1 F4 0 1 5 A 8D ");
    type({{"Zad2", "1000"}});
    w->Command2_Click();
    EXPECT_EQ(text("CmdBoxText"), "31 1 F1 3 E8 9E ");
    EXPECT_EQ(text("txtRec"), "before");
}

TEST_F(ReaderCommands, AddressAndSerialAreRecordedInTheLog)
{
    dialogs.inputAnswers = {"5", "255"};
    w->net_Click();
    // 0xFB and 0xE9 are "ы" and "й" in the system's code page.
    EXPECT_EQ(text("txtRec"), "31 1 FB 5 E9 \n\n1@ы@й");
    w->Command1_Click();
    EXPECT_EQ(text("txtRec"), "31 1 F6 0 0 0 FF 11 \n\n1@ц@@@я@");
}

// Moving the reader onto an address the last search found asks first: two
// readers on one address could not be told apart any more. No frame is sent
// to find out.
TEST_F(ReaderCommands, MoveOntoAnAddressTheSearchFoundIsConfirmedFirst)
{
    openPort();
    w->Opros_Click();
    tick();
    tick(bytes({5, 7})); // reader 5 is selected
    const int written = int(port.written.size());
    struct Row {
        const char *answer;
        bool yes;
        bool asked;
        bool queued;
    };
    for (const Row &row : {Row{"7", false, true, false}, Row{"7", true, true, true}, Row{"9", false, false, true},
                           Row{"5", false, false, true}}) {
        SCOPED_TRACE(row.answer);
        setVars([](CycleVars &v) { v.wrs.clear(); });
        dialogs.questions.clear();
        dialogs.inputAnswers = {row.answer};
        dialogs.yesNoAnswers = {row.yes};
        w->net_Click();
        const int to = QString::fromLatin1(row.answer).toInt();
        EXPECT_EQ(dialogs.questions,
                  row.asked ? QStringList{QStringLiteral("По адресу %1 уже отвечает считыватель. Всё равно изменить?")
                                              .arg(to)}
                            : QStringList{});
        EXPECT_EQ(QByteArray(w->vars().wrs),
                  row.queued ? proto::buildRequest(5, 0xFB, QByteArray(1, char(to))) : QByteArray());
    }
    EXPECT_EQ(port.written.size(), written);
}

TEST_F(ReaderCommands, AppendedAddressRequestIsLoggedWhole)
{
    setVars([&](CycleVars &v) { v.wrs = OtherPending; });
    dialogs.inputAnswers = {"5"};
    w->net_Click();
    EXPECT_EQ(text("txtRec"), "31 1 F0 C5 31 1 FB 5 E9 \n\n1@рЕ1@ы@й");
}

// ---------------------------------------------------------------------------
// Entries that are refused: one message, and the pending request as stated.

struct RefusalCase {
    const char *name;
    Handler handler;
    Fields fields;
    const char *answer;
    QString message;
    bool keepsPending; // else the handler emptied it
};

void PrintTo(const RefusalCase &c, std::ostream *os)
{
    *os << c.name;
}

class ReaderRefusal : public ReaderCommands, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(ReaderRefusal, ShowsOneMessageAndSendsNothingNew)
{
    const RefusalCase &c = GetParam();
    type(c.fields);
    if (c.answer)
        dialogs.inputAnswers.push_back(QString::fromUtf8(c.answer));
    setVars([&](CycleVars &v) { v.wrs = OtherPending; });
    run(c.handler);
    EXPECT_EQ(dialogs.messages, QStringList{c.message});
    EXPECT_EQ(w->vars().wrs, c.keepsPending ? OtherPending : QByteArray());
}

const Fields GoodRadio = {{"num_net", "1"}, {"n_kan", "5"}, {"ppow", "10"}};

Fields radio(const char *network, const char *channel, const char *power)
{
    return {{"num_net", network}, {"n_kan", channel}, {"ppow", power}};
}

INSTANTIATE_TEST_SUITE_P(
    BadEntries, ReaderRefusal,
    ::testing::Values(
        RefusalCase{"NetworkAboveRange", &frmSerial::param_Click, radio("65001", "5", "10"), nullptr, "error", false},
        RefusalCase{"NetworkZero", &frmSerial::param_Click, radio("0", "5", "10"), nullptr, "error", false},
        RefusalCase{"NetworkLetters", &frmSerial::param_Click, radio("abc", "5", "10"), nullptr, "error", false},
        RefusalCase{"NetworkEmpty", &frmSerial::param_Click, radio("", "5", "10"), nullptr, "error", false},
        RefusalCase{"ChannelAboveRange", &frmSerial::param_Click, radio("1", "256", "10"), nullptr, "error", false},
        RefusalCase{"ChannelZero", &frmSerial::param_Click, radio("1", "0", "10"), nullptr, "error", false},
        RefusalCase{"ChannelLetters", &frmSerial::param_Click, radio("1", "k", "10"), nullptr, "error", false},
        RefusalCase{"PowerBelowRange", &frmSerial::param_Click, radio("1", "5", "2"), nullptr, "error", false},
        RefusalCase{"PowerEmpty", &frmSerial::param_Click, radio("1", "5", ""), nullptr, "error", false},
        // All three bad: only the network number is reported.
        RefusalCase{"AllThreeBad", &frmSerial::param_Click, radio("0", "0", "0"), nullptr, "error", false},
        RefusalCase{"DelayAboveRange", &frmSerial::Command2_Click, {{"Zad2", "6001"}}, nullptr, "error", false},
        RefusalCase{"DelayNegative", &frmSerial::Command2_Click, {{"Zad2", "-1"}}, nullptr, "error", false},
        RefusalCase{"DelayLetters", &frmSerial::Command2_Click, {{"Zad2", "1s"}}, nullptr, "error", false},
        RefusalCase{"Address201", &frmSerial::net_Click, {}, "201", AddressRange, true},
        RefusalCase{"Address255", &frmSerial::net_Click, {}, "255", AddressRange, true},
        RefusalCase{"Address256", &frmSerial::net_Click, {}, "256", AddressRange, true},
        RefusalCase{"AddressNegative", &frmSerial::net_Click, {}, "-1", AddressRange, true},
        RefusalCase{"AddressLetters", &frmSerial::net_Click, {}, "abc", AddressRange, true},
        RefusalCase{"SerialAboveRange", &frmSerial::Command1_Click, {}, "2000001", SerialRange, false},
        RefusalCase{"SerialNegative", &frmSerial::Command1_Click, {}, "-1", SerialRange, false},
        RefusalCase{"SerialLetters", &frmSerial::Command1_Click, {}, "12a", SerialRange, false},
        RefusalCase{"CellEmpty", &frmSerial::Command3_Click, {{"plm", ""}, {"iddm", "1"}}, nullptr, CellRange, true},
        RefusalCase{"CellLetters", &frmSerial::Command3_Click, {{"plm", "ab"}, {"iddm", "1"}}, nullptr, CellRange,
                    true},
        RefusalCase{"Cell256", &frmSerial::Command3_Click, {{"plm", "256"}, {"iddm", "1"}}, nullptr, CellRange, true},
        RefusalCase{"CellZero", &frmSerial::Command3_Click, {{"plm", "0"}, {"iddm", "1"}}, nullptr, CellRange, true},
        RefusalCase{"Cell11", &frmSerial::Command3_Click, {{"plm", "11"}, {"iddm", "1"}}, nullptr, CellRange, true},
        RefusalCase{"CellNegative", &frmSerial::Command3_Click, {{"plm", "-1"}, {"iddm", "1"}}, nullptr, CellRange,
                    true},
        RefusalCase{"IdNotHex", &frmSerial::Command3_Click, {{"plm", "3"}, {"iddm", "12G4"}}, nullptr, NotHex, true},
        RefusalCase{"IdNineDigits", &frmSerial::Command3_Click, {{"plm", "3"}, {"iddm", "123456789"}}, nullptr,
                    TooLong, true}),
    [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// No entry of the address list selected.

struct NoAddressCase {
    const char *name;
    Handler handler;
    const char *answer;
};

void PrintTo(const NoAddressCase &c, std::ostream *os)
{
    *os << c.name;
}

class ReaderWithoutAddress : public ReaderCommands, public ::testing::WithParamInterface<NoAddressCase>
{
};

TEST_P(ReaderWithoutAddress, AsksForAnExistingAddress)
{
    const NoAddressCase &c = GetParam();
    type(GoodRadio);
    type({{"Zad2", "100"}, {"plm", "1"}, {"iddm", "1"}});
    if (c.answer)
        dialogs.inputAnswers.push_back(QString::fromUtf8(c.answer));
    deselectAddress();
    run(c.handler);
    EXPECT_EQ(dialogs.messages, QStringList{NoAddress});
    EXPECT_TRUE(w->vars().wrs.isEmpty()) << w->vars().wrs.bytes().toHex().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, ReaderWithoutAddress,
    ::testing::Values(NoAddressCase{"Radio", &frmSerial::param_Click, nullptr},
                      NoAddressCase{"Delay", &frmSerial::Command2_Click, nullptr},
                      NoAddressCase{"ReadDelay", &frmSerial::RD_DP_Click, nullptr},
                      NoAddressCase{"NewAddress", &frmSerial::net_Click, "9"},
                      NoAddressCase{"Serial", &frmSerial::Command1_Click, "5"},
                      NoAddressCase{"ReadTable", &frmSerial::ids_r_Click, nullptr},
                      NoAddressCase{"ClearTable", &frmSerial::ids_clr_Click, nullptr},
                      NoAddressCase{"WriteCell", &frmSerial::Command3_Click, nullptr}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReaderCommands, WithoutAddressCalibrationAndModeStaySilent)
{
    deselectAddress();
    dialogs.yesNoAnswers = {true, true};
    setVars([&](CycleVars &v) { v.mode_yes = 0; });
    for (Handler h : {&frmSerial::hig_Click, &frmSerial::low_Click, &frmSerial::Set_mode_Click})
        run(h);
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(w->vars().wrs.isEmpty());
    EXPECT_EQ(w->vars().mode_yes, 0);
}

TEST_F(ReaderCommands, WithoutAddressTheSerialEntryClearsTheLog)
{
    ctl<QPlainTextEdit>("txtRec")->setPlainText("before");
    dialogs.inputAnswers = {"5"};
    deselectAddress();
    w->Command1_Click();
    // The empty request's record: no bytes, the two line breaks.
    EXPECT_EQ(text("txtRec"), "\n\n");
}

TEST_F(ReaderCommands, WithoutAddressACancelledInputBoxShowsNothing)
{
    deselectAddress();
    w->net_Click();
    w->Command1_Click();
    EXPECT_EQ(dialogs.inputs.size(), 2u);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// ---------------------------------------------------------------------------
// Input boxes.

TEST_F(ReaderCommands, InputBoxesAskWithTheirTexts)
{
    selectAddress(17);
    w->net_Click();
    w->Command1_Click();
    ASSERT_EQ(dialogs.inputs.size(), 2u);
    EXPECT_EQ(dialogs.inputs[0].prompt, "Введите новый сетевой номер");
    EXPECT_EQ(dialogs.inputs[0].title, "Ввод сетевого номера");
    EXPECT_EQ(dialogs.inputs[0].initial, "17");
    EXPECT_EQ(dialogs.inputs[1].prompt, "Введите серийный номер");
    EXPECT_EQ(dialogs.inputs[1].title, "Ввод серийного номера");
    EXPECT_EQ(dialogs.inputs[1].initial, "0");
}

TEST_F(ReaderCommands, CancelledInputBoxSendsAndShowsNothing)
{
    ctl<QPlainTextEdit>("txtRec")->setPlainText("before");
    setVars([&](CycleVars &v) { v.wrs = OtherPending; });
    w->net_Click();
    EXPECT_EQ(w->vars().wrs, OtherPending); // nothing appended
    w->Command1_Click();
    EXPECT_TRUE(w->vars().wrs.isEmpty()); // the serial entry empties it before asking
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(text("txtRec"), "before");
}

// ---------------------------------------------------------------------------
// Calibration asks first.

TEST_F(ReaderCommands, CalibrationAsksAndNoLeavesThePendingRequest)
{
    setVars([&](CycleVars &v) { v.wrs = OtherPending; });
    dialogs.yesNoAnswers = {false, false};
    w->hig_Click();
    w->low_Click();
    EXPECT_EQ(dialogs.questions, (QStringList{UpperQuestion, LowerQuestion}));
    EXPECT_EQ(w->vars().wrs, OtherPending);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(ReaderCommands, CalibrationWritesNothingToTheLog)
{
    ctl<QPlainTextEdit>("txtRec")->setPlainText("before");
    dialogs.yesNoAnswers = {true, true};
    w->hig_Click();
    w->low_Click();
    EXPECT_EQ(text("txtRec"), "before");
}

TEST_F(ReaderCommands, IdentificationNumberButtonHasNoEffect)
{
    dialogs.inputAnswers = {"5"};
    setVars([&](CycleVars &v) { v.wrs = OtherPending; });
    w->Set_ident_Click();
    EXPECT_EQ(w->vars().wrs, OtherPending);
    EXPECT_TRUE(dialogs.inputs.empty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// ---------------------------------------------------------------------------
// Operating modes.

struct ModeCase {
    const char *option;
    bool master, frequency;
    quint8 modeByte;
};

void PrintTo(const ModeCase &c, std::ostream *os)
{
    *os << c.option << (c.master ? " +master" : "") << (c.frequency ? " +frequency" : "");
}

class ReaderModeByte : public ReaderCommands, public ::testing::WithParamInterface<ModeCase>
{
};

TEST_P(ReaderModeByte, FromTheSelectedOption)
{
    const ModeCase &c = GetParam();
    option(c.option)->setChecked(true);
    box("iinv")->setChecked(c.master);
    box("usredn")->setChecked(c.frequency);
    w->Set_mode_Click();
    ASSERT_EQ(w->vars().wrs.size(), 5);
    EXPECT_EQ(quint8(w->vars().wrs.bytes()[3]), c.modeByte);
    EXPECT_EQ(w->vars().wrs, proto::buildRequest(1, 0xF2, QByteArray(1, char(c.modeByte))));
}

INSTANTIATE_TEST_SUITE_P(Options, ReaderModeByte,
                         ::testing::Values(ModeCase{"R_a", false, false, 0x02},
                                           ModeCase{"R_f", false, false, 0x01},
                                           ModeCase{"R_p485", false, false, 0x10},
                                           ModeCase{"R485", false, false, 0x00},
                                           ModeCase{"R_p", false, false, 0x06},
                                           ModeCase{"R485", true, true, 0xC0},
                                           ModeCase{"R485", false, true, 0x40},
                                           ModeCase{"R485", true, false, 0x80}),
                         [](const auto &info) { return std::string(info.param.option) + (info.param.master ? "_Master" : "") + (info.param.frequency ? "_Frequency" : ""); });

TEST_F(ReaderCommands, ModeRequestLogsAndRequestsTheModeLoad)
{
    setVars([&](CycleVars &v) { v.mode_yes = 0; });
    w->Set_mode_Click();
    EXPECT_EQ(w->vars().mode_yes, 2);
    EXPECT_EQ(text("txtRec"), "31 1 F2 2 D8 \n\n1@т@Ш");
}

TEST_F(ReaderCommands, LeavingTheBridgeHidesAndClearsItsOptions)
{
    option("R485")->setChecked(true);
    for (const char *name : {"iinv", "usredn", "invers", "usred"})
        EXPECT_FALSE(ctl(name)->isHidden()) << name;
    box("iinv")->setChecked(true);
    box("usredn")->setChecked(true);

    option("R_a")->setChecked(true);
    for (const char *name : {"iinv", "usredn", "invers", "usred"})
        EXPECT_TRUE(ctl(name)->isHidden()) << name;
    EXPECT_FALSE(box("iinv")->isChecked());
    EXPECT_FALSE(box("usredn")->isChecked());
    w->Set_mode_Click();
    EXPECT_EQ(w->vars().wrs, hex("3101F202D8"));

    // Back to the bridge: the boxes come back, unchecked.
    option("R485")->setChecked(true);
    EXPECT_FALSE(ctl("iinv")->isHidden());
    EXPECT_FALSE(box("iinv")->isChecked());
}

TEST_F(ReaderCommands, TwoModeRequestsGoOutTogether)
{
    openPort();
    setVars([&](CycleVars &v) { v.last_net = 1; });
    option("R485")->setChecked(true);
    box("usredn")->setChecked(true);
    w->Set_mode_Click();
    option("R_f")->setChecked(true);
    w->Set_mode_Click();
    const QByteArray both = hex("3101F24022") + hex("3101F2013A");
    EXPECT_EQ(w->vars().wrs, both);
    tick();
    ASSERT_EQ(port.written.size(), 1);
    EXPECT_EQ(port.written.at(0), both);
    EXPECT_TRUE(w->vars().wrs.isEmpty());
}

// A click on the option that is already selected applies the rule as well:
// after a received 0xC2 the two bits would otherwise go out, unseen, with the
// reader mode.
struct SelectedOptionClick {
    const char *option;
    quint8 code;
};

void PrintTo(const SelectedOptionClick &c, std::ostream *os)
{
    *os << c.option;
}

class ReaderSelectedOptionClick : public ReaderCommands, public ::testing::WithParamInterface<SelectedOptionClick>
{
};

TEST_P(ReaderSelectedOptionClick, HidesAndClearsTheBridgeOptions)
{
    const SelectedOptionClick &c = GetParam();
    openPort();
    option(c.option)->setChecked(true);
    w->Out_modes(0xC0 | c.code);
    ASSERT_TRUE(box("iinv")->isChecked());
    ASSERT_TRUE(box("usredn")->isChecked());

    option(c.option)->click();
    EXPECT_TRUE(option(c.option)->isChecked());
    EXPECT_FALSE(box("iinv")->isChecked());
    EXPECT_FALSE(box("usredn")->isChecked());
    for (const char *name : {"iinv", "usredn", "invers", "usred"})
        EXPECT_TRUE(ctl(name)->isHidden()) << name;
    w->Set_mode_Click();
    EXPECT_EQ(w->vars().wrs, proto::buildRequest(1, 0xF2, QByteArray(1, char(c.code))));
}

INSTANTIATE_TEST_SUITE_P(Options, ReaderSelectedOptionClick,
                         ::testing::Values(SelectedOptionClick{"R_a", 0x02}, SelectedOptionClick{"R_f", 0x01},
                                           SelectedOptionClick{"R_p485", 0x10}),
                         [](const auto &info) { return std::string(info.param.option); });

TEST_F(ReaderCommands, ReceivedModeOutsideTheTableOnlySetsTheBoxes)
{
    option("R_f")->setChecked(true);
    w->Out_modes(0x85);
    EXPECT_TRUE(option("R_f")->isChecked());
    EXPECT_TRUE(box("iinv")->isChecked());
    EXPECT_FALSE(box("usredn")->isChecked());
}

TEST_F(ReaderCommands, ReceivedModeSelectsItsOptionAndKeepsTheFrequencyBit)
{
    option("R485")->setChecked(true);
    box("iinv")->setChecked(true);
    w->Out_modes(0x41);
    EXPECT_TRUE(option("R_f")->isChecked());
    EXPECT_FALSE(option("R485")->isChecked());
    for (const char *name : {"iinv", "usredn", "invers", "usred"})
        EXPECT_TRUE(ctl(name)->isHidden()) << name;
    EXPECT_FALSE(box("iinv")->isChecked());
    EXPECT_TRUE(box("usredn")->isChecked());
    // The hidden box still counts when the mode is sent back.
    w->Set_mode_Click();
    EXPECT_EQ(quint8(w->vars().wrs.bytes()[3]), 0x41);
}

TEST_F(ReaderCommands, ReceivedBridgeModeWithOptionsShowsBoth)
{
    w->Out_modes(0xC0);
    EXPECT_TRUE(option("R485")->isChecked());
    EXPECT_FALSE(ctl("iinv")->isHidden());
    EXPECT_TRUE(box("iinv")->isChecked());
    EXPECT_TRUE(box("usredn")->isChecked());
}

TEST_F(ReaderCommands, ConfirmedRepeaterModeSelectsTheRepeater)
{
    openPort();
    setVars([&](CycleVars &v) { v.last_net = 1; });
    tick(hex("3E01F20623"));
    EXPECT_TRUE(option("R_p")->isChecked());
    EXPECT_FALSE(option("R_a")->isChecked());
    EXPECT_EQ(text("MsgCom"), " Установлен новый режим.");
}

// ---------------------------------------------------------------------------
// The address box after a search found 5, 7 and 12: only an entry of the list
// is an address; what is typed is never completed to one nor added to the list.

struct AddressBoxCase {
    const char *name;
    const char *typed;
    bool enter;
    int picked; // the entry chosen from the list afterwards, -1 for none
    const char *shown;
    std::optional<quint8> address;
};

void PrintTo(const AddressBoxCase &c, std::ostream *os)
{
    *os << c.name;
}

class AddressBox : public WindowTest, public ::testing::WithParamInterface<AddressBoxCase>
{
protected:
    void key(QWidget *to, int code, const QString &text = {})
    {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
        QApplication::sendEvent(to, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
        QApplication::sendEvent(to, &release);
    }
};

TEST_P(AddressBox, IsAnAddressOnlyWhenAListedEntry)
{
    const AddressBoxCase &c = GetParam();
    openPort();
    auto *list = ctl<QComboBox>("CmbNet");
    list->clear();
    list->addItems({"5", "7", "12"});
    list->setCurrentIndex(0);
    setVars([&](CycleVars &v) { v.last_net = 5; });

    QLineEdit *edit = list->lineEdit();
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &focus);
    edit->selectAll();
    for (const QChar ch : QString::fromUtf8(c.typed)) {
        const int code = ch.isDigit() ? Qt::Key_0 + ch.digitValue() : Qt::Key_A + (ch.toLatin1() - 'a');
        key(edit, code, ch);
    }
    if (c.enter)
        key(edit, Qt::Key_Return, QStringLiteral("\r"));
    if (c.picked >= 0)
        list->setCurrentIndex(c.picked);

    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    EXPECT_EQ(entries, QStringList({"5", "7", "12"}));
    EXPECT_EQ(list->currentText(), QString::fromUtf8(c.shown));
    EXPECT_EQ(w->currentAddress(), c.address);
    // The next tick identifies the reader chosen; without an address it sends nothing.
    tick();
    QByteArrayList sent;
    if (c.address)
        sent << proto::buildRequest(*c.address, *c.address == 5 ? 0xF0 : 0xFC);
    EXPECT_EQ(port.written, sent);
}

INSTANTIATE_TEST_SUITE_P(
    TypingAndPicking, AddressBox,
    ::testing::Values(AddressBoxCase{"PrefixOfAnEntryIsNotCompleted", "1", false, -1, "1", std::nullopt},
                      AddressBoxCase{"UnlistedNumberAndEnterAddNothing", "9", true, -1, "9", std::nullopt},
                      AddressBoxCase{"LettersAndEnterAddNothing", "abc", true, -1, "abc", std::nullopt},
                      AddressBoxCase{"ListedEntryTypedInFullAndEnter", "12", true, -1, "12", quint8(12)},
                      AddressBoxCase{"EntryPickedAfterTyping", "9", false, 2, "12", quint8(12)},
                      AddressBoxCase{"EntryPickedAfterEnter", "abc", true, 1, "7", quint8(7)}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
