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
#include "support/filesizelimit.h"
#include "support/testnames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

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

TEST_F(CtlLine, TwoReadersOnOneAddressFailTheSearchAndNamesIt)
{
    SimReader twin = *sim.line().reader(7);
    twin.serial = 1000999;
    sim.line().addReader(twin);
    EXPECT_EQ(run({"search"}), 1);
    EXPECT_TRUE(out.contains("1000123")) << out.toStdString(); // the list itself is as before
    EXPECT_TRUE(err.startsWith("rfidctl: два считывателя отвечают по адресу 7:")) << err.toStdString();
}

TEST_F(CtlLine, MoveOntoAnAddressWhereAReaderAnswersIsRefusedWithNothingWritten)
{
    writeJson(path("p.json"), profileOf(5));
    EXPECT_EQ(run({"apply", "7", path("p.json"), "--yes", "--with-address"}), 1);
    EXPECT_TRUE(err.contains("по адресу 5 уже отвечает считыватель (сер. номер 1000123)")) << err.toStdString();
    EXPECT_EQ(writesReceived(), 0);
    EXPECT_TRUE(sim.line().reader(7));
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
                                           Confirmation{"TerminalYes", true, "y", 0},
                                           Confirmation{"TerminalDa", true, "да", 0},
                                           Confirmation{"TerminalCapitalD", true, "Д\n", 0},
                                           Confirmation{"TerminalNet", true, "нет", 2}),
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
        {{"--port", "/dev/rfidctl-no-such-device", "search"}, 3, false, "нет устройства /dev/rfidctl-no-such-device"},
        {{"--port", "/dev/null", "search"}, 3, false, "/dev/null - не терминал"},
        {{"--port", "COM40", "search"}, 2, false, "COM40 - не порт COM1..COM30"},
        {{"--port", "COM40", "ports"}, 2, false, "COM40 - не порт COM1..COM30"},
        {{"--demo", "apply", "5", "/dev/zero", "--yes"}, 2, false, "/dev/zero - не обычный файл и не канал"},
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

// An SSH session that drops during watch hangs it up: it ends as after
// Ctrl+C, its port closed and its lock released, instead of being killed.
TEST(RfidctlProgram, WatchEndsNormallyOnHangUp)
{
    QProcess program;
    program.start(QStringLiteral(RFIDCTL_PATH), {"--demo", "watch", "5"});
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(program.waitForReadyRead(20000)); // the first poll is on the screen
    ::kill(pid_t(program.processId()), SIGHUP);
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

// What a failed save leaves: the old profile whole, the reason in Russian,
// exit 2; a target that cannot be written is found before the line is read.
TEST_F(CtlLine, SettingsSaveIsWholeOrNothing)
{
    const QString file = path("p.json");
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("{\"the\": \"old profile\"}\n");
    }
    {
        // The disk fills up part-way through the profile (about 330 bytes);
        // the port's lock file still fits.
        FileSizeLimit limit(200);
        EXPECT_EQ(run({"settings", "5", "-o", file}), 2);
    }
    EXPECT_TRUE(err.contains("больше, чем система разрешает")) << err.toStdString();
    EXPECT_TRUE(err.contains("прежний файл оставлен")) << err.toStdString();
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "{\"the\": \"old profile\"}\n");

    sim.line().clearRequests();
    EXPECT_EQ(run({"settings", "5", "-o", path("нет/p.json")}), 2);
    EXPECT_TRUE(err.contains("папки ") && err.contains(" нет")) << err.toStdString();
    EXPECT_TRUE(sim.line().requests().isEmpty());
}

struct UnreadableProfile {
    const char *name;
    const char *reasonHas;
};

class UnreadableProfileTest : public CtlLine, public ::testing::WithParamInterface<UnreadableProfile> {};

