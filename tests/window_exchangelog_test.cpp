// The exchange log pairs each request with the reply it got, keeps the last
// 1,000 rows and never changes what the cycle does.
#include "support/filesizelimit.h"
#include "support/windowfixture.h"

#include "widgets/exchangelog.h"
#include "widgets/savedialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>

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

TEST(ExchangeLogModelTest, KeepsAWorkingDayInBoundedMemoryAndCopiesAsText)
{
    ASSERT_GE(ExchangeLogModel::Capacity, 8 * 3600 * 2); // 8 hours at two rows a second
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

    // However large the rows, the log's memory stays bounded.
    for (int i = 0; i < 600; ++i) {
        ExchangeRecord r;
        r.reply = QByteArray(60000, char(i));
        model.append(r);
    }
    EXPECT_LE(model.memoryBytes(), std::size_t(ExchangeLogModel::ByteBudget) + 600 * 64);
    EXPECT_EQ(model.record(model.rowCount() - 1).reply, QByteArray(60000, char(599)));
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

namespace {

ExchangeRecord record(const QDateTime &at, const QByteArray &request, const QByteArray &reply,
                      bool sent = true)
{
    ExchangeRecord r;
    r.sentAt = at;
    r.request = request;
    r.reply = reply;
    r.sent = sent;
    r.checksum = reply.isEmpty() ? ExchangeRecord::Checksum::None : ExchangeRecord::Checksum::Right;
    r.meaning = reply.isEmpty() ? QString() : QStringLiteral("данные метки");
    r.roundTripMs = reply.isEmpty() ? -1 : 277;
    return r;
}

// The longest frames on the line: a 19-byte request and a 26-byte reply.
const QByteArray kLongRequest = QByteArray::fromHex("31050AC0FFEE000102030405060708090A0B1F");
const QByteArray kLongReply = QByteArray(25, char(0xAB)) + char(0x5C);

} // namespace

TEST(ExchangeLogFileTest, SavedFileHasOneRowPerExchangeWithFullFramesAndMilliseconds)
{
    ExchangeLogModel model;
    const QDateTime at(QDate(2026, 12, 8), QTime(14, 3, 7, 45));
    model.append(record(at, kLongRequest, kLongReply));
    model.append(record(at.addMSecs(500), proto::buildRequest(5, 0xF0), {}, false));
    ExchangeLog log(&model);

    QTemporaryDir dir;
    const QString path = dir.filePath("журнал.tsv");
    ASSERT_TRUE(log.saveTo(path)) << log.errorString().toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);

    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "Время\tЗапрос\tОтвет\tCRC\tЗначение\tОтклик, мс");
    const QStringList full = lines[1].split('\t');
    ASSERT_EQ(full.size(), ExchangeLogModel::ColumnCount);
    EXPECT_EQ(full[ExchangeLogModel::Time], "2026-12-08 14:03:07.045");
    EXPECT_EQ(QByteArray::fromHex(full[ExchangeLogModel::Request].toLatin1()), kLongRequest);
    EXPECT_EQ(QByteArray::fromHex(full[ExchangeLogModel::Reply].toLatin1()), kLongReply);
    EXPECT_EQ(full[ExchangeLogModel::RoundTrip], "277");
    // A request that a newer one replaced says so, in the view and the file.
    const QStringList notSent = lines[2].split('\t');
    EXPECT_EQ(notSent[ExchangeLogModel::Time], "2026-12-08 14:03:07.545");
    EXPECT_EQ(notSent[ExchangeLogModel::Meaning], ExchangeLogModel::notSentText());
    EXPECT_EQ(model.index(1, ExchangeLogModel::Meaning).data().toString(),
              ExchangeLogModel::notSentText());
    EXPECT_NE(model.index(1, ExchangeLogModel::Request).data(Qt::ForegroundRole),
              model.index(0, ExchangeLogModel::Request).data(Qt::ForegroundRole));

    EXPECT_FALSE(log.saveTo(dir.filePath("нет/такой/папки.tsv")));
}

namespace {

struct FailedSave {
    const char *name;
    const char *target;      // relative to a folder that holds "old.tsv" and "folder/"
    const char *reasonHas;
};

void PrintTo(const FailedSave &c, std::ostream *os)
{
    *os << c.name;
}

} // namespace

class FailedSaveTest : public ::testing::TestWithParam<FailedSave> {};

TEST_P(FailedSaveTest, KeepsTheOldFileAndSaysWhyInRussian)
{
    const FailedSave &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    QFile old(dir.filePath("old.tsv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the log saved before\n");
    old.close();

    const QByteArray data(77770, 'x');
    QString reason;
    {
        FileSizeLimit limit(4096); // a disk with 4 KiB left
        reason = saveWhole(dir.filePath(QString::fromUtf8(c.target)), data);
    }
    EXPECT_TRUE(reason.contains(QString::fromUtf8(c.reasonHas))) << reason.toStdString();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "the log saved before\n");
    // Nothing half-written is left behind either.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"folder", "old.tsv"}));
}

INSTANTIATE_TEST_SUITE_P(
    Saves, FailedSaveTest,
    ::testing::Values(FailedSave{"WritesFailPartWay", "old.tsv", "больше, чем система разрешает"},
                      FailedSave{"PathIsAFolder", "folder", "папка, а не файл"},
                      FailedSave{"FolderIsMissing", "нет/журнал.tsv", " нет"}),
    [](const auto &info) { return std::string(info.param.name); });

