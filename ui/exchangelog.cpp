#include "ui/exchangelog.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

ExchangeLogModel::ExchangeLogModel(QObject *parent) : QAbstractTableModel(parent) {}

int ExchangeLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int ExchangeLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ExchangeLogModel::cell(const ExchangeRecord &r, int column) const
{
    switch (column) {
    case Time:
        return r.sentAt.toString(QStringLiteral("HH:mm:ss.zzz"));
    case Request:
        return r.request.isEmpty() ? QStringLiteral("—") : hex(r.request);
    case Reply:
        return r.reply.isEmpty() ? QStringLiteral("—") : hex(r.reply);
    case Checksum:
        switch (r.checksum) {
        case ExchangeRecord::Checksum::Right:
            return QStringLiteral("верна");
        case ExchangeRecord::Checksum::Wrong:
            return QStringLiteral("неверна");
        case ExchangeRecord::Checksum::None:
            return QStringLiteral("—");
        }
        break;
    case Meaning:
        return r.meaning.trimmed();
    case RoundTrip:
        return r.roundTripMs < 0 ? QStringLiteral("—") : QString::number(r.roundTripMs);
    default:
        break;
    }
    return QString();
}

QVariant ExchangeLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return QVariant();
    const ExchangeRecord &r = rows_[std::size_t(index.row())];
    if (role == Qt::DisplayRole)
        return cell(r, index.column());
    if (role == Qt::ForegroundRole && index.column() == Checksum
        && r.checksum == ExchangeRecord::Checksum::Wrong)
        return QColor(Qt::red);
    if (role == Qt::ForegroundRole && r.reply.isEmpty())
        return QColor(Qt::darkGray);
    return QVariant();
}

QVariant ExchangeLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char *const titles[ColumnCount] = {"Время", "Запрос", "Ответ", "CRC", "Значение",
                                                    "Ответ, мс"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

void ExchangeLogModel::append(const ExchangeRecord &record)
{
    if (rows_.size() >= std::size_t(Capacity)) {
        beginRemoveRows(QModelIndex(), 0, 0);
        rows_.pop_front();
        endRemoveRows();
    }
    const int row = int(rows_.size());
    beginInsertRows(QModelIndex(), row, row);
    rows_.push_back(record);
    endInsertRows();
}

void ExchangeLogModel::clear()
{
    beginResetModel();
    rows_.clear();
    endResetModel();
}

QString ExchangeLogModel::toText() const
{
    QStringList lines;
    QStringList header;
    for (int c = 0; c < ColumnCount; ++c)
        header << headerData(c, Qt::Horizontal).toString();
    lines << header.join(QLatin1Char('\t'));
    for (const ExchangeRecord &r : rows_) {
        QStringList fields;
        for (int c = 0; c < ColumnCount; ++c)
            fields << cell(r, c);
        lines << fields.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

ExchangeLog::ExchangeLog(ExchangeLogModel *model, QWidget *parent)
    : QWidget(parent, Qt::Window), model_(model), view_(new QTableView(this))
{
    setObjectName(QStringLiteral("ExchangeLog"));
    setWindowTitle(QStringLiteral("Журнал обмена"));
    resize(1120, 440);

    view_->setObjectName(QStringLiteral("logView"));
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setAlternatingRowColors(true);
    view_->verticalHeader()->setVisible(false);
    view_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    view_->horizontalHeader()->setStretchLastSection(false);
    view_->horizontalHeader()->setSectionResizeMode(ExchangeLogModel::Meaning, QHeaderView::Stretch);
    view_->horizontalHeader()->setSectionResizeMode(ExchangeLogModel::RoundTrip, QHeaderView::Fixed);
    view_->setTextElideMode(Qt::ElideRight);
    view_->setWordWrap(false);
    view_->setColumnWidth(ExchangeLogModel::Time, 95);
    view_->setColumnWidth(ExchangeLogModel::Request, 200);
    view_->setColumnWidth(ExchangeLogModel::Reply, 400);
    view_->setColumnWidth(ExchangeLogModel::Checksum, 60);
    view_->setColumnWidth(ExchangeLogModel::RoundTrip, 80);

    auto *clear = new QPushButton(QStringLiteral("Очистить"), this);
    clear->setObjectName(QStringLiteral("clearLog"));
    auto *copy = new QPushButton(QStringLiteral("Копировать"), this);
    copy->setObjectName(QStringLiteral("copyLog"));
    connect(clear, &QPushButton::clicked, model_, &ExchangeLogModel::clear);
    connect(copy, &QPushButton::clicked, this, &ExchangeLog::copyToClipboard);

    // Follow the newest row unless the technician has scrolled up to read.
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!view_->selectionModel()->hasSelection())
            view_->scrollToBottom();
    });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    buttons->addWidget(copy);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(buttons);
}

void ExchangeLog::copyToClipboard() const
{
    QApplication::clipboard()->setText(model_->toText());
}