// A profile that is too large, no file, or no JSON: exit 2, a Russian
// reason, nothing read from or written to the line.
TEST_P(UnreadableProfileTest, IsRefusedInRussianBeforeTheLine)
{
    const std::string name = GetParam().name;
    QString file = path("p.json");
    if (name == "Device") {
        file = "/dev/zero";
    } else if (name == "Folder") {
        file = dir.path();
    } else if (name == "Missing") {
        file = path("none.json");
    } else {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (name == "Oversized") {
            QJsonObject big = profileOf(5);
            f.write(QJsonDocument(big).toJson().leftJustified(64 * 1024 + 1, ' '));
        } else {
            f.write(name == "Truncated" ? "{\"format_version\": 1," : "{} trailing");
        }
    }
    EXPECT_EQ(run({"apply", "7", file, "--yes"}), 2);
    EXPECT_TRUE(err.contains(QString::fromUtf8(GetParam().reasonHas))) << err.toStdString();
    EXPECT_TRUE(err.contains("ничего не записано")) << err.toStdString();
    // Qt's and the system's English stays out.
    for (const char *english : {"illegal", "garbage", "unterminated", "No such", "denied", "Is a directory"})
        EXPECT_FALSE(err.contains(english, Qt::CaseInsensitive)) << err.toStdString();
    EXPECT_TRUE(sim.line().requests().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableProfileTest,
    ::testing::Values(UnreadableProfile{"Device", "не обычный файл и не канал"},
                      UnreadableProfile{"Oversized", "больше 64 КиБ"},
                      UnreadableProfile{"Folder", "папка, а не файл"},
                      UnreadableProfile{"Missing", "none.json нет"},
                      UnreadableProfile{"Truncated", "не JSON: объект не закрыт"},
                      UnreadableProfile{"GarbageAtEnd", "не JSON: лишний текст после конца"}),
    [](const auto &info) { return std::string(info.param.name); });

// apply stopped part-way says what the reader holds of the profile, what
// went out unconfirmed and what was not sent: the port lost while a write
// waits for its confirmation, a write unanswered, the read-back unanswered.
struct Interruption {
    const char *name;
    int afterWrites;      // writes answered before the reader falls silent
    bool unplug;          // then the adapter goes at the next request
    int exitCode;
    const char *says;
};

class InterruptedApply : public CtlLine, public ::testing::WithParamInterface<Interruption> {};

TEST_P(InterruptedApply, SaysWhatWasWrittenAndWhatNot)
{
    const Interruption &c = GetParam();
    writeJson(path("p.json"), profileOf(5)); // differs from reader 7 in mode, radio, delay, cells 1-3
    int writes = 0;
    QObject::connect(&sim.line(), &SimLine::requestHandled, [&](const QByteArray &request, const QByteArray &) {
        const auto code = Command(quint8(request.at(2)));
        const bool write = code == Command::Mode || code == Command::RadioParams || code == Command::Delay
                           || code == Command::IdTable;
        if (write && ++writes == c.afterWrites)
            sim.line().setSilent(true);
        else if (c.unplug && writes > c.afterWrites)
            sim.line().unplug();
    });
    EXPECT_EQ(run({"apply", "7", path("p.json"), "--yes", "--retries", "1"}), c.exitCode) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.says))) << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Stages, InterruptedApply,
    ::testing::Values(Interruption{"PortLostAwaitingDelay", 2, true, 4,
                                   "; записано: mode, network/channel/power; не подтверждено: delay; "
                                   "не записано: bound_ids[1], bound_ids[2], bound_ids[3]\n"},
                      Interruption{"CellUnanswered", 4, false, 1,
                                   "; записано: mode, network/channel/power, delay, bound_ids[1]; "
                                   "не подтверждено: bound_ids[2]; не записано: bound_ids[3]\n"},
                      Interruption{"ReadBackUnanswered", 6, false, 1,
                                   "; записано: mode, network/channel/power, delay, bound_ids[1], bound_ids[2], "
                                   "bound_ids[3]; не записано: ничего; обратное чтение не закончено\n"}),
    [](const auto &info) { return std::string(info.param.name); });

