#include "ctl/commands.h"

#include "ctl/failure.h"
#include "ctl/lineclient.h"
#include "ctl/profile.h"
#include "ctl/reader.h"
#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/crc8.h"
#include "protocol/frame.h"
#include "protocol/replies.h"
#include "serial/portnames.h"
#include "serial/lineport.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <memory>

namespace {

using Rows = QVector<QStringList>;

// Columns padded to their widest cell; the first row is the header unless
// the rows are label/value pairs.
void printColumns(QTextStream &out, const Rows &rows)
{
    QVector<int> widths;
    for (const QStringList &row : rows) {
        for (int i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], int(row.at(i).size()));
        }
    }
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row.at(i).leftJustified(widths.at(i) + 2) : row.at(i);
        out << line << '\n';
    }
}

void printJson(QTextStream &out, const QJsonDocument &doc, QJsonDocument::JsonFormat format = QJsonDocument::Indented)
{
    out << QString::fromUtf8(doc.toJson(format));
    if (format == QJsonDocument::Compact)
        out << '\n';
}

QJsonValue orNull(bool present, const QJsonValue &value)
{
    return present ? value : QJsonValue(QJsonValue::Null);
}

QString modeText(quint8 mode)
{
    const char *name = proto::modeName(mode & proto::ModeCodeMask);
    QString text = QStringLiteral("0x") + QStringLiteral("%1").arg(mode, 2, 16, QLatin1Char('0')).toUpper();
    if (name)
        text += QStringLiteral(" (") + QString::fromUtf8(name) + QLatin1Char(')');
    if (mode & proto::ModeOptionFrequency)
        text += QStringLiteral(" + Частотный выход");
    if (mode & proto::ModeOptionMaster)
        text += QStringLiteral(" + Мастер");
    return text;
}

quint32 idNumber(const QString &idText)
{
    return proto::hexToNumber(idText).value;
}

class Session
{
public:
    Session(const Invocation &inv, PortNames &names, Console &console)
        : inv_(inv), names_(names), console_(console), out_(console.out)
    {
    }

    int run()
    {
        const QString &c = inv_.command;
        if (c == QLatin1String("ports"))
            return ports();
        open();
        if (c == QLatin1String("search"))
            return search();
        if (c == QLatin1String("info"))
            return info();
        if (c == QLatin1String("settings"))
            return settings();
        if (c == QLatin1String("apply"))
            return apply();
        if (c == QLatin1String("watch"))
            return watch();
        return tag();
    }

private:
    void open()
    {
        port_ = std::make_unique<LinePort>(names_);
        port_->network().setLatencyOverride(inv_.latencyMs);
        QObject::connect(port_.get(), &PortLayer::notice, [this](const QString &text) {
            console_.err << QStringLiteral("rfidctl: ") << text << '\n';
            console_.err.flush();
        });
        PortLayer::OpenFailure why;
        if (!port_->OpenPort(inv_.port, QString::fromLatin1(PortLayer::LineSettingsText), &why))
            throw Failure{exitcode::Port, why.text};
        line_ = std::make_unique<LineClient>(*port_);
    }

    ReaderLink reader() { return ReaderLink(*line_, inv_.address); }

    int ports()
    {
        QJsonArray list;
        Rows rows{{QStringLiteral("Порт"), QStringLiteral("Устройство"), QStringLiteral("Есть")}};
        for (int n = PortNames::FirstPort; n <= PortNames::LastPort; ++n) {
            const QString name = QStringLiteral("COM%1").arg(n);
            const QString device = names_.devicePath(n);
            if (!inv_.port.isEmpty() && inv_.port.compare(name, Qt::CaseInsensitive) != 0 && inv_.port != device)
                continue;
            const bool present = names_.exists(n);
            list.append(QJsonObject{{"name", name}, {"device", device}, {"present", present}});
            rows.append({name, device, present ? QStringLiteral("да") : QStringLiteral("нет")});
        }
        if (list.isEmpty())
            throw Failure{exitcode::Usage, QStringLiteral("%1 - не порт COM1..COM30").arg(inv_.port)};
        if (inv_.json)
            printJson(out_, QJsonDocument(list));
        else
            printColumns(out_, rows);
        return exitcode::Done;
    }

