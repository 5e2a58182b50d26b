#include "ctl/profile.h"

#include "protocol/commands.h"
#include "protocol/conversions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>

namespace {

const QString kFormat = QStringLiteral("format_version");
const QString kAddress = QStringLiteral("address");
const QString kSerial = QStringLiteral("serial");
const QString kMode = QStringLiteral("mode");
const QString kNetwork = QStringLiteral("network");
const QString kChannel = QStringLiteral("channel");
const QString kPower = QStringLiteral("power");
const QString kDelay = QStringLiteral("delay");
const QString kBoundIds = QStringLiteral("bound_ids");

const QStringList &fieldNames()
{
    static const QStringList names{kFormat, kAddress, kSerial, kMode, kNetwork,
                                   kChannel, kPower, kDelay, kBoundIds};
    return names;
}

// The first fault found; parsing stops at it.
struct Fault {
    QString text;
};

QString rangeText(qint64 low, qint64 high)
{
    return QStringLiteral("нужно целое число от %1 до %2").arg(low).arg(high);
}

qint64 integer(const QJsonObject &root, const QString &field, qint64 low, qint64 high)
{
    const QJsonValue v = root.value(field);
    const double d = v.toDouble();
    if (!v.isDouble() || d != std::floor(d) || d < double(low) || d > double(high))
        throw Fault{QStringLiteral("поле \"%1\": %2").arg(field, rangeText(low, high))};
    return qint64(d);
}

// Only the codes the window offers, with bit 5 clear: a reader is never
// sent a mode it does not know.
quint8 modeByte(const QJsonObject &root)
{
    const auto mode = quint8(integer(root, kMode, 0, 255));
    if ((mode & 0x20) != 0 || !proto::modeName(mode & proto::ModeCodeMask))
        throw Fault{QStringLiteral("поле \"mode\": %1 - не режим считывателя").arg(mode)};
    return mode;
}

std::array<quint32, ReaderSettings::Cells> boundIds(const QJsonObject &root)
{
    const QJsonValue v = root.value(kBoundIds);
    if (!v.isArray() || v.toArray().size() != ReaderSettings::Cells)
        throw Fault{QStringLiteral("поле \"bound_ids\": нужен список из %1 ID")
                        .arg(ReaderSettings::Cells)};
    std::array<quint32, ReaderSettings::Cells> ids{};
    const QJsonArray cells = v.toArray();
    for (int i = 0; i < ReaderSettings::Cells; ++i) {
        const proto::HexNumber id = proto::hexToNumber(cells.at(i).toString());
        if (!cells.at(i).isString() || cells.at(i).toString().isEmpty()
            || id.error != proto::HexError::None)
            throw Fault{QStringLiteral("поле \"bound_ids[%1]\": нужна строка до 8 шестнадцатеричных цифр")
                            .arg(i + 1)};
        ids[std::size_t(i)] = id.value;
    }
    return ids;
}

Profile profileFrom(const QJsonObject &root)
{
    if (!root.contains(kFormat))
        throw Fault{QStringLiteral("нет поля \"format_version\"")};
    if (integer(root, kFormat, 0, 1000) != Profile::FormatVersion)
        throw Fault{QStringLiteral("поле \"format_version\": этот rfidctl читает версию %1")
                        .arg(Profile::FormatVersion)};
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (!fieldNames().contains(it.key()))
            throw Fault{QStringLiteral("неизвестное поле \"%1\"").arg(it.key())};
    }
    for (const QString &field : fieldNames()) {
        if (!root.contains(field))
            throw Fault{QStringLiteral("нет поля \"%1\"").arg(field)};
    }

    Profile p;
    p.address = quint8(integer(root, kAddress, 0, 255));
    if (!root.value(kSerial).isNull())
        p.serial = quint32(integer(root, kSerial, 0, proto::limits::SerialMax));
    ReaderSettings &s = p.settings;
    s.mode = modeByte(root);
    s.network = quint16(integer(root, kNetwork, proto::limits::NetworkMin, proto::limits::NetworkMax));
    s.channel = quint8(integer(root, kChannel, proto::limits::ChannelMin, proto::limits::ChannelMax));
    s.power = quint8(integer(root, kPower, proto::limits::PowerMin, proto::limits::PowerMax));
    s.delay = quint16(integer(root, kDelay, 0, proto::limits::DelayMax));
    s.boundIds = boundIds(root);
    return p;
}

// Qt says what is wrong with a JSON text in English; the user reads Russian.
QString jsonFault(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("объект не закрыт (нет \"}\")");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("после имени поля нет \":\"");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("список не закрыт (нет \"]\")");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("между значениями нет \",\"");
    case QJsonParseError::IllegalValue:
        return QStringLiteral("недопустимое значение");
    case QJsonParseError::TerminationByNumber:
        return QStringLiteral("текст оборвался на числе");
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("недопустимое число");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("недопустимая последовательность после \"\\\"");
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("строка не в UTF-8");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("строка не закрыта кавычкой");
    case QJsonParseError::MissingObject:
        return QStringLiteral("нет объекта");
    case QJsonParseError::DeepNesting:
        return QStringLiteral("слишком глубокая вложенность");
    case QJsonParseError::DocumentTooLarge:
        return QStringLiteral("документ слишком велик");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("лишний текст после конца документа");
    case QJsonParseError::NoError:
        break;
    }
    return QStringLiteral("ошибка разбора");
}

} // namespace

QString idHex(quint32 id)
{
    return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')).toUpper();
}

QByteArray profileJson(const Profile &p)
{
    QJsonArray ids;
    for (quint32 id : p.settings.boundIds)
        ids.append(idHex(id));
    QJsonObject root{
        {kFormat, Profile::FormatVersion},
        {kAddress, p.address},
        {kSerial, p.serial ? QJsonValue(qint64(*p.serial)) : QJsonValue(QJsonValue::Null)},
        {kMode, p.settings.mode},
        {kNetwork, p.settings.network},
        {kChannel, p.settings.channel},
        {kPower, p.settings.power},
        {kDelay, p.settings.delay},
        {kBoundIds, ids},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

ProfileParse parseProfile(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("не JSON: %1 (позиция %2)").arg(jsonFault(error.error)).arg(error.offset)};
    if (!doc.isObject())
        return {std::nullopt, QStringLiteral("не JSON-объект")};
    try {
        return {profileFrom(doc.object()), QString()};
    } catch (const Fault &fault) {
        return {std::nullopt, fault.text};
    }
}

QStringList differingFields(const ReaderSettings &wanted, const ReaderSettings &read)
{
    QStringList fields;
    if (wanted.mode != read.mode)
        fields << kMode;
    if (wanted.network != read.network)
        fields << kNetwork;
    if (wanted.channel != read.channel)
        fields << kChannel;
    if (wanted.power != read.power)
        fields << kPower;
    if (wanted.delay != read.delay)
        fields << kDelay;
    for (int i = 0; i < ReaderSettings::Cells; ++i) {
        if (wanted.boundIds[std::size_t(i)] != read.boundIds[std::size_t(i)])
            fields << QStringLiteral("bound_ids[%1]").arg(i + 1);
    }
    return fields;
}
