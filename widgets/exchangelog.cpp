#include "widgets/exchangelog.h"

#include "widgets/dialogs.h"
#include "widgets/keyboard.h"
#include "widgets/savedialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>

namespace {

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

ExchangeLogModel::ExchangeLogModel(QObject *parent) : QAbstractTableModel(parent) {}

QByteArray ExchangeLogModel::bytesAt(qint64 offset, int size) const
{
    QByteArray out(size, Qt::Uninitialized);
    const auto from = bytes_.begin() + std::ptrdiff_t(offset - firstOffset_);
    std::copy(from, from + size, out.data());
    return out;
}

ExchangeRecord ExchangeLogModel::record(int row) const
{
    const Row &r = rows_[std::size_t(row)];
    ExchangeRecord out;
    if (r.sentAtMs != InvalidTime)
        out.sentAt = QDateTime::fromMSecsSinceEpoch(r.sentAtMs);
    out.request = bytesAt(r.offset, r.requestSize);
    out.reply = bytesAt(r.offset + r.requestSize, r.replySize);
    out.meaning = QString::fromUtf8(bytesAt(r.offset + r.requestSize + r.replySize, r.meaningSize));
    out.checksum = ExchangeRecord::Checksum(r.checksum);
    out.roundTripMs = r.roundTripMs;
    out.sent = r.sent;
    out.event = r.event;
    return out;
}

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
    // An event of the line has its time and its words, no frames.
    if (r.event && column != Time && column != Meaning)
        return QString();
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
    const ExchangeRecord r = record(index.row());
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
    if (role == Qt::ForegroundRole && r.event)
        return QColor(Qt::darkBlue);
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
    // A frame is at most 255 bytes and a meaning a line of text; anything
    // beyond what a row can hold is cut rather than kept.
    constexpr int Most = std::numeric_limits<quint16>::max();
    const QByteArray request = record.request.left(Most);
    const QByteArray reply = record.reply.left(Most);
    const QByteArray meaning = record.meaning.toUtf8().left(Most);
    const qint64 size = request.size() + reply.size() + meaning.size();

    int oldest = 0;
    qint64 kept = qint64(bytes_.size());
    while (oldest < int(rows_.size())
           && (int(rows_.size()) - oldest >= Capacity || kept + size > ByteBudget)) {
        kept -= rows_[std::size_t(oldest)].size();
        ++oldest;
    }
    dropOldest(oldest);

    Row row;
    row.sentAtMs = record.sentAt.isValid() ? record.sentAt.toMSecsSinceEpoch() : InvalidTime;
    row.offset = firstOffset_ + qint64(bytes_.size());
    row.roundTripMs = record.roundTripMs;
    row.requestSize = quint16(request.size());
    row.replySize = quint16(reply.size());
    row.meaningSize = quint16(meaning.size());
    row.checksum = quint8(record.checksum);
    row.sent = record.sent;
    row.event = record.event;

    const int at = int(rows_.size());
    beginInsertRows(QModelIndex(), at, at);
    for (const QByteArray *part : {&request, &reply, &meaning})
        bytes_.insert(bytes_.end(), part->begin(), part->end());
    rows_.push_back(row);
    endInsertRows();
}

void ExchangeLogModel::dropOldest(int count)
{
    if (count <= 0)
        return;
    beginRemoveRows(QModelIndex(), 0, count - 1);
    qint64 size = 0;
    for (int i = 0; i < count; ++i)
        size += rows_[std::size_t(i)].size();
    rows_.erase(rows_.begin(), rows_.begin() + count);
    bytes_.erase(bytes_.begin(), bytes_.begin() + std::ptrdiff_t(size));
    firstOffset_ += size;
    endRemoveRows();
}

void ExchangeLogModel::clear()
{
    beginResetModel();
    firstOffset_ += qint64(bytes_.size());
    rows_ = {};
    bytes_ = {};
    endResetModel();
}

std::size_t ExchangeLogModel::memoryBytes() const
{
    return rows_.size() * sizeof(Row) + bytes_.size();
}

QString ExchangeLogModel::headerLine() const
{
    QStringList header;
    for (int c = 0; c < ColumnCount; ++c)
        header << headerData(c, Qt::Horizontal).toString();
    const QString columns = header.join(QLatin1Char('\t'));
    return lineNote_.isEmpty() ? columns : QStringLiteral("# ") + lineNote_ + QLatin1Char('\n') + columns;
}

QString ExchangeLogModel::rowLine(int row) const
{
    const ExchangeRecord r = record(row);
    QStringList fields;
    for (int c = 0; c < ColumnCount; ++c)
        fields << fileCell(r, c);
    return fields.join(QLatin1Char('\t'));
}

QString ExchangeLogModel::toText() const
{
    QStringList lines;
    lines.reserve(int(rows_.size()) + 1);
    lines << headerLine();
    for (int row = 0; row < int(rows_.size()); ++row)
        lines << rowLine(row);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

LogRecorder::LogRecorder(ExchangeLogModel *model, QObject *parent) : QObject(parent), model_(model)
{
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last && isRecording(); ++row) {
                    const QString reason = writeLine(model_->rowLine(row));
                    if (!reason.isEmpty())
                        emit failed(reason);
                }
            });
}