    int search()
    {
        const QVector<quint8> addresses = searchLine(*line_);
        if (addresses.isEmpty())
            throw Failure{exitcode::Device, QStringLiteral("на поиск не ответил ни один считыватель")};
        QJsonArray list;
        Rows rows{{QStringLiteral("Адрес"), QStringLiteral("Сер. Номер"), QStringLiteral("Версия ПО")}};
        QString firstFault;
        for (quint8 address : addresses) {
            proto::Identification id;
            try {
                id = ReaderLink(*line_, address).identify();
            } catch (const Failure &f) {
                // The others are still listed; the fault is reported after them.
                if (firstFault.isEmpty())
                    firstFault = f.message;
            }
            list.append(QJsonObject{
                {"address", address},
                {"serial", orNull(id.serial.has_value(), qint64(id.serial.value_or(0)))},
                {"version", orNull(id.version.has_value(), id.version.value_or(QString()))},
                {"version_number", orNull(id.versionNumber >= 0, id.versionNumber)},
            });
            rows.append({QString::number(address), id.serial ? QString::number(*id.serial) : QStringLiteral("?"),
                         id.version.value_or(QStringLiteral("?"))});
        }
        if (inv_.json)
            printJson(out_, QJsonDocument(list));
        else
            printColumns(out_, rows);
        // Every value read at a shared address may be either reader's, and
        // every setting sent there reaches both.
        const QVector<quint8> shared = proto::sharedAddresses(addresses);
        if (!shared.isEmpty()) {
            QStringList numbers;
            for (const quint8 a : shared)
                numbers << QString::number(a);
            throw Failure{exitcode::Device,
                          QStringLiteral("два считывателя отвечают по %1 %2: оставьте на линии один из них и "
                                         "задайте ему свободный адрес")
                              .arg(shared.size() == 1 ? QStringLiteral("адресу") : QStringLiteral("адресам"),
                                   numbers.join(QStringLiteral(", ")))};
        }
        if (!firstFault.isEmpty())
            throw Failure{exitcode::Device, firstFault};
        return exitcode::Done;
    }

    int info()
    {
        ReaderLink r = reader();
        const proto::Identification id = r.identify();
        const proto::ReaderData d = r.data();
        const bool longForm = d.longForm.has_value();
        const proto::ReaderLongForm f = d.longForm.value_or(proto::ReaderLongForm{});
        if (inv_.json) {
            printJson(out_, QJsonDocument(QJsonObject{
                                {"address", d.address},
                                {"serial", orNull(id.serial.has_value(), qint64(id.serial.value_or(0)))},
                                {"version", orNull(id.version.has_value(), id.version.value_or(QString()))},
                                {"version_number", orNull(id.versionNumber >= 0, id.versionNumber)},
                                {"temperature", d.temperature},
                                {"level", d.level},
                                {"current", qint64(d.current)},
                                {"empty", qint64(d.empty)},
                                {"tag_id", idHex(idNumber(d.tagId))},
                                {"k", d.k},
                                {"mode", orNull(longForm, f.mode)},
                                {"network", orNull(longForm, f.network)},
                                {"channel", orNull(longForm, f.channel)},
                                {"power", orNull(longForm, f.power)},
                            }));
            return exitcode::Done;
        }
        Rows rows{
            {QStringLiteral("Сетевой адрес"), QString::number(d.address)},
            {QStringLiteral("Сер. Номер"), id.serial ? QString::number(*id.serial) : QStringLiteral("?")},
            {QStringLiteral("Версия ПО"), id.version.value_or(QStringLiteral("?"))},
            {QStringLiteral("Темп-ра"), QString::number(d.temperature) + QStringLiteral(" °C")},
            {QStringLiteral("Уровень"), QString::number(d.level)},
            {QStringLiteral("Текущий"), QString::number(d.current)},
            {QStringLiteral("Пустой"), QString::number(d.empty)},
            {QStringLiteral("ID метки"), idHex(idNumber(d.tagId))},
            {QStringLiteral("K"), QString::number(d.k)},
        };
        if (longForm) {
            rows.append({QStringLiteral("Режим"), modeText(f.mode)});
            rows.append({QStringLiteral("Номер сети"), QString::number(f.network)});
            rows.append({QStringLiteral("Номер Канала"), QString::number(f.channel)});
            rows.append({QStringLiteral("Мощность"), QString::number(f.power)});
        }
        printColumns(out_, rows);
        return exitcode::Done;
    }

    void printSettings(const Profile &p)
    {
        if (inv_.json) {
            out_ << QString::fromUtf8(profileJson(p));
            return;
        }
        const ReaderSettings &s = p.settings;
        Rows rows{
            {QStringLiteral("Сетевой адрес"), QString::number(p.address)},
            {QStringLiteral("Режим"), modeText(s.mode)},
            {QStringLiteral("Номер сети"), QString::number(s.network)},
            {QStringLiteral("Номер Канала"), QString::number(s.channel)},
            {QStringLiteral("Мощность"), QString::number(s.power)},
            {QStringLiteral("Задержка обнуления ID"), QString::number(s.delay)},
        };
        for (int i = 0; i < ReaderSettings::Cells; ++i)
            rows.append({QStringLiteral("Привязанный ID %1").arg(i + 1), idHex(s.boundIds[std::size_t(i)])});
        printColumns(out_, rows);
    }

