#include "ctl/commands.h"

#include "ctl/failure.h"
#include "ctl/lineclient.h"
#include "ctl/profile.h"
#include "ctl/reader.h"
#include "files/savefile.h"
#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "protocol/replies.h"
#include "serial/portnames.h"
#include "serial/lineport.h"
#include "serial/netaddress.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <functional>
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

// The answer to a yes/no question: y, yes, д or да, in any case.
bool isYes(const QString &typed)
{
    const QString answer = typed.trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes") || answer == QStringLiteral("д")
           || answer == QStringLiteral("да");
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
        // Every command word of the command line has its row here; a word
        // without one is refused, never taken for another command.
        using Handler = int (Session::*)();
        static const std::pair<const char *, Handler> rows[] = {
            {"ports", &Session::ports},       {"search", &Session::search}, {"info", &Session::info},
            {"settings", &Session::settings}, {"apply", &Session::apply},   {"diff", &Session::diff},
            {"watch", &Session::watch},       {"tag", &Session::tag},       {"tag write", &Session::tagWrite},
            {"tag program", &Session::tagProgram},
        };
        for (const auto &row : rows) {
            if (inv_.command == QLatin1String(row.first))
                return (this->*row.second)();
        }
        throw Failure{exitcode::Usage, QStringLiteral("неизвестная команда: ") + inv_.command};
    }

