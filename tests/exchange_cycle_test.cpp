// The exchange cycle with no window and no port: what a tick sends, and what
// it makes of what it read; then its pacing on a scripted port.
#include "exchange/cycleseam.h"
#include "exchange/cyclerunner.h"
#include "protocol/commands.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"
#include "support/fakeport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <functional>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray reply(quint8 address, quint8 code, const QByteArray &payload = {})
{
    QByteArray r;
    r.append(char(0x3E)).append(char(address)).append(char(code)).append(payload);
    return r.append(char(proto::crc8(r)));
}

void setVars(ExchangeCycle &cycle, const std::function<void(CycleVars &)> &change)
{
    CycleVars v = cycle.vars();
    change(v);
    CycleSeam::restore(cycle, v);
}

Selection onPage(Page page, int address = 5)
{
    Selection s;
    s.page = page;
    s.address = quint8(address);
    s.listIndex = 0;
    s.addressText = QString::number(address);
    s.status = QStringLiteral("before");
    return s;
}

// --- Steps 1 and 2: what goes on the line --------------------------------------

struct BeginCase {
    const char *name;
    Selection selection;
    std::function<void(CycleVars &)> before;
    QByteArray request;
    quint8 pollChecksum;
    bool addressChanged;
};

class CycleBegin : public ::testing::TestWithParam<BeginCase> {};

TEST_P(CycleBegin, SendsThePendingRequestOrPollsTheOpenPage)
{
    const BeginCase &c = GetParam();
    ExchangeCycle cycle;
    setVars(cycle, [&](CycleVars &v) { v.last_net = 5; });
    setVars(cycle, [&](CycleVars &v) { v.mode_yes = 0; });
    if (c.before)
        setVars(cycle, c.before);
    const TickStart start = cycle.begin(c.selection);
    EXPECT_EQ(start.request.toHex(' '), c.request.toHex(' '));
    EXPECT_EQ(start.pollChecksum, c.pollChecksum);
    EXPECT_EQ(start.addressChanged, c.addressChanged);
    EXPECT_TRUE(cycle.vars().wrs.isEmpty()) << "a handler after this tick queues for the next one";
    if (c.addressChanged) {
        EXPECT_EQ(cycle.vars().last_net, *c.selection.address);
        EXPECT_EQ(cycle.vars().mode_yes, 2) << "the picked reader's settings are loaded anew";
    }
}