    int settings()
    {
        Profile p;
        p.address = inv_.address;
        p.settings = reader().settings();
        if (!inv_.file.isEmpty()) {
            QSaveFile file(inv_.file);
            if (!file.open(QIODevice::WriteOnly) || file.write(profileJson(p)) < 0 || !file.commit())
                throw Failure{exitcode::Usage,
                              QStringLiteral("%1 не записан: %2").arg(inv_.file, file.errorString())};
        }
        printSettings(p);
        return exitcode::Done;
    }

    Profile loadProfile()
    {
        QFile file(inv_.file);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure{exitcode::Usage, QStringLiteral("%1 не читается: %2; ничего не записано")
                                               .arg(inv_.file, file.errorString())};
        const ProfileParse parsed = parseProfile(file.readAll());
        QString fault = parsed.error;
        if (parsed.profile && inv_.withAddress && parsed.profile->address > proto::limits::NewAddressMax)
            fault = QStringLiteral("поле \"address\": с --with-address нужно число от 0 до %1")
                        .arg(proto::limits::NewAddressMax);
        if (!fault.isEmpty())
            throw Failure{exitcode::Usage,
                          QStringLiteral("профиль %1: %2; ничего не записано").arg(inv_.file, fault)};
        return *parsed.profile;
    }

    void confirm(const Profile &p)
    {
        if (inv_.yes)
            return;
        if (!console_.interactive)
            throw Failure{exitcode::Usage, QStringLiteral("ввод не с терминала: подтвердите запись параметром "
                                                          "--yes; ничего не записано")};
        QString what = QStringLiteral("режим, параметры, задержку и привязанные ID");
        if (p.serial)
            what += QStringLiteral(", сер. номер %1").arg(*p.serial);
        if (inv_.withAddress)
            what += QStringLiteral(", сетевой адрес %1").arg(p.address);
        console_.err << QStringLiteral("Записать в считыватель %1 на %2 %3 из %4? [y/N] ")
                            .arg(inv_.address)
                            .arg(inv_.port, what, inv_.file);
        console_.err.flush();
        const QString answer = console_.readLine ? console_.readLine().trimmed().toLower() : QString();
        if (answer != QLatin1String("y") && answer != QLatin1String("yes") && answer != QLatin1String("д")
            && answer != QLatin1String("да"))
            throw Failure{exitcode::Usage, QStringLiteral("запись не подтверждена; ничего не записано")};
    }

    // Two readers on one address cannot be told apart any more: the move is
    // refused when anything answers the identification request at `address`.
    void refuseOccupied(quint8 address)
    {
        const LineClient::Result probe =
            line_->exchange(proto::buildRequest(address, proto::code(proto::Command::Identification), {}));
        if (!probe.written)
            throw Failure{exitcode::Device, QStringLiteral("Ошибка записи в порт")};
        if (probe.reply.isEmpty())
            return;
        const QByteArray &a = probe.reply;
        const bool identified = a.size() >= 4 && quint8(a.at(0)) == proto::ReplyPrefix && quint8(a.at(1)) == address
                                && quint8(a.at(2)) == proto::code(proto::Command::Identification)
                                && proto::crc8(a, int(a.size()) - 1) == quint8(a.back());
        const proto::Identification id = identified ? proto::decodeIdentification(a) : proto::Identification{};
        const QString serial = id.serial ? QStringLiteral(" (сер. номер %1)").arg(*id.serial) : QString();
        throw Failure{exitcode::Device, QStringLiteral("по адресу %1 уже отвечает считыватель%2: адрес не "
                                                       "перенесён, ничего не записано")
                                            .arg(address)
                                            .arg(serial)};
    }

    int apply()
    {
        const Profile p = loadProfile();
        confirm(p);
        open();
        if (inv_.withAddress && p.address != inv_.address)
            refuseOccupied(p.address);
        ReaderLink r = reader();
        const ReaderSettings before = r.settings();
        const ReaderSettings &want = p.settings;
        // Only what differs is written: every write costs a request and
        // wears the reader's memory.
        QStringList written;
        if (want.mode != before.mode) {
            r.setMode(want.mode);
            written << QStringLiteral("mode");
        }
        if (want.network != before.network || want.channel != before.channel || want.power != before.power) {
            r.setRadio(want.network, want.channel, want.power);
            written << QStringLiteral("network/channel/power");
        }
        if (want.delay != before.delay) {
            r.setDelay(want.delay);
            written << QStringLiteral("delay");
        }
        for (int i = 0; i < ReaderSettings::Cells; ++i) {
            const auto cell = std::size_t(i);
            if (want.boundIds[cell] != before.boundIds[cell]) {
                r.setCell(i, want.boundIds[cell]);
                written << QStringLiteral("bound_ids[%1]").arg(i + 1);
            }
        }
        if (p.serial) {
            r.setSerial(*p.serial);
            written << QStringLiteral("serial");
        }
        if (inv_.withAddress && p.address != r.address()) {
            r.setAddress(p.address);
            written << QStringLiteral("address");
        }

        // Read back (at the new address, if it changed) and compare.
        QStringList differing = differingFields(want, r.settings());
        if (p.serial && r.identify().serial != p.serial)
            differing << QStringLiteral("serial");
        if (!differing.isEmpty())
            throw Failure{exitcode::Device, QStringLiteral("считыватель %1 после записи отличается от профиля: %2")
                                                .arg(r.address())
                                                .arg(differing.join(QStringLiteral(", ")))};
        out_ << QStringLiteral("Считыватель %1: ").arg(r.address())
             << (written.isEmpty() ? QStringLiteral("уже как в профиле, ничего не записано")
                                   : QStringLiteral("записано ") + written.join(QStringLiteral(", ")))
             << QStringLiteral("; прочитано и сверено с %1.\n").arg(inv_.file);
        return exitcode::Done;
    }

