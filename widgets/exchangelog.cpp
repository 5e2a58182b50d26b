#include "widgets/exchangelog.h"

#include "widgets/dialogs.h"
#include "widgets/keyboard.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

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
        // A request that never went out says why: replaced by a newer one
        // unless the record names another reason.
        if (!r.sent)
            return r.meaning.trimmed().isEmpty() ? notSentText() : r.meaning.trimmed();
        return r.meaning.trimmed();
    case RoundTrip:
        return r.roundTripMs < 0 ? QStringLiteral("—") : QString::number(r.roundTripMs);
    default:
        break;
    }
    return QString();
}

QString ExchangeLogModel::notSentText()
{
    return QStringLiteral("не отправлен, заменён новым запросом");
}

QString ExchangeLogModel::fileCell(const ExchangeRecord &r, int column) const
{
    // A saved log is read days later: the time stamp carries the date.
    if (column == Time)
        return r.sentAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return cell(r, column);
}

QVariant ExchangeLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return QVariant();
    const ExchangeRecord &r = rows_[std::size_t(index.row())];
    if (role == Qt::DisplayRole)
        return cell(r, index.column());
    // However narrow the column, hovering shows the whole frame.
    if (role == Qt::ToolTipRole)
        return cell(r, index.column());
    if (role == Qt::FontRole && !r.sent) {
        QFont italic;
        italic.setItalic(true);
        return italic;
    }
    if (role == Qt::ForegroundRole && !r.sent)
        return QColor(Qt::darkRed);
    if (role == Qt::ForegroundRole && index.column() == Checksum
        && r.checksum == ExchangeRecord::Checksum::Wrong)
        return QColor(Qt::red);
    if (role == Qt::ForegroundRole && r.reply.isEmpty())
        return QColor(Qt::darkGray);
    return QVariant();
}

QVariant ExchangeLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::ToolTipRole && section == RoundTrip)
        return QStringLiteral("Время отклика устройства: от конца записи запроса до последнего байта ответа");
    if (role != Qt::DisplayRole)
        return QVariant();
    // The device's response time, not the tick's: from the end of the
    // request's write to the arrival of the reply's last byte.
    static const char *const titles[ColumnCount] = {"Время", "Запрос", "Ответ", "CRC", "Значение",
                                                    "Отклик, мс"};
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
            fields << fileCell(r, c);
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
    // Only a long meaning can be elided (hovering shows it whole); frames
    // never are, their columns grow as each row comes in (fitFrames).
    view_->setTextElideMode(Qt::ElideRight);
    view_->setWordWrap(false);
    view_->setColumnWidth(ExchangeLogModel::Time, 95);
    view_->setColumnWidth(ExchangeLogModel::Checksum, 60);
    view_->setColumnWidth(ExchangeLogModel::RoundTrip, 80);

    auto *clear = new QPushButton(QStringLiteral("Очистить"), this);
    clear->setObjectName(QStringLiteral("clearLog"));
    auto *copy = new QPushButton(QStringLiteral("Копировать"), this);
    copy->setObjectName(QStringLiteral("copyLog"));
    auto *save = new QPushButton(QStringLiteral("Сохранить…"), this);
    save->setObjectName(QStringLiteral("saveLog"));
    connect(clear, &QPushButton::clicked, model_, &ExchangeLogModel::clear);
    connect(copy, &QPushButton::clicked, this, &ExchangeLog::copyToClipboard);
    connect(save, &QPushButton::clicked, this, &ExchangeLog::askAndSave);

    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    enterPressesButtons(this);

    // Whether the newest row is in view is known from the scroll bar alone:
    // it moves when the technician scrolls, not when rows are added.
    QScrollBar *bar = view_->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { followNewest_ = value >= bar->maximum(); });
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                fitFrames(first, last);
                if (followNewest_)
                    view_->scrollToBottom();
            });
    fitFrames(0, model_->rowCount() - 1);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { followNewest_ = true; });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    buttons->addWidget(copy);
    buttons->addWidget(save);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(buttons);
}

void ExchangeLog::copyToClipboard() const
{
    QApplication::clipboard()->setText(model_->toText());
}

void ExchangeLog::fitFrames(int first, int last)
{
    // Measured row by row as rows come in, not by the header's own
    // resize-to-contents, which measures later and only the rows in view:
    // a frame is whole from the moment its row appears. The size hint
    // leaves no room for the grid line, which would elide the last digit.
    const int slack = view_->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    for (const int column : {int(ExchangeLogModel::Request), int(ExchangeLogModel::Reply)}) {
        int width = view_->columnWidth(column);
        for (int row = first; row <= last; ++row)
            width = std::max(width,
                             view_->sizeHintForIndex(model_->index(row, column)).width() + slack);
        if (width > view_->columnWidth(column))
            view_->setColumnWidth(column, width);
    }
}

bool ExchangeLog::saveTo(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = file.errorString();
        return false;
    }
    file.write(model_->toText().toUtf8());
    if (!file.commit()) {
        error_ = file.errorString();
        return false;
    }
    error_.clear();
    return true;
}

void ExchangeLog::askAndSave()
{
    const QString suggested = QDir::home().filePath(
        QDateTime::currentDateTime().toString(QStringLiteral("'журнал-обмена-'yyyyMMdd-HHmmss'.tsv'")));
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Сохранить журнал обмена"), suggested,
        QStringLiteral("Текст с табуляциями (*.tsv *.txt);;Все файлы (*)"));
    if (path.isEmpty())
        return;
    if (!saveTo(path))
        QtDialogs(this).message(QStringLiteral("Журнал не сохранён в ") + path + QStringLiteral(": ")
                                    + errorString(),
                                Dialogs::Icon::Warning, QString());
}
