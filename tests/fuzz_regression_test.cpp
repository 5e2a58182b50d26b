// The fuzz targets' runs, replayed in the ordinary test build: every input
// kept in fuzz/corpus goes through the window on a fake port exactly as the
// fuzzers drive it. An input a fuzzer reports (a crash-* or leak-* file) is
// copied into fuzz/corpus/receive or fuzz/corpus/operator once its fault is
// fixed, and from then on is replayed here like the seeds.
#include "fuzz/operator_run.h"
#include "fuzz/receive_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

QString corpusDir(const char *target)
{
    // Named by the build: __FILE__ is relative to the build folder with
    // some generators (Ninja), and the tests run elsewhere.
    return QStringLiteral(RFID_FUZZ_CORPUS "/") + QString::fromLatin1(target);
}

struct Seed {
    std::string target; // "receive" or "operator"
    std::string path;
    std::string name;   // for the test's name
};

std::vector<Seed> seeds(const char *target)
{
    std::vector<Seed> out;
    const QDir dir(corpusDir(target));
    for (const QFileInfo &f : dir.entryInfoList(QDir::Files, QDir::Name)) {
        std::string name = target + std::string("_") + f.fileName().toStdString();
        for (char &c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        }
        out.push_back({target, f.absoluteFilePath().toStdString(), name});
    }
    return out;
}

std::vector<Seed> allSeeds()
{
    std::vector<Seed> out = seeds("receive");
    const std::vector<Seed> typed = seeds("operator");
    out.insert(out.end(), typed.begin(), typed.end());
    return out;
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

// The rule both targets check every request against: if it let a malformed
// request through, the fuzzers would pass it too.
TEST(FuzzRequestRule, AcceptsWhatTheToolSendsAndNothingElse)
{
    const struct {
        const char *bytes;
        bool wellFormed;
    } cases[] = {
        {"", true},
        {"31FFDC", true},                                   // reader search
        {"3105E8A1", true},                                 // bridge poll
        {"3105E07A7A7A7AF9", true},                         // tag poll
        {"3101F40001050A8D", true},                         // radio parameters
        {"3101FB05E9" "3105E8A1", true},                    // two requests appended
        {"3105E8A2", false},                                // wrong checksum
        {"3105E8", false},                                  // cut short
        {"3105E8A100", false},                              // a stray byte after it
        {"31059907", false},                                // no command of the tool
        {"3E05E8A1", false},                                // a reply's prefix
        {"31FF", false},                                    // half a search
    };
    for (const auto &c : cases)
        EXPECT_EQ(fuzz::wellFormedRequests(hex(c.bytes)), c.wellFormed) << c.bytes;
}

// The seeds are written with the same layouts the targets read.
TEST(FuzzLayouts, SurviveTheRoundTrip)
{
    fuzz::ReceiveSetup s;
    s.page = 2;
    s.modeYes = 1;
    s.netOpr = true;
    s.unplugged = true;
    s.addresses = {5, 7, 200};
    s.selection = fuzz::ReceiveSetup::Last;
    s.tagMode = 7;
    s.identified = false;
    s.bridgeToggle = true;
    s.receptions = {hex("3E05"), QByteArray(), hex("0507")};
    const QByteArray encoded = s.encode();
    const fuzz::ReceiveSetup back =
        fuzz::ReceiveSetup::decode(reinterpret_cast<const uint8_t *>(encoded.constData()), size_t(encoded.size()));
    EXPECT_EQ(back.encode(), encoded);
    EXPECT_EQ(back.receptions, s.receptions);
    EXPECT_EQ(back.addresses, s.addresses);

    fuzz::OperatorInput o;
    o.handler = int(fuzz::Handler::SetModesMetki);
    o.addressBox = fuzz::OperatorInput::NoneSelected;
    o.tick = true;
    o.page = 2;
    o.fields = {"5", "", "12AB3C"};
    const QByteArray typed = o.encode();
    const fuzz::OperatorInput read =
        fuzz::OperatorInput::decode(reinterpret_cast<const uint8_t *>(typed.constData()), size_t(typed.size()));
    EXPECT_EQ(read.encode(), typed);
    EXPECT_EQ(read.text(2), QStringLiteral("12AB3C"));
    EXPECT_EQ(read.text(6), QString()); // fields past the end are empty
}

TEST(FuzzCorpus, IsThere)
{
    EXPECT_FALSE(seeds("receive").empty()) << corpusDir("receive").toStdString();
    EXPECT_FALSE(seeds("operator").empty()) << corpusDir("operator").toStdString();
}

class FuzzReplay : public ::testing::TestWithParam<Seed> {};

TEST_P(FuzzReplay, KeepsEveryRule)
{
    QFile file(QString::fromStdString(GetParam().path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << GetParam().path;
    const QByteArray input = file.readAll();
    const auto *data = reinterpret_cast<const uint8_t *>(input.constData());

    fuzz::Outcome broken;
    if (GetParam().target == "receive")
        broken = fuzz::ReceiveTarget().run(data, size_t(input.size()));
    else
        broken = fuzz::OperatorTarget().run(data, size_t(input.size()));
    EXPECT_FALSE(broken.has_value()) << (broken ? broken->rule : "") << ": "
                                     << (broken ? broken->bytes.toHex(' ').toStdString() : "");
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzReplay, ::testing::ValuesIn(allSeeds()),
                         [](const auto &info) { return info.param.name; });
