// The reader page end to end: the window, the serial module, a pseudo-
// terminal and the simulated readers.
#include "support/linefixture.h"

#include "protocol/frame.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

namespace {

class ThreeReaders : public LineTest
{
protected:
    QVector<SimReader> readers() const override
    {
        QVector<SimReader> r = LineTest::readers();
        SimReader third;
        third.address = 12;
        third.serial = 77;
        r << third;
        return r;
    }
};

} // namespace

TEST_F(ThreeReaders, SearchFindsTheReadersAndIdentifiesTheFirst)
{
    w->Opros_Click();
    tick(); // the broadcast goes out
    tick(); // the answer: one byte per reader
    auto *addresses = ctl<QComboBox>("CmbNet");
    ASSERT_EQ(addresses->count(), 3);
    EXPECT_EQ(addresses->itemText(0), "5");
    EXPECT_EQ(addresses->itemText(1), "7");
    EXPECT_EQ(addresses->itemText(2), "12");
    EXPECT_EQ(text("netdev"), "5 7 12 ");
    tick(); // identification request for 5
    tick(); // its answer
    EXPECT_EQ(text("sn"), "1000123");
    EXPECT_EQ(text("vv"), "1.3.4.");
    tick(); // reader data answer
    EXPECT_EQ(text("tek"), "15000");
    EXPECT_EQ(text("hi"), "012AB3C");
    EXPECT_EQ(text("ne"), "5");

    // The frames on the line, tick by tick: the broadcast, the poll of the
    // address shown before the answer came, the identification, the poll.
    const QVector<QByteArray> seen = sim.line().requests();
    ASSERT_EQ(seen.size(), 5);
    EXPECT_EQ(seen.at(0), QByteArray::fromHex("31FFDC"));
    EXPECT_EQ(seen.at(1), proto::buildRequest(0, 0xF0));
    EXPECT_EQ(seen.at(2), proto::buildRequest(5, 0xFC));
    EXPECT_EQ(seen.at(3), proto::buildRequest(5, 0xF0));
    EXPECT_EQ(seen.at(4), proto::buildRequest(5, 0xF0));
}

TEST_F(ThreeReaders, ModeWithBothOptionsRoundTrips)
{
    searchAndIdentify();
    ctl<QRadioButton>("R485")->setChecked(true);
    ctl<QCheckBox>("iinv")->setChecked(true);
    ctl<QCheckBox>("usredn")->setChecked(true);
    w->Set_mode_Click();
    EXPECT_EQ(w->vars().wrs, proto::buildRequest(5, 0xF2, QByteArray(1, char(0xC0))));
    tick();
    tick();
    EXPECT_EQ(sim.line().reader(5)->mode, 0xC0);
    EXPECT_EQ(text("MsgCom"), " Установлен новый режим.");
    EXPECT_TRUE(ctl<QRadioButton>("R485")->isChecked());
    EXPECT_TRUE(ctl<QCheckBox>("iinv")->isChecked());
    EXPECT_TRUE(ctl<QCheckBox>("usredn")->isChecked());
}

TEST_F(ThreeReaders, SilentLineShowsTheNoDataMessageThenRecovers)
{
    searchAndIdentify();
    sim.line().setSilent(true);
    ticks(2);
    EXPECT_EQ(text("MsgCom"), "Нет данных со считывателя с номером 5");
    sim.line().setSilent(false);
    ticks(2);
    EXPECT_NE(text("MsgCom"), "Нет данных со считывателя с номером 5");
    EXPECT_EQ(w->vars().no_data, 0);
}

TEST_F(ThreeReaders, UnpluggedAdapterClosesThePortWithoutACrash)
{
    searchAndIdentify();
    sim.line().unplug();
    tick();
    EXPECT_TRUE(dialogs.messages.contains("Ошибка записи в порт"));
    EXPECT_FALSE(w->TMRComm()->isActive());
    EXPECT_TRUE(ctl("BTNOpenCom")->isEnabled());
    EXPECT_FALSE(port->isOpen());
}
