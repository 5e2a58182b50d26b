// The program itself, as the system ends it: SIGTERM, SIGINT and SIGHUP close
// the window as the operator would (port closed, lock released) and the program
// ends normally, rather than being killed where it stands.
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

#ifdef Q_OS_UNIX

class TerminationSignal : public ::testing::TestWithParam<int> {};

TEST_P(TerminationSignal, EndsTheProgramAsClosingItsWindowDoes)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(RFID_SERVICE_PATH), {QStringLiteral("--demo")});
    ASSERT_TRUE(program.waitForStarted(10000));
    // Running: the splash, the port scan, the simulated line.
    EXPECT_FALSE(program.waitForFinished(1500));
    ::kill(pid_t(program.processId()), GetParam());
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "killed by the signal";
    EXPECT_EQ(program.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto &info) {
                             return std::string(info.param == SIGTERM ? "Term" : info.param == SIGINT ? "Int" : "Hup");
                         });

#endif
