// Writes the seed corpus of the two fuzz targets: for fuzz_receive the clean
// answers of the simulated readers (and a few spoilt ones) behind the window
// state they belong to, for fuzz_operator the texts an operator typically
// types. Run once and commit the result:
//   make_corpus fuzz/corpus
#include "harness.h"

#include "protocol/crc8.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "sim/simline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

using fuzz::OperatorInput;
using fuzz::ReceiveSetup;
using H = fuzz::Handler;

constexpr quint8 Reader = 5; // the demo line's plain reader
constexpr quint8 Bridge = 7; // the demo line's bridge reader with a slave sensor

bool write(const QString &dir, const QString &name, const QByteArray &bytes)
{
    if (bytes.size() >= 100) {
        std::fprintf(stderr, "seed %s is %d bytes\n", qPrintable(name), int(bytes.size()));
        return false;
    }
    QFile f(dir + QLatin1Char('/') + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
        return false;
    }
    return true;
}

QByteArray withChecksum(QByteArray frame)
{
    frame.append(char(proto::crc8(frame)));
    return frame;
}

ReceiveSetup on(int page, quint8 address, QByteArrayList receptions)
{
    ReceiveSetup s;
    s.page = page;
    s.addresses = {address};
    s.receptions = receptions;
    return s;
}

bool writeReceiveSeeds(const QString &dir)
{
    SimLine line;
    for (const SimReader &r : SimLine::demoReaders())
        line.addReader(r);
    const auto ask = [&line](quint8 address, quint8 command, const QByteArray &data = {}) {
        return line.answer(proto::buildRequest(address, command, data));
    };

    const QByteArray readerData = ask(Reader, 0xF0);
    const QByteArray shortData = withChecksum(readerData.left(20));
    QByteArray badChecksum = readerData;
    badChecksum.back() = char(~quint8(badChecksum.back()));
    const QByteArray ident = ask(Reader, 0xFC);
    const QByteArray tagPoll = ask(Reader, 0xE0, proto::Long_to_string(0x7A7A7A7A));
    const QByteArray tagData = ask(Reader, 0xE3, proto::Long_to_string(0x0012AB3C));
    const QByteArray searchAnswer = line.answer(proto::networkPollFrame());

    QVector<QPair<QString, ReceiveSetup>> seeds;
    const auto add = [&seeds](const char *name, const ReceiveSetup &s) {
        seeds.append({QString::fromLatin1(name), s});
    };

    // Reader page.
    add("reader_data", on(0, Reader, {readerData}));
    ReceiveSetup s = on(0, Reader, {readerData, readerData});
    s.modeYes = 2;
    add("reader_data_loads_modes", s);
    s = on(0, Reader, {readerData});
    s.modeYes = 1;
    s.tagMode = 1; // "4": byte 4 is the rotation
    add("reader_data_rotation", s);
    s = on(0, Reader, {shortData});
    s.tagMode = 2;
    add("reader_data_short", s);
    add("reader_data_bad_checksum", on(0, Reader, {badChecksum}));
    add("reader_data_split", on(0, Reader, {readerData.left(9), readerData.mid(9)}));
    add("reader_data_after_noise", on(0, Reader, {QByteArray("\x00\xFF", 2) + readerData}));
    add("reader_data_two_run_together", on(0, Reader, {ident + readerData}));
    s = on(0, Reader, {QByteArray(), readerData});
    s.noData = true;
    add("silence_then_reader_data", s);
    s = on(0, Reader, {readerData, readerData});
    s.unplugged = true;
    add("unplugged", s);

    // Identification and search.
    s = on(0, Reader, {ident});
    s.identified = false;
    add("identification", s);
    s = on(0, Bridge, {ask(Bridge, 0xFC)});
    s.identified = false;
    add("identification_bridge", s);
    add("identification_short", on(0, Reader, {ident.left(6)}));
    s = on(0, 0, {searchAnswer, ident});
    s.netOpr = true;
    s.modeYes = 2;
    add("search", s);
    s = on(0, 0, {QByteArray(20, '\x05')});
    s.netOpr = true;
    add("search_too_long", s);
    s = on(0, Reader, {QByteArray("\x3E\x05\xF0", 3)});
    s.netOpr = true;
    add("search_three_bytes_like_a_frame", s);

    // Reader tables and confirmations.
    add("additional_parameters", on(0, Reader, {ask(Reader, 0xF7)}));
    add("id_table", on(0, Reader, {ask(Reader, 0xE7)}));
    add("id_table_short", on(0, Reader, {ask(Reader, 0xE7).left(30)}));
    add("confirm_mode_levels",
        on(0, Reader, {ask(Reader, 0xF2, QByteArray(1, '\xC6')), ask(Reader, 0xF5), ask(Reader, 0xFA)}));
    add("confirm_params_serial",
        on(0, Reader, {ask(Reader, 0xF4, QByteArray("\x00\x01\x05\x0A", 4)),
                       ask(Reader, 0xF6, proto::Long_to_string(255)), ask(Reader, 0xE9)}));
    add("confirm_unknown_code", on(0, Reader, {withChecksum(QByteArray("\x3E\x05\x99\x01", 4))}));

    // Tag page.
    s = on(1, Reader, {tagPoll});
    s.tagRead = true;
    add("tag_poll", s);
    s = on(1, Reader, {tagData, tagPoll});
    s.tagMode = 1;
    add("tag_data_then_poll", s);
    add("tag_data_short", on(1, Reader, {tagData.left(15)}));
    add("tag_confirmations",
        on(1, Reader,
           {ask(Reader, 0xE1, QByteArray::fromHex("0E001E84E40012AB3C03E80264003C")),
            ask(Reader, 0xE2, proto::Long_to_string(0x0012AB3C) + proto::Long_to_string(100))}));

    // Bridge page.
    s = on(2, Bridge, {ask(Bridge, 0xE8), ask(Bridge, 0x06)});
    add("bridge", s);
    s = on(2, Bridge, {ask(Bridge, 0x06).left(5), ask(Bridge, 0xE8).left(12)});
    s.bridgeToggle = true;
    add("bridge_short", s);

    // Address box states.
    s = on(0, Reader, {readerData});
    s.addresses = {Reader, Bridge, 200};
    s.selection = ReceiveSetup::Last;
    add("three_addresses_last", s);
    s = on(0, Reader, {readerData});
    s.selection = ReceiveSetup::Typed;
    add("typed_address", s);
    s = on(2, Reader, {ask(Bridge, 0xE8)});
    s.addresses.clear();
    s.selection = ReceiveSetup::None;
    add("no_address", s);

    bool ok = true;
    for (const auto &seed : seeds) {
        for (const QByteArray &r : seed.second.receptions) {
            if (r.isEmpty() && seed.first != QLatin1String("silence_then_reader_data")) {
                std::fprintf(stderr, "seed %s: the simulated line gave no answer\n", qPrintable(seed.first));
                ok = false;
            }
        }
        ok = write(dir, seed.first, seed.second.encode()) && ok;
    }
    return ok;
}