// One lost reply costs a repeat, not the command; without repeats it fails.
TEST_F(CtlLine, RetriesOverALineThatDropsOneReply)
{
    const struct {
        QStringList args;
        int exitCode;
    } rows[] = {
        {{"settings", "5"}, 0},
        {{"settings", "5", "--retries", "0"}, 1},
        {{"search"}, 0},
        {{"info", "7", "--retries", "1", "--timeout", "100"}, 0},
    };
    for (const auto &row : rows) {
        sim.line().dropReplies(1);
        EXPECT_EQ(run(row.args), row.exitCode) << row.args.join(' ').toStdString() << err.toStdString();
    }
    sim.line().dropReplies(0);
}

// diff and apply --dry-run: the differing fields, nothing written.
TEST_F(CtlLine, DiffNamesTheDifferingFieldsAndWritesNothing)
{
    QJsonObject profile = profileOf(7);
    profile["power"] = 50;
    profile["bound_ids"] = QJsonArray{"ABC", "0", "0", "0", "0", "0", "0", "0", "0", "0"};
    writeJson(path("p.json"), profile);
    for (const QStringList &args : {QStringList{"diff", "7", path("p.json"), "--json"},
                                    QStringList{"apply", "7", path("p.json"), "--dry-run", "--json"}}) {
        ASSERT_EQ(run(args), 0) << err.toStdString();
        const QJsonObject record = QJsonDocument::fromJson(out.toUtf8()).object();
        EXPECT_EQ(record["address"].toInt(), 7);
        EXPECT_EQ(record["differences"].toArray(),
                  (QJsonArray{QJsonObject{{"field", "power"}, {"profile", 50}, {"reader", 12}},
                              QJsonObject{{"field", "bound_ids[1]"}, {"profile", "00000ABC"}, {"reader", "00000000"}}}))
            << out.toStdString();
    }
    ASSERT_EQ(run({"diff", "7", path("p.json")}), 0);
    EXPECT_TRUE(out.contains(QRegularExpression("power +50 +12\n"))) << out.toStdString();
    EXPECT_EQ(writesReceived(), 0);
}

// Several readers in one call: a result per reader, the worst exit code.
TEST_F(CtlLine, SeveralReadersEachGetTheirResultAndTheWorstExitCode)
{
    QJsonObject profile = profileOf(5);
    writeJson(path("p.json"), profile);
    EXPECT_EQ(run({"apply", "5,7,12", path("p.json"), "--yes", "--json", "--retries", "0"}), 1);
    QVector<QJsonObject> records;
    for (const QString &line : out.split('\n', Qt::SkipEmptyParts))
        records.append(QJsonDocument::fromJson(line.toUtf8()).object());
    ASSERT_EQ(records.size(), 3) << out.toStdString();
    EXPECT_EQ(records[0]["written"].toArray(), QJsonArray{});
    EXPECT_EQ(records[1]["written"].toArray().size(), 6);
    EXPECT_EQ(records[2]["address"].toInt(), 12);
    EXPECT_TRUE(records[2]["error"].toString().contains("нет ответа"));
    EXPECT_TRUE(err.startsWith("rfidctl: считыватель 12: ")) << err.toStdString();

    QDir(dir.path()).mkdir("all");
    EXPECT_EQ(run({"settings", "--all", "-o", path("all") + '/'}), 0) << err.toStdString();
    EXPECT_EQ(QDir(path("all")).entryList(QDir::Files), (QStringList{"reader5.json", "reader7.json"}));
    EXPECT_EQ(readJson(path("all/reader7.json"))["address"].toInt(), 7);
}