    int watch()
    {
        ReaderLink r = reader();
        bool missed = false;
        for (int polls = 0; inv_.count == 0 || polls < inv_.count; ++polls) {
            if (console_.stopRequested && console_.stopRequested())
                break;
            try {
                printWatchLine(r.data());
            } catch (const Failure &f) {
                // A silent poll is reported and watching goes on; a lost
                // adapter ends it.
                console_.err << QStringLiteral("rfidctl: ") << f.message << '\n';
                console_.err.flush();
                missed = true;
                if (!port_->isOpen())
                    break;
            }
        }
        return missed ? exitcode::Device : exitcode::Done;
    }

    void printWatchLine(const proto::ReaderData &d)
    {
        const QDateTime now = QDateTime::currentDateTime();
        const bool longForm = d.longForm.has_value();
        const quint8 mode = longForm ? d.longForm->mode : 0;
        if (inv_.json) {
            printJson(out_,
                      QJsonDocument(QJsonObject{
                          {"time", now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs)},
                          {"address", d.address},
                          {"level", d.level},
                          {"current", qint64(d.current)},
                          {"temperature", d.temperature},
                          {"tag_id", idHex(idNumber(d.tagId))},
                          {"mode", orNull(longForm, mode)},
                      }),
                      QJsonDocument::Compact);
        } else {
            out_ << now.toString(QStringLiteral("HH:mm:ss.zzz"))
                 << QStringLiteral("  Уровень %1  Текущий %2  Темп-ра %3 °C  ID метки %4")
                        .arg(d.level)
                        .arg(d.current)
                        .arg(d.temperature)
                        .arg(idHex(idNumber(d.tagId)));
            if (longForm)
                out_ << QStringLiteral("  Режим ") << modeText(mode);
            out_ << '\n';
        }
        out_.flush();
    }

    int tag()
    {
        ReaderLink r = reader();
        const proto::TagPoll heard = r.pollTag();
        const proto::TagData t = r.readTag(idNumber(heard.id));
        if (inv_.json) {
            printJson(out_, QJsonDocument(QJsonObject{
                                {"reader", r.address()},
                                {"serial", qint64(t.serial)},
                                {"id", idHex(idNumber(t.id))},
                                {"interval", t.interval},
                                {"mode", t.mode},
                                {"power", t.power},
                                {"version", t.version},
                                {"sleep", t.sleep},
                                {"level", t.level},
                            }));
            return exitcode::Done;
        }
        printColumns(out_, Rows{
                               {QStringLiteral("Считыватель"), QString::number(r.address())},
                               {QStringLiteral("Сер. Ном."), QString::number(t.serial)},
                               {QStringLiteral("ID метки"), idHex(idNumber(t.id))},
                               {QStringLiteral("Задержка"), QString::number(t.interval)},
                               {QStringLiteral("Режим"), QString::number(t.mode)},
                               {QStringLiteral("Мощность"), QString::number(t.power)},
                               {QStringLiteral("Версия ПО"), t.version},
                               {QStringLiteral("Период"), QString::number(t.sleep)},
                               {QStringLiteral("Уровень приема"), QString::number(t.level)},
                           });
        return exitcode::Done;
    }

    const Invocation &inv_;
    PortNames &names_;
    Console &console_;
    QTextStream &out_;
    std::unique_ptr<LinePort> port_;
    std::unique_ptr<LineClient> line_;
};

} // namespace

int runCommand(const Invocation &inv, PortNames &names, Console &console)
{
    try {
        return Session(inv, names, console).run();
    } catch (const Failure &f) {
        console.out.flush();
        console.err << QStringLiteral("rfidctl: ") << f.message << '\n';
        console.err.flush();
        return f.exitCode;
    }
}
