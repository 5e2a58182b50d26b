// The Qt SerialPort port layer against a real pseudo-terminal: the test plays
// the device on the master side, the port layer opens the slave as "COM7".
#include "support/testnames.h"
#include "serial/inputqueue.h"
#include "serial/portlock.h"
#include "serial/portnames.h"
#include "serial/serialport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

QByteArray pattern(int size, int seed = 0)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return bytes;
}

const QString kUnavailable = QStringLiteral("Com Port COM7 недоступен. Установите нужный порт.");

// ---------------------------------------------------------------------------
// COMn -> device rule

struct PathCase {
    int n;
    const char *path;
};

class PortNamesRule : public ::testing::TestWithParam<PathCase> {};

TEST_P(PortNamesRule, MapsNumberAndNameToTheSameDevice)
{
    const PathCase c = GetParam();
    PortNames names;
    EXPECT_EQ(names.devicePath(c.n), QString::fromLatin1(c.path));
    const QString name = QStringLiteral("COM%1").arg(c.n);
    const QString expected = *c.path ? QString::fromLatin1(c.path) : name;
    EXPECT_EQ(names.devicePathForName(name), expected);
}

#ifdef Q_OS_WIN
INSTANTIATE_TEST_SUITE_P(Windows, PortNamesRule,
                         ::testing::Values(PathCase{1, "COM1"}, PathCase{30, "COM30"},
                                           PathCase{0, ""}, PathCase{31, ""}),
                         [](const auto &info) {
                             const int n = info.param.n;
                             return (n < 0 ? std::string("COMMinus") : std::string("COM")) + std::to_string(n < 0 ? -n : n);
                         });
#else
INSTANTIATE_TEST_SUITE_P(Linux, PortNamesRule,
                         ::testing::Values(PathCase{1, "/dev/ttyS0"}, PathCase{4, "/dev/ttyS3"},
                                           PathCase{5, "/dev/ttyUSB0"},
                                           PathCase{20, "/dev/ttyUSB15"},
                                           PathCase{21, "/dev/ttyACM0"},
                                           PathCase{30, "/dev/ttyACM9"}, PathCase{0, ""},
                                           PathCase{31, ""}, PathCase{-1, ""}),
                         [](const auto &info) {
                             const int n = info.param.n;
                             return (n < 0 ? std::string("COMMinus") : std::string("COM")) + std::to_string(n < 0 ? -n : n);
                         });
#endif

TEST(PortNames, OtherNamesPassUnchanged)
{
    PortNames names;
    for (const char *name : {"/dev/ttyXRUSB0", "COM", "COMX", "COM 7", "COM+7", "COM31", "LPT1"})
        EXPECT_EQ(names.devicePathForName(QString::fromLatin1(name)), QString::fromLatin1(name));
}

#ifdef Q_OS_UNIX

