// rfidctl's two ways in for outside bytes: the profile file a user hands
// `apply`, and the replies of the line to each of its requests.
//
//   byte 0  bit 0 clear: the rest is a profile file. Every profile the
//           parser accepts must be written out again as a profile that
//           parses to the same fields and the same text.
//           bit 0 set: the rest are replies. Bits 1-4 pick the request
//           (value % the number of requests), bit 5 gives every reply the
//           right checksum at its end (so that the checks behind it are
//           reached), bit 6 allows one repeat.
//   then    up to three replies, each but the last after a length byte; the
//           last takes what is left, at most 255 bytes as one read does.
// The requests run against a port that answers each write with the next
// reply: no crash, no read past a reply's end, nothing thrown but a Failure.
#include "ctl/failure.h"
#include "ctl/lineclient.h"
#include "ctl/profile.h"
#include "ctl/reader.h"
#include "fuzz/harness.h"
#include "protocol/crc8.h"
#include "tests/support/fakeport.h"

#include <QCoreApplication>

#include <cstdint>
#include <functional>

namespace {

constexpr quint8 kReader = 5;

// Each write is answered with the next reply, as a reader answers a request.
class ReplyingPort : public FakePort
{
public:
    QByteArrayList script;

    int WritePort(const QByteArray &s) override
    {
        const int n = FakePort::WritePort(s);
        replies.push_back(script.isEmpty() ? QByteArray() : script.takeFirst());
        return n;
    }
};

bool sameProfile(const Profile &a, const Profile &b)
{
    const ReaderSettings &x = a.settings;
    const ReaderSettings &y = b.settings;
    return a.address == b.address && a.serial == b.serial && x.mode == y.mode && x.network == y.network
           && x.channel == y.channel && x.power == y.power && x.delay == y.delay && x.boundIds == y.boundIds;
}

void profileRun(const QByteArray &text)
{
    const ProfileParse first = parseProfile(text);
    if (!first.profile) {
        if (first.error.isEmpty())
            fuzz::fail("a refused profile without a reason", text);
        return;
    }
    const QByteArray written = profileJson(*first.profile);
    const ProfileParse again = parseProfile(written);
    if (!again.profile || !sameProfile(*first.profile, *again.profile))
        fuzz::fail("an accepted profile written out does not read back the same", text);
    if (profileJson(*again.profile) != written)
        fuzz::fail("an accepted profile is written out two ways", text);
}

using Request = std::function<void(LineClient &, ReaderLink &)>;

const std::vector<Request> &requests()
{
    static const std::vector<Request> all{
        [](LineClient &line, ReaderLink &) { searchLine(line); },
        [](LineClient &, ReaderLink &r) { r.identify(); },
        [](LineClient &, ReaderLink &r) { r.data(); },
        [](LineClient &, ReaderLink &r) { r.settings(); },
        [](LineClient &, ReaderLink &r) { r.setMode(2); },
        [](LineClient &, ReaderLink &r) { r.setRadio(1, 5, 10); },
        [](LineClient &, ReaderLink &r) { r.setDelay(1000); },
        [](LineClient &, ReaderLink &r) { r.setCell(3, 0x12AB3C); },
        [](LineClient &, ReaderLink &r) { r.setSerial(1000123); },
        [](LineClient &, ReaderLink &r) { r.setAddress(9); },
        [](LineClient &, ReaderLink &r) { r.pollTag(); },
        [](LineClient &, ReaderLink &r) { r.readTag(0x12AB3C); },
        [](LineClient &, ReaderLink &r) { r.writeTag(2000100, 0x100, 1000, 2, 50, 60); },
    };
    return all;
}

void replyRun(quint8 control, fuzz::InputReader &in)
{
    ReplyingPort port;
    port.OpenPort(QStringLiteral("COM9"), QString(), nullptr);
    for (int i = 0; i < 3; ++i) {
        QByteArray reply = i < 2 ? in.take(in.byte()) : in.rest().left(PortLayer::MaxTransfer);
        if ((control & 0x20) && !reply.isEmpty())
            reply.back() = char(proto::crc8(reply, int(reply.size()) - 1));
        port.script.append(reply);
    }
    LineClient line(port);
    line.setRequestPeriodMs(0);
    line.setTimeoutMs(1);
    line.setRetries((control & 0x40) ? 1 : 0);
    ReaderLink reader(line, kReader);
    const auto &all = requests();
    try {
        all[std::size_t((control >> 1) & 0x0F) % all.size()](line, reader);
    } catch (const Failure &f) {
        if (f.message.isEmpty())
            fuzz::fail("a failure without a message", port.written.join());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_ctl";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    fuzz::InputReader in(data, size);
    const quint8 control = in.byte();
    if ((control & 1) == 0)
        profileRun(in.rest());
    else
        replyRun(control, in);
    return 0;
}