Selection typedAddress()
{
    Selection s = onPage(Page::Reader);
    s.listIndex = -1;
    s.address.reset();
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, CycleBegin,
    ::testing::Values(
        BeginCase{"ReaderPagePollsReaderData", onPage(Page::Reader), nullptr, hex("3105f0fe"), 0xFE, false},
        BeginCase{"TagPagePollsTheTagInTheField", onPage(Page::Tag), nullptr, hex("3105e07a7a7a7af9"), 0, false},
        BeginCase{"BridgePageStartsWithSlaveData", onPage(Page::Bridge), nullptr, hex("3105e8a1"), 0xA1, false},
        BeginCase{"BridgePageThenTheRs485Word", onPage(Page::Bridge),
                  [](CycleVars &v) { v.CointWrs = 1; }, hex("31050657"), 0x57, false},
        BeginCase{"AnotherAddressIsIdentifiedFirst", onPage(Page::Reader, 7),
                  [](CycleVars &v) { v.wrs = hex("3105f5c1"); }, hex("3107fccc"), 0, true},
        BeginCase{"APendingRequestGoesInsteadOfThePoll", onPage(Page::Bridge),
                  [](CycleVars &v) { v.wrs = hex("3105e7e0"); }, hex("3105e7e0"), 0, false},
        BeginCase{"NoAddressPicked", typedAddress(), nullptr, QByteArray(), 0, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CycleBridge, AlternatesSlaveDataAndRs485WordStartingWithSlaveData)
{
    ExchangeCycle cycle;
    setVars(cycle, [&](CycleVars &v) { v.last_net = 5; });
    QByteArray codes;
    for (int i = 0; i < 4; ++i)
        codes.append(cycle.begin(onPage(Page::Bridge)).request.at(2));
    EXPECT_EQ(codes.toHex(' '), "e8 06 e8 06");
}

// --- Steps 5 to 7: what a tick shows -------------------------------------------

TEST(CycleSilence, SavesTheStatusOnceAndSaysWhatIsMissingPerPage)
{
    ExchangeCycle cycle;
    const struct {
        Page page;
        const char *text;
    } pages[] = {{Page::Reader, "Нет данных со считывателя с номером 5"},
                 {Page::Tag, "Нет связи с меткой "},
                 {Page::Bridge, "Нет связи с удаленным считывателем"}};
    for (const auto &p : pages) {
        Selection s = onPage(p.page);
        s.status = QStringLiteral("shown before");
        const TickOutcome out = cycle.finish({}, true, {}, s);
        EXPECT_EQ(out.status, QString::fromUtf8(p.text));
        EXPECT_EQ(out.lamp, LampAction::Blink);
    }
    // Only the status of the first silent tick is kept.
    EXPECT_EQ(cycle.vars().last_msg, "shown before");
    EXPECT_EQ(cycle.vars().no_data, -1);

    // The first reply brings it back; a confirmation then overwrites it.
    TickOutcome out = cycle.finish({}, true, reply(5, 0x77, hex("0102")), onPage(Page::Reader));
    EXPECT_EQ(out.status, "shown before");
    EXPECT_FALSE(out.replyStatus);
    EXPECT_EQ(cycle.vars().no_data, 0);
    cycle.finish({}, true, {}, onPage(Page::Reader));
    out = cycle.finish({}, true, reply(5, 0xFA), onPage(Page::Reader));
    EXPECT_EQ(out.status, " Установлен нижний уровень.");
    EXPECT_EQ(out.lamp, LampAction::Red);
}

TEST(CycleConfirmations, EveryConfirmationCodeShowsItsText)
{
    const struct {
        quint8 code;
        const char *text;
    } rows[] = {{0xE1, "Считаны параметры метки."},     {0xFA, " Установлен нижний уровень."},
                {0xF2, " Установлен новый режим."},     {0xF5, " Установлен верхний уровень."},
                {0xFB, " Установлен сетевой номер."},   {0xF8, " Установлено кол. усреднение."},
                {0xF3, " Снято усреднение."},           {0xF6, "Установлен серийный номер."},
                {0xFD, "Изменена инверсия."}};
    for (const auto &row : rows) {
        ExchangeCycle cycle;
        const TickOutcome out = cycle.finish({}, true, reply(1, row.code, hex("c2")), onPage(Page::Reader));
        EXPECT_EQ(out.status, QString::fromUtf8(row.text)) << int(row.code);
    }
    ExchangeCycle cycle;
    const TickOutcome mode = cycle.finish({}, true, reply(1, 0xF2, hex("c2")), onPage(Page::Reader));
    ASSERT_TRUE(std::holds_alternative<reply::ModeSet>(mode.decoded));
    EXPECT_EQ(std::get<reply::ModeSet>(mode.decoded).mode, 0xC2);
    // Codes outside the table are only dumped.
    const TickOutcome other = cycle.finish({}, true, reply(1, 0xF4), onPage(Page::Reader));
    EXPECT_FALSE(other.status);
    EXPECT_TRUE(other.dump);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(other.decoded));
}

TEST(CycleSearch, AnswerFillsTheAddressesAndQueuesTheFirstIdentification)
{
    ExchangeCycle cycle;
    setVars(cycle, [&](CycleVars &v) { v.net_opr = -1; });
    const TickOutcome out = cycle.finish({}, true, hex("0507"), onPage(Page::Reader, 0));
    ASSERT_TRUE(std::holds_alternative<reply::NetworkPoll>(out.decoded));
    EXPECT_EQ(std::get<reply::NetworkPoll>(out.decoded).addresses, (QVector<quint8>{5, 7}));
    EXPECT_EQ(out.status, "Произошел опрос сети.");
    EXPECT_EQ(cycle.vars().wrs.bytes().toHex(' '), "31 05 fc 5d");
    EXPECT_EQ(cycle.vars().net_opr, 0);

    // A three-byte frame is no frame either; without a search it changes nothing.
    const TickOutcome short3 = cycle.finish({}, true, hex("3e05f0"), onPage(Page::Reader));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(short3.decoded));
    EXPECT_EQ(cycle.vars().net_opr, 0);
}

