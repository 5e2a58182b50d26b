// rfidctl against the simulated readers over a pseudo-terminal, mapped to
// COM9 as an adapter would be: the commands run in-process on the real serial
// module; the program itself is started once to check its exit codes.
#include "ctl/commandline.h"
#include "ctl/commands.h"
#include "ctl/profile.h"
#include "protocol/commands.h"
#include "protocol/crc8.h"
#include "serial/portnames.h"
#include "sim/simline.h"
#include "support/testnames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using proto::Command;

class CtlLine : public ::testing::Test
{
protected:
    SimHost sim;
    PortNames names;
    QTemporaryDir dir;
    QString out, err;

    void SetUp() override
    {
        for (SimReader r : SimLine::demoReaders()) {
            r.live = false;
            if (r.address == 7)
                r.maxPower = 100;
            sim.line().addReader(r);
        }
        ASSERT_TRUE(sim.start());
        names.setOverride(9, sim.line().devicePath());
    }

    int run(const QStringList &args, bool interactive = false, const QString &answer = {})
    {
        out.clear();
        err.clear();
        const ParsedLine parsed = parseCommandLine(QStringList{"rfidctl", "--port", "COM9"} + args);
        EXPECT_TRUE(parsed.invocation) << parsed.err.toStdString();
        if (!parsed.invocation)
            return parsed.exitCode;
        QTextStream o(&out), e(&err);
        Console console{o, e, interactive, [answer] { return answer; }, {}};
        return runCommand(*parsed.invocation, names, console);
    }

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    // A reader's settings as rfidctl's profile, made without the line.
    QJsonObject profileOf(quint8 address)
    {
        const SimReader r = *sim.line().reader(address);
        Profile p;
        p.address = address;
        p.settings = ReaderSettings{r.mode, r.network, r.channel, r.power, r.delay, r.table};
        return QJsonDocument::fromJson(profileJson(p)).object();
    }

    QJsonObject readJson(const QString &file) const
    {
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(f.readAll()).object();
    }

    void writeJson(const QString &file, const QJsonObject &o) const
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QJsonDocument(o).toJson());
    }

    // Requests that change a reader, as the simulated readers received them.
    int writesReceived()
    {
        int n = 0;
        for (const QByteArray &r : sim.line().requests()) {
            switch (Command(quint8(r.at(2)))) {
            case Command::Mode: case Command::RadioParams: case Command::Delay: case Command::IdTable:
            case Command::IdTableClear: case Command::ReaderSerial: case Command::NetAddress:
                ++n;
                break;
            default:
                break;
            }
        }
        return n;
    }
};

TEST_F(CtlLine, SearchListsTheReadersWithSerialAndVersion)
{
    ASSERT_EQ(run({"search", "--json"}), 0) << err.toStdString();
    const QJsonArray list = QJsonDocument::fromJson(out.toUtf8()).array();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(0)["address"].toInt(), 5);
    EXPECT_EQ(list.at(0)["serial"].toInt(), 1000123);
    EXPECT_EQ(list.at(1)["address"].toInt(), 7);
    EXPECT_EQ(list.at(1)["version"].toString(), "1.3.1.");
}

TEST_F(CtlLine, SettingsAppliedToAnotherReaderReadBackEqual)
{
    ASSERT_EQ(run({"settings", "5", "-o", path("p.json")}), 0) << err.toStdString();
    QJsonObject profile = readJson(path("p.json"));
    EXPECT_EQ(profile["address"].toInt(), 5);

    ASSERT_EQ(run({"apply", "7", path("p.json"), "--yes"}), 0) << err.toStdString();
    ASSERT_EQ(run({"settings", "7", "--json"}), 0) << err.toStdString();
    QJsonObject again = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(again["address"].toInt(), 7); // the address is not written without --with-address
    again["address"] = 5;
    EXPECT_EQ(again, profile);
    EXPECT_EQ(sim.line().reader(7)->table, sim.line().reader(5)->table);

    // With --with-address the reader moves, and is read back at its new address.
    profile["address"] = 9;
    writeJson(path("p.json"), profile);
    ASSERT_EQ(run({"apply", "7", path("p.json"), "--yes", "--with-address"}), 0) << err.toStdString();
    EXPECT_FALSE(sim.line().reader(7));
    EXPECT_TRUE(sim.line().reader(9));
}

TEST_F(CtlLine, ValueTheReaderDidNotTakeIsNamedAndExitsOne)
{
    QJsonObject profile = profileOf(7);
    profile["power"] = 200; // reader 7 stores at most 100
    writeJson(path("p.json"), profile);
    EXPECT_EQ(run({"apply", "7", path("p.json"), "--yes"}), 1);
    EXPECT_TRUE(err.contains("отличается от профиля: power\n")) << err.toStdString();
}

class SilentLine : public CtlLine, public ::testing::WithParamInterface<QStringList> {};

TEST_P(SilentLine, EndsWithExitOneAndOneLineNamingTheSilence)
{
    sim.line().setSilent(true);
    EXPECT_EQ(run(GetParam()), 1);
    EXPECT_TRUE(err.startsWith("rfidctl: ")) << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("нет ответа") || err.contains("не ответил")) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Commands, SilentLine,
                         ::testing::Values(QStringList{"search"}, QStringList{"info", "5"},
                                           QStringList{"settings", "5"}, QStringList{"tag", "5"},
                                           QStringList{"watch", "5", "--count", "1"}),
                         [](const auto &info) { return caseName(info.param.first()); });

// Two readers answer every request: a whole reply and a 5-byte frame after
// it (short reader data and such a frame are as long as the long form, and
// check as one).
class TwoReplies : public CtlLine, public ::testing::WithParamInterface<QStringList> {};