// A pseudo-terminal whose slave side stands in for an adapter.
class Terminal
{
public:
    Terminal()
    {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0)
            path_ = QString::fromLocal8Bit(name);
    }
    ~Terminal()
    {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    QString path() const { return path_; }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

TEST(PortNames, OverrideWinsAndCountsOnlyWhenItsPathExists)
{
    Terminal device;
    ASSERT_FALSE(device.path().isEmpty());
    PortNames names;

    names.setOverride(7, device.path());
    EXPECT_EQ(names.devicePath(7), device.path());
    EXPECT_EQ(names.devicePathForName(QStringLiteral("COM7")), device.path());
    EXPECT_TRUE(names.exists(7));

    names.setOverride(7, device.path() + QStringLiteral(".missing"));
    EXPECT_FALSE(names.exists(7));

    names.clearOverrides();
    EXPECT_NE(names.devicePath(7), device.path());
    EXPECT_FALSE(names.exists(0));
    EXPECT_FALSE(names.exists(31));
}

// What a COM name may lead to; only a terminal is a port.
enum class Node { Terminal, LinkToTerminal, RegularFile, Fifo, Directory, DevNull, DevTty };

struct NodeCase {
    const char *name;
    Node node;
    bool isPort;
};

class PortNamesNode : public ::testing::TestWithParam<NodeCase> {};

TEST_P(PortNamesNode, IsAPortOnlyWhenATerminal)
{
    Terminal terminal;
    ASSERT_FALSE(terminal.path().isEmpty());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString path = dir.filePath(QStringLiteral("node"));
    switch (GetParam().node) {
    case Node::Terminal:
        path = terminal.path();
        break;
    case Node::LinkToTerminal:
        ASSERT_TRUE(QFile::link(terminal.path(), path));
        break;
    case Node::RegularFile: {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        break;
    }
    case Node::Fifo:
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    case Node::Directory:
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("node")));
        break;
    case Node::DevNull:
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), path));
        break;
    case Node::DevTty: // whoever opens it gets his own terminal
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/tty"), path));
        break;
    }
    PortNames names;
    names.setOverride(5, path);
    EXPECT_EQ(names.exists(5), GetParam().isPort) << path.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Nodes, PortNamesNode,
                         ::testing::Values(NodeCase{"Terminal", Node::Terminal, true},
                                           NodeCase{"LinkToTerminal", Node::LinkToTerminal, true},
                                           NodeCase{"RegularFile", Node::RegularFile, false},
                                           NodeCase{"Fifo", Node::Fifo, false},
                                           NodeCase{"Directory", Node::Directory, false},
                                           NodeCase{"DevNull", Node::DevNull, false},
                                           NodeCase{"DevTty", Node::DevTty, false}),
                         [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The input queue between the line and the reads

TEST(InputQueue, ReadsAtMost255AndKeepsOnlyARestThatOneReadCanTake)
{
    InputQueue q;
    q.append(pattern(200), 10);
    q.append(pattern(100, 1), 20);
    qint64 at = 0;
    EXPECT_EQ(q.take(&at), pattern(200) + pattern(100, 1).left(55));
    EXPECT_EQ(at, 20); // the last byte taken came with the second burst
    EXPECT_EQ(q.take(&at), pattern(100, 1).mid(55));
    EXPECT_TRUE(q.take(&at).isEmpty());
    EXPECT_EQ(at, -1);

    // A backlog beyond one more read is no answer to anything: dropped.
    q.append(pattern(600), 30);
    EXPECT_EQ(q.take(), pattern(600).left(255));
    EXPECT_EQ(q.size(), 0);

    // What a read returns owns no more than it holds: replies are kept (the
    // exchange log holds 1,000), the bursts they came in are not.
    QByteArray burst;
    burst.reserve(32768);
    burst.append("abc");
    q.append(burst, 40);
    EXPECT_LT(q.take().capacity(), 1024);
}

TEST(InputQueue, HoldsAtMost4KiBDroppingTheOldestFirst)
{
    InputQueue q;
    for (int i = 0; i < 10; ++i)
        q.append(pattern(1000, i), i);
    EXPECT_EQ(q.size(), InputQueue::Capacity);
    EXPECT_EQ(q.newestAtMs(), 9);
    EXPECT_EQ(q.take(), pattern(1000, 5).right(96) + pattern(1000, 6).left(159));
    q.append(pattern(5000), 11);
    EXPECT_EQ(q.size(), InputQueue::Capacity);
    EXPECT_EQ(q.take(), pattern(5000).right(InputQueue::Capacity).left(255));
}

// Line noise comes one byte per arrival, each handed over by Qt as a view of
// its 32 KiB read buffer: the queue keeps the bytes, not the buffers.
TEST(InputQueue, MemoryStaysFixedUnderOneByteArrivals)
{
    InputQueue q;
    QByteArray all;
    for (int i = 0; i < 10000; ++i) {
        QByteArray piece;
        piece.reserve(32768);
        piece.append(char(i * 7));
        all.append(piece);
        q.append(piece, i);
    }
    EXPECT_LE(q.memoryBytes(), 8u * 1024);
    EXPECT_EQ(q.size(), InputQueue::Capacity);
    EXPECT_EQ(q.newestAtMs(), 9999);
    qint64 at = 0;
    EXPECT_EQ(q.take(&at), all.right(InputQueue::Capacity).left(255));
    EXPECT_LE(at, 9999);
    EXPECT_GE(at, 10000 - InputQueue::Capacity + 254);
}


// ---------------------------------------------------------------------------
// The port layer over a pseudo-terminal

class PtyPort : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PseudoTerminal pty;
        ASSERT_TRUE(openFreePseudoTerminal(&pty));
        master_ = pty.master;
        slave_ = pty.slave;
        slavePath_ = pty.path;
        names_.setOverride(7, slavePath_);
        names_.setOverride(8, slavePath_ + QStringLiteral("-gone"));
    }

    void TearDown() override
    {
        port_.ClosePort();
        closeMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }

    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    void deviceSends(const QByteArray &bytes)
    {
        ASSERT_EQ(::write(master_, bytes.constData(), bytes.size()), bytes.size());
    }

    // What the device received, once `size` bytes are there (or the line
    // stays silent for a long while, so a lost byte fails instead of hanging).
    QByteArray deviceReceives(int size)
    {
        QByteArray got;
        char chunk[512];
        while (got.size() < size) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                break;
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n <= 0)
                break;
            got.append(chunk, static_cast<int>(n));
        }
        return got;
    }

    bool open(SerialPort &port, PortLayer::OpenFailure *why = nullptr)
    {
        return port.OpenPort(QStringLiteral("COM7"), QStringLiteral("19200,n,8,1"), why);
    }

    // Runs the event loop until `bytes` wait in the port's input queue (or
    // a while has passed), as the window thread does between its ticks.
    void collect(int bytes)
    {
        QElapsedTimer t;
        t.start();
        while (port_.waiting().bytes < bytes && t.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    PortNames names_;
    SerialPort port_{names_};
    PortLayer::OpenFailure why_;
};

TEST_F(PtyPort, ExistenceFollowsTheMappedDevice)
{
    EXPECT_EQ(port_.PortExists(7), 1);
    EXPECT_EQ(port_.PortExists(8), 0);
    ASSERT_TRUE(open(port_));
    // A held port still exists for the port scan.
    EXPECT_EQ(port_.PortExists(7), 1);
}

TEST_F(PtyPort, OpensWithTheLineSettingsAndNoMessage)
{
    // A pseudo-terminal keeps 8 data bits without parity whatever it is told,
    // so only those combinations can be seen taking effect here.
    for (const char *settings : {"19200,n,8,1", "9600,n,8,2", "115200,N,8,1", " 4800 , n , 8 , 1 "}) {
        SCOPED_TRACE(settings);
        EXPECT_TRUE(port_.OpenPort(QStringLiteral("COM7"), QString::fromLatin1(settings), &why_));
        EXPECT_TRUE(port_.isOpen());
    }
    EXPECT_TRUE(why_.text.isEmpty());
    EXPECT_EQ(port_.ClosePort(), 1);
    EXPECT_FALSE(port_.isOpen());
}

TEST_F(PtyPort, MissingDeviceIsReportedUnavailable)
{
    EXPECT_FALSE(port_.OpenPort(QStringLiteral("COM8"), QStringLiteral("19200,n,8,1"), &why_));
    EXPECT_FALSE(port_.isOpen());
    EXPECT_EQ(why_.text, QStringLiteral("Com Port COM8 недоступен. Установите нужный порт."));
    EXPECT_TRUE(why_.warning);
}

TEST_F(PtyPort, PortHeldElsewhereCannotBeOpenedUntilReleased)
{
    ASSERT_TRUE(open(port_));
    SerialPort other(names_);

    EXPECT_FALSE(open(other, &why_));
    // The holder is named on a line of its own: here, this very program.
    const QStringList lines = why_.text.split(QLatin1Char('\n'));
    EXPECT_EQ(lines.value(0), kUnavailable);
    EXPECT_TRUE(lines.value(1).contains(QStringLiteral("(PID %1").arg(::getpid()))) << why_.text.toStdString();
    EXPECT_TRUE(why_.warning);

    // The same device reached through a link is the same held port.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyLink"));
    ASSERT_TRUE(QFile::link(slavePath_, link));
    PortNames aliases;
    aliases.setOverride(9, link);
    SerialPort third(aliases);
    EXPECT_EQ(third.PortExists(9), 1);
    EXPECT_FALSE(third.OpenPort(QStringLiteral("COM9"), QStringLiteral("19200,n,8,1")));

    port_.ClosePort();
    EXPECT_TRUE(open(other));
}

// Lock files of other programs, in the three forms they are written, against
// the open: a running holder (or one that runs as another user, which
// kill(pid, 0) reports as EPERM) keeps the port and its file untouched; the
// file of one that is gone is removed, and the log says so.
enum class LockForm { Plain, OneLine, Qt };
enum class Holder { Alive, Gone, OtherUser };
struct LockFileCase {
    const char *name;
    LockForm form;
    Holder holder;
    const char *shownProgram; // while refused
    bool namesUser;           // the one-line form names its user
};

class PtyLockFile : public PtyPort, public ::testing::WithParamInterface<LockFileCase> {};

TEST_P(PtyLockFile, RunningHolderKeepsThePortAndItsFileAGoneOneLosesItsFile)
{
    const LockFileCase &c = GetParam();
    QProcess child;
    child.start(QStringLiteral("sleep"), {c.holder == Holder::Alive ? QStringLiteral("30") : QStringLiteral("0")});
    ASSERT_TRUE(child.waitForStarted());
    const qint64 pid = child.processId();
    if (c.holder != Holder::Alive)
        ASSERT_TRUE(child.waitForFinished()); // reaped: its PID names no one now

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("LCK..") + slavePath_.mid(5).replace('/', '_'));
    const QByteArray padded = QByteArray::number(pid).rightJustified(10, ' ');
    const QByteArray content = c.form == LockForm::Plain     ? padded + '\n'
                               : c.form == LockForm::OneLine ? padded + " minicom user\n"
                                                             : QByteArray::number(pid) + "\nminicom\nhost\n";
    QFile lock(file);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(content);
    lock.close();

    SerialPort::LockRules rules;
    rules.directories = {dir.path()};
    if (c.holder == Holder::OtherUser)
        rules.alive = [pid](qint64 p) { return p == pid; };
    port_.setLockRules(rules);
    QStringList notices;
    QObject::connect(&port_, &PortLayer::notice, [&](const QString &t) { notices << t; });

    const bool opened = open(port_, &why_);
    if (c.holder == Holder::Gone) {
        EXPECT_TRUE(opened) << why_.text.toStdString();
        EXPECT_FALSE(QFile::exists(file));
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices.at(0).contains(file)) << notices.at(0).toStdString();
    } else {
        EXPECT_FALSE(opened);
        const QString user = c.namesUser ? QStringLiteral("user") : QFileInfo(file).owner();
        EXPECT_EQ(why_.text, kUnavailable
                                 + QStringLiteral("\nПорт занят программой %1 (PID %2, пользователь %3): "
                                                  "закройте её или выберите другой порт.")
                                       .arg(QLatin1String(c.shownProgram))
                                       .arg(pid)
                                       .arg(user));
        ASSERT_TRUE(lock.open(QIODevice::ReadOnly));
        EXPECT_EQ(lock.readAll(), content);
        EXPECT_TRUE(notices.isEmpty());
    }
    child.kill();
    child.waitForFinished();
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PtyLockFile,
    ::testing::Values(LockFileCase{"PlainAlive", LockForm::Plain, Holder::Alive, "sleep", false},
                      LockFileCase{"PlainGone", LockForm::Plain, Holder::Gone, "", false},
                      LockFileCase{"PlainOtherUser", LockForm::Plain, Holder::OtherUser, "?", false},
                      LockFileCase{"OneLineAlive", LockForm::OneLine, Holder::Alive, "sleep", true},
                      LockFileCase{"OneLineGone", LockForm::OneLine, Holder::Gone, "", true},
                      LockFileCase{"OneLineOtherUser", LockForm::OneLine, Holder::OtherUser, "minicom", true},
                      LockFileCase{"QtAlive", LockForm::Qt, Holder::Alive, "sleep", false},
                      LockFileCase{"QtGone", LockForm::Qt, Holder::Gone, "", false},
                      LockFileCase{"QtOtherUser", LockForm::Qt, Holder::OtherUser, "minicom", false}),
    [](const auto &info) { return std::string(info.param.name); });

