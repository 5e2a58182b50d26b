// The tag and bridge pages end to end: the window, the serial module, a
// pseudo-terminal and the simulated readers with their tag and slave sensor.
#include "support/linefixture.h"

#include "protocol/frame.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

namespace {

class DemoLine : public LineTest
{
protected:
    void type(const char *name, const QString &value) { ctl<QLineEdit>(name)->setText(value); }

    // Reader 5 identified, page "метка" open and its tag heard once.
    void hearTheTag()
    {
        searchAndIdentify();
        showPage(1);
        tick(); // the tag poll goes out
        tick(); // its answer
    }

    SimTag simTag(quint8 reader) { return sim.line().reader(reader)->tags.first(); }
};

} // namespace

TEST_F(DemoLine, TagPollShowsTheTagInTheField)
{
    hearTheTag();
    EXPECT_EQ(text("MsgCom"), "Был ПИНГ.");
    EXPECT_EQ(text("SerNumMetki"), "2000100");
    EXPECT_EQ(text("outID"), "012AB3C");
    EXPECT_EQ(text("UrPr"), "-75");
    EXPECT_EQ(sim.line().requests().last(), QByteArray::fromHex("3105E07A7A7A7AF9"));
}

TEST_F(DemoLine, TagParametersReadWriteAndReadBack)
{
    hearTheTag();
    w->ReadParamMetki_Click();
    tick(); // 0xE3 goes out
    tick(); // its answer
    EXPECT_EQ(text("MsgCom"), "Считаны данные.");
    EXPECT_EQ(text("ID_Metki"), "012AB3C");
    EXPECT_EQ(text("IntervalMetki"), "1000");
    EXPECT_EQ(text("ModeMetki"), "2");
    EXPECT_EQ(text("PowerMetki"), "100");
    EXPECT_EQ(text("sleep_time"), "60");
    EXPECT_EQ(text("outVer"), "1.3.4.");

    type("ID_Metki", "ABCDEF");
    type("PowerMetki", "50");
    type("sleep_time", "120");
    w->SetModesMetki_Click();
    ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
    tick(); // 0xE1 goes out
    tick(); // its confirmation; the tag poll goes out
    EXPECT_EQ(text("MsgCom"), "Считаны параметры метки.");
    const SimTag tag = simTag(5);
    EXPECT_EQ(tag.id, 0xABCDEFu);
    EXPECT_EQ(tag.power, 50);
    EXPECT_EQ(tag.sleep, 120);
    EXPECT_EQ(tag.interval, 1000);

    tick(); // the poll reports the new ID
    EXPECT_EQ(text("outID"), "0ABCDEF");
    type("ID_Metki", "");
    type("PowerMetki", "");
    w->ReadParamMetki_Click();
    ticks(2);
    EXPECT_EQ(text("ID_Metki"), "0ABCDEF");
    EXPECT_EQ(text("PowerMetki"), "50");
    EXPECT_EQ(text("sleep_time"), "120");
}

TEST_F(DemoLine, TagSerialNumberRoundTrip)
{
    hearTheTag();
    dialogs.inputAnswers = {"1234567"};
    w->InstSN_Click();
    ASSERT_EQ(w->vars().wrs, proto::buildRequest(5, 0xE2, QByteArray::fromHex("0012AB3C0012D687")));
    tick(); // 0xE2 goes out
    EXPECT_EQ(simTag(5).serial, 1234567u);
    tick(); // its answer (no display); the tag poll goes out
    tick(); // the poll reports the new serial number
    EXPECT_EQ(text("SerNumMetki"), "1234567");
}

TEST_F(DemoLine, BridgePageShowsTheSlaveSensor)
{
    searchAndIdentify();
    auto *addresses = ctl<QComboBox>("CmbNet");
    ASSERT_EQ(addresses->itemText(1), "7");
    showPage(2);
    addresses->setCurrentIndex(1);
    tick(); // identification of reader 7
    sim.line().clearRequests();
    ticks(5);

    EXPECT_EQ(text("MsgCom"), "Приняты данные моста");
    EXPECT_EQ(text("sn_sl"), "3000777");
    EXPECT_EQ(text("Temp_sl"), QStringLiteral("21") + QLocale().decimalPoint() + "5");
    EXPECT_EQ(text("fr_sl"), "1200");
    EXPECT_TRUE(ctl<QCheckBox>("Check_sl")->isChecked());
    EXPECT_EQ(text("ur_sl"), "-60");
    EXPECT_EQ(text("RR_SL_data"), "4660");

    const QVector<QByteArray> seen = sim.line().requests();
    ASSERT_EQ(seen.size(), 5);
    for (int i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], proto::buildRequest(7, i % 2 == 0 ? 0xE8 : 0x06)) << "request " << i;
}
