// The line diagnostics window: F11 opens it, it has a row per address the
// line used, and what it saves is what it shows.
#include "support/windowfixture.h"

#include "diagnostics/diagnosticswindow.h"
#include "diagnostics/statsmodel.h"
#include "diagnostics/trendcharts.h"
#include "linestats/linestats.h"
#include "linestats/trends.h"
#include "widgets/exchangelog.h"

#include <QApplication>
#include <QChartView>
#include <QPushButton>
#include <QScatterSeries>
#include <QMouseEvent>
#include <QToolTip>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QTableView>
#include <QTemporaryDir>

namespace {

QByteArray readerData(quint8 address, int level)
{
    QByteArray p(22, '\0');
    p[0] = 23;
    p[1] = char(level & 0xFF);
    p[2] = char(level >> 8);
    p[3] = 100;
    return replyFrame(address, 0xF0, p);
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class DiagnosticsTest : public WindowTest
{
protected:
    DiagnosticsWindow *open()
    {
        w->show();
        QApplication::setActiveWindow(w.get());
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_F11, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &press);
        QApplication::sendEvent(w.get(), &release);
        return w->findChild<DiagnosticsWindow *>();
    }

    // What the window's once-a-second clock does.
    static void settle(DiagnosticsWindow *diag) { diag->refresh(); }
};

TEST_F(DiagnosticsTest, F11OpensARowPerAddressAndItSavesWhatItShows)
{
    ASSERT_EQ(w->findChild<DiagnosticsWindow *>(), nullptr);
    connectToReader(5);
    DiagnosticsWindow *diag = open();
    ASSERT_NE(diag, nullptr);
    EXPECT_EQ(diag->windowTitle(), "Диагностика линии");
    EXPECT_TRUE(diag->isVisible());

    tick();                          // F0 to 5 goes out
    tick(readerData(5, 500));
    tick();                          // silence
    tick(readerData(7, 300));        // someone else answers
    tick(readerData(5, 510));
    settle(diag);

    const LineStatsModel *model = diag->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(0, LineStatsModel::Address).data().toString(), "5");
    EXPECT_EQ(model->index(1, LineStatsModel::Address).data().toString(), "7");
    EXPECT_EQ(model->index(2, LineStatsModel::Address).data().toString(), "Линия");
    EXPECT_EQ(model->index(0, LineStatsModel::Requests).data().toString(), "4");
    EXPECT_EQ(model->index(0, LineStatsModel::NoReply).data().toString(), "1");
    EXPECT_EQ(model->index(0, LineStatsModel::Unexpected).data().toString(), "1");

    QTemporaryDir dir;
    const QString statsPath = dir.filePath("статистика.tsv");
    ASSERT_EQ(diag->saveStatistics(statsPath), QString());
    const QStringList lines = fileLines(statsPath);
    ASSERT_EQ(lines.size(), model->rowCount() + 2);
    // First what the file shows: the port, every address, the span with its date.
    const QString today = QDate::currentDate().toString("dd.MM.yyyy");
    EXPECT_TRUE(lines.at(0).startsWith("# Диагностика линии; порт COM")) << lines.at(0).toStdString();
    EXPECT_TRUE(lines.at(0).contains("все адреса; " + today)) << lines.at(0).toStdString();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStringList fields = lines.at(row + 2).split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), LineStatsModel::ColumnCount);
        for (int column = 0; column < LineStatsModel::ColumnCount; ++column) {
            const QString shown = model->index(row, column).data().toString();
            // The file's time carries the date and the milliseconds as well.
            if (column == LineStatsModel::LastGood && shown != "—")
                EXPECT_TRUE(fields.at(column).contains(shown)) << fields.at(column).toStdString();
            else
                EXPECT_EQ(fields.at(column), shown) << "row " << row << " column " << column;
        }
    }

    // The trends of the selected address: the level went 500, nothing, 510.
    ASSERT_EQ(diag->charts()->address(), std::optional<quint8>(5));
    EXPECT_TRUE(diag->charts()->shownQuantities().contains(linestats::Quantity::ReaderLevel));
    const QString trendsPath = dir.filePath("тренды.tsv");
    ASSERT_EQ(diag->saveTrends(trendsPath), QString());
    EXPECT_TRUE(fileLines(trendsPath).at(0).contains("; адрес 5; " + today)) << fileLines(trendsPath).at(0).toStdString();
    QStringList levels;
    for (const QString &line : fileLines(trendsPath)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() == 4 && f.at(2) == "Уровень")
            levels << f.at(3);
    }
    EXPECT_EQ(levels, (QStringList{"500", "", "510"}));
    EXPECT_EQ(diag->saveChart(dir.filePath("график.png")), QString());
    EXPECT_NE(diag->saveStatistics(dir.filePath("нет/такой/папки.tsv")), QString());

    // Opening the port again starts the counters again.
    w->BTNCloseCom_Click();
    w->BTNOpenCom_Click();
    settle(diag);
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->index(0, LineStatsModel::Requests).data().toString(), "0");
}