// watch: a missed poll is a record too, in JSON and in CSV.
TEST_F(CtlLine, WatchRecordsMissedPolls)
{
    sim.line().dropReplies(1);
    EXPECT_EQ(run({"watch", "5", "--count", "2", "--json", "--retries", "0"}), 1);
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << out.toStdString();
    const QJsonObject missed = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(missed["address"].toInt(), 5);
    EXPECT_TRUE(missed["error"].toString().startsWith("нет ответа")) << missed["error"].toString().toStdString();
    EXPECT_FALSE(missed["time"].toString().isEmpty());
    EXPECT_EQ(QJsonDocument::fromJson(lines[1].toUtf8()).object()["address"].toInt(), 5);

    sim.line().dropReplies(1);
    EXPECT_EQ(run({"watch", "5", "--count", "2", "--csv", "--retries", "0"}), 1);
    const QStringList rows = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3) << out.toStdString();
    EXPECT_EQ(rows[0], "time,address,level,current,temperature,tag_id,mode,error");
    EXPECT_TRUE(rows[1].contains(QRegularExpression("^[^,]+,5,,,,,,нет ответа на запрос F0"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].contains(QRegularExpression("^[^,]+,5,\\d+,\\d+,\\d+,[0-9A-F]{8},\\d*,$"))) << rows[2].toStdString();
}

// Noise in answer to a search is named as noise, not as silence.
TEST_F(CtlLine, SearchAnsweredByNoiseSaysSo)
{
    sim.line().setNoise(QByteArray(300, '\x55'));
    EXPECT_EQ(run({"search"}), 1);
    EXPECT_TRUE(err.contains("помехи")) << err.toStdString();
}

// A command word without a row of its own is refused, not run as another.
TEST_F(CtlLine, UnknownCommandIsRefused)
{
    Invocation inv;
    inv.command = "frob";
    inv.port = "COM9";
    inv.addresses = {5};
    inv.address = 5;
    QTextStream o(&out), e(&err);
    Console console{o, e, false, {}, {}};
    EXPECT_EQ(runCommand(inv, names, console), 2);
    EXPECT_TRUE(sim.line().requests().isEmpty());
}

SimTag benchTag(quint32 serial, quint32 id)
{
    SimTag t;
    t.serial = serial;
    t.id = id;
    t.interval = 1000;
    t.mode = 2;
    t.power = 100;
    t.version = 134;
    t.sleep = 60;
    t.level = 0xB5;
    return t;
}

// tag write: the one tag heard gets the ID and the values, read back; no
// tag, two tags, or a value the window refuses: nothing is written.
TEST_F(CtlLine, TagWriteWritesTheOneTagHeardAndReadsItBack)
{
    const struct {
        const char *name;
        QVector<SimTag> field;
        bool swapAfterFirstPoll;   // another tag answers the next polls
        QStringList options;
        int exitCode;
        const char *errHas;
    } rows[] = {
        {"NoTag", {}, false, {}, 1, "не слышит метку"},
        {"TwoTags", {benchTag(1, 0xA)}, true, {}, 1, "две разные метки"},
        {"PowerZero", {benchTag(1, 0xA)}, false, {"--power", "0"}, 2, "Значение мощности не может быть нулевым"},
        {"IdTooLong", {benchTag(1, 0xA)}, false, {"--id", "123456789"}, 2, "Cлишком много символов Идентификатора"},
        {"Written", {benchTag(1, 0xA)}, false, {"--power", "50", "--period", "30"}, 0, ""},
    };
    for (const auto &row : rows) {
        sim.line().setTags(5, row.field);
        sim.line().clearRequests();
        QMetaObject::Connection swap;
        if (row.swapAfterFirstPoll)
            swap = QObject::connect(&sim.line(), &SimLine::requestHandled, [&](const QByteArray &request, const QByteArray &) {
                if (Command(quint8(request.at(2))) == Command::TagPoll)
                    sim.line().setTags(5, {benchTag(2, 0xB)});
            });
        QStringList args{"tag", "write", "5", "--yes", "--id", "12AB"};
        EXPECT_EQ(run(args + row.options), row.exitCode) << row.name << err.toStdString();
        QObject::disconnect(swap);
        EXPECT_TRUE(err.contains(QString::fromUtf8(row.errHas))) << row.name << err.toStdString();
        int writes = 0;
        for (const QByteArray &r : sim.line().requests())
            writes += Command(quint8(r.at(2))) == Command::TagParams;
        EXPECT_EQ(writes, row.exitCode == 0 ? 1 : 0) << row.name;
    }
    const SimTag t = sim.line().reader(5)->tags.first();
    EXPECT_EQ(t.id, 0x12ABu);
    EXPECT_EQ(t.power, 50);
    EXPECT_EQ(t.sleep, 30);
    EXPECT_EQ(t.interval, 1000); // not given: the tag's own
    EXPECT_TRUE(out.contains("ID 000012AB")) << out.toStdString();
}

