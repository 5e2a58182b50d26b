#include "diagnostics/statsmodel.h"

#include "linestats/linestats.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QLocale>

#include <algorithm>

using linestats::Counters;

LineStatsModel::LineStatsModel(const linestats::LineStats &stats, QObject *parent)
    : QAbstractTableModel(parent), stats_(stats)
{
}

int LineStatsModel::rowCount(const QModelIndex &parent) const
{
    // The line total is always there, below the addresses.
    return parent.isValid() ? 0 : int(addresses_.size()) + 1;
}

int LineStatsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

std::optional<quint8> LineStatsModel::addressAt(int row) const
{
    if (row >= 0 && row < addresses_.size())
        return addresses_.at(row);
    return std::nullopt;
}

int LineStatsModel::rowOf(quint8 address) const
{
    return int(addresses_.indexOf(address));
}

const Counters &LineStatsModel::counters(int row) const
{
    static const Counters none;
    if (const auto address = addressAt(row)) {
        const Counters *c = stats_.row(*address);
        return c ? *c : none;
    }
    return stats_.total();
}

bool LineStatsModel::alarmed(int row) const
{
    const Counters &c = counters(row);
    return c.shared || linestats::alarm(c).has_value();
}

QString LineStatsModel::cell(int row, int column, bool withDate) const
{
    const Counters &c = counters(row);
    const auto ms = [](int v) { return v < 0 ? QStringLiteral("—") : QString::number(v); };
    switch (column) {
    case Address: {
        const auto address = addressAt(row);
        if (!address)
            return QStringLiteral("Линия");
        // Polled before any search: the window's first address, not a reader.
        return c.beforeSearch ? QStringLiteral("%1 (до поиска)").arg(*address) : QString::number(*address);
    }
    case Requests:
        return QString::number(c.requests);
    case Replies:
        return QString::number(c.replies);
    case NoReply:
        return QString::number(c.noReply);
    case BadChecksum:
        return QString::number(c.badChecksum);
    case Unexpected:
        return QString::number(c.unexpected);
    case Noise:
        return QString::number(c.noise);
    case Dropped:
        return QString::number(c.dropped);
    case Replaced:
        return QString::number(c.replaced);
    case Median:
        return ms(c.times.median());
    case P95:
        return ms(c.times.percentile(95));
    case Max:
        return ms(c.times.max());
    case LastGood:
        if (c.lastGoodReplyMs < 0)
            return QStringLiteral("—");
        return QDateTime::fromMSecsSinceEpoch(c.lastGoodReplyMs)
            .toString(withDate ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
    case Load: {
        const QLocale locale;
        return QStringLiteral("%1 %, %2 бит/с")
            .arg(locale.toString(c.wire.percent(nowMs_), 'f', 1))
            .arg(qRound(c.wire.bitsPerSecond(nowMs_)));
    }
    case State: {
        QStringList state;
        if (c.shared)
            state << QStringLiteral("два считывателя на одном адресе");
        if (c.beforeSearch && addressAt(row))
            state << QStringLiteral("опрос до поиска");
        if (const auto why = linestats::alarm(c))
            state << *why;
        if (c.writeErrors > 0)
            state << QStringLiteral("ошибок записи в порт: %1").arg(c.writeErrors);
        return state.isEmpty() ? QStringLiteral("в норме") : state.join(QStringLiteral("; "));
    }
    default:
        return QString();
    }
}

QVariant LineStatsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (index.row() < shown_.size() && shown_.at(index.row()).size() == ColumnCount)
            return shown_.at(index.row()).at(index.column());
        return cell(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return index.column() == State ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                       : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        // The colour only repeats what the state column says in words.
        if (alarmed(index.row()))
            return QBrush(QColor(255, 214, 214));
        return QVariant();
    case Qt::ForegroundRole:
        if (index.column() == State && alarmed(index.row()))
            return QBrush(QColor(Qt::darkRed));
        return QVariant();
    case Qt::FontRole:
        if (!addressAt(index.row())) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant LineStatsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QVariant();
    static const char *const titles[ColumnCount] = {
        "Адрес", "Запросов", "Ответов", "Нет ответа", "CRC неверна", "Чужие", "Шум", "Отброшено",
        "Заменено", "Отклик, мс", "95 %", "Макс.", "Последний ответ", "Нагрузка", "Состояние"};
    static const char *const tips[ColumnCount] = {
        "Сетевой адрес, которому шёл запрос или от которого пришёл ответ; «Линия» — всё вместе",
        "Запросы, ушедшие в линию",
        "Принятые ответы, в том числе неожиданные",
        "Запросы, на которые ничего не пришло",
        "Ответы с неверной контрольной суммой CRC-8",
        "Говорило другое устройство: ответ с другого адреса, с другим кодом команды, без запроса "
        "или два ответа на один запрос",
        "Приёмы, которые не кадр и не ответ на поиск: помехи на линии",
        "Ответы, которые программа не приняла (короткие, с неверной CRC данных считывателя, "
        "два ответа на один запрос, помехи, принятые при ошибке записи)",
        "Запросы, заменённые новым до отправки",
        "Медиана времени отклика: от конца записи запроса до последнего байта ответа; "
        "считаются только правильные ответы на свой запрос",
        "95-й процентиль времени отклика, мс",
        "Наибольшее время отклика, мс",
        "Когда пришёл последний правильный ответ",
        "Запросы и ответы в линии за последние 10 с (10 бит на байт) от 19200 бит/с",
        "Отмечается, если из последних 20 запросов к адресу не удались хотя бы два и не меньше "
        "десятой части: «ошибки растут: 8 из 20», если доля выше, чем была до них, иначе «много ошибок». "
        "Опрос адреса до поиска считывателей ошибкой не считается"};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(titles[section]);
    if (role == Qt::ToolTipRole)
        return QString::fromUtf8(tips[section]);
    return QVariant();
}

void LineStatsModel::refresh(qint64 nowMs)
{
    nowMs_ = nowMs;
    const QVector<quint8> now = stats_.addresses();
    if (now != addresses_) {
        const bool onlyAdded = std::includes(now.begin(), now.end(), addresses_.begin(), addresses_.end());
        if (!onlyAdded) {
            beginResetModel();
            addresses_ = now;
            shown_.clear();
            endResetModel();
        } else {
            for (int i = 0; i < now.size(); ++i) {
                if (i < addresses_.size() && addresses_.at(i) == now.at(i))
                    continue;
                beginInsertRows(QModelIndex(), i, i);
                addresses_.insert(i, now.at(i));
                shown_.insert(i, QStringList());
                endInsertRows();
            }
        }
    }
    shown_.resize(rowCount());
    for (int row = 0; row < rowCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < ColumnCount; ++c)
            cells << cell(row, c);
        // Cell by cell: the view repaints a changed cell, but the whole
        // table for a changed range.
        QStringList &was = shown_[row];
        const bool fresh = was.size() != cells.size();
        was.resize(cells.size());
        for (int c = 0; c < ColumnCount; ++c) {
            if (fresh || was.at(c) != cells.at(c)) {
                was[c] = cells.at(c);
                emit dataChanged(index(row, c), index(row, c));
            }
        }
    }
}

QString LineStatsModel::toTsv() const
{
    QStringList lines;
    QStringList header;
    for (int c = 0; c < ColumnCount; ++c)
        header << headerData(c, Qt::Horizontal).toString();
    lines << header.join(QLatin1Char('\t'));
    for (int row = 0; row < rowCount(); ++row) {
        QStringList fields;
        for (int c = 0; c < ColumnCount; ++c)
            fields << cell(row, c, true);
        lines << fields.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
