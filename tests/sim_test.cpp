// The simulated line seen from the tool's side of the pseudo-terminal: plain
// POSIX reads and writes, so these tests check the bytes on the wire.
#include "sim/simline.h"

#include <QElapsedTimer>
#include <QSet>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 2000;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

quint8 checksum(const QByteArray &data)
{
    quint8 cr = 0;
    for (char ch : data) {
        cr ^= quint8(ch);
        for (int bit = 0; bit < 8; ++bit)
            cr = (cr & 1) ? quint8((cr >> 1) ^ 0x8C) : quint8(cr >> 1);
    }
    return cr;
}

QByteArray sealed(const QByteArray &data)
{
    return data + char(checksum(data));
}

QByteArray req(std::initializer_list<int> values)
{
    return sealed(bytes({0x31}) + bytes(values));
}

QByteArray rep(std::initializer_list<int> values)
{
    return sealed(bytes({0x3E}) + bytes(values));
}

QString hex(const QByteArray &b)
{
    return QString::fromLatin1(b.toHex(' ').toUpper());
}

// Fixed values with distinct bytes, so a swapped byte order shows.
QVector<SimReader> fixedReaders()
{
    SimReader a;
    a.address = 5;
    a.serial = 0x01020304;
    a.version = 134;
    a.mode = 0x02;
    a.network = 0x1234;
    a.channel = 5;
    a.power = 10;
    a.delay = 0x03E8;
    a.empty = 0x0A0B0C0D;
    a.level = 0x0123;
    a.current = 0x00112233;
    a.temperature = 0xE2;
    a.k = 0x0456;
    a.table = {0x0012AB3C, 0, 0x11223344};
    SimTag first{0x00BC614E, 0x0012AB3C, 0x03E8, 2, 100, 134, 60, 0x9C};
    SimTag second{0x00000100, 0x00ABCDEF, 0x0102, 3, 50, 131, 0x0A0B, 0x10};
    a.tags = {first, second};

    SimReader b;
    b.address = 7;
    b.serial = 0x00010203;
    b.version = 131;
    b.mode = 0xC0;
    b.slave = SimSlave{0x0A0B0C0D, -344, 0x04B0, true, 0xA0, 0x1234};

    SimReader c;
    c.address = 12;
    return {c, a, b}; // out of order: the poll answer sorts them
}

QByteArray f0Of5(quint32 empty = 0x0A0B0C0D, int mode = 0x02, int netHi = 0x12, int netLo = 0x34,
                 int channel = 5, int power = 10)
{
    return sealed(bytes({0x3E, 0x05, 0xF0, 0xE2, 0x23, 0x01, 0x33, 0x22, 0x11, 0x00})
                  + bytes({int(empty & 0xFF), int(empty >> 8 & 0xFF), int(empty >> 16 & 0xFF),
                           int(empty >> 24)})
                  + bytes({0x3C, 0xAB, 0x12, 0x00, 0x56, 0x04, mode, netLo, netHi, channel, power}));
}

QByteArray tableOf5(quint32 third = 0x11223344)
{
    QByteArray t = bytes({0x3E, 0x05, 0xE6, 0x3C, 0xAB, 0x12, 0x00, 0, 0, 0, 0});
    t += bytes({int(third & 0xFF), int(third >> 8 & 0xFF), int(third >> 16 & 0xFF), int(third >> 24)});
    t += QByteArray(28, '\0');
    return sealed(t);
}

class SimLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const SimReader &r : fixedReaders())
            line().addReader(r);
        ASSERT_TRUE(host_.start());
        fd_ = ::open(line().devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd_, 0);
        termios tio{};
        ASSERT_EQ(::tcgetattr(fd_, &tio), 0);
        ::cfmakeraw(&tio);
        ASSERT_EQ(::tcsetattr(fd_, TCSANOW, &tio), 0);
    }
    void TearDown() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    SimLine &line() { return host_.line(); }

    void send(const QByteArray &b)
    {
        ASSERT_EQ(::write(fd_, b.constData(), size_t(b.size())), b.size());
    }

    // Up to `count` bytes; fewer only when the line stays quiet too long.
    QByteArray receive(int count)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < kTimeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(kTimeoutMs - clock.elapsed())) <= 0)
                break;
            char buf[256];
            const ssize_t n = ::read(fd_, buf, size_t(std::min<int>(sizeof buf, count - got.size())));
            if (n <= 0)
                break;
            got.append(buf, int(n));
        }
        return got;
    }

    QByteArray transact(const QByteArray &request, int replyLength)
    {
        send(request);
        return receive(replyLength);
    }

    void waitForRequests(int count)
    {
        QElapsedTimer clock;
        clock.start();
        while (line().requests().size() < count && clock.elapsed() < kTimeoutMs)
            QThread::msleep(5);
        ASSERT_EQ(line().requests().size(), count);
    }

    // Proves that nothing came back for what was sent before: the next bytes
    // on the line are the answer to this identification request.
    void expectNextReplyIsIdentificationOf7()
    {
        const QByteArray expected = rep({0x07, 0xFC, 0x03, 0x02, 0x01, 0x00, 0x83, 0x00});
        EXPECT_EQ(hex(transact(req({0x07, 0xFC}), expected.size())), hex(expected));
    }

    SimHost host_;
    int fd_ = -1;
};