OperatorInput typed(H handler, QByteArrayList fields, int addressBox = OperatorInput::TypedOverList)
{
    OperatorInput o;
    o.handler = int(handler);
    o.addressBox = addressBox;
    o.fields = fields;
    return o;
}

bool writeOperatorSeeds(const QString &dir)
{
    QVector<QPair<QString, OperatorInput>> seeds;
    const auto add = [&seeds](const char *name, const OperatorInput &o) {
        seeds.append({QString::fromLatin1(name), o});
    };

    add("param", typed(H::param, {"", "1", "5", "10"}));
    add("param_limits", typed(H::param, {"", "65000", "255", "3"}));
    add("param_refused", typed(H::param, {"", "65001", "0", "2"}));
    add("param_words", typed(H::param, {"", "abc", "-1", ""}));
    add("delay", typed(H::Command2, {"", "6000"}));
    add("delay_refused", typed(H::Command2, {"", "-1"}));
    add("id_cell", typed(H::Command3, {"", "1", "12AB"}));
    add("id_cell_longest", typed(H::Command3, {"", "10", "FFFFFFFF"}));
    add("id_cell_refused", typed(H::Command3, {"", "11", "123456789"}));
    add("id_cell_not_hex", typed(H::Command3, {"", "1", "1G"}));
    OperatorInput o = typed(H::net, {"", "200"});
    o.pending = true;
    add("new_address_appended", o);
    add("new_address_refused", typed(H::net, {"", "abc"}));
    add("reader_serial", typed(H::Command1, {"", "2000000"}));
    add("reader_serial_refused", typed(H::Command1, {"", "2000001"}));
    add("tag_serial", typed(H::InstSN, {"", "100", "12AB3C"}));
    add("tag_serial_odd_id", typed(H::InstSN, {"", "0", "ABC"}));
    add("read_tag", typed(H::ReadParamMetki, {"", "12AB3C"}));
    add("read_tag_top_bit", typed(H::ReadParamMetki, {"", "FFFFFFFF"}));
    add("read_tag_not_hex", typed(H::ReadParamMetki, {"", "12G4"}));
    add("tag_params", typed(H::SetModesMetki, {"", "100", "12AB3C", "1000", "2", "100", "60"}));
    add("tag_params_refused", typed(H::SetModesMetki, {"", "4294967295", "00ABCDEF12", "70000", "256", "0", "32768"}));
    add("tag_params_zero", typed(H::SetModesMetki, {"", "0", "", "65535", "0", "247", "-1"}));
    o = typed(H::ids_r, {" 5 "}, OperatorInput::OnlyEntry);
    o.tick = true;
    add("address_blanks", o);
    add("address_too_big", typed(H::RD_DP, {"256"}, OperatorInput::TypedNoList));
    add("address_negative", typed(H::ids_clr, {"-1"}, OperatorInput::NoneSelected));
    o = typed(H::hig, {"7"});
    o.yes = true;
    o.typed = true;
    o.tick = true;
    add("calibrate_typed_address", o);
    o = typed(H::Find_metki, {"65000"}, OperatorInput::OnlyEntry);
    o.tick = true;
    o.page = 1;
    add("tag_poll_odd_address", o);
    o = typed(H::Set_mode, {""});
    o.pending = true;
    o.tick = true;
    add("two_mode_requests", o);
    o = typed(H::Opros, {"abc"});
    o.tick = true;
    o.page = 2;
    add("search", o);
    add("bridge_requests", typed(H::zapr_data_sl, {""}));

    bool ok = true;
    for (const auto &seed : seeds)
        ok = write(dir, seed.first, seed.second.encode()) && ok;
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus <corpus dir>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString receive = root + QStringLiteral("/receive");
    const QString operatorDir = root + QStringLiteral("/operator");
    if (!QDir().mkpath(receive) || !QDir().mkpath(operatorDir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const bool ok = writeReceiveSeeds(receive) && writeOperatorSeeds(operatorDir);
    return ok ? 0 : 1;
}