TEST_F(DiagnosticsTest, ScrollingBackStopsFollowingAndFollowResumes)
{
    connectToReader(5);
    DiagnosticsWindow *diag = open();
    ASSERT_NE(diag, nullptr);
    tick();
    tick(readerData(5, 500));
    tick(readerData(5, 510));
    settle(diag);
    TrendCharts *charts = diag->charts();
    ASSERT_TRUE(charts->following());
    charts->showRange(charts->viewEndMs() - 120'000, 60'000);
    EXPECT_FALSE(charts->following());
    const qint64 stopped = charts->viewEndMs();
    tick(readerData(5, 520));
    settle(diag);
    EXPECT_FALSE(charts->following());
    EXPECT_EQ(charts->viewEndMs(), stopped); // the view stays where it was put
    charts->follow();
    EXPECT_TRUE(charts->following());
    EXPECT_GE(charts->viewEndMs(), stopped);
}

// Two readers answering the search at one address: the status says so in
// words, also once the first reader data has come, and F11 marks the row
// until a search finds each address once.
TEST_F(DiagnosticsTest, AddressTheSearchAnswerNamesTwiceIsSaidAndMarked)
{
    openPort();
    DiagnosticsWindow *diag = open();
    ASSERT_NE(diag, nullptr);
    const QString shared = QStringLiteral("Два считывателя отвечают по адресу 5: их ответы смешиваются, показанные "
                                          "значения ничьи. Оставьте на линии один из них и задайте ему свободный адрес.");
    w->Opros_Click();
    tick();
    tick(bytes({5, 7, 5}));
    EXPECT_EQ(text("MsgCom"), shared);
    const auto state = [&](int row) {
        settle(diag);
        return diag->model()->index(row, LineStatsModel::State).data().toString();
    };
    EXPECT_EQ(state(0), "два считывателя на одном адресе");
    EXPECT_EQ(state(1), "в норме");
    EXPECT_TRUE(diag->model()->index(0, LineStatsModel::State).data(Qt::BackgroundRole).isValid());

    for (int i = 0; i < 6; ++i) // reader 5's data, past the load of its settings
        tick(readerData(5, 500));
    EXPECT_EQ(text("MsgCom"), shared);

    w->Opros_Click();
    tick();
    tick(bytes({5, 7}));
    EXPECT_EQ(text("MsgCom"), "Произошел опрос сети.");
    EXPECT_EQ(state(0), "в норме");
}