TEST(CycleReaderData, LoadsTheReaderSettingsFromTheSecondLongReplyOnly)
{
    ExchangeCycle cycle; // mode_yes starts at 2
    const QByteArray longReply = reply(5, 0xF0, QByteArray(17, '\1') + hex("0201000305"));
    TickOutcome out = cycle.finish({}, true, longReply, onPage(Page::Reader));
    EXPECT_EQ(out.status, "Приняты данные");
    EXPECT_FALSE(std::get<reply::ReaderData>(out.decoded).loadSettings);
    out = cycle.finish({}, true, longReply, onPage(Page::Reader));
    EXPECT_TRUE(std::get<reply::ReaderData>(out.decoded).loadSettings);
    EXPECT_EQ(cycle.vars().mode_yes, 0);
    out = cycle.finish({}, true, longReply, onPage(Page::Reader));
    EXPECT_FALSE(std::get<reply::ReaderData>(out.decoded).loadSettings);

    // A wrong checksum is refused outright; the dump still shows both sums.
    QByteArray bad = longReply;
    bad.back() = char(bad.back() ^ 1);
    out = cycle.finish({}, true, bad, onPage(Page::Reader));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(out.decoded));
    EXPECT_TRUE(out.dump);
}

TEST(CycleTagPoll, TakesTheTagIdIntoTheIdBoxOnceAfterAParameterRead)
{
    ExchangeCycle cycle;
    setVars(cycle, [&](CycleVars &v) { v.tag_read = 1; });
    const QByteArray poll = reply(5, 0xE0, hex("0000000a0012ab3cb5"));
    TickOutcome out = cycle.finish({}, true, poll, onPage(Page::Tag));
    EXPECT_TRUE(std::get<reply::TagPoll>(out.decoded).takeId);
    EXPECT_EQ(out.status, "Был ПИНГ.");
    out = cycle.finish({}, true, poll, onPage(Page::Tag));
    EXPECT_FALSE(std::get<reply::TagPoll>(out.decoded).takeId);
}

TEST(CycleWriteError, DropsTheReplyAndEverythingPending)
{
    ExchangeCycle cycle;
    setVars(cycle, [&](CycleVars &v) { v.wrs = hex("3105f5c1"); });
    const TickOutcome out = cycle.finish({}, false, reply(5, 0xFA), onPage(Page::Reader));
    EXPECT_TRUE(out.writeFailed);
    EXPECT_FALSE(out.status);
    EXPECT_TRUE(cycle.vars().wrs.isEmpty());
}

TEST(CycleDump, OnlyForReceptionsShorterThan50Bytes)
{
    ExchangeCycle cycle;
    TickStart start;
    start.pollChecksum = 0x5D;
    const TickOutcome small = cycle.finish(start, true, hex("3e05fa0a"), onPage(Page::Reader));
    EXPECT_EQ(small.dump, QStringLiteral("3E 5 FA A DF \r\n\r\n>@") + QChar(0x044A) + QStringLiteral("<LF>5D"));
    EXPECT_FALSE(cycle.finish(start, true, QByteArray(50, '\x3E'), onPage(Page::Reader)).dump);
}

// --- The read's end -------------------------------------------------------------

struct ReadEndCase {
    const char *name;
    int waiting;
    qint64 newestAt;
    qint64 endsAt; // the read began at 1000
};

class ReadEnd : public ::testing::TestWithParam<ReadEndCase> {};