// Qt's file dialog would keep its history in ~/.config/QtProject.conf; the
// tool writes nothing the technician did not ask for.
TEST(SaveDialogTest, WritesNoSettings)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QTimer::singleShot(0, [] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<QFileDialog *>(w))
                dialog->reject();
        }
    });
    EXPECT_TRUE(askSavePath(nullptr, "Сохранить", "журнал.tsv", "Все файлы (*)").isEmpty());
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_TRUE(QDir(config.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        << QDir(config.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' ').toStdString();
}

// Recording: each row goes to the file as it comes, in the saved file's
// format; the first failure is reported once and ends the recording.
TEST(ExchangeLogRecordTest, AppendsEachRowAsItComesAndStopsOnTheFirstFailure)
{
    ExchangeLogModel model;
    const QDateTime at(QDate(2026, 12, 8), QTime(14, 3, 7, 45));
    model.append(record(at, proto::buildRequest(5, 0xF0), {})); // before the recording
    LogRecorder recorder(&model);
    QStringList failures;
    QObject::connect(&recorder, &LogRecorder::failed, [&](const QString &why) { failures << why; });

    QTemporaryDir dir;
    const QString path = dir.filePath("запись.tsv");
    ASSERT_EQ(recorder.start(path), "");
    const auto recorded = [&] {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    };
    model.append(record(at.addMSecs(500), kLongRequest, kLongReply));
    // In the file at once, not when the recording ends.
    EXPECT_EQ(recorded(), (QStringList{model.headerLine(), model.rowLine(1)}));
    model.append(record(at.addMSecs(1000), proto::buildRequest(5, 0xF0), {}, false));
    EXPECT_EQ(recorded(), (QStringList{model.headerLine(), model.rowLine(1), model.rowLine(2)}));
    EXPECT_EQ(recorded().last().split('\t').value(ExchangeLogModel::Time), "2026-12-08 14:03:08.045");

    {
        FileSizeLimit limit(QFileInfo(path).size() + 10); // the disk is full ten bytes into the next row
        model.append(record(at.addMSecs(1500), kLongRequest, kLongReply));
        model.append(record(at.addMSecs(2000), kLongRequest, kLongReply));
    }
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.first().contains("больше, чем система разрешает")) << failures.first().toStdString();
    EXPECT_FALSE(recorder.isRecording());
    model.append(record(at.addMSecs(2500), kLongRequest, kLongReply));
    EXPECT_EQ(recorded(), (QStringList{model.headerLine(), model.rowLine(1), model.rowLine(2)})); // whole rows
    EXPECT_EQ(failures.size(), 1);

    // A recording whose file is removed, or replaced by another, stops and says so.
    for (const bool replace : {false, true}) {
        failures.clear();
        ASSERT_EQ(recorder.start(path), "");
        QFile::remove(path);
        if (replace) {
            QFile other(path);
            ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        }
        model.append(record(at.addMSecs(3000), kLongRequest, kLongReply));
        ASSERT_EQ(failures.size(), 1) << replace;
        EXPECT_TRUE(failures.first().contains("удалён или заменён")) << failures.first().toStdString();
        EXPECT_FALSE(recorder.isRecording());
    }

    EXPECT_EQ(recorder.start("/dev/full"), "на носителе нет места");
}

TEST(ExchangeLogViewTest, FollowsNewRowsOnlyAtTheBottomNeverCutsAFrameAndClosesOnEscape)
{
    ExchangeLogModel model;
    ExchangeLog log(&model);
    log.resize(700, 300);
    log.show();
    auto *view = log.findChild<QTableView *>("logView");
    ASSERT_NE(view, nullptr);
    QScrollBar *bar = view->verticalScrollBar();
    const auto add = [&](int n) {
        for (int i = 0; i < n; ++i)
            model.append(record(QDateTime::currentDateTime(), kLongRequest, kLongReply));
        QCoreApplication::processEvents(); // lets the view lay out the new rows
    };

    add(60);
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(10); // the technician scrolls up to read
    add(5);
    EXPECT_EQ(bar->value(), 10);

    bar->setValue(bar->maximum()); // and back down
    add(5);
    EXPECT_EQ(bar->value(), bar->maximum());

    // A frame is whole from the moment its row appears, however wide its
    // hex digits come out: a cell's text gets the column less the grid line
    // and the style's margins.
    model.append(record(QDateTime::currentDateTime(), QByteArray(19, char(0xDB)),
                        QByteArray(26, char(0xDB))));
    const int margins = 1 + 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    for (const int column : {int(ExchangeLogModel::Request), int(ExchangeLogModel::Reply)}) {
        const QModelIndex newest = model.index(model.rowCount() - 1, column);
        const QString frame = newest.data().toString();
        EXPECT_GE(view->columnWidth(column) - margins,
                  std::ceil(QFontMetricsF(view->font()).horizontalAdvance(frame)))
            << frame.toStdString();
        EXPECT_EQ(newest.data(Qt::ToolTipRole).toString(), frame);
    }

    QApplication::setActiveWindow(&log);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(view, &escape);
    EXPECT_FALSE(log.isVisible());
}