QString LogRecorder::start(const QString &path)
{
    stop();
    file_.setFileName(path);
    errno = 0;
    // Unbuffered: a row that does not fit is taken back whole (writeLine).
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return writeFailureReason(path, errno);
    struct stat own {};
    identity_.reset();
    if (::fstat(file_.handle(), &own) == 0)
        identity_ = std::make_pair(quint64(own.st_dev), quint64(own.st_ino));
    return writeLine(model_->headerLine());
}

void LogRecorder::stop()
{
    if (file_.isOpen())
        file_.close();
}

QString LogRecorder::writeLine(const QString &line)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    const QString path = file_.fileName();
    // The file at the path must still be the one being written: a file
    // removed or replaced meanwhile would take the rows to nowhere.
    struct stat there {};
    if (identity_
        && (::stat(QFile::encodeName(path).constData(), &there) != 0
            || std::make_pair(quint64(there.st_dev), quint64(there.st_ino)) != *identity_)) {
        file_.close();
        return QStringLiteral("файл записи %1 удалён или заменён другим: запись остановлена").arg(path);
    }
    // Handed to the system row by row: what the technician saw is in the
    // file even if the program is killed the next moment.
    const qint64 before = file_.pos();
    errno = 0;
    if (file_.write(bytes) == bytes.size() && file_.flush())
        return QString();
    const int error = errno;
    const bool full = file_.error() == QFileDevice::ResourceError;
    // A row cut by a full disk is taken back: the file ends on a whole row.
    file_.resize(before);
    file_.close();
    return writeFailureReason(path, error != 0 ? error : (full ? ENOSPC : 0), bytes.size());
}

ExchangeLog::ExchangeLog(ExchangeLogModel *model, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , model_(model)
    , view_(new QTableView(this))
    , recorder_(new LogRecorder(model, this))
    , record_(new QPushButton(this))
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
    record_->setObjectName(QStringLiteral("recordLog"));
    showRecording();
    connect(clear, &QPushButton::clicked, model_, &ExchangeLogModel::clear);
    connect(copy, &QPushButton::clicked, this, &ExchangeLog::copyToClipboard);
    connect(save, &QPushButton::clicked, this, &ExchangeLog::askAndSave);
    connect(record_, &QPushButton::clicked, this, &ExchangeLog::toggleRecording);
    connect(recorder_, &LogRecorder::failed, this, [this](const QString &reason) {
        showRecording();
        warn(QStringLiteral("Запись журнала в ") + recorder_->path() + QStringLiteral(" остановлена: ")
             + reason);
    });

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
    buttons->addWidget(record_);
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
    error_ = saveWhole(path, model_->toText().toUtf8());
    return error_.isEmpty();
}

namespace {

QString suggestedName(const char *pattern)
{
    return QDateTime::currentDateTime().toString(QString::fromUtf8(pattern));
}

const QString kLogFilter = QStringLiteral("Текст с табуляциями (*.tsv *.txt);;Все файлы (*)");

} // namespace

void ExchangeLog::askAndSave()
{
    const QString path = askSavePath(this, QStringLiteral("Сохранить журнал обмена"),
                                     suggestedName("'журнал-обмена-'yyyyMMdd-HHmmss'.tsv'"), kLogFilter);
    if (path.isEmpty())
        return;
    if (!saveTo(path))
        QtDialogs(this).message(QStringLiteral("Журнал не сохранён в ") + path + QStringLiteral(": ")
                                    + errorString(),
                                Dialogs::Icon::Warning, QString());
}

void ExchangeLog::toggleRecording()
{
    if (recorder_->isRecording()) {
        recorder_->stop();
        showRecording();
        return;
    }
    const QString path = askSavePath(this, QStringLiteral("Записывать журнал обмена в файл"),
                                     suggestedName("'запись-обмена-'yyyyMMdd-HHmmss'.tsv'"), kLogFilter);
    if (path.isEmpty())
        return;
    const QString reason = recorder_->start(path);
    showRecording();
    if (!reason.isEmpty())
        warn(QStringLiteral("Запись журнала в ") + path + QStringLiteral(" не начата: ") + reason);
}

void ExchangeLog::showRecording()
{
    const bool on = recorder_->isRecording();
    record_->setText(on ? QStringLiteral("Остановить запись") : QStringLiteral("Записывать в файл…"));
    record_->setToolTip(on ? QStringLiteral("Каждая строка журнала дописывается в ") + recorder_->path()
                           : QStringLiteral("Дописывать каждую новую строку журнала в файл"));
}

void ExchangeLog::warn(const QString &text)
{
    // Not modal: a failed write is found while the cycle hands over a row,
    // where no event loop of a box's own may run.
    auto *box = new QMessageBox(QMessageBox::Warning, programTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