TEST_P(ReadEnd, QuietFor20msAfterTheLastByteOr256msAfterTheStartOr255Bytes)
{
    const ReadEndCase &c = GetParam();
    EXPECT_EQ(readEndsAt(1000, c.waiting, c.newestAt), c.endsAt);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ReadEnd,
    ::testing::Values(ReadEndCase{"NothingYet", 0, -1, 1256},
                      ReadEndCase{"QuietAlready", 10, 500, 520},
                      ReadEndCase{"StillComing", 10, 1100, 1120},
                      ReadEndCase{"ABabblingLineStopsAt256", 200, 1250, 1256},
                      ReadEndCase{"A255ByteReadEndsAtOnce", 255, 1250, 1000}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Pacing on a port ---------------------------------------------------------

class Runner : public ::testing::Test
{
protected:
    FakePort port;
    ExchangeCycle cycle;
    CycleRunner runner{cycle, port};
    QVector<TickOutcome> shown;

    void SetUp() override
    {
        port.open = true;
        setVars(cycle, [&](CycleVars &v) { v.last_net = 5; });
        QObject::connect(&runner, &CycleRunner::finished,
                         [this](const TickOutcome &o) { shown.append(o); });
    }
};

TEST_F(Runner, AQuietReplyEndsTheTickAtOnceASilentLineWaits)
{
    port.replies.push_back(reply(5, 0xFA));
    runner.tick(onPage(Page::Reader));
    ASSERT_EQ(shown.size(), 1) << "a reply already quiet for 20 ms needs no waiting";
    EXPECT_EQ(port.written, QByteArrayList{hex("3105f0fe")});

    runner.tick(onPage(Page::Reader));
    EXPECT_TRUE(runner.busy());
    EXPECT_EQ(port.written.size(), 1) << "nothing is written before the read is over";
    runner.endReadNow();
    EXPECT_FALSE(runner.busy());
    EXPECT_EQ(port.written.size(), 2);
    EXPECT_EQ(shown.size(), 2);
}

TEST_F(Runner, NothingIsReadWrittenOrShownWhileABoxIsOpen)
{
    runner.pause();
    runner.tick(onPage(Page::Reader));
    EXPECT_FALSE(runner.busy()) << "no tick starts under a box";

    runner.resume();
    runner.tick(onPage(Page::Reader));
    runner.pause(); // a handler opens a box while the tick waits
    port.replies.push_back(reply(5, 0xFA));
    emit port.bytesArrived();
    runner.endReadNow();
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_TRUE(shown.isEmpty());
    runner.resume(); // inside the handler that opened the box
    EXPECT_TRUE(port.written.isEmpty()) << "the tick never finishes inside a handler";
    QCoreApplication::processEvents(); // the handler has returned
    EXPECT_EQ(port.written.size(), 1); // the reply is long quiet: the tick goes on at once
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].status, " Установлен нижний уровень.");
}

} // namespace

TEST(CycleRunnerLog, ARequestReplacedBeforeItWentOutIsLoggedAsNotSent)
{
    FakePort port;
    port.open = true;
    ExchangeCycle cycle;
    setVars(cycle, [&](CycleVars &v) { v.last_net = 5; });
    CycleRunner runner(cycle, port);
    QVector<ExchangeRecord> rows;
    QObject::connect(&runner, &CycleRunner::exchanged, [&](const ExchangeRecord &r) { rows << r; });

    cycle.queueRequest(hex("3105f5c1")); // the operator asks for one thing...
    cycle.queueRequest(hex("3105e7e0")); // ...then for another before the tick
    cycle.queueRequest(hex("3105e7e0")); // the same again replaces nothing
    runner.tick(onPage(Page::Reader));
    runner.endReadNow();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_FALSE(rows[0].sent);
    EXPECT_EQ(rows[0].request, hex("3105f5c1"));
    EXPECT_EQ(port.written, QByteArrayList{hex("3105e7e0")});
}

// --- One order of events: a handler acts between two whole ticks ---------------