TEST_F(SimLineTest, NetworkPollListsAddressesInAscendingOrder)
{
    EXPECT_EQ(hex(transact(bytes({0x31, 0xFF, 0xDC}), 3)), "05 07 0C");
}

struct Exchange {
    const char *name;
    QByteArray request;
    QByteArray reply;
};

void PrintTo(const Exchange &c, std::ostream *os) { *os << c.name; }

class SimReplyLayout : public SimLineTest, public ::testing::WithParamInterface<Exchange>
{
};

TEST_P(SimReplyLayout, ReplyBytes)
{
    const Exchange &c = GetParam();
    EXPECT_EQ(hex(transact(c.request, c.reply.size())), hex(c.reply));
    QByteArray recorded;
    for (const QByteArray &r : line().requests())
        recorded += r;
    EXPECT_EQ(hex(recorded), hex(c.request));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SimReplyLayout,
    ::testing::Values(
        Exchange{"Identification", req({0x05, 0xFC}), rep({0x05, 0xFC, 0x04, 0x03, 0x02, 0x01, 0x86, 0x00})},
        Exchange{"ReaderDataLongForm", req({0x05, 0xF0}), f0Of5()},
        Exchange{"ReadDelay", req({0x05, 0xF7}), rep({0x05, 0xF1, 0xE8, 0x03})},
        Exchange{"ReadTable", req({0x05, 0xE7}), tableOf5()},
        Exchange{"TagPollFirstInField", req({0x05, 0xE0, 0x7A, 0x7A, 0x7A, 0x7A}),
                 rep({0x05, 0xE0, 0x00, 0xBC, 0x61, 0x4E, 0x00, 0x12, 0xAB, 0x3C, 0x9C})},
        Exchange{"TagReadById", req({0x05, 0xE3, 0x00, 0xAB, 0xCD, 0xEF}),
                 rep({0x05, 0xE3, 0x00, 0x00, 0x01, 0x00, 0x00, 0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x03, 0x32,
                      0x83, 0x0A, 0x0B, 0x10})},
        Exchange{"SlaveDataNegativeTemperature", req({0x07, 0xE8}),
                 rep({0x07, 0xE8, 0x0D, 0x0C, 0x0B, 0x0A, 0xFE, 0xA8, 0xB0, 0x04, 0xCD, 0xA0})},
        Exchange{"SlaveRs485", req({0x07, 0x06}), rep({0x07, 0x06, 0x00, 0x34, 0x12})},
        Exchange{"TwoRequestsInOneWrite", req({0x05, 0xF2, 0x00}) + req({0x05, 0xFB, 0x09}),
                 rep({0x05, 0xF2, 0x00}) + rep({0x05, 0xFB})}),
    [](const auto &info) { return std::string(info.param.name); });

// A setting, its confirmation, then a read that shows the setting took.
struct RoundTrip {
    const char *name;
    QByteArray set;
    QByteArray ack;
    QByteArray read;
    QByteArray readReply;
};

void PrintTo(const RoundTrip &c, std::ostream *os) { *os << c.name; }

class SimRoundTrip : public SimLineTest, public ::testing::WithParamInterface<RoundTrip>
{
};

