// A long session against the simulated line: thousands of ticks of the
// exchange cycle with line faults, page changes and operator commands mixed
// in at random (a fixed seed, so a failing run can be repeated). The window
// must come out of it whole and its memory must not creep. Ticks are driven
// back to back; the 500 ms period of the running program plays no part.
#include "support/linefixture.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>

#include <cstdio>
#include <random>

namespace {


// The bridge reader of the demo line; the other one has no slave sensor.
const QString BridgeReader = QStringLiteral("7");

// Resident memory of this process in kB; -1 when it cannot be read.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

enum class Action { Clean, CorruptChecksum, Split, Noise, Silence, PageChange, Command };

class Soak : public LineTest
{
protected:
    void clearFaults()
    {
        sim.line().setCorruptChecksum(false);
        sim.line().setSplitReplies(false);
        sim.line().setNoise(QByteArray());
        sim.line().setSilent(false);
    }

    int page() const { return ctl<QTabWidget>("SSTab1")->currentIndex(); }

    // What the operator does: keep one of the two readers selected, the
    // bridge reader while the bridge page is open. A search in progress is
    // left to finish, as a new address would replace it.
    void keepAReaderSelected()
    {
        if (w->vars().net_opr != 0)
            return;
        auto *box = ctl<QComboBox>("CmbNet");
        QString want = box->currentText();
        if (page() == int(Page::Bridge))
            want = BridgeReader;
        else if (want != QLatin1String("5") && want != QLatin1String("7"))
            want = QStringLiteral("5");
        const int index = box->findText(want);
        if (index >= 0 && box->currentText() != want)
            box->setCurrentIndex(index);
    }

    void operatorCommand(int which)
    {
        switch (which) {
        case 0:
            w->Set_mode_Click();
            break;
        case 1:
            w->ids_r_Click();
            break;
        case 2:
            w->RD_DP_Click();
            break;
        case 3:
            w->Opros_Click();
            break;
        default:
            w->ReadParamMetki_Click();
            break;
        }
    }
};

} // namespace

TEST_F(Soak, TwoThousandTicksWithFaultsLeaveTheWindowWholeAndMemoryFlat)
{
    constexpr int Ticks = 2000;
    constexpr int Segment = 50;
    constexpr int MeasureAfter = 200;
    // Part of the growth after the measure point is by design: the exchange
    // log fills up to its last 1,000 rows and stays there.
    constexpr long AllowedGrowthKb = 1024;

    std::mt19937 rng(0x5EED2024u);
    auto below = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    // Silences are rare: every silent tick waits out the read time-out.
    std::discrete_distribution<int> actions({3, 2, 2, 2, 1, 3, 3});
    const QByteArray noises[] = {QByteArray(1, '\0'), QByteArray::fromHex("FF55"), QByteArray::fromHex("3E")};

    searchAndIdentify();
    ASSERT_EQ(ctl<QLabel>("sn")->text(), "1000123");

    int actionCount[7] = {};
    int silentLeft = 0;
    long rssAtMeasure = -1;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Ticks; ++i) {
        if (i % Segment == 0) {
            clearFaults();
            silentLeft = 0;
            const auto action = Action(actions(rng));
            ++actionCount[int(action)];
            switch (action) {
            case Action::Clean:
                break;
            case Action::CorruptChecksum:
                sim.line().setCorruptChecksum(true);
                break;
            case Action::Split:
                sim.line().setSplitReplies(true);
                break;
            case Action::Noise:
                sim.line().setNoise(noises[below(3)]);
                break;
            case Action::Silence:
                sim.line().setSilent(true);
                silentLeft = 1 + below(3);
                break;
            case Action::PageChange:
                showPage(below(3));
                break;
            case Action::Command:
                operatorCommand(below(5));
                break;
            }
        }
        keepAReaderSelected();
        tick();
        // The program returns to its event loop between two ticks; without
        // that, the text boxes' queued layout work would pile up here as it
        // never does in the program.
        QCoreApplication::processEvents();
        if (silentLeft > 0 && --silentLeft == 0)
            sim.line().setSilent(false);
        if (i % 100 == 99)
            sim.line().clearRequests(); // the simulator's own record is not the tool's memory
        if (i + 1 == MeasureAfter)
            rssAtMeasure = residentKb();
        ASSERT_TRUE(port->isOpen()) << "port lost at tick " << i;
    }
    const double seconds = clock.elapsed() / 1000.0;
    const long rssAtEnd = residentKb();

    std::printf("soak: %d ticks in %.1f s (%.1f ticks/s); RSS after tick %d: %ld kB, at the end: %ld kB "
                "(growth %ld kB)\n",
                Ticks, seconds, Ticks / seconds, MeasureAfter, rssAtMeasure, rssAtEnd, rssAtEnd - rssAtMeasure);
    std::printf("soak: segments clean %d, corrupt %d, split %d, noise %d, silence %d, page %d, command %d\n",
                actionCount[0], actionCount[1], actionCount[2], actionCount[3], actionCount[4],
                actionCount[5], actionCount[6]);
    std::fflush(stdout);

    ASSERT_GT(rssAtMeasure, 0);
    ASSERT_GT(rssAtEnd, 0);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer holds freed memory in quarantine: resident memory says
    // nothing about leaks there (LeakSanitizer does).
#else
    EXPECT_LE(rssAtEnd - rssAtMeasure, AllowedGrowthKb);
#endif

    // The connection is as the operator left it.
    EXPECT_FALSE(ctl("BTNOpenCom")->isEnabled());
    EXPECT_TRUE(ctl("BTNCloseCom")->isEnabled());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(dialogs.questions.isEmpty());

    // And it still works: a clean line shows reader 5's data.
    clearFaults();
    showPage(Page::Reader);
    ctl<QComboBox>("CmbNet")->setCurrentIndex(ctl<QComboBox>("CmbNet")->findText("5"));
    ticks(4);
    sim.line().setSilent(true);
    tick(); // the last reply is read; nothing more is answered, so nothing drifts
    const auto reader = sim.line().reader(5);
    ASSERT_TRUE(reader);
    EXPECT_EQ(ctl<QLabel>("tek")->text(), QString::number(reader->current));
    EXPECT_EQ(ctl<QLabel>("ne")->text(), "5");
}