// Bytes that reached the device before the open (a late reply to another
// program) are not read as an answer; while open, the terminal is held
// exclusively, and given back with the close.
TEST_F(PtyPort, InputFromBeforeTheOpenIsDiscardedAndTheDeviceIsHeldExclusively)
{
    const QByteArray stale("\x3E\x07\xFC stale");
    deviceSends(stale);
    // Until the terminal has them, as it has when another program got them late.
    int pending = 0;
    for (int waited = 0; waited < 2000 && ::ioctl(slave_, FIONREAD, &pending) == 0 && pending < stale.size();
         waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(pending, stale.size());
    ASSERT_TRUE(open(port_, &why_)) << why_.text.toStdString();
    int exclusive = 0;
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    deviceSends("\x05");
    collect(1);
    EXPECT_EQ(port_.ReadPort(), QByteArray("\x05"));

    port_.ClosePort();
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
}

// A run that was killed leaves its lock file for a pseudo-terminal whose
// number the next run gets again; here the file even names a program that
// still runs, which Qt SerialPort would honour.
TEST(PseudoTerminalTest, ALockLeftForAnEarlierOneOfTheSameNumberDoesNotRefuseTheNext)
{
    QProcess holder;
    holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(holder.waitForStarted());
    PseudoTerminal earlier;
    ASSERT_TRUE(openFreePseudoTerminal(&earlier));
    const QString lockFile = QStringLiteral("/var/lock/LCK..") + earlier.path.mid(5).replace('/', '_');
    const QByteArray claim =
        QByteArray::number(holder.processId()) + "\nsleep\n" + QSysInfo::machineHostName().toUtf8() + '\n';
    QFile lock(lockFile);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(claim);
    lock.close();
    ::close(earlier.slave);
    ::close(earlier.master);

    PseudoTerminal next;
    ASSERT_TRUE(openFreePseudoTerminal(&next));
    PortNames names;
    names.setOverride(7, next.path);
    SerialPort port(names);
    PortLayer::OpenFailure why;
    EXPECT_TRUE(port.OpenPort(QStringLiteral("COM7"), QStringLiteral("19200,n,8,1"), &why)) << why.text.toStdString();
    port.ClosePort();
    ::close(next.slave);
    ::close(next.master);
    // Whatever happened, the claim this test made goes.
    if (lock.open(QIODevice::ReadOnly) && lock.readAll() == claim)
        lock.remove();
    holder.kill();
    holder.waitForFinished();
}

class PtyBadSettings : public PtyPort, public ::testing::WithParamInterface<const char *> {};

TEST_P(PtyBadSettings, AreReportedAndLeaveThePortClosed)
{
    const QString settings = QString::fromLatin1(GetParam());
    EXPECT_FALSE(port_.OpenPort(QStringLiteral("COM7"), settings, &why_));
    EXPECT_FALSE(port_.isOpen());
    EXPECT_EQ(why_.text, QStringLiteral("Unable to build Comm DCB ") + settings + QStringLiteral(" Error: 87"));
    EXPECT_FALSE(why_.warning);

    // The failed attempt must not keep the device locked.
    SerialPort other(names_);
    EXPECT_TRUE(open(other));
}

INSTANTIATE_TEST_SUITE_P(Texts, PtyBadSettings,
                         ::testing::Values("", "19200", "19200,n,8", "19200,n,8,1,1", "abc,n,8,1",
                                           "0,n,8,1", "-9600,n,8,1", "19200,x,8,1",
                                           "19200,n,4,1", "19200,n,9,1", "19200,n,8,3",
                                           "19200,,8,1"),
                         [](const auto &info) { return caseName(std::string(info.param)); });

class PtyRefusedSettings : public PtyPort, public ::testing::WithParamInterface<const char *> {};

TEST_P(PtyRefusedSettings, AreReportedAsSetFailureAndReleaseThePort)
{
    termios probe{};
    ASSERT_EQ(::tcgetattr(slave_, &probe), 0);
    probe.c_cflag |= PARENB;
    ::tcsetattr(slave_, TCSANOW, &probe);
    ASSERT_EQ(::tcgetattr(slave_, &probe), 0);
    if (probe.c_cflag & PARENB)
        GTEST_SKIP() << "this kernel's pseudo-terminals take parity settings";

    const QString settings = QString::fromLatin1(GetParam());
    EXPECT_FALSE(port_.OpenPort(QStringLiteral("COM7"), settings, &why_));
    EXPECT_FALSE(port_.isOpen());
    EXPECT_EQ(why_.text, QStringLiteral("Unable to set Comm DCB ") + settings + QStringLiteral(" Error: 87"));

    SerialPort other(names_);
    EXPECT_TRUE(open(other));
}

// Well-formed texts that a pseudo-terminal cannot carry out.
INSTANTIATE_TEST_SUITE_P(Texts, PtyRefusedSettings,
                         ::testing::Values("19200,e,8,1", "19200,n,7,1", "9600,e,7,2"),
                         [](const auto &info) { return caseName(std::string(info.param)); });

TEST_F(PtyPort, ReadWithNothingWaitingIsEmpty)
{
    ASSERT_TRUE(open(port_));
    EXPECT_TRUE(port_.ReadPort().isEmpty());
    EXPECT_TRUE(port_.ReadPort().isEmpty());
}

TEST_F(PtyPort, OpensAt19200BaudEightDataBitsNoParityOneStopBit)
{
    ASSERT_TRUE(open(port_));
    termios line{};
    ASSERT_EQ(::tcgetattr(slave_, &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), speed_t(B19200));
    EXPECT_EQ(::cfgetispeed(&line), speed_t(B19200));
    EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(line.c_cflag & PARENB);
    EXPECT_FALSE(line.c_cflag & CSTOPB);
    EXPECT_FALSE(line.c_cflag & CRTSCTS);
    EXPECT_FALSE(line.c_iflag & (IXON | IXOFF));
}

TEST_F(PtyPort, ReadTakesWhatHasArrivedWithoutWaiting)
{
    ASSERT_TRUE(open(port_));
    deviceSends("abc");
    collect(3);
    const qint64 before = steadyMs();
    EXPECT_EQ(port_.waiting().bytes, 3);
    EXPECT_LE(port_.waiting().newestAtMs, before);
    EXPECT_EQ(port_.ReadPort(), QByteArray("abc"));
    EXPECT_EQ(port_.waiting().bytes, 0);
    EXPECT_TRUE(port_.ReadPort().isEmpty());
}

TEST_F(PtyPort, MoreThan255WaitingComesOverTwoReads)
{
    ASSERT_TRUE(open(port_));
    const QByteArray sent = pattern(300);
    deviceSends(sent);
    collect(300);
    EXPECT_EQ(port_.ReadPort(), sent.left(255));
    EXPECT_EQ(port_.ReadPort(), sent.mid(255));
    EXPECT_TRUE(port_.ReadPort().isEmpty());
}

TEST_F(PtyPort, FlushKeepsReceivedBytes)
{
    ASSERT_TRUE(open(port_));
    deviceSends("abc");
    collect(3);
    port_.FlushPort();
    EXPECT_EQ(port_.ReadPort(), QByteArray("abc"));
}

struct WriteCase {
    int size;
    int returned;
};

class PtyWrite : public PtyPort, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(PtyWrite, EveryByteArrivesInOrder)
{
    const WriteCase c = GetParam();
    ASSERT_TRUE(open(port_));
    const QByteArray sent = pattern(c.size, c.size);
    EXPECT_EQ(port_.WritePort(sent), c.returned);
    // Qt hands the bytes on from the event loop.
    QCoreApplication::processEvents();
    EXPECT_EQ(deviceReceives(c.size), sent);
}

// Up to 255 bytes go in one write and report the count; longer ones go in
// pieces of 255 and report 0; nothing to write reports 0 too.
INSTANTIATE_TEST_SUITE_P(Sizes, PtyWrite,
                         ::testing::Values(WriteCase{0, 0}, WriteCase{4, 4}, WriteCase{255, 255},
                                           WriteCase{256, 0}, WriteCase{511, 0},
                                           WriteCase{1000, 0}),
                         [](const auto &info) { return "Bytes" + std::to_string(info.param.size); });

TEST_F(PtyPort, WithNoPortOpenEverythingIsANoOp)
{
    EXPECT_EQ(port_.ClosePort(), 0);
    port_.FlushPort();
    EXPECT_TRUE(port_.ReadPort().isEmpty());
    EXPECT_EQ(port_.WritePort("abc"), 0);
    EXPECT_EQ(port_.WritePort(pattern(300)), 0);
}

TEST_F(PtyPort, DeviceGoneClosesThePortOnceAndWritesFail)
{
    ASSERT_TRUE(open(port_));
    int lost = 0;
    QObject::connect(&port_, &PortLayer::lineLost, [&] { ++lost; });
    deviceSends("late");
    collect(4);
    EXPECT_EQ(port_.ReadPort(), QByteArray("late"));
    closeMaster();
    collect(1); // the hang-up comes through the event loop
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(port_.isOpen());
    EXPECT_EQ(port_.WritePort("ping"), 0);
    EXPECT_TRUE(port_.ReadPort().isEmpty());
    EXPECT_EQ(port_.ClosePort(), 0);
}

#endif // Q_OS_UNIX

} // namespace