TEST_P(SimRoundTrip, SettingIsReadBack)
{
    const RoundTrip &c = GetParam();
    EXPECT_EQ(hex(transact(c.set, c.ack.size())), hex(c.ack));
    EXPECT_EQ(hex(transact(c.read, c.readReply.size())), hex(c.readReply));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SimRoundTrip,
    ::testing::Values(
        RoundTrip{"Mode", req({0x05, 0xF2, 0xC0}), rep({0x05, 0xF2, 0xC0}), req({0x05, 0xF0}), f0Of5(0x0A0B0C0D, 0xC0)},
        RoundTrip{"RadioParameters", req({0x05, 0xF4, 0x00, 0x07, 0x09, 0x14}), rep({0x05, 0xF4}),
                  req({0x05, 0xF0}), f0Of5(0x0A0B0C0D, 0x02, 0x00, 0x07, 0x09, 0x14)},
        RoundTrip{"EmptyCalibration", req({0x05, 0xFA}), rep({0x05, 0xFA}), req({0x05, 0xF0}), f0Of5(0x0123)},
        RoundTrip{"Delay", req({0x05, 0xF1, 0x07, 0xD0}), rep({0x05, 0xF1, 0xD0, 0x07}), req({0x05, 0xF7}),
                  rep({0x05, 0xF1, 0xD0, 0x07})},
        RoundTrip{"ReaderSerial", req({0x05, 0xF6, 0x00, 0x0F, 0x42, 0x3B}), rep({0x05, 0xF6}), req({0x05, 0xFC}),
                  rep({0x05, 0xFC, 0x3B, 0x42, 0x0F, 0x00, 0x86, 0x00})},
        RoundTrip{"TableCell", req({0x05, 0xE6, 0x02, 0xDE, 0xAD, 0xBE, 0xEF}), tableOf5(0xDEADBEEF),
                  req({0x05, 0xE7}), tableOf5(0xDEADBEEF)},
        RoundTrip{"TableCellOutOfRange", req({0x05, 0xE6, 0x0A, 0xDE, 0xAD, 0xBE, 0xEF}), tableOf5(),
                  req({0x05, 0xE7}), tableOf5()},
        RoundTrip{"TableClear", req({0x05, 0xE9}), rep({0x05, 0xE9}), req({0x05, 0xE7}),
                  sealed(bytes({0x3E, 0x05, 0xE6}) + QByteArray(40, '\0'))},
        RoundTrip{"TagWrite",
                  req({0x05, 0xE1, 0x0E, 0x00, 0xBC, 0x61, 0x4E, 0x00, 0x00, 0xBE, 0xEF, 0x00, 0x0A, 0x03, 0x32,
                       0x00, 0x78}),
                  rep({0x05, 0xE1}), req({0x05, 0xE3, 0x00, 0x00, 0xBE, 0xEF}),
                  rep({0x05, 0xE3, 0x00, 0xBC, 0x61, 0x4E, 0x00, 0x00, 0xBE, 0xEF, 0x00, 0x0A, 0x03, 0x32, 0x86,
                       0x00, 0x78, 0x9C})},
        RoundTrip{"TagSerial", req({0x05, 0xE2, 0x00, 0x12, 0xAB, 0x3C, 0x00, 0x00, 0x30, 0x39}), rep({0x05, 0xE2}),
                  req({0x05, 0xE0, 0x7A, 0x7A, 0x7A, 0x7A}),
                  rep({0x05, 0xE0, 0x00, 0x00, 0x30, 0x39, 0x00, 0x12, 0xAB, 0x3C, 0x9C})},
        RoundTrip{"MoveAddress", req({0x05, 0xFB, 0x09}), rep({0x05, 0xFB}), bytes({0x31, 0xFF, 0xDC}),
                  bytes({0x07, 0x09, 0x0C})}),
    [](const auto &info) { return std::string(info.param.name); });

struct Unanswered {
    const char *name;
    QByteArray request;
    bool recorded; // a well-formed request is recorded even when no one answers
};

void PrintTo(const Unanswered &c, std::ostream *os) { *os << c.name; }

class SimNoAnswer : public SimLineTest, public ::testing::WithParamInterface<Unanswered>
{
};

