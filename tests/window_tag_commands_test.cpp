// The tag and bridge pages on a fake port: the requests their buttons queue,
// the refusals, and the display of the tag and slave-sensor replies.
#include "support/testnames.h"
#include "support/windowfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>

namespace {

const QString GenericRange = QStringLiteral("Введите число в диапазоне 0....2 000 000");
const QString DelayRange = QStringLiteral("Введите число в диапазоне 0....65535");
const QString NoAddress = QStringLiteral("Установите существующий сетевой адрес");
const QString IdTooLong = QStringLiteral("Cлишком много символов Идентификатора");
const QString IdNotHex = QStringLiteral("В строке имеются символы не принадлежащие HEX");

// Every control the tag and slave replies write to.
const char *const DisplayControls[] = {
    "MsgCom", "SerNumMetki", "textOutCmd", "outID", "ID_Metki", "UrPr", "outSN", "outTime",
    "IntervalMetki", "outMode", "ModeMetki", "outPower", "PowerMetki", "outVer", "sleep_time",
    "sn_sl", "Temp_sl", "fr_sl", "ur_sl", "RR_SL_data",
};

} // namespace

class TagTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        connectToReader(5);
        // A tag has answered: the handlers that address the tag last heard
        // act on it (the tests put the ID they need into outID).
        tick(replyFrame(5, 0xE0, QByteArray(9, '\0')));
        port.written.clear();
        w->PrintToWin({});
        ctl<QPlainTextEdit>("txtRec")->clear();
    }

    void put(const char *name, const QString &value)
    {
        QObject *c = w->findChild<QObject *>(QString::fromUtf8(name));
        ASSERT_NE(c, nullptr) << name;
        if (auto *l = qobject_cast<QLabel *>(c))
            l->setText(value);
        else if (auto *e = qobject_cast<QLineEdit *>(c))
            e->setText(value);
        else if (auto *p = qobject_cast<QPlainTextEdit *>(c))
            p->setPlainText(value);
    }

    // The parameters of the worked example: tag 100 gets ID 12AB3C, delay
    // 1000, mode 2, power 100, period 60.
    void putExampleParams()
    {
        put("SerNumMetki", "100");
        put("ID_Metki", "12AB3C");
        put("IntervalMetki", "1000");
        put("ModeMetki", "2");
        put("PowerMetki", "100");
        put("sleep_time", "60");
    }

    void noAddress() { ctl<QComboBox>("CmbNet")->setEditText("x"); }

    QStringList snapshot()
    {
        QStringList s;
        for (const char *name : DisplayControls)
            s << text(name);
        s << (ctl<QCheckBox>("Check_sl")->isChecked() ? "checked" : "unchecked");
        return s;
    }
};

// ---- Request bytes -------------------------------------------------------

TEST_F(TagTest, ReadParamMetkiReadsTheTagLastHeard)
{
    put("outID", "12AB3C");
    w->ReadParamMetki_Click();
    EXPECT_EQ(w->vars().wrs, bytes({0x31, 0x05, 0xE3, 0x00, 0x12, 0xAB, 0x3C, 0x83}));
    EXPECT_EQ(w->vars().tag_read, 1);
}

