// Reader settings end to end: the window's requests reach the simulated
// readers through a pseudo-terminal, change what the readers store, and the
// readers' answers come back into the window.
#include "support/linefixture.h"

#include "protocol/frame.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

// The demo line (readers 5 and 7) with values that hold still.
class SettingsLine : public LineTest
{
protected:
    void SetUp() override
    {
        LineTest::SetUp();
        searchAndIdentify();
        // Let the one-time load of mode and radio parameters pass first, so
        // that it cannot overwrite what a test types.
        for (int i = 0; i < 6 && w->vars().mode_yes != 0; ++i)
            tick();
        ASSERT_EQ(w->vars().mode_yes, 0);
    }

    QString label(const char *name) const { return ctl<QLabel>(name)->text(); }
    QLineEdit *edit(const char *name) const { return ctl<QLineEdit>(name); }
};

TEST_F(SettingsLine, NewDelayIsStoredAndReadBack)
{
    edit("Zad2")->setText("2500");
    w->Command2_Click();
    tick(); // written
    tick(); // confirmed
    EXPECT_EQ(sim.line().reader(5)->delay, 2500);

    edit("Zad2")->setText("0");
    w->RD_DP_Click();
    tick();
    tick(); // the reader answers the read with its 0xF1 reply
    EXPECT_EQ(edit("Zad2")->text(), "2500");
    EXPECT_EQ(label("MsgCom"), "Приняты доп. параметры считывателя");
}

TEST_F(SettingsLine, RadioParametersReachTheReader)
{
    edit("num_net")->setText("65000");
    edit("n_kan")->setText("17");
    edit("ppow")->setText("3");
    w->param_Click();
    ticks(2);
    const auto r = sim.line().reader(5);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->network, 65000);
    EXPECT_EQ(r->channel, 17);
    EXPECT_EQ(r->power, 3);
    // The other reader is left alone.
    EXPECT_EQ(sim.line().reader(7)->channel, SimLine::demoReaders().at(1).channel);
}

TEST_F(SettingsLine, WrittenCellIsReadBack)
{
    edit("plm")->setText("3");
    edit("iddm")->setText("abcdef01");
    w->Command3_Click();
    ticks(2);
    EXPECT_EQ(sim.line().reader(5)->table[2], 0xABCDEF01u);

    w->m1(2)->setText("-");
    w->ids_r_Click();
    ticks(2);
    EXPECT_EQ(w->m1(2)->text(), "ABCDEF01");
    EXPECT_EQ(w->m1(0)->text(), "012AB3C"); // untouched cell of the demo table
}

TEST_F(SettingsLine, ClearedTableReadsAsZeros)
{
    w->ids_r_Click();
    ticks(2);
    ASSERT_EQ(w->m1(0)->text(), "012AB3C");

    w->ids_clr_Click();
    ticks(2);
    w->ids_r_Click();
    ticks(2);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(w->m1(k)->text(), "0000000") << "cell " << k + 1;
}

TEST_F(SettingsLine, MovedReaderAnswersOnlyAtItsNewAddress)
{
    dialogs.inputAnswers = {"9"};
    w->net_Click();
    EXPECT_EQ(w->vars().wrs, proto::buildRequest(5, 0xFB, QByteArray(1, char(9))));
    tick();
    tick(); // confirmed from the old address
    EXPECT_EQ(label("MsgCom"), " Установлен сетевой номер.");
    EXPECT_FALSE(sim.line().reader(5));
    ASSERT_TRUE(sim.line().reader(9));

    // The window still polls 5, which is silent now.
    ticks(2);
    EXPECT_EQ(label("MsgCom"), "Нет данных со считывателя с номером 5");

    w->Opros_Click();
    ticks(2);
    auto *addresses = ctl<QComboBox>("CmbNet");
    ASSERT_EQ(addresses->count(), 2);
    EXPECT_EQ(addresses->itemText(0), "7");
    EXPECT_EQ(addresses->itemText(1), "9");

    ctl<QLabel>("sn")->clear();
    addresses->setCurrentIndex(1);
    ticks(3); // identification request for 9, its answer, then the data poll's
    EXPECT_EQ(label("sn"), "1000123");
    EXPECT_EQ(label("ne"), "9");
}

} // namespace

TEST_F(SettingsLine, PickingAnotherReaderLoadsItsOwnSettingsBeforeAnyCanBeWritten)
{
    EXPECT_EQ(edit("n_kan")->text(), "5"); // reader 5's
    auto *box = ctl<QComboBox>("CmbNet");
    box->setCurrentIndex(box->findText("7"));
    tick(); // identification of 7
    // Until 7's own values come, "Установить" refuses rather than write 5's into 7.
    EXPECT_EQ(edit("n_kan")->text(), "0");
    w->param_Click();
    EXPECT_EQ(dialogs.messages, QStringList{"error"});
    EXPECT_TRUE(w->vars().wrs.isEmpty());

    for (int i = 0; i < 6 && w->vars().mode_yes != 0; ++i)
        tick();
    EXPECT_EQ(edit("n_kan")->text(), "7");
    EXPECT_EQ(edit("ppow")->text(), "12");
    w->param_Click();
    ticks(2);
    // 7's own values go back to 7: network 1, channel 7, power 12.
    EXPECT_TRUE(sim.line().requests().contains(proto::buildRequest(7, 0xF4, QByteArray::fromHex("0001070c"))));
}