// F11 against a scripted line: polls of the first address before any search,
// the search, noise, a flood, two readers answering one request, silence.
TEST_F(DiagnosticsTest, TellsNoiseTwoRepliesAndPreSearchPollsForWhatTheyAre)
{
    openPort(); // the address box holds "0": the window polls 0 before a search
    DiagnosticsWindow *diag = open();
    ASSERT_NE(diag, nullptr);
    for (int i = 0; i < 5; ++i)
        tick();
    w->Opros_Click();
    tick();                                   // the search goes out
    tick(QByteArray::fromHex("05"));          // reader 5 answers it
    tick();                                   // identification of 5 goes out
    const QByteArray good = readerData(5, 500);
    tick(replyFrame(5, 0xFC, QByteArray::fromHex("0102030004003000"))); // 0xF0 goes out next
    tick(good);
    tick(QByteArray(3, '\x55'));              // noise
    tick(QByteArray(255, '\xFF'));            // a flood
    tick(good.left(21 - 4) + replyFrame(5, 0xFA)); // neither: a broken frame
    tick(readerData(5, 510).left(20) + QByteArray(1, char(proto::crc8(readerData(5, 510).left(20))))
         + replyFrame(9, 0xF2, QByteArray(1, '\1'))); // two readers answered
    tick();                                   // silence
    tick(good);
    settle(diag);

    const LineStatsModel *model = diag->model();
    const int zero = model->rowOf(0), five = model->rowOf(5);
    ASSERT_GE(zero, 0);
    ASSERT_GE(five, 0);
    EXPECT_EQ(model->index(zero, LineStatsModel::Address).data().toString(), "0 (до поиска)");
    EXPECT_FALSE(model->alarmed(zero));
    // The poll that went out as the search answer came is no reader's error either.
    EXPECT_EQ(model->index(zero, LineStatsModel::NoReply).data().toString(), "6");
    EXPECT_EQ(model->index(five, LineStatsModel::Noise).data().toString(), "2");
    EXPECT_EQ(model->index(five, LineStatsModel::Unexpected).data().toString(), "1");
    // Response times of the identification and the two good replies only.
    const auto *stats = w->findChild<linestats::LineStats *>();
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->row(5)->times.count(), 3);
    EXPECT_EQ(stats->total().times.count(), 4); // and the search answer
    EXPECT_EQ(stats->total().recent.count(), 9);  // the search and the requests after it
}

// "Обход линии": the automatic poll goes round the readers of the last
// search, one a tick; the operator's requests come first; the main window
// shows only the reader picked, and F11 every reader.
TEST_F(DiagnosticsTest, PollingAllGoesRoundTheReadersOfTheLastSearch)
{
    openPort();
    DiagnosticsWindow *diag = open();
    ASSERT_NE(diag, nullptr);
    auto *pollAll = diag->findChild<QCheckBox *>("pollAll");
    ASSERT_NE(pollAll, nullptr);
    EXPECT_FALSE(pollAll->isChecked());
    w->Opros_Click();
    tick();                                    // the search goes out
    tick(QByteArray::fromHex("05070C"));       // 5, 7 and 12 answer it
    tick();                                    // identification of 5
    tick(replyFrame(5, 0xFC, QByteArray::fromHex("0102030004003000")));
    ASSERT_EQ(lastWritten(), proto::buildRequest(5, 0xF0));

    pollAll->setChecked(true);
    QVector<QByteArray> sent;
    const auto step = [&](const QByteArray &reply) {
        tick(reply);
        sent << lastWritten();
    };
    step(readerData(5, 500));                  // to 5 again: the round starts with the first found
    step(readerData(5, 500));                  // to 7
    step(readerData(7, 999));                  // to 12
    WindowSeam::cycle(*w).queueRequest(proto::buildRequest(5, 0xF7));
    step(readerData(12, 888));                 // the operator's request first
    EXPECT_EQ(text("uroven"), "500");          // the others' values never reach the main window
    step(replyFrame(5, 0xF1, QByteArray::fromHex("1000"))); // then 5, in its turn
    pollAll->setChecked(false);
    step(readerData(5, 510));                  // back to the picked reader alone
    step(readerData(5, 510));
    EXPECT_EQ(sent, (QVector<QByteArray>{proto::buildRequest(5, 0xF0), proto::buildRequest(7, 0xF0),
                                         proto::buildRequest(12, 0xF0), proto::buildRequest(5, 0xF7),
                                         proto::buildRequest(5, 0xF0), proto::buildRequest(5, 0xF0),
                                         proto::buildRequest(5, 0xF0)}));
    settle(diag);
    const auto *stats = w->findChild<linestats::LineStats *>();
    ASSERT_NE(stats, nullptr);
    for (const quint8 other : {quint8(7), quint8(12)}) {
        ASSERT_NE(stats->row(other), nullptr) << int(other);
        EXPECT_EQ(stats->row(other)->requests, 1) << int(other);
        EXPECT_EQ(stats->row(other)->replies, 1) << int(other);
        EXPECT_EQ(stats->row(other)->unexpected + stats->row(other)->dropped, 0) << int(other);
        EXPECT_EQ(stats->row(other)->times.count(), 1) << int(other);
    }
    EXPECT_EQ(stats->trends().series(7, linestats::Quantity::ReaderLevel).size(), 1u);
}