namespace {

struct OrderCase {
    const char *name;
    Page page;
    std::function<void(CycleVars &)> before; // the state the tick starts from
    QByteArray reply;                          // what the tick reads
    bool written;                              // false: the port refuses the tick's write
    std::function<void(ExchangeCycle &)> verbs; // what the handlers do
};

void PrintTo(const OrderCase &c, std::ostream *os)
{
    *os << c.name;
}

// Everything the wire and the window can tell of a run: the requests written,
// what the first tick showed, the state at the end and the requests dropped.
struct Trace {
    QStringList wire;
    QString shown;
    QString state;
    QStringList dropped;
    bool operator==(const Trace &o) const
    {
        return wire == o.wire && shown == o.shown && state == o.state && dropped == o.dropped;
    }
};

void PrintTo(const Trace &t, std::ostream *os)
{
    *os << "wire " << t.wire.join(QLatin1Char('|')).toStdString() << "; shown "
        << t.shown.toStdString() << "; state " << t.state.toStdString() << "; dropped "
        << t.dropped.join(QLatin1Char('|')).toStdString();
}

// The tick with the handlers' verbs issued while it waits for its read, or
// after it; then the port (re)opens and one more tick runs on a silent line.
Trace run(const OrderCase &c, bool verbsDuringTheRead)
{
    ExchangeCycle cycle;
    setVars(cycle, [&](CycleVars &v) {
        v.last_net = 5;
        v.mode_yes = 0;
        if (c.before)
            c.before(v);
    });
    const Selection s = onPage(c.page);
    Trace t;

    const TickStart start = cycle.begin(s);
    if (verbsDuringTheRead)
        c.verbs(cycle);
    const TickOutcome out = cycle.finish(start, c.written, c.reply, s);
    cycle.settle();
    if (!verbsDuringTheRead)
        c.verbs(cycle);
    if (c.written)
        t.wire << QString::fromLatin1(start.request.toHex(' '));
    t.shown = out.status.value_or(QStringLiteral("-")) + QStringLiteral(" decoded#")
              + QString::number(out.decoded.index());
    if (auto *d = std::get_if<reply::ReaderData>(&out.decoded))
        t.shown += d->loadSettings ? QStringLiteral(" load") : QString();
    if (auto *p = std::get_if<reply::TagPoll>(&out.decoded))
        t.shown += p->takeId ? QStringLiteral(" takeId") : QString();

    cycle.portOpened();
    const TickStart next = cycle.begin(s);
    cycle.finish(next, true, {}, s);
    cycle.settle();
    t.wire << QString::fromLatin1(next.request.toHex(' '));

    const CycleVars &v = cycle.vars();
    t.state = QStringLiteral("wrs=%1 net_opr=%2 mode_yes=%3 tag_read=%4 CointWrs=%5 last_net=%6")
                  .arg(QString::fromLatin1(v.wrs.bytes().toHex(' ')))
                  .arg(v.net_opr)
                  .arg(v.mode_yes)
                  .arg(v.tag_read)
                  .arg(v.CointWrs)
                  .arg(v.last_net);
    for (const ExchangeCycle::Dropped &d : cycle.takeDropped())
        t.dropped << QString::fromLatin1(d.request.toHex(' ')) + QStringLiteral("/")
                         + QString::number(int(d.why));
    return t;
}

const QByteArray LowLevel = proto::buildRequest(5, 0xFA);
const QByteArray ModeBridge = proto::buildRequest(5, 0xF2, QByteArray(1, '\0'));
const QByteArray LongReaderData = reply(5, 0xF0, QByteArray(17, '\1') + hex("0201000305"));
const QByteArray ModeConfirmation = reply(5, 0xF2, hex("02"));
const QByteArray TagPollReply = reply(5, 0xE0, hex("00000101000A0B0C0DF0"));
const QByteArray LowConfirmation = reply(5, 0xFA);

class OneOrder : public ::testing::TestWithParam<OrderCase> {};

} // namespace