// tag program: tags brought one after another get the next IDs; a tag
// programmed before is left alone, an ID another tag carries is skipped,
// and a second run resumes from the journal.
TEST_F(CtlLine, TagProgramGivesEachNewTagTheNextIdAndResumesFromTheJournal)
{
    const QString journal = path("batch.jsonl");
    const QStringList batch{"tag", "program", "5", "--first-id", "100", "--journal", journal, "--yes", "--json",
                            "--delay", "500", "--power", "50"};
    const auto records = [this] {
        QVector<QJsonObject> list;
        for (const QString &line : out.split('\n', Qt::SkipEmptyParts))
            list.append(QJsonDocument::fromJson(line.toUtf8()).object());
        return list;
    };

    // First run: tag 1, then tag 2 once tag 1 has been verified.
    QVector<QVector<SimTag>> fields{{benchTag(2, 0x2)}};
    sim.line().setTags(5, {benchTag(1, 0x1)});
    bool written = false;
    auto next = QObject::connect(&sim.line(), &SimLine::requestHandled, [&](const QByteArray &request, const QByteArray &) {
        const auto code = Command(quint8(request.at(2)));
        if (code == Command::TagParams)
            written = true;
        if (code == Command::TagData && written && !fields.isEmpty()) {
            written = false;
            sim.line().setTags(5, fields.takeFirst());
        }
    });
    ASSERT_EQ(run(batch + QStringList{"--count", "2"}), 0) << err.toStdString();
    QObject::disconnect(next);
    QVector<QJsonObject> done = records();
    ASSERT_EQ(done.size(), 2) << out.toStdString();
    EXPECT_EQ(done[0]["serial"].toInt(), 1);
    EXPECT_EQ(done[0]["id"].toString(), "00000100");
    EXPECT_EQ(done[1]["serial"].toInt(), 2);
    EXPECT_EQ(done[1]["id"].toString(), "00000101");

    // Second run: tag 2 again (programmed: left alone), tag 9 for one poll
    // (it carries ID 102), then tag 3.
    int polls = 0;
    auto script = QObject::connect(&sim.line(), &SimLine::requestHandled, [&](const QByteArray &request, const QByteArray &) {
        if (Command(quint8(request.at(2))) != Command::TagPoll)
            return;
        ++polls;
        if (polls == 3)
            sim.line().setTags(5, {benchTag(9, 0x102)});
        else if (polls == 4)
            sim.line().setTags(5, {benchTag(3, 0x3)});
    });
    ASSERT_EQ(run(batch + QStringList{"--count", "1"}), 0) << err.toStdString();
    QObject::disconnect(script);
    done = records();
    ASSERT_EQ(done.size(), 1) << out.toStdString();
    EXPECT_EQ(done[0]["serial"].toInt(), 3);
    EXPECT_EQ(done[0]["id"].toString(), "00000103");
    const SimTag t = sim.line().reader(5)->tags.first();
    EXPECT_EQ(t.id, 0x103u);
    EXPECT_EQ(t.interval, 500);
    EXPECT_EQ(t.power, 50);

    QFile file(journal);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count('\n'), 3);
}

} // namespace
