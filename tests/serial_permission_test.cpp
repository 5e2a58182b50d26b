// A port refused for lack of rights says which device and which group; one
// refused because someone holds it says who.
#include "serial/permission.h"
#include "serial/portlock.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

TEST(PermissionHintTest, NamesTheDeviceAndTheGroupOnlyWhenAccessWasRefused)
{
    const QString hint = permissionHint("/dev/ttyUSB0", true);
    EXPECT_TRUE(hint.startsWith('\n'));
    EXPECT_EQ(hint.count('\n'), 1);
    EXPECT_TRUE(hint.contains("/dev/ttyUSB0"));
    EXPECT_TRUE(hint.contains("dialout"));
    EXPECT_TRUE(permissionHint("/dev/ttyUSB0", false).isEmpty());

    // Asked of the system: a device this process may use, or one that is
    // gone, is no matter of rights.
    QTemporaryFile usable;
    ASSERT_TRUE(usable.open());
    EXPECT_TRUE(permissionHint(usable.fileName()).isEmpty());
    EXPECT_TRUE(permissionHint("/dev/no-such-tty").isEmpty());
}

#ifdef Q_OS_UNIX

// A lock file as Qt writes it ("PID\nprogram\nhost\n") and as minicom and
// uucp write it (the PID right-aligned in ten characters).
struct LockCase {
    const char *name;
    bool holderRuns;
    bool qtFormat;
};

class LockHintTest : public ::testing::TestWithParam<LockCase> {};

TEST_P(LockHintTest, NamesTheHolderOrTheLeftOverFileAndItsRemoval)
{
    const LockCase &c = GetParam();
    QProcess holder;
    holder.start(QStringLiteral("sleep"), {c.holderRuns ? QStringLiteral("30") : QStringLiteral("0")});
    ASSERT_TRUE(holder.waitForStarted());
    const qint64 pid = holder.processId();
    if (!c.holderRuns)
        ASSERT_TRUE(holder.waitForFinished());

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("LCK..ttyUSB0"));
    QFile lock(file);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(c.qtFormat ? QByteArray::number(pid) + "\nsleep\nhost\n"
                          : QByteArray::number(pid).rightJustified(10, ' ') + '\n');
    lock.close();

    const QString hint = lockHint(readPortLock(file));
    EXPECT_TRUE(hint.startsWith('\n'));
    const QString owner = QFileInfo(file).owner();
    if (c.holderRuns) {
        EXPECT_TRUE(hint.contains(QStringLiteral("программой sleep (PID %1, пользователь %2)").arg(pid).arg(owner)))
            << hint.toStdString();
    } else {
        EXPECT_TRUE(hint.contains(QStringLiteral("Файл блокировки ") + file)) << hint.toStdString();
        EXPECT_TRUE(hint.contains(QStringLiteral("(PID %1)").arg(pid))) << hint.toStdString();
        EXPECT_TRUE(hint.contains(QStringLiteral("владелец — ") + owner)) << hint.toStdString();
        EXPECT_TRUE(hint.endsWith(QStringLiteral("rm ") + file)) << hint.toStdString();
    }
    holder.kill();
    holder.waitForFinished();
}

INSTANTIATE_TEST_SUITE_P(Holders, LockHintTest,
                         ::testing::Values(LockCase{"RunningQt", true, true},
                                           LockCase{"RunningMinicom", true, false},
                                           LockCase{"GoneQt", false, true},
                                           LockCase{"GoneMinicom", false, false}),
                         [](const auto &info) { return std::string(info.param.name); });

// What a lock file names, in each form it is written; a PID past what the
// system gives out names no process (cast to a negative one it would ask
// about a whole process group, or every process).
TEST(PortLockFile, FormsAreReadAndOutOfRangePidsNameNoOne)
{
    struct Row {
        QByteArray content;
        qint64 pid;
        const char *program;
        const char *owner;
    };
    const Row rows[] = {
        {"      4321\n", 4321, "", ""},
        {"      4321 minicom ivan\n", 4321, "minicom", "ivan"},
        {"4321\nminicom\nhost\n", 4321, "minicom", ""},
        {"", 0, "", ""},
        {"garbage\n", 0, "", ""},
        {"     -4321\n", 0, "", ""},
    };
    for (const Row &row : rows) {
        const PortLock lock = parsePortLock(row.content);
        EXPECT_EQ(lock.pid, row.pid) << row.content.constData();
        EXPECT_EQ(lock.program, QString::fromLatin1(row.program)) << row.content.constData();
        EXPECT_EQ(lock.owner, QString::fromLatin1(row.owner)) << row.content.constData();
    }
    EXPECT_TRUE(processAlive(::getpid()));
    EXPECT_FALSE(processAlive(0));
    EXPECT_FALSE(processAlive(4294967295LL)); // pid_t(-1)
    EXPECT_FALSE(processAlive(4294967296LL + ::getpid()));
}

#endif
