// The diagnostics window as a technician leaves it after a while on the line:
// open, with 10 minutes of trends behind it. The records are made up as the
// engine makes them (a reader data poll of address 5 every 500 ms, one in
// twenty unanswered) and go through the window's own `exchanged` signal, so
// the statistics, the trends and the exchange log all take them in.
#include "bench/bench.h"

#include "linestats/linestats.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"
#include "window/frmSerial.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>

#include <cmath>

namespace bench {

void openDiagnosticsWithTrends(frmSerial &w)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const int count = int(linestats::Trends::SpanMs / 500);
    const QByteArray request = proto::buildRequest(5, 0xF0);
    for (int i = 0; i < count; ++i) {
        ExchangeRecord r;
        r.sentAt = QDateTime::fromMSecsSinceEpoch(now - linestats::Trends::SpanMs + qint64(i) * 500);
        r.request = request;
        if (i % 20 != 19) {
            QByteArray reply("\x3E\x05\xF0", 3);
            QByteArray payload(22, '\0');
            const int level = 512 + int(60 * std::sin(i / 40.0));
            const quint32 current = 15000 + quint32(1500 * (1 + std::sin(i / 60.0)));
            payload[0] = char(23 + int(3 * std::sin(i / 100.0)));
            payload[1] = char(level & 0xFF);
            payload[2] = char(level >> 8);
            for (int b = 0; b < 4; ++b)
                payload[3 + b] = char(current >> (8 * b));
            reply += payload;
            reply.append(char(proto::crc8(reply)));
            r.reply = reply;
            r.checksum = ExchangeRecord::Checksum::Right;
            r.verdict = proto::Verdict::Taken;
            r.decoded = *proto::decodeReaderData(reply);
            r.roundTripMs = 20;
            r.meaning = QStringLiteral("данные считывателя");
        } else {
            r.meaning = QStringLiteral("нет ответа");
        }
        emit w.exchanged(r);
    }

    QApplication::setActiveWindow(&w);
    QKeyEvent f11(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier);
    QApplication::sendEvent(&w, &f11);
}

double trendEntries(frmSerial &w)
{
    const auto *stats = w.findChild<linestats::LineStats *>();
    return stats ? double(stats->trends().entries()) : -1;
}

} // namespace bench