TEST_F(TagTest, SetModesMetkiBuildsTheWorkedExample)
{
    putExampleParams();
    w->SetModesMetki_Click();
    EXPECT_EQ(w->vars().wrs, bytes({0x31, 0x05, 0xE1, 0x0E, 0x00, 0x00, 0x00, 0x64, 0x00, 0x12, 0xAB, 0x3C,
                             0x03, 0xE8, 0x02, 0x64, 0x00, 0x3C, 0x78}));
    EXPECT_EQ(text("CmdBoxText"), "31 5 E1 E 0 0 0 64 0 12 AB 3C 3 E8 2 64 0 3C 78 ");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(TagTest, SetModesMetkiTakesUnsignedSerialsAndTheRangeEnds)
{
    putExampleParams();
    put("SerNumMetki", "4294967295");
    put("IntervalMetki", "65535");
    put("ModeMetki", "0");
    w->SetModesMetki_Click();
    ASSERT_EQ(w->vars().wrs.size(), 19);
    EXPECT_EQ(w->vars().wrs.bytes().mid(4, 4), bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(w->vars().wrs.bytes().mid(12, 3), bytes({0xFF, 0xFF, 0x00}));

    put("IntervalMetki", "0");
    w->SetModesMetki_Click();
    ASSERT_EQ(w->vars().wrs.size(), 19);
    EXPECT_EQ(w->vars().wrs.bytes().mid(12, 2), bytes({0x00, 0x00}));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(TagTest, InstSNBuildsTheWorkedExampleAndItsRecord)
{
    put("outID", "12AB3C");
    dialogs.inputAnswers = {"100"};
    w->InstSN_Click();
    const QByteArray frame = bytes({0x31, 0x05, 0xE2, 0x00, 0x12, 0xAB, 0x3C, 0x00, 0x00, 0x00, 0x64, 0xF1});
    EXPECT_EQ(w->vars().wrs, frame);
    // 0xE2, 0xAB and 0xF1 read as Windows-1251 letters; bytes below 0x30 as "@".
    EXPECT_EQ(text("txtRec"), QStringLiteral("31 5 E2 0 12 AB 3C 0 0 0 64 F1 \n\n1@в@@«<@@@dс"));
    ASSERT_EQ(dialogs.inputs.size(), 1u);
    EXPECT_EQ(dialogs.inputs[0].prompt, "Введите серийный номер метки");
    EXPECT_EQ(dialogs.inputs[0].title, "Ввод серийного номера метки");
    EXPECT_EQ(dialogs.inputs[0].initial, "0");
}

struct SlaveButton {
    const char *name;
    void (frmSerial::*click)();
    QByteArray frame;
    QString dump; // what CmdBoxText shows afterwards; the slave buttons write none
};

class SlaveButtonTest : public TagTest, public ::testing::WithParamInterface<SlaveButton> {};

TEST_P(SlaveButtonTest, ReplacesThePendingRequestOnce)
{
    const SlaveButton &b = GetParam();
    setVars([&](CycleVars &v) { v.CointWrs = 1; });
    setVars([&](CycleVars &v) { v.wrs = proto::buildRequest(5, 0xF0); });
    put("CmdBoxText", "keep");
    (w.get()->*b.click)();
    (w.get()->*b.click)();
    EXPECT_EQ(w->vars().wrs, b.frame);
    EXPECT_EQ(w->vars().CointWrs, 1);
    EXPECT_EQ(text("CmdBoxText"), b.dump);
    tick();
    ASSERT_EQ(port.written.size(), 1);
    EXPECT_EQ(port.written[0], b.frame);
}

TEST_P(SlaveButtonTest, QueuesNothingWithoutAnAddress)
{
    const QByteArray pending = proto::buildRequest(5, 0xF0);
    setVars([&](CycleVars &v) { v.wrs = pending; });
    noAddress();
    (w.get()->*GetParam().click)();
    EXPECT_EQ(w->vars().wrs, pending);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, SlaveButtonTest,
    ::testing::Values(SlaveButton{"sl_zapros", &frmSerial::sl_zapros_Click, bytes({0x31, 0x05, 0x06, 0x57}), "keep"},
                      SlaveButton{"zapr_data_sl", &frmSerial::zapr_data_sl_Click, bytes({0x31, 0x05, 0xE8, 0xA1}), "keep"},
                      SlaveButton{"Find_metki", &frmSerial::Find_metki_Click,
                                  bytes({0x31, 0x05, 0xE0, 0x7A, 0x7A, 0x7A, 0x7A, 0xF9}),
                                  "31_5_E0_7A_7A_7A_7A_F9_"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- The tag ID field ----------------------------------------------------

// A handler that sends a tag ID: where the ID is typed and where it lands.
struct IdRoute {
    const char *name;
    void (frmSerial::*click)();
    const char *control;
    int offset;        // of the ID in the frame
    bool keepsPending; // a refusal leaves a pending request alone
};

struct IdCase {
    const char *id;
    QByteArray field;  // empty when refused
    QString message;
};

class IdFieldTest : public TagTest, public ::testing::WithParamInterface<std::tuple<IdRoute, IdCase>> {};

TEST_P(IdFieldTest, SendsFourBytesOrRefuses)
{
    const auto &[route, c] = GetParam();
    putExampleParams();
    put(route.control, QString::fromUtf8(c.id));
    dialogs.inputAnswers = {"100"}; // for InstSN
    const QByteArray pending = proto::buildRequest(5, 0xF0);
    setVars([&](CycleVars &v) { v.wrs = pending; });

    (w.get()->*route.click)();

    if (c.field.isEmpty()) {
        EXPECT_EQ(dialogs.messages, QStringList{c.message});
        EXPECT_EQ(w->vars().wrs, route.keepsPending ? pending : QByteArray());
        EXPECT_EQ(w->vars().tag_read, 0);
    } else {
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
        EXPECT_EQ(w->vars().wrs.bytes().mid(route.offset, 4), c.field);
        EXPECT_EQ(w->vars().wrs.back(), char(proto::crc8(w->vars().wrs.bytes().chopped(1))));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rule, IdFieldTest,
    ::testing::Combine(
        ::testing::Values(IdRoute{"ReadParamMetki", &frmSerial::ReadParamMetki_Click, "outID", 3, true},
                          IdRoute{"SetModesMetki", &frmSerial::SetModesMetki_Click, "ID_Metki", 8, false},
                          IdRoute{"InstSN", &frmSerial::InstSN_Click, "outID", 3, false}),
        ::testing::Values(IdCase{"ABC", bytes({0x00, 0x00, 0x0A, 0xBC}), {}},
                          IdCase{"0120AFF", bytes({0x00, 0x12, 0x0A, 0xFF}), {}},
                          IdCase{"5120AFF", bytes({0x05, 0x12, 0x0A, 0xFF}), {}},
                          IdCase{"5", bytes({0x00, 0x00, 0x00, 0x05}), {}},
                          IdCase{"", bytes({0x00, 0x00, 0x00, 0x00}), {}},
                          IdCase{"12ab3c", bytes({0x00, 0x12, 0xAB, 0x3C}), {}},
                          IdCase{"80000000", bytes({0x80, 0x00, 0x00, 0x00}), {}},
                          IdCase{"FFFFFFFF", bytes({0xFF, 0xFF, 0xFF, 0xFF}), {}},
                          IdCase{"123456789", {}, IdTooLong},
                          IdCase{"00ABCDEF12", {}, IdTooLong},
                          IdCase{"12G4", {}, IdNotHex})),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::to_string(info.index);
    });

TEST_F(TagTest, ReadParamMetkiWithoutAnAddressLeavesTheFlagDown)
{
    put("outID", "12AB3C");
    noAddress();
    w->ReadParamMetki_Click();
    EXPECT_TRUE(w->vars().wrs.isEmpty());
    EXPECT_EQ(w->vars().tag_read, 0);
}

// ---- SetModesMetki refusals ----------------------------------------------

struct ParamRefusal {
    std::vector<std::pair<const char *, const char *>> edits;
    QString message;
};

class ParamRefusalTest : public TagTest, public ::testing::WithParamInterface<ParamRefusal> {};

TEST_P(ParamRefusalTest, RefusesWithTheFirstFailingCheck)
{
    putExampleParams();
    for (const auto &[name, value] : GetParam().edits)
        put(name, QString::fromUtf8(value));
    setVars([&](CycleVars &v) { v.wrs = proto::buildRequest(5, 0xF0); });
    put("CmdBoxText", "keep");
    w->SetModesMetki_Click();
    EXPECT_EQ(dialogs.messages, QStringList{GetParam().message});
    EXPECT_TRUE(w->vars().wrs.isEmpty());
    EXPECT_EQ(text("CmdBoxText"), "keep");
}

INSTANTIATE_TEST_SUITE_P(
    Checks, ParamRefusalTest,
    ::testing::Values(
        ParamRefusal{{{"PowerMetki", "0"}}, QStringLiteral("Значение мощности не может быть нулевым")},
        ParamRefusal{{{"PowerMetki", "0"}, {"sleep_time", "0"}}, QStringLiteral("Значение мощности не может быть нулевым")},
        ParamRefusal{{{"sleep_time", "0"}}, QStringLiteral("Значение периода не может быть нулевым")},
        ParamRefusal{{{"sleep_time", "32768"}}, GenericRange},
        ParamRefusal{{{"sleep_time", "-5"}}, GenericRange},
        ParamRefusal{{{"ModeMetki", "256"}}, GenericRange},
        ParamRefusal{{{"ModeMetki", "-1"}}, GenericRange},
        ParamRefusal{{{"ModeMetki", "abc"}}, GenericRange},
        ParamRefusal{{{"PowerMetki", "256"}}, GenericRange},
        ParamRefusal{{{"IntervalMetki", "70000"}}, DelayRange},
        ParamRefusal{{{"IntervalMetki", "5000000000"}}, DelayRange},
        ParamRefusal{{{"IntervalMetki", "99999999999999999999"}}, DelayRange},
        ParamRefusal{{{"IntervalMetki", "-1"}}, GenericRange},
        ParamRefusal{{{"IntervalMetki", "1e3"}}, GenericRange},
        ParamRefusal{{{"SerNumMetki", "4294967296"}}, GenericRange},
        ParamRefusal{{{"SerNumMetki", "-1"}}, GenericRange},
        // The order of the checks: the mode before the ID, the ID before the
        // delay, the delay before the power.
        ParamRefusal{{{"ModeMetki", "256"}, {"ID_Metki", "12G4"}}, GenericRange},
        ParamRefusal{{{"ID_Metki", "12G4"}, {"IntervalMetki", "70000"}}, IdNotHex},
        ParamRefusal{{{"ID_Metki", "12G4"}, {"IntervalMetki", "99999999999999999999"}}, IdNotHex},
        ParamRefusal{{{"IntervalMetki", "70000"}, {"PowerMetki", "0"}}, DelayRange},
        ParamRefusal{{{"sleep_time", "x"}, {"PowerMetki", "0"}}, QStringLiteral("Значение мощности не может быть нулевым")}),
    [](const auto &info) {
        std::string name;
        for (const auto &[field, value] : info.param.edits)
            name += (name.empty() ? "" : "_") + std::string(field) + "_" + caseName(std::string(value));
        return name;
    });

TEST_F(TagTest, SetModesMetkiWithoutAnAddressEmptiesTheDump)
{
    putExampleParams();
    put("CmdBoxText", "keep");
    setVars([&](CycleVars &v) { v.wrs = proto::buildRequest(5, 0xF0); });
    noAddress();
    w->SetModesMetki_Click();
    EXPECT_EQ(dialogs.messages, QStringList{NoAddress});
    EXPECT_TRUE(w->vars().wrs.isEmpty());
    EXPECT_EQ(text("CmdBoxText"), "");
}

// ---- InstSN answers ------------------------------------------------------

struct SerialAnswer {
    const char *answer;
    QByteArray serial; // empty when refused
};

class SerialAnswerTest : public TagTest, public ::testing::WithParamInterface<SerialAnswer> {};

TEST_P(SerialAnswerTest, AcceptsZeroToTwoMillion)
{
    put("outID", "12AB3C");
    put("txtRec", "keep");
    setVars([&](CycleVars &v) { v.wrs = proto::buildRequest(5, 0xF0); });
    dialogs.inputAnswers = {QString::fromUtf8(GetParam().answer)};
    w->InstSN_Click();
    if (GetParam().serial.isEmpty()) {
        EXPECT_EQ(dialogs.messages, QStringList{GenericRange});
        EXPECT_TRUE(w->vars().wrs.isEmpty());
        EXPECT_EQ(ctl<QPlainTextEdit>("txtRec")->toPlainText(), "keep");
    } else {
        EXPECT_TRUE(dialogs.messages.isEmpty());
        ASSERT_EQ(w->vars().wrs.size(), 12);
        EXPECT_EQ(w->vars().wrs.bytes().mid(7, 4), GetParam().serial);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, SerialAnswerTest,
                         ::testing::Values(SerialAnswer{"2000000", bytes({0x00, 0x1E, 0x84, 0x80})},
                                           SerialAnswer{"0", bytes({0x00, 0x00, 0x00, 0x00})},
                                           SerialAnswer{"2000001", {}}, SerialAnswer{"abc", {}},
                                           SerialAnswer{"-1", {}}),
    [](const auto &info) { return "Answer_" + caseName(std::string(info.param.answer)); });

TEST_F(TagTest, InstSNCancelledDoesNothing)
{
    put("outID", "12AB3C");
    put("txtRec", "keep");
    w->InstSN_Click(); // no answer scripted: cancel
    EXPECT_TRUE(w->vars().wrs.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(ctl<QPlainTextEdit>("txtRec")->toPlainText(), "keep");
}

TEST_F(TagTest, InstSNWithoutAnAddressRecordsTheEmptyRequest)
{
    noAddress();
    put("txtRec", "keep");
    dialogs.inputAnswers = {"100"};
    w->InstSN_Click();
    EXPECT_EQ(dialogs.messages, QStringList{NoAddress});
    EXPECT_TRUE(w->vars().wrs.isEmpty());
    EXPECT_EQ(ctl<QPlainTextEdit>("txtRec")->toPlainText(), "\n\n");
}

// ---- Replies -------------------------------------------------------------

TEST_F(TagTest, TagPollShowsTheTagThatAnswered)
{
    tick(replyFrame(5, 0xE0, bytes({0x00, 0x00, 0x01, 0x00, 0x00, 0x12, 0x0A, 0xFF, 0x9C})));
    EXPECT_EQ(text("MsgCom"), "Был ПИНГ.");
    EXPECT_EQ(text("SerNumMetki"), "256");
    EXPECT_EQ(text("textOutCmd"), "E0");
    EXPECT_EQ(text("outID"), "0120AFF");
    EXPECT_EQ(text("UrPr"), "-100");
}

TEST_F(TagTest, TagPollFillsTheIdBoxOnceAfterAParameterRead)
{
    put("outID", "12AB3C");
    put("ID_Metki", "1");
    w->ReadParamMetki_Click();
    tick(replyFrame(5, 0xE0, bytes({0, 0, 0, 1, 0x00, 0x12, 0xAB, 0x3C, 0x10})));
    EXPECT_EQ(text("ID_Metki"), "012AB3C");
    EXPECT_EQ(w->vars().tag_read, 0);

    put("ID_Metki", "ABCDEF"); // the operator edits it
    tick(replyFrame(5, 0xE0, bytes({0, 0, 0, 1, 0x00, 0xA1, 0xB2, 0xC3, 0x10})));
    EXPECT_EQ(text("outID"), "0A1B2C3");
    EXPECT_EQ(text("ID_Metki"), "ABCDEF");
}

TEST_F(TagTest, TagDataFillsTheLabelsAndTheEditableBoxes)
{
    setVars([&](CycleVars &v) { v.tag_read = 1; });
    tick(replyFrame(5, 0xE3, bytes({0x00, 0x01, 0xE2, 0x40, 0x00, 0x12, 0xAB, 0x3C, 0x03, 0xE8, 0x02,
                                    0x64, 134, 0x00, 0x3C, 0x50})));
    EXPECT_EQ(text("MsgCom"), "Считаны данные.");
    EXPECT_EQ(text("textOutCmd"), "E3");
    EXPECT_EQ(text("outSN"), "123456");
    EXPECT_EQ(text("outID"), "012AB3C");
    EXPECT_EQ(text("ID_Metki"), "012AB3C");
    EXPECT_EQ(text("outTime"), "1000");
    EXPECT_EQ(text("IntervalMetki"), "1000");
    EXPECT_EQ(text("outMode"), "2");
    EXPECT_EQ(text("ModeMetki"), "2");
    EXPECT_EQ(text("outPower"), "100");
    EXPECT_EQ(text("PowerMetki"), "100");
    EXPECT_EQ(text("outVer"), "1.3.4.");
    EXPECT_EQ(text("sleep_time"), "60");
    EXPECT_EQ(text("UrPr"), "80");
    EXPECT_EQ(w->vars().tag_read, 1); // only the tag poll lowers it
}

TEST_F(TagTest, TagParameterConfirmation)
{
    tick(replyFrame(5, 0xE1));
    EXPECT_EQ(text("MsgCom"), "Считаны параметры метки.");
}

struct SlaveCase {
    quint8 tempHigh, tempLow, contact, level;
    QString temperature; // with '.' for the locale's decimal point
    bool checked;
    const char *shownLevel;
};

class SlaveDataTest : public TagTest, public ::testing::WithParamInterface<SlaveCase> {};

TEST_P(SlaveDataTest, ShowsTheSlaveSensor)
{
    const SlaveCase &c = GetParam();
    ctl<QCheckBox>("Check_sl")->setChecked(!c.checked);
    tick(replyFrame(5, 0xE8, bytes({0xC9, 0xC9, 0x2D, 0x00, c.tempHigh, c.tempLow, 0xB0, 0x04, c.contact, c.level})));
    EXPECT_EQ(text("MsgCom"), "Приняты данные моста");
    EXPECT_EQ(text("sn_sl"), "3000777");
    EXPECT_EQ(text("Temp_sl"), QString(c.temperature).replace('.', QLocale().decimalPoint()));
    EXPECT_EQ(text("fr_sl"), "1200");
    EXPECT_EQ(ctl<QCheckBox>("Check_sl")->isChecked(), c.checked);
    EXPECT_EQ(text("ur_sl"), c.shownLevel);
}

INSTANTIATE_TEST_SUITE_P(Values, SlaveDataTest,
                         ::testing::Values(SlaveCase{0x01, 0x90, 0xCD, 0x50, "25", true, "80"},
                                           SlaveCase{0x01, 0x91, 0xCC, 0xA0, "25.0625", false, "-96"},
                                           SlaveCase{0x01, 0x98, 0x00, 0x9C, "25.5", false, "-100"},
                                           SlaveCase{0xFF, 0xF0, 0xCD, 0xFF, "-1", true, "-1"}),
    [](const auto &info) { return "Degrees_" + caseName(info.param.temperature) + "_Level_" + caseName(std::string(info.param.shownLevel)); });

TEST_F(TagTest, SlaveRs485WordShowsWithTheBridgeStatus)
{
    tick(replyFrame(5, 0x06, bytes({0x00, 0x34, 0x12})));
    EXPECT_EQ(text("MsgCom"), "Приняты данные моста");
    EXPECT_EQ(text("RR_SL_data"), "4660");
}

// A reply of exactly the layout's length: the checksum byte is left off.
static QByteArray bareReply(quint8 code, const QByteArray &payload)
{
    return bytes({0x3E, 0x05, code}) + payload;
}

struct ShortReply {
    const char *name;
    QByteArray full;
};

class ShortReplyTest : public TagTest, public ::testing::WithParamInterface<ShortReply> {};

TEST_P(ShortReplyTest, ChangesNoDisplayUntilComplete)
{
    const QByteArray &full = GetParam().full;
    for (const char *name : DisplayControls)
        put(name, "x");
    const QStringList before = snapshot();
    for (int n = 4; n < full.size(); ++n) {
        tick(full.left(n));
        EXPECT_EQ(snapshot(), before) << "length " << n;
    }
    tick(full);
    EXPECT_NE(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ShortReplyTest,
    ::testing::Values(
        ShortReply{"TagPoll", bareReply(0xE0, bytes({0, 0, 1, 0, 0, 0x12, 0xAB, 0x3C, 0x9C}))},
        ShortReply{"TagData", bareReply(0xE3, bytes({0, 0, 1, 0, 0, 0x12, 0xAB, 0x3C, 3, 0xE8, 2, 100, 134, 0, 60, 0x9C}))},
        ShortReply{"SlaveData", bareReply(0xE8, bytes({1, 2, 3, 4, 1, 0x90, 0xB0, 4, 0xCD, 0x50}))},
        ShortReply{"SlaveRs485", bareReply(0x06, bytes({0, 0x34, 0x12}))}),
    [](const auto &info) { return std::string(info.param.name); });
