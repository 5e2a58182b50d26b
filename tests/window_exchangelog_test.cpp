// The exchange log pairs each request with the reply it got, keeps the last
// 1,000 rows and never changes what the cycle does.
#include "support/windowfixture.h"

#include "ui/exchangelog.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

class ExchangeLogTest : public WindowTest
{
protected:
    std::vector<ExchangeRecord> records;

    void SetUp() override
    {
        WindowTest::SetUp();
        QObject::connect(w.get(), &frmSerial::exchanged,
                         [this](const ExchangeRecord &r) { records.push_back(r); });
        connectToReader(5);
    }
};

TEST_F(ExchangeLogTest, EachRequestIsPairedWithTheReplyOfTheNextTick)
{
    tick(); // F0 goes out
    const QByteArray reply = replyFrame(5, 0xFB);
    tick(reply);
    QByteArray bad = reply;
    bad[bad.size() - 1] = char(bad.back() ^ 1);
    tick(bad);
    tick(replyFrame(5, 0xF0, QByteArray(17, 0))); // reader data sets no status
    tick(); // silence
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].request, proto::buildRequest(5, 0xF0));
    EXPECT_EQ(records[0].reply, reply);
    EXPECT_EQ(records[0].checksum, ExchangeRecord::Checksum::Right);
    EXPECT_EQ(records[0].meaning, " Установлен сетевой номер.");
    EXPECT_GE(records[0].roundTripMs, 0);
    EXPECT_EQ(records[1].checksum, ExchangeRecord::Checksum::Wrong);
    EXPECT_EQ(records[1].meaning, " Установлен сетевой номер.");
    EXPECT_EQ(records[2].meaning, "данные считывателя");
    EXPECT_EQ(records[3].meaning, "нет ответа");
    EXPECT_EQ(records[3].roundTripMs, -1);
}

TEST_F(ExchangeLogTest, NothingSentAndNothingReceivedMakesNoRow)
{
    ctl<QComboBox>("CmbNet")->setEditText("x");
    tick();
    tick();
    EXPECT_TRUE(records.empty());
}

TEST(ExchangeLogModelTest, KeepsTheLastThousandRowsAndCopiesAsText)
{
    ExchangeLogModel model;
    for (int i = 0; i < ExchangeLogModel::Capacity + 5; ++i) {
        ExchangeRecord r;
        r.request = QByteArray(1, char(i & 0xFF));
        r.meaning = QString::number(i);
        model.append(r);
    }
    ASSERT_EQ(model.rowCount(), ExchangeLogModel::Capacity);
    EXPECT_EQ(model.index(0, ExchangeLogModel::Meaning).data().toString(), "5");
    const QStringList lines = model.toText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), ExchangeLogModel::Capacity + 1);
    EXPECT_TRUE(lines.first().startsWith("Время\tЗапрос\tОтвет\tCRC"));
    EXPECT_EQ(lines.at(1).split(QLatin1Char('\t')).at(ExchangeLogModel::Request), "05");
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(ExchangeLogTest, F12OpensTheLogWhichFillsAndCopies)
{
    EXPECT_EQ(w->findChild<ExchangeLog *>(), nullptr);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_F12, Qt::NoModifier);
    w->show();
    QApplication::setActiveWindow(w.get());
    QApplication::sendEvent(w.get(), &press);
    QApplication::sendEvent(w.get(), &release);
    auto *log = w->findChild<ExchangeLog *>();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->windowTitle(), "Журнал обмена");
    tick();
    tick(replyFrame(5, 0xFA));
    log->copyToClipboard();
    EXPECT_TRUE(QApplication::clipboard()->text().contains("Установлен нижний уровень."));
}