TEST_P(TwoReplies, AreNamedAndNothingIsReportedOrSaved)
{
    sim.line().setTrailer(QByteArray::fromHex("3E09F201") + char(proto::crc8(QByteArray::fromHex("3E09F201"))));
    QStringList args = GetParam();
    args.replaceInStrings("FILE", path("p.json"));
    EXPECT_EQ(run(args), 1);
    EXPECT_TRUE(err.contains("два ответа на один запрос")) << err.toStdString();
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    EXPECT_FALSE(QFile::exists(path("p.json")));
}

INSTANTIATE_TEST_SUITE_P(Commands, TwoReplies,
                         ::testing::Values(QStringList{"info", "5"}, QStringList{"settings", "5", "-o", "FILE"}),
                         [](const auto &info) { return caseName(info.param.first()); });

struct ProfileFault {
    const char *name;
    const char *field;   // the field the error names
    QString key;         // the key changed, or removed when `value` is undefined
    QJsonValue value;
};

class BadProfile : public CtlLine, public ::testing::WithParamInterface<ProfileFault> {};

TEST_P(BadProfile, NamesTheFieldAndWritesNothing)
{
    QJsonObject profile = profileOf(5); // differs from reader 7 in every setting
    if (GetParam().value.isUndefined())
        profile.remove(GetParam().key);
    else
        profile[GetParam().key] = GetParam().value;
    writeJson(path("p.json"), profile);

    EXPECT_EQ(run({"apply", "7", path("p.json"), "--yes"}), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("\"%1\"").arg(GetParam().field))) << err.toStdString();
    EXPECT_TRUE(err.contains("ничего не записано")) << err.toStdString();
    EXPECT_EQ(writesReceived(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadProfile,
    ::testing::Values(ProfileFault{"PowerOutOfRange", "power", "power", 2},
                      ProfileFault{"UnknownField", "colour", "colour", "red"},
                      ProfileFault{"MissingField", "delay", "delay", QJsonValue(QJsonValue::Undefined)},
                      ProfileFault{"NotAnId", "bound_ids[1]", "bound_ids", QJsonArray{"XYZ", "0", "0", "0", "0",
                                                                                       "0", "0", "0", "0", "0"}},
                      ProfileFault{"NotAMode", "mode", "mode", 5},
                      ProfileFault{"NewerFormat", "format_version", "format_version", 2}),
    [](const auto &info) { return std::string(info.param.name); });

struct Confirmation {
    const char *name;
    bool interactive;
    const char *answer;
    int exitCode;
};

class ApplyConfirmation : public CtlLine, public ::testing::WithParamInterface<Confirmation> {};

TEST_P(ApplyConfirmation, WritesOnlyWhenConfirmed)
{
    QJsonObject profile = profileOf(7);
    profile["power"] = 50;
    writeJson(path("p.json"), profile);
    const Confirmation &c = GetParam();
    EXPECT_EQ(run({"apply", "7", path("p.json")}, c.interactive, QString::fromUtf8(c.answer)), c.exitCode) << err.toStdString();
    EXPECT_EQ(writesReceived() > 0, c.exitCode == 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, ApplyConfirmation,
                         ::testing::Values(Confirmation{"PipedYesWithoutOption", false, "y", 2},
                                           Confirmation{"TerminalNo", true, "n", 2},
                                           Confirmation{"TerminalYes", true, "y", 0}),
                         [](const auto &info) { return std::string(info.param.name); });

class BadArguments : public ::testing::TestWithParam<QStringList> {};

TEST_P(BadArguments, GiveExitTwoAndAUsageLine)
{
    const ParsedLine parsed = parseCommandLine(QStringList{"rfidctl"} + GetParam());
    EXPECT_FALSE(parsed.invocation);
    EXPECT_EQ(parsed.exitCode, 2);
    EXPECT_TRUE(parsed.err.startsWith("rfidctl: ")) << parsed.err.toStdString();
    EXPECT_TRUE(parsed.err.contains("\nИспользование: rfidctl ")) << parsed.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadArguments,
    ::testing::Values(QStringList{}, QStringList{"search"}, QStringList{"--port", "COM9", "frob"},
                      QStringList{"--port", "COM9", "info"}, QStringList{"--port", "COM9", "info", "256"},
                      QStringList{"--port", "COM9", "info", "5", "6"}, QStringList{"--port", "COM9", "search", "--yes"},
                      QStringList{"--demo", "--port", "COM9", "search"},
                      QStringList{"--port", "COM9", "watch", "5", "--count", "0"}),
    [](const auto &info) { return caseName(info.param.join("_")); });

// The program itself: exit codes and streams through main, and --demo
// starting the window's simulated readers.
TEST(RfidctlProgram, ExitCodesAndStreams)
{
    struct Row {
        QStringList args;
        int exitCode;
        bool onStdout;
        const char *text;
    };
    const Row rows[] = {
        {{"--demo", "search"}, 0, true, "1000456"},
        {{"--bogus"}, 2, false, "Использование: rfidctl"},
        {{"--port", "/dev/rfidctl-no-such-device", "search"}, 3, false, "недоступен. Установите нужный порт."},
    };
    for (const Row &row : rows) {
        QProcess program;
        program.start(QStringLiteral(RFIDCTL_PATH), row.args);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitCode(), row.exitCode) << row.args.join(' ').toStdString();
        const QString text = QString::fromUtf8(row.onStdout ? program.readAllStandardOutput()
                                                            : program.readAllStandardError());
        EXPECT_TRUE(text.contains(QString::fromUtf8(row.text))) << text.toStdString();
    }
}

} // namespace
