// What a reception means, for the window, the diagnostics and rfidctl alike.
#include "protocol/commands.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"
#include "protocol/reception.h"
#include "support/replyframe.h"

#include <gtest/gtest.h>

using namespace proto;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray corrupt(QByteArray r)
{
    r.back() = char(r.back() ^ 0x5A);
    return r;
}

const QByteArray Poll5 = buildRequest(5, 0xF0);
const QByteArray Short5 = replyFrame(5, 0xF0, hex("1E 00 04 78 56 34 12 FF FF FF FF 0A 00 B2 01 10 27"));
const QByteArray Long5 = replyFrame(5, 0xF0, hex("1E 00 04 78 56 34 12 FF FF FF FF 0A 00 B2 01 10 27 01 3E 05 F1 E8"));

// A long reply whose mode byte happens to be the checksum of the short form:
// what follows it is no frame, so it is the long form.
QByteArray longCheckingAtTwentyOne()
{
    QByteArray r = Short5; // bytes 1..21, byte 21 checking bytes 1..20
    r += hex("39 05 F1 E8");
    return r + char(crc8(r));
}

struct Case {
    const char *name;
    QByteArray reply;
    Asked asked;
    Verdict verdict;
};

} // namespace

TEST(Reception, EachKindOfReceptionHasOneVerdict)
{
    const Asked poll{Poll5, false, 5};
    const Asked search{networkPollFrame(), true, 5};
    const Case cases[] = {
        {"silence", {}, poll, Verdict::None},
        {"short reader data", Short5, poll, Verdict::Taken},
        {"long reader data", Long5, poll, Verdict::Taken},
        {"long form checking at the short form's end", longCheckingAtTwentyOne(), poll, Verdict::Taken},
        {"reader data cut between the forms", Control_summ(Long5.left(22)), poll, Verdict::TooShort},
        {"reader data cut short", Control_summ(Short5.left(9)), poll, Verdict::TooShort},
        {"reader data, wrong checksum", corrupt(Long5), poll, Verdict::BadChecksum},
        {"confirmation, wrong checksum (not checked)", corrupt(replyFrame(5, 0xFA)),
         {buildRequest(5, 0xFA), false, 5}, Verdict::Taken},
        {"another reader answered", replyFrame(7, 0xF0, Short5.mid(3, 17)), poll, Verdict::Unasked},
        {"answer to the reader picked before", Short5, {Poll5, false, 7}, Verdict::OtherAddress},
        {"another code", replyFrame(5, 0xFC, hex("01 02 03 04 05 06")), poll, Verdict::Unasked},
        {"a code no device has", replyFrame(5, 0x77, hex("00 00")), poll, Verdict::Unasked},
        {"nothing was asked", Short5, {{}, false, 5}, Verdict::Unasked},
        {"a frame after the search", Short5, search, Verdict::Unasked},
        {"table read answered by the table", replyFrame(5, 0xE6, QByteArray(40, '\0')),
         {buildRequest(5, 0xE7), false, 5}, Verdict::Taken},
        {"delay read answered by the setting's code", replyFrame(5, 0xF1, hex("10 00")),
         {buildRequest(5, 0xF7), false, 5}, Verdict::Taken},
        {"delay read answered by its own code", replyFrame(5, 0xF7, hex("10 00")),
         {buildRequest(5, 0xF7), false, 5}, Verdict::Taken},
        {"short identification: serial only", replyFrame(5, 0xFC, hex("01 02 03")),
         {buildRequest(5, 0xFC), false, 5}, Verdict::Taken},
        {"search answer", hex("05 07"), search, Verdict::SearchAnswer},
        {"search answer after the search was replaced", hex("05 07"), {Poll5, true, 5}, Verdict::SearchAnswer},
        {"three bytes starting 3E take the search's path", hex("3E 05 F0"), search, Verdict::SearchAnswer},
        {"address bytes with no search", hex("05 07"), poll, Verdict::Noise},
        {"too long for a search answer", QByteArray(20, '\x05'), search, Verdict::Noise},
        {"a flood", QByteArray(255, '\xFF'), poll, Verdict::Noise},
    };
    for (const Case &c : cases) {
        const Reception rc = classify(c.reply, c.asked);
        EXPECT_EQ(int(rc.verdict), int(c.verdict)) << c.name;
        // What the program does not use carries nothing to show.
        if (!rc.used())
            EXPECT_TRUE(std::holds_alternative<std::monostate>(rc.decoded)) << c.name;
    }
    const Reception long5 = classify(Long5, poll);
    ASSERT_TRUE(std::holds_alternative<ReaderData>(long5.decoded));
    EXPECT_TRUE(std::get<ReaderData>(long5.decoded).longForm);
    EXPECT_EQ(std::get<Addresses>(classify(hex("05 07"), search).decoded).list, (QVector<quint8>{5, 7}));
}

// Two devices answering one request: a whole reply of any code followed by
// a frame (or by more bytes) is two replies, never one long reply nor a reply
// whose checksum is taken from the first frame.
TEST(Reception, AWholeReplyFollowedByMoreIsTwoReplies)
{
    const QByteArray followers[] = {
        replyFrame(9, 0xFA),                      // 4 bytes
        replyFrame(9, 0xF2, hex("01")),           // 5 bytes: short 0xF0 + this is as long as the long form
        replyFrame(9, 0xFC, hex("01 02 03 04 05 06")),
        Short5,
        hex("00 00 00"),                          // a whole reply and a broken one
    };
    int rows = 0;
    for (int code = 0; code < 256; ++code) {
        const CommandInfo *row = commandInfo(quint8(code));
        if (!row || row->replyLength == 0)
            continue;
        ++rows;
        const Asked asked{buildRequest(5, quint8(code), QByteArray(row->requestLength > 4 ? row->requestLength - 4 : 0, '\0')),
                          false, 5};
        for (const int length : {row->replyLength, row->longReplyLength}) {
            if (length == 0)
                continue;
            const QByteArray whole = replyFrame(5, quint8(code), QByteArray(length - 4, '\x11'));
            EXPECT_EQ(int(classify(whole, asked).verdict), int(Verdict::Taken)) << code << " " << length;
            for (const QByteArray &more : followers) {
                const Reception rc = classify(whole + more, asked);
                EXPECT_EQ(int(rc.verdict), int(Verdict::TwoReplies))
                    << std::hex << code << std::dec << " " << length << "+" << more.size();
                EXPECT_TRUE(std::holds_alternative<std::monostate>(rc.decoded));
            }
        }
    }
    EXPECT_GE(rows, 19);
    EXPECT_EQ(verdictText(Verdict::TwoReplies), "два ответа на один запрос");
}