TEST_P(SimNoAnswer, NothingComesBack)
{
    send(GetParam().request);
    expectNextReplyIsIdentificationOf7();
    EXPECT_EQ(line().requests().size(), GetParam().recorded ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, SimNoAnswer,
    ::testing::Values(
        Unanswered{"NoReaderAtAddress", req({0x03, 0xFC}), true},
        Unanswered{"SlaveDataWithoutSlave", req({0x05, 0xE8}), true},
        Unanswered{"TagPollWithEmptyField", req({0x0C, 0xE0, 0x7A, 0x7A, 0x7A, 0x7A}), true},
        Unanswered{"TagReadUnknownId", req({0x05, 0xE3, 0x00, 0x00, 0x00, 0x01}), true},
        Unanswered{"TagWriteUnknownSerial",
                   req({0x05, 0xE1, 0x0E, 0, 0, 0, 9, 0, 0, 0, 1, 0, 1, 1, 1, 0, 1}), true},
        Unanswered{"BadChecksum", bytes({0x31, 0x05, 0xFC, 0x00}), false},
        Unanswered{"UnknownCommand", req({0x05, 0x55}), false},
        Unanswered{"Garbage", bytes({0x00, 0x3E, 0x31, 0x31, 0x05}), false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SimLineTest, MovedReaderNoLongerAnswersAtOldAddress)
{
    transact(req({0x05, 0xFB, 0x09}), 4);
    send(req({0x05, 0xFC}));
    expectNextReplyIsIdentificationOf7();
    ASSERT_TRUE(line().reader(9).has_value());
    EXPECT_EQ(line().reader(9)->serial, 0x01020304u);
    EXPECT_FALSE(line().reader(5).has_value());
}

TEST_F(SimLineTest, SilentLineAnswersNothing)
{
    line().setSilent(true);
    send(req({0x05, 0xFC}));
    waitForRequests(1);
    line().setSilent(false);
    expectNextReplyIsIdentificationOf7();
}

TEST_F(SimLineTest, CorruptChecksumFlipsLastByteOfEachFrame)
{
    line().setCorruptChecksum(true);
    QByteArray expected = rep({0x05, 0xF1, 0xE8, 0x03});
    expected.back() = char(quint8(expected.back()) ^ 0xFF);
    EXPECT_EQ(hex(transact(req({0x05, 0xF7}), expected.size())), hex(expected));
    // The poll answer carries no checksum and stays intact.
    EXPECT_EQ(hex(transact(bytes({0x31, 0xFF, 0xDC}), 3)), "05 07 0C");
}

TEST_F(SimLineTest, NoiseGoesBeforeEveryReply)
{
    const QByteArray noise = bytes({0x00, 0xA5, 0x3E});
    line().setNoise(noise);
    const QByteArray reply = rep({0x05, 0xF1, 0xE8, 0x03});
    EXPECT_EQ(hex(transact(req({0x05, 0xF7}), 3 + reply.size())), hex(noise + reply));
    EXPECT_EQ(hex(transact(req({0x05, 0xF7}), 3 + reply.size())), hex(noise + reply));
}

TEST_F(SimLineTest, SplitReplyRestComesWithNextReplyOrLater)
{
    line().setSplitReplies(true);
    const QByteArray first = rep({0x05, 0xFC, 0x04, 0x03, 0x02, 0x01, 0x86, 0x00});
    const QByteArray second = rep({0x07, 0xFC, 0x03, 0x02, 0x01, 0x00, 0x83, 0x00});
    EXPECT_EQ(hex(transact(req({0x05, 0xFC}), 5)), hex(first.left(5)));
    EXPECT_EQ(hex(transact(req({0x07, 0xFC}), 10)), hex(first.mid(5) + second.left(5)));
    // No request follows: the held-back half comes out on its own.
    EXPECT_EQ(hex(receive(5)), hex(second.mid(5)));
}

TEST_F(SimLineTest, UnplugMakesTheToolsWriteFail)
{
    line().unplug();
    const QByteArray request = req({0x05, 0xFC});
    const ssize_t written = ::write(fd_, request.constData(), size_t(request.size()));
    const int error = errno;
    EXPECT_EQ(written, -1);
    EXPECT_EQ(error, EIO);
    line().unplug(); // a second unplug is harmless
}

TEST(SimLineLive, LiveValuesDriftSlowlyWithinRangeAndTheSameEveryRun)
{
    SimReader r;
    r.address = 5;
    r.level = 1020;
    r.current = 50;
    r.temperature = 23;
    r.live = true;
    r.slave = SimSlave{};
    r.slave->temperature = 344;
    SimLine line, again;
    line.addReader(r);
    again.addReader(r);
    QSet<quint32> currents;
    QSet<int> temperatures, slaveTemperatures;
    for (int i = 0; i < 600; ++i) {
        const QByteArray request = i % 4 == 3 ? req({0x05, 0xE8}) : req({0x05, 0xF0});
        const QByteArray reply = line.answer(request);
        ASSERT_EQ(reply, again.answer(request)) << "request " << i;
        if (request.at(2) == char(0xE8)) {
            slaveTemperatures.insert(line.reader(5)->slave->temperature);
            continue;
        }
        ASSERT_EQ(reply.size(), 26);
        EXPECT_LT(quint8(reply[4]) | quint8(reply[5]) << 8, 1024);
        const int temperature = qint8(reply[3]);
        EXPECT_LE(std::abs(temperature - 23), 6) << "request " << i; // the wave's height, twice
        temperatures.insert(temperature);
        currents.insert(line.reader(5)->current);
    }
    EXPECT_GT(currents.size(), 1);
    EXPECT_GT(temperatures.size(), 1);
    EXPECT_GT(slaveTemperatures.size(), 1);
    EXPECT_GT(line.reader(5)->current, 0u);
}

} // namespace