private:
    // The device behind the port name, checked before it is opened: a
    // missing device or one that is no terminal is named as such.
    void checkDevice() const
    {
#ifndef Q_OS_WIN
        const QString device = names_.devicePathForName(inv_.port);
        const QString head = QStringLiteral("Com Port ") + inv_.port + QStringLiteral(" недоступен: ");
        if (!QFileInfo::exists(device))
            throw Failure{exitcode::Port, head + QStringLiteral("нет устройства ") + device};
        if (!isPortDevice(device))
            throw Failure{exitcode::Port,
                          head + device + QStringLiteral(" - не терминал (не последовательный порт)")};
#endif
    }

    void open()
    {
        if (line_)
            return;
        if (!looksLikeNetworkPort(inv_.port))
            checkDevice();
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
        line_->setRetries(inv_.retries);
        line_->setTimeoutMs(inv_.timeoutMs);
    }

    // The readers the command works on: those given, or every one a
    // search finds (--all).
    QVector<quint8> targets()
    {
        if (!inv_.all)
            return inv_.addresses;
        open();
        const QVector<quint8> found = searchLine(*line_);
        if (found.isEmpty())
            throw Failure{exitcode::Device, QStringLiteral("на поиск не ответил ни один считыватель")};
        return found;
    }

    bool several() const { return inv_.all || inv_.addresses.size() > 1; }

    // Runs `one` for each reader. A reader's fault is reported on its own
    // line (and as a JSON record with --json) and the next reader goes on;
    // after a lost port the rest are reported as not done. The exit code is
    // the worst of them. One reader given: its fault ends the command as
    // any other fault does.
    int forEachReader(const QVector<quint8> &readers, const std::function<void(quint8)> &one)
    {
        if (readers.isEmpty())
            throw Failure{exitcode::Usage, QStringLiteral("не указан адрес считывателя")};
        if (!several()) {
            one(readers.first());
            return exitcode::Done;
        }
        int worst = exitcode::Done;
        bool lost = false;
        for (quint8 address : readers) {
            Failure f;
            try {
                if (lost)
                    throw Failure{exitcode::PortLost, QStringLiteral("не обработан: порт потерян")};
                one(address);
                continue;
            } catch (const Failure &failure) {
                f = failure;
            }
            worst = worseExit(worst, f.exitCode);
            lost = lost || f.exitCode == exitcode::PortLost;
            if (inv_.json)
                printJson(out_, QJsonDocument(QJsonObject{{"address", address}, {"error", f.message}}),
                          QJsonDocument::Compact);
            out_.flush();
            // The reader's own faults name it already.
            const QString reader = QStringLiteral("считыватель %1").arg(address);
            console_.err << QStringLiteral("rfidctl: ")
                         << (f.message.startsWith(reader) ? f.message : reader + QStringLiteral(": ") + f.message)
                         << '\n';
            console_.err.flush();
        }
        return worst;
    }

    ReaderLink reader(quint8 address)
    {
        open();
        return ReaderLink(*line_, address);
    }

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
        open();
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
        return forEachReader(targets(), [this](quint8 address) { infoOf(address); });
    }

    void infoOf(quint8 address)
    {
        ReaderLink r = reader(address);
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
                            }),
                      several() ? QJsonDocument::Compact : QJsonDocument::Indented);
            return;
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
        if (several())
            out_ << QStringLiteral("Считыватель %1\n").arg(address);
        printColumns(out_, rows);
    }

    void printSettings(const Profile &p)
    {
        if (inv_.json) {
            out_ << QString::fromUtf8(several() ? QJsonDocument::fromJson(profileJson(p)).toJson(QJsonDocument::Compact)
                                                : profileJson(p));
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

    // Where the profile of `address` goes: the file given, or a file per
    // reader in the folder given ("-o DIR/", or an existing folder).
    QString outputPath(quint8 address) const
    {
        if (!outputIsFolder())
            return inv_.file;
        return QDir(inv_.file).filePath(QStringLiteral("reader%1.json").arg(address));
    }

    bool outputIsFolder() const
    {
        return inv_.file.endsWith(QLatin1Char('/')) || inv_.file.endsWith(QDir::separator())
               || QFileInfo(inv_.file).isDir();
    }

    int settings()
    {
        // Where the profile goes is checked before the line is read: a
        // profile that cannot be saved is not worth the reader's time.
        if (!inv_.file.isEmpty()) {
            if (several() && !outputIsFolder())
                throw Failure{exitcode::Usage, QStringLiteral("-o: для нескольких считывателей нужна папка "
                                                              "(ПАПКА/), в ней reader<адрес>.json")};
            if (outputIsFolder() && !QFileInfo(inv_.file).isDir())
                throw Failure{exitcode::Usage, QStringLiteral("%1 не записан: папки %1 нет").arg(inv_.file)};
            const QString probe = outputPath(inv_.all ? 0 : inv_.address);
            if (const QString why = writeTargetProblem(probe); !why.isEmpty())
                throw Failure{exitcode::Usage, QStringLiteral("%1 не записан: %2").arg(probe, why)};
        }
        return forEachReader(targets(), [this](quint8 address) {
            Profile p;
            p.address = address;
            p.settings = reader(address).settings();
            if (!inv_.file.isEmpty()) {
                const QString path = outputPath(address);
                const bool existed = QFileInfo::exists(path);
                if (const QString why = saveWhole(path, profileJson(p)); !why.isEmpty())
                    throw Failure{exitcode::Usage,
                                  QStringLiteral("%1 не записан: %2").arg(path, why)
                                      + (existed ? QStringLiteral("; прежний файл оставлен как был") : QString())};
            }
            if (several() && !inv_.json) {
                out_ << QStringLiteral("Считыватель %1: ").arg(address)
                     << (inv_.file.isEmpty() ? QStringLiteral("\n") : QStringLiteral("профиль в %1\n").arg(outputPath(address)));
                if (!inv_.file.isEmpty())
                    return;
            }
            printSettings(p);
        });
    }

    // A profile is a small file: anything larger is no profile (and
    // /dev/zero would be read for ever).
    static constexpr qint64 kProfileMaxBytes = 64 * 1024;

    Profile loadProfile()
    {
        const ReadResult read = readSmallFile(inv_.file, kProfileMaxBytes);
        if (!read.error.isEmpty())
            throw Failure{exitcode::Usage,
                          QStringLiteral("профиль не прочитан: %1; ничего не записано").arg(read.error)};
        const ProfileParse parsed = parseProfile(read.data);
        QString fault = parsed.error;
        if (parsed.profile && inv_.withAddress && parsed.profile->address > proto::limits::NewAddressMax)
            fault = QStringLiteral("поле \"address\": с --with-address нужно число от 0 до %1")
                        .arg(proto::limits::NewAddressMax);
        if (!fault.isEmpty())
            throw Failure{exitcode::Usage,
                          QStringLiteral("профиль %1: %2; ничего не записано").arg(inv_.file, fault)};
        return *parsed.profile;
    }

    void confirm(const Profile &p, const QString &readers)
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
        console_.err << QStringLiteral("Записать в %1 на %2 %3 из %4? [y/N] ").arg(readers, inv_.port, what, inv_.file);
        console_.err.flush();
        if (!isYes(console_.readLine ? console_.readLine() : QString()))
            throw Failure{exitcode::Usage, QStringLiteral("запись не подтверждена; ничего не записано")};
    }

    // Two readers on one address cannot be told apart any more: the move is
    // refused when anything answers the identification request at `address`.
    void refuseOccupied(quint8 address)
    {
        open();
        const QByteArray request = proto::buildRequest(address, proto::code(proto::Command::Identification));
        const LineClient::Result probe = line_->exchange(request);
        if (!probe.written || probe.lost)
            throw Failure{exitcode::PortLost, QStringLiteral("Ошибка записи в порт: порт потерян; ничего не записано")};
        if (probe.reply.isEmpty())
            return;
        // Whatever came, someone answers there; its serial number, when the
        // reply is that reader's identification.
        const proto::Reception rc = proto::classify(probe.reply, {request, false, address});
        const auto *identified = rc.verdict == proto::Verdict::Taken && rc.checksumRight
                                     ? std::get_if<proto::Identification>(&rc.decoded)
                                     : nullptr;
        const proto::Identification id = identified ? *identified : proto::Identification{};
        const QString serial = id.serial ? QStringLiteral(" (сер. номер %1)").arg(*id.serial) : QString();
        throw Failure{exitcode::Device, QStringLiteral("по адресу %1 уже отвечает считыватель%2: адрес не "
                                                       "перенесён, ничего не записано")
                                            .arg(address)
                                            .arg(serial)};
    }

    QString readersText(const QVector<quint8> &readers) const
    {
        if (inv_.all)
            return QStringLiteral("все найденные считыватели (%1)").arg(numbers(readers));
        return (readers.size() == 1 ? QStringLiteral("считыватель ") : QStringLiteral("считыватели "))
               + numbers(readers);
    }

    static QString numbers(const QVector<quint8> &readers)
    {
        QStringList list;
        for (quint8 a : readers)
            list << QString::number(a);
        return list.join(QLatin1Char(','));
    }

    // One field of the profile against the reader, for diff.
    struct FieldPair {
        QString name;
        QJsonValue profile;
        QJsonValue reader;
    };

    static QVector<FieldPair> fieldPairs(const ReaderSettings &want, const ReaderSettings &have)
    {
        QVector<FieldPair> rows{
            {QStringLiteral("mode"), want.mode, have.mode},
            {QStringLiteral("network"), want.network, have.network},
            {QStringLiteral("channel"), want.channel, have.channel},
            {QStringLiteral("power"), want.power, have.power},
            {QStringLiteral("delay"), want.delay, have.delay},
        };
        for (int i = 0; i < ReaderSettings::Cells; ++i)
            rows.append({QStringLiteral("bound_ids[%1]").arg(i + 1), idHex(want.boundIds[std::size_t(i)]),
                         idHex(have.boundIds[std::size_t(i)])});
        return rows;
    }

    static QString valueText(const QJsonValue &v)
    {
        return v.isString() ? v.toString() : QString::number(v.toInteger());
    }

    // The profile against the reader, field by field; nothing is written.
    void diffOne(quint8 address, const Profile &p)
    {
        ReaderLink r = reader(address);
        const ReaderSettings have = r.settings();
        std::optional<quint32> serial;
        if (p.serial)
            serial = r.identify().serial;
        QVector<FieldPair> rows = fieldPairs(p.settings, have);
        if (p.serial)
            rows.append({QStringLiteral("serial"), qint64(*p.serial),
                         serial ? QJsonValue(qint64(*serial)) : QJsonValue(QJsonValue::Null)});
        QJsonArray differences;
        Rows table{{QStringLiteral("Поле"), QStringLiteral("Профиль"), QStringLiteral("Считыватель")}};
        for (const FieldPair &f : rows) {
            if (f.profile == f.reader)
                continue;
            differences.append(QJsonObject{{"field", f.name}, {"profile", f.profile}, {"reader", f.reader}});
            table.append({f.name, valueText(f.profile), f.reader.isNull() ? QStringLiteral("?") : valueText(f.reader)});
        }
        if (inv_.json) {
            printJson(out_, QJsonDocument(QJsonObject{{"address", address}, {"differences", differences}}),
                      QJsonDocument::Compact);
            return;
        }
        if (differences.isEmpty()) {
            out_ << QStringLiteral("Считыватель %1: как в профиле %2.\n").arg(address).arg(inv_.file);
            return;
        }
        out_ << QStringLiteral("Считыватель %1: отличается от профиля %2 (полей: %3):\n")
                    .arg(address)
                    .arg(inv_.file)
                    .arg(differences.size());
        printColumns(out_, table);
    }

    int diff()
    {
        const Profile p = loadProfile();
        return forEachReader(targets(), [&](quint8 address) { diffOne(address, p); });
    }

    // One write of apply: what it is called and how it is done.
    struct Step {
        QString name;
        std::function<void()> write;
    };

    static QString listText(const QStringList &names)
    {
        return names.isEmpty() ? QStringLiteral("ничего") : names.join(QStringLiteral(", "));
    }

    void applyOne(quint8 address, const Profile &p)
    {
        if (inv_.withAddress && p.address != address)
            refuseOccupied(p.address);
        ReaderLink r = reader(address);
        const ReaderSettings before = r.settings();
        const ReaderSettings &want = p.settings;
        // Only what differs is written: every write costs a request and
        // wears the reader's memory.
        QVector<Step> steps;
        if (want.mode != before.mode)
            steps.append({QStringLiteral("mode"), [&] { r.setMode(want.mode); }});
        if (want.network != before.network || want.channel != before.channel || want.power != before.power)
            steps.append({QStringLiteral("network/channel/power"),
                          [&] { r.setRadio(want.network, want.channel, want.power); }});
        if (want.delay != before.delay)
            steps.append({QStringLiteral("delay"), [&] { r.setDelay(want.delay); }});
        for (int i = 0; i < ReaderSettings::Cells; ++i) {
            const auto cell = std::size_t(i);
            if (want.boundIds[cell] != before.boundIds[cell])
                steps.append({QStringLiteral("bound_ids[%1]").arg(i + 1), [&r, &want, i] {
                                  r.setCell(i, want.boundIds[std::size_t(i)]);
                              }});
        }
        if (p.serial)
            steps.append({QStringLiteral("serial"), [&] { r.setSerial(*p.serial); }});
        if (inv_.withAddress && p.address != r.address())
            steps.append({QStringLiteral("address"), [&] { r.setAddress(p.address); }});

        // Whatever stops the writes, the user learns what the reader now
        // holds of the profile and what it does not.
        QStringList written;
        for (int i = 0; i < steps.size(); ++i) {
            try {
                steps[i].write();
            } catch (Failure &f) {
                // A request that went out unconfirmed may or may not have
                // been taken: it is named as such.
                QStringList rest;
                for (int j = i; j < steps.size(); ++j)
                    rest << steps[j].name;
                f.message += QStringLiteral("; записано: %1").arg(listText(written));
                if (r.lastRequestSent())
                    f.message += QStringLiteral("; не подтверждено: %1").arg(rest.takeFirst());
                f.message += QStringLiteral("; не записано: %1").arg(listText(rest));
                throw;
            }
            written << steps[i].name;
        }

        // Read back (at the new address, if it changed) and compare.
        QStringList differing;
        try {
            differing = differingFields(want, r.settings());
            if (p.serial && r.identify().serial != p.serial)
                differing << QStringLiteral("serial");
        } catch (Failure &f) {
            f.message += QStringLiteral("; записано: %1; не записано: ничего; обратное чтение не закончено")
                             .arg(listText(written));
            throw;
        }
        if (!differing.isEmpty())
            throw Failure{exitcode::Device, QStringLiteral("считыватель %1 после записи отличается от профиля: %2")
                                                .arg(r.address())
                                                .arg(differing.join(QStringLiteral(", ")))};
        if (inv_.json) {
            printJson(out_, QJsonDocument(QJsonObject{{"address", r.address()},
                                                      {"written", QJsonArray::fromStringList(written)},
                                                      {"verified", true}}),
                      QJsonDocument::Compact);
            return;
        }
        out_ << QStringLiteral("Считыватель %1: ").arg(r.address())
             << (written.isEmpty() ? QStringLiteral("уже как в профиле, ничего не записано")
                                   : QStringLiteral("записано ") + written.join(QStringLiteral(", ")))
             << QStringLiteral("; прочитано и сверено с %1.\n").arg(inv_.file);
    }

    int apply()
    {
        const Profile p = loadProfile();
        if (inv_.dryRun)
            return forEachReader(targets(), [&](quint8 address) { diffOne(address, p); });
        if (!inv_.all)
            confirm(p, readersText(inv_.addresses));
        const QVector<quint8> readers = targets();
        if (inv_.all)
            confirm(p, readersText(readers));
        return forEachReader(readers, [&](quint8 address) { applyOne(address, p); });
    }

    int watch()
    {
        ReaderLink r = reader(inv_.address);
        bool missed = false;
        if (inv_.csv) {
            out_ << "time,address,level,current,temperature,tag_id,mode,error\n";
            out_.flush();
        }
        for (int polls = 0; inv_.count == 0 || polls < inv_.count; ++polls) {
            if (console_.stopRequested && console_.stopRequested())
                break;
            try {
                printWatchLine(r.data());
            } catch (const Failure &f) {
                // A silent poll is reported and watching goes on; a lost
                // adapter ends it.
                printWatchMiss(r.address(), f.message);
                console_.err << QStringLiteral("rfidctl: ") << f.message << '\n';
                console_.err.flush();
                missed = true;
                if (f.exitCode == exitcode::PortLost || !port_->isOpen())
                    return exitcode::PortLost;
            }
        }
        return missed ? exitcode::Device : exitcode::Done;
    }

    static QString timeText(const QDateTime &now)
    {
        return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
    }

    static QString csvField(const QString &text)
    {
        if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
            return text;
        return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    }

    // A poll that got no valid answer: a record of its own for scripts,
    // its reason without the reader's name (the record has the address).
    void printWatchMiss(quint8 address, QString message)
    {
        const QString reader = QStringLiteral("считыватель %1: ").arg(address);
        if (message.startsWith(reader))
            message.remove(0, reader.size());
        const QString now = timeText(QDateTime::currentDateTime());
        if (inv_.json)
            printJson(out_, QJsonDocument(QJsonObject{{"time", now}, {"address", address}, {"error", message}}),
                      QJsonDocument::Compact);
        else if (inv_.csv)
            out_ << now << ',' << address << ",,,,,," << csvField(message) << '\n';
        out_.flush();
    }

    void printWatchLine(const proto::ReaderData &d)
    {
        const QDateTime now = QDateTime::currentDateTime();
        const bool longForm = d.longForm.has_value();
        const quint8 mode = longForm ? d.longForm->mode : 0;
        if (inv_.json) {
            printJson(out_,
                      QJsonDocument(QJsonObject{
                          {"time", timeText(now)},
                          {"address", d.address},
                          {"level", d.level},
                          {"current", qint64(d.current)},
                          {"temperature", d.temperature},
                          {"tag_id", idHex(idNumber(d.tagId))},
                          {"mode", orNull(longForm, mode)},
                      }),
                      QJsonDocument::Compact);
        } else if (inv_.csv) {
            out_ << timeText(now) << ',' << d.address << ',' << d.level << ',' << d.current << ','
                 << d.temperature << ',' << idHex(idNumber(d.tagId)) << ','
                 << (longForm ? QString::number(mode) : QString()) << ",\n";
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
        ReaderLink r = reader(inv_.address);
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

    // ---- The tag bench: tag write and tag program ----

    // What a tag is given: its ID and four working parameters; a value the
    // command line leaves out stays as the tag has it.
    struct TagValues {
        std::optional<qint64> delay, mode, power, period;
    };

    // The parameters to write, from --from FILE (a record as `tag --json`
    // prints it) or from the flags; checked as the window checks them.
    TagValues tagValues()
    {
        TagValues v{inv_.delay, inv_.mode, inv_.power, inv_.period};
        if (!inv_.file.isEmpty()) {
            const ReadResult read = readSmallFile(inv_.file, kProfileMaxBytes);
            if (!read.error.isEmpty())
                throw Failure{exitcode::Usage, QStringLiteral("параметры метки не прочитаны: %1").arg(read.error)};
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(read.data, &error);
            if (error.error != QJsonParseError::NoError || !doc.isObject())
                throw Failure{exitcode::Usage, QStringLiteral("%1: нужен JSON-объект, как выводит tag --json")
                                                   .arg(inv_.file)};
            const QJsonObject o = doc.object();
            const auto field = [&](const char *name) -> qint64 {
                const QJsonValue value = o.value(QLatin1String(name));
                if (!value.isDouble() || value.toDouble() != double(qint64(value.toDouble())))
                    throw Failure{exitcode::Usage,
                                  QStringLiteral("%1: поле \"%2\": нужно целое число").arg(inv_.file, QLatin1String(name))};
                return qint64(value.toDouble());
            };
            v = TagValues{field("interval"), field("mode"), field("power"), field("sleep")};
        }
        const auto refuse = [](const QString &text) { throw Failure{exitcode::Usage, text}; };
        const QString range = QStringLiteral("Введите число в диапазоне 0....2 000 000");
        if (v.delay && (*v.delay < 0 || *v.delay > 65535))
            refuse(QStringLiteral("задержка: Введите число в диапазоне 0....65535"));
        if (v.mode && (*v.mode < 0 || *v.mode > 255))
            refuse(QStringLiteral("режим: ") + range);
        if (v.power && *v.power == 0)
            refuse(QStringLiteral("Значение мощности не может быть нулевым"));
        if (v.power && (*v.power < 0 || *v.power > 255))
            refuse(QStringLiteral("мощность: ") + range);
        if (v.period && *v.period == 0)
            refuse(QStringLiteral("Значение периода не может быть нулевым"));
        if (v.period && (*v.period < 0 || *v.period > 32767))
            refuse(QStringLiteral("период: ") + range);
        return v;
    }

    // A tag ID as typed: up to eight hexadecimal digits, as the window takes it.
    static quint32 tagIdFrom(const QString &text, const char *option)
    {
        const proto::HexNumber id = proto::hexToNumber(text);
        const QString head = QStringLiteral("--%1: ").arg(QLatin1String(option));
        if (text.isEmpty() || id.error == proto::HexError::NotHex)
            throw Failure{exitcode::Usage, head + QStringLiteral("В строке имеются символы не принадлежащие HEX")};
        if (id.error == proto::HexError::TooLong)
            throw Failure{exitcode::Usage, head + QStringLiteral("Cлишком много символов Идентификатора")};
        return id.value;
    }

    // One tag poll without repeats: a silent poll means no tag in the field.
    std::optional<proto::TagPoll> listen(ReaderLink &r)
    {
        const int retries = line_->retries();
        line_->setRetries(0);
        std::optional<proto::TagPoll> heard;
        try {
            heard = r.pollTag();
        } catch (const Failure &f) {
            line_->setRetries(retries);
            if (f.exitCode == exitcode::PortLost)
                throw;
            return std::nullopt;
        }
        line_->setRetries(retries);
        return heard;
    }

    static constexpr int kListenPolls = 3;

    // The one tag the reader hears over the next polls; refused while none
    // is heard or while two different ones answer.
    proto::TagPoll theOneTag(ReaderLink &r)
    {
        std::optional<proto::TagPoll> tag;
        for (int i = 0; i < kListenPolls; ++i) {
            const std::optional<proto::TagPoll> heard = listen(r);
            if (!heard)
                continue;
            if (tag && tag->serial != heard->serial)
                throw Failure{exitcode::Device, QStringLiteral("считыватель %1 слышит две разные метки (сер. номера "
                                                               "%2 и %3): оставьте у него одну; ничего не записано")
                                                    .arg(r.address())
                                                    .arg(tag->serial)
                                                    .arg(heard->serial)};
            tag = heard;
        }
        if (!tag)
            throw Failure{exitcode::Device,
                          QStringLiteral("считыватель %1 не слышит метку; ничего не записано").arg(r.address())};
        return *tag;
    }

    struct TagResult {
        proto::TagData before;
        proto::TagData after;
    };

    // Writes `id` and the values into the tag with `serial` (0xE1, by its
    // serial number, as the window does), reads it back by its new ID
    // (0xE3) and compares.
    TagResult writeTag(ReaderLink &r, const proto::TagPoll &heard, quint32 id, const TagValues &v,
                       bool *sent = nullptr)
    {
        TagResult result;
        result.before = r.readTag(idNumber(heard.id));
        const proto::TagData &b = result.before;
        const quint16 delay = quint16(v.delay.value_or(b.interval));
        const quint8 mode = quint8(v.mode.value_or(b.mode));
        const quint8 power = quint8(v.power.value_or(b.power));
        const quint16 period = quint16(v.period.value_or(b.sleep));
        if (sent)
            *sent = true;
        r.writeTag(heard.serial, id, delay, mode, power, period);
        result.after = r.readTag(id);
        const proto::TagData &a = result.after;
        QStringList differing;
        if (idNumber(a.id) != id)
            differing << QStringLiteral("id");
        if (a.interval != delay)
            differing << QStringLiteral("interval");
        if (a.mode != mode)
            differing << QStringLiteral("mode");
        if (a.power != power)
            differing << QStringLiteral("power");
        if (a.sleep != period)
            differing << QStringLiteral("sleep");
        if (!differing.isEmpty())
            throw Failure{exitcode::Device, QStringLiteral("метка сер. № %1 после записи отличается: %2")
                                                .arg(heard.serial)
                                                .arg(differing.join(QStringLiteral(", ")))};
        return result;
    }

    QJsonObject tagRecord(quint8 reader, const proto::TagData &t) const
    {
        return QJsonObject{{"reader", reader},       {"serial", qint64(t.serial)}, {"id", idHex(idNumber(t.id))},
                           {"interval", t.interval}, {"mode", t.mode},             {"power", t.power},
                           {"sleep", t.sleep}};
    }

    QString tagLine(const proto::TagData &t) const
    {
        return QStringLiteral("метка сер. № %1: ID %2, задержка %3, режим %4, мощность %5, период %6")
            .arg(t.serial)
            .arg(idHex(idNumber(t.id)))
            .arg(t.interval)
            .arg(t.mode)
            .arg(t.power)
            .arg(t.sleep);
    }

    void confirmTag(const QString &what)
    {
        if (inv_.yes)
            return;
        if (!console_.interactive)
            throw Failure{exitcode::Usage, QStringLiteral("ввод не с терминала: подтвердите запись параметром "
                                                          "--yes; ничего не записано")};
        console_.err << what << QStringLiteral(" [y/N] ");
        console_.err.flush();
        if (!isYes(console_.readLine ? console_.readLine() : QString()))
            throw Failure{exitcode::Usage, QStringLiteral("запись не подтверждена; ничего не записано")};
    }

    int tagWrite()
    {
        const quint32 id = tagIdFrom(inv_.tagId, "id");
        const TagValues v = tagValues();
        ReaderLink r = reader(inv_.address);
        const proto::TagPoll heard = theOneTag(r);
        confirmTag(QStringLiteral("Записать в метку сер. № %1 (ID %2) у считывателя %3 на %4 ID %5%6?")
                       .arg(heard.serial)
                       .arg(idHex(idNumber(heard.id)))
                       .arg(r.address())
                       .arg(inv_.port, idHex(id),
                            inv_.file.isEmpty() ? QString() : QStringLiteral(" и параметры из ") + inv_.file));
        const TagResult result = writeTag(r, heard, id, v);
        if (inv_.json)
            printJson(out_, QJsonDocument(tagRecord(r.address(), result.after)), QJsonDocument::Compact);
        else
            out_ << QStringLiteral("Записано и сверено: ") << tagLine(result.after) << '\n';
        return exitcode::Done;
    }

    // The batch journal: one JSON object per line for every ID given out
    // ("serial", "id", "verified"), appended and flushed tag by tag, so
    // that an interrupted batch resumes without giving an ID twice.
    struct Journal {
        QSet<quint32> serials; // tags programmed
        QSet<quint32> ids;     // IDs given out
    };

    Journal readJournal()
    {
        Journal j;
        if (inv_.journal.isEmpty() || !QFileInfo::exists(inv_.journal))
            return j;
        QFile file(inv_.journal);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure{exitcode::Usage, QStringLiteral("журнал %1 не читается").arg(inv_.journal)};
        int number = 0;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine(4096).trimmed();
            ++number;
            if (line.isEmpty())
                continue;
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (!o.value(QLatin1String("serial")).isDouble() || !o.value(QLatin1String("id")).isString())
                throw Failure{exitcode::Usage, QStringLiteral("журнал %1, строка %2: нужны \"serial\" и \"id\"; "
                                                              "ничего не записано")
                                                   .arg(inv_.journal)
                                                   .arg(number)};
            j.ids.insert(idNumber(o.value(QLatin1String("id")).toString()));
            if (o.value(QLatin1String("verified")).toBool())
                j.serials.insert(quint32(o.value(QLatin1String("serial")).toDouble()));
        }
        return j;
    }

    void appendJournal(QFile &journal, const QJsonObject &record)
    {
        if (!journal.isOpen())
            return;
        const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
        errno = 0;
        if (journal.write(line) != line.size() || !journal.flush())
            throw Failure{exitcode::Usage, QStringLiteral("журнал %1 не дописан: %2")
                                               .arg(inv_.journal, writeFailureReason(inv_.journal, errno))};
    }

    int tagProgram()
    {
        quint32 next = tagIdFrom(inv_.firstId, "first-id");
        const TagValues v = tagValues();
        Journal journal = readJournal();
        QFile journalFile(inv_.journal);
        if (!inv_.journal.isEmpty()) {
            if (const QString why = writeTargetProblem(inv_.journal); !why.isEmpty())
                throw Failure{exitcode::Usage, QStringLiteral("журнал %1 не записывается: %2").arg(inv_.journal, why)};
            if (!journalFile.open(QIODevice::Append | QIODevice::Text))
                throw Failure{exitcode::Usage, QStringLiteral("журнал %1 не записывается: %2")
                                                   .arg(inv_.journal, writeFailureReason(inv_.journal, errno))};
        }
        ReaderLink r = reader(inv_.address);
        confirmTag(QStringLiteral("Программировать метки у считывателя %1 на %2: ID с %3%4?")
                       .arg(r.address())
                       .arg(inv_.port, idHex(next),
                            inv_.count ? QStringLiteral(", %1 шт.").arg(inv_.count) : QString()));
        if (!inv_.json) {
            console_.err << QStringLiteral("Подносите метки к считывателю %1 по одной; Ctrl+C - закончить.\n")
                                .arg(r.address());
            console_.err.flush();
        }

        QHash<quint32, quint32> othersIds; // serial -> ID of tags heard and not programmed here
        QSet<quint32> failed;              // tags that failed in this run: not tried again
        std::optional<quint32> lastSerial; // the tag heard on the poll before
        quint32 toldAbout = 0;
        int programmed = 0;
        int worst = exitcode::Done;
        while (inv_.count == 0 || programmed < inv_.count) {
            if (console_.stopRequested && console_.stopRequested())
                break;
            const std::optional<proto::TagPoll> heard = listen(r);
            if (!heard) {
                lastSerial.reset();
                continue;
            }
            const quint32 serial = heard->serial;
            if (journal.serials.contains(serial) || failed.contains(serial)) {
                if (toldAbout != serial && !inv_.json) {
                    console_.err << QStringLiteral("метка сер. № %1 уже %2: уберите её\n")
                                        .arg(serial)
                                        .arg(failed.contains(serial) ? QStringLiteral("не удалась")
                                                                     : QStringLiteral("запрограммирована"));
                    console_.err.flush();
                }
                toldAbout = serial;
                lastSerial = serial;
                continue;
            }
            othersIds.insert(serial, idNumber(heard->id));
            // A new tag is taken when two polls in a row hear it alone.
            const bool steady = lastSerial == serial;
            lastSerial = serial;
            if (!steady)
                continue;
            // Never an ID that another tag carries or that was given out.
            const auto taken = [&](quint32 id) {
                if (journal.ids.contains(id))
                    return true;
                for (auto it = othersIds.constBegin(); it != othersIds.constEnd(); ++it) {
                    if (it.key() != serial && it.value() == id)
                        return true;
                }
                return false;
            };
            while (taken(next))
                ++next;
            const quint32 id = next;
            bool sent = false;
            try {
                const TagResult result = writeTag(r, *heard, id, v, &sent);
                journal.serials.insert(serial);
                journal.ids.insert(id);
                ++next;
                ++programmed;
                othersIds.remove(serial);
                QJsonObject record = tagRecord(r.address(), result.after);
                record.insert(QStringLiteral("previous_id"), idHex(idNumber(result.before.id)));
                record.insert(QStringLiteral("verified"), true);
                record.insert(QStringLiteral("time"), timeText(QDateTime::currentDateTime()));
                appendJournal(journalFile, record);
                if (inv_.json)
                    printJson(out_, QJsonDocument(record), QJsonDocument::Compact);
                else
                    out_ << QStringLiteral("%1. ").arg(programmed) << tagLine(result.after)
                         << QStringLiteral(" (был ID %1)\n").arg(idHex(idNumber(result.before.id)));
                out_.flush();
            } catch (const Failure &f) {
                if (f.exitCode == exitcode::PortLost || f.exitCode == exitcode::Usage)
                    throw;
                worst = worseExit(worst, f.exitCode);
                failed.insert(serial);
                // A write that may have reached the tag has used its ID up.
                QJsonObject record{{"reader", r.address()}, {"serial", qint64(serial)}, {"error", f.message},
                                   {"time", timeText(QDateTime::currentDateTime())}};
                if (sent) {
                    record.insert(QStringLiteral("id"), idHex(id));
                    record.insert(QStringLiteral("verified"), false);
                    journal.ids.insert(id);
                    ++next;
                    appendJournal(journalFile, record);
                }
                if (inv_.json)
                    printJson(out_, QJsonDocument(record), QJsonDocument::Compact);
                out_.flush();
                console_.err << QStringLiteral("rfidctl: ") << f.message << '\n';
                console_.err.flush();
            }
        }
        if (!inv_.json) {
            console_.err << QStringLiteral("Запрограммировано меток: %1.\n").arg(programmed);
            console_.err.flush();
        }
        return worst;
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