TEST_P(OneOrder, VerbsIssuedWhileATickWaitsActAsIfIssuedAfterIt)
{
    const Trace during = run(GetParam(), true);
    const Trace after = run(GetParam(), false);
    EXPECT_EQ(during, after);
    if (!GetParam().written) // nothing built for a lost port goes out on the next
        EXPECT_FALSE(during.wire.join(QLatin1Char('|')).contains(QString::fromLatin1(LowLevel.toHex(' '))));
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, OneOrder,
    ::testing::Values(
        // The newest request wins: the technician's, not the identification
        // the search answer queues.
        OrderCase{"SearchAnswerThenACalibration", Page::Reader, [](CycleVars &v) { v.net_opr = -1; },
                  hex("0507"), true, [](ExchangeCycle &c) { c.queueRequest(LowLevel); }},
        // The long reply read now left the reader before the mode request:
        // the latch does not count it.
        OrderCase{"LongReaderDataThenAModeSetting", Page::Reader, nullptr, LongReaderData, true,
                  [](ExchangeCycle &c) {
                      c.appendRequest(ModeBridge);
                      c.requestReload();
                  }},
        OrderCase{"ModeConfirmationThenAnotherModeSetting", Page::Reader, nullptr,
                  ModeConfirmation, true,
                  [](ExchangeCycle &c) {
                      c.appendRequest(ModeBridge);
                      c.requestReload();
                  }},
        // The tag read now is not the one the technician asked for.
        OrderCase{"TagPollThenATagRead", Page::Tag, nullptr, TagPollReply,
                  true, [](ExchangeCycle &c) { c.awaitTagRead(proto::buildRequest(5, 0xE3, hex("0A0B0C0D"))); }},
        OrderCase{"WriteErrorThenACalibration", Page::Reader, nullptr, LowConfirmation, false,
                  [](ExchangeCycle &c) {
                      c.queueRequest(LowLevel);
                      c.requestReload();
                  }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(OneOrderDisplay, AVerbShowsThePendingRequestOnlyOnceItTookEffect)
{
    ExchangeCycle cycle;
    setVars(cycle, [](CycleVars &v) { v.last_net = 5; v.net_opr = -1; });
    const TickStart start = cycle.begin(onPage(Page::Reader));
    QStringList shown;
    cycle.appendRequest(ModeBridge, [&](const QByteArray &p) { shown << QString::fromLatin1(p.toHex()); });
    EXPECT_TRUE(shown.isEmpty());
    cycle.finish(start, true, hex("07"), onPage(Page::Reader)); // the search answer queues 7's identification
    EXPECT_TRUE(shown.isEmpty());
    cycle.settle();
    EXPECT_EQ(shown, QStringList{QString::fromLatin1((proto::buildRequest(7, 0xFC) + ModeBridge).toHex())});
}

// --- A reply the cycle drops says why ---------------------------------------------

namespace {

struct DropCase {
    const char *name;
    QByteArray lastRequest; // written on the tick before: the reply answers it
    QByteArray reply;
    QString why;
};

class Dropped : public ::testing::TestWithParam<DropCase> {};

QByteArray wrongChecksum(QByteArray r)
{
    r.back() = char(r.back() ^ 1);
    return r;
}
const QByteArray ReaderDataOf5 = reply(5, 0xF0, QByteArray(17, '\1'));
const QByteArray ReaderDataOf7 = reply(7, 0xF0, QByteArray(17, '\1'));
const QByteArray ShortTagPoll = reply(5, 0xE0, hex("0001"));
// Short reader data and a 5-byte frame are as long as the long form, and
// check as one: still two readers answering.
const QByteArray TwoReaders = ReaderDataOf5 + reply(9, 0xF2, hex("01"));

} // namespace

TEST_P(Dropped, TheLogSaysWhyNotWhatItWouldHaveMeant)
{
    const DropCase &c = GetParam();
    ExchangeCycle cycle;
    setVars(cycle, [&](CycleVars &v) { v.last_net = 5; v.wrs = c.lastRequest; });
    const Selection s = onPage(Page::Reader);
    cycle.finish(cycle.begin(s), true, {}, s);
    cycle.settle();
    const TickOutcome out = cycle.finish(cycle.begin(s), true, c.reply, s);
    EXPECT_EQ(out.dropped, c.why);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(out.decoded));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Dropped,
    ::testing::Values(
        DropCase{"ReaderDataWithAWrongChecksum", proto::buildRequest(5, 0xF0),
                 wrongChecksum(ReaderDataOf5),
                 "отброшен: неверная контрольная сумма"},
        DropCase{"AnswerToTheReaderPickedBefore", proto::buildRequest(7, 0xF0), ReaderDataOf7,
                 "отброшен: ответ на запрос к прежнему адресу 7"},
        DropCase{"BytesWhileNoSearchRuns", proto::buildRequest(5, 0xF0), hex("0507"),
                 "отброшен: не кадр, а поиск не запущен"},
        DropCase{"TagPollTooShort", proto::buildRequest(5, 0xF0), ShortTagPoll,
                 "отброшен: короче, чем ответ с этим кодом"},
        DropCase{"TwoReadersAnswered", proto::buildRequest(5, 0xF0), TwoReaders,
                 "отброшен: два ответа на один запрос"}),
    [](const auto &info) { return std::string(info.param.name); });