TEST(TrendAxis, NoTwoNeighbouringLabelsPrintAlike)
{
    struct Row {
        double min, max;
        int ticks, decimals, expected;
    };
    const Row rows[] = {
        {29, 31, 5, 0, 3},     // whole degrees: 29 30 31, not 29 30 30 31 31
        {28, 32, 5, 0, 5},
        {0, 1000, 5, 0, 5},
        {29, 30, 5, 0, 2},
        {29, 30, 5, 1, 5},     // tenths print every quarter apart
        {21.5, 21.5, 5, 2, 2}, // one value
    };
    for (const Row &r : rows)
        EXPECT_EQ(distinctTicks(r.min, r.max, r.ticks, r.decimals), r.expected) << r.min << ".." << r.max;
}

TEST_F(DiagnosticsTest, HoveringAChartNamesTheTimeAndTheValueThere)
{
    connectToReader(5);
    DiagnosticsWindow *diag = open();
    ASSERT_NE(diag, nullptr);
    tick();
    tick(readerData(5, 500));
    settle(diag);
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents(); // the chart fills piece by piece between events
    auto *view = diag->findChild<QChartView *>(QStringLiteral("trend%1").arg(int(linestats::Quantity::ReaderLevel)));
    ASSERT_NE(view, nullptr);
    const QPoint at = view->mapFromScene(view->chart()->mapToScene(view->chart()->plotArea().center()));
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(view->viewport()->mapToGlobal(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    EXPECT_TRUE(QToolTip::text().endsWith("  500")) << QToolTip::text().toStdString();
}

// The line's own events are rows of the log (and so of a recording) and
// marks on the trends, never exchanges: the port opened, a box holding the
// exchange up, the counters reset, the port lost and then closed.
TEST_F(DiagnosticsTest, EventsOfTheLineAreRowsAndMarksNotExchanges)
{
    connectToReader(5);
    DiagnosticsWindow *diag = open();
    ASSERT_NE(diag, nullptr);
    tick();
    tick(readerData(5, 500));
    dialogs.inputAnswers.push_back(QString()); // the box is cancelled
    w->InstSN_Click();
    settle(diag);
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents(); // the chart is drawn piece by piece
    auto *view = diag->findChild<QChartView *>(QStringLiteral("trend%1").arg(int(linestats::Quantity::ReaderLevel)));
    ASSERT_NE(view, nullptr);
    int marks = 0;
    for (QAbstractSeries *s : view->chart()->series())
        if (auto *scatter = qobject_cast<QScatterSeries *>(s);
            scatter && scatter->markerShape() == QScatterSeries::MarkerShapeTriangle)
            marks = scatter->count();
    EXPECT_EQ(marks, 2); // the open and the box
    auto *reset = diag->findChild<QPushButton *>(QStringLiteral("resetStats"));
    ASSERT_NE(reset, nullptr);
    reset->click();
    port.hangUp();
    QCoreApplication::processEvents();

    const auto *log = w->findChild<ExchangeLogModel *>();
    ASSERT_NE(log, nullptr);
    QStringList events;
    for (int row = 0; row < log->rowCount(); ++row)
        if (log->record(row).event)
            events << log->record(row).meaning;
    ASSERT_EQ(events.size(), 5) << events.join('|').toStdString();
    EXPECT_EQ(events[0], "Порт COM3 открыт");
    EXPECT_TRUE(events[1].startsWith("Обмен приостановлен окном сообщения на ")) << events[1].toStdString();
    EXPECT_EQ(events[2], "Счётчики диагностики сброшены");
    EXPECT_EQ(events[3], "Порт потерян");
    EXPECT_EQ(events[4], "Порт закрыт");

    const auto *stats = w->findChild<linestats::LineStats *>();
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->total().requests, 0); // nothing counted since the reset
    ASSERT_EQ(stats->trends().marks().size(), 5u);

}
