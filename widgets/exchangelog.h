#pragma once
// The exchange log ("Журнал обмена"): what went out on the line and what came
// back, one row per request. It keeps a working day in memory (60,000 rows,
// 8 h 20 min at two a second, about 5 MiB), and on request records
// every row to a file as it comes. It only watches the exchange cycle; F12 in
// the main window opens it. Nothing is written to disk unless the technician
// saves the log or records it to a file of his choice.
#include "exchange/exchangerecord.h"

#include <QAbstractTableModel>
#include <QFile>

#include <optional>
#include <utility>
#include <QWidget>

#include <cstddef>
#include <deque>
#include <limits>

class QPushButton;
class QTableView;

class ExchangeLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Rows kept: a working day at two rows a second is 57,600.
    static constexpr int Capacity = 60000;
    // Frames and texts kept, in bytes. A row of a polled reader takes about
    // 90 bytes (32 for the row, a 4-byte request, a 20-byte reply, its
    // meaning in UTF-8): a working day is about 5 MiB. The budget holds a
    // day of rows with 255-byte replies as well; beyond it the oldest rows
    // go, so the log stays under 26 MiB whatever the line sends.
    static constexpr qint64 ByteBudget = 24 * 1024 * 1024;
    enum Column { Time, Request, Reply, Checksum, Meaning, RoundTrip, ColumnCount };

    explicit ExchangeLogModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void append(const ExchangeRecord &record);
    void clear();
    ExchangeRecord record(int row) const;
    // The whole log as text: a header line, then one tab-separated line per
    // row, frames in full hex, time stamps with date and milliseconds. The
    // clipboard, a saved file and a recorded file get the same lines.
    QString toText() const;
    // Which line the log is about, when there is more to say than the port's
    // name (a line behind a network gateway and the delay allowed for it);
    // it then opens every file as a "# …" line.
    void setLineNote(const QString &note) { lineNote_ = note; }
    QString headerLine() const;
    QString rowLine(int row) const;

    // The heap memory the rows take, in bytes (their frames and texts and
    // the rows themselves).
    std::size_t memoryBytes() const;

    // What the row of a request that never reached the line says.
    static QString notSentText();

private:
    QString lineNote_;
    // One row, compact: its frames and its meaning (UTF-8) lie one after
    // the other in bytes_, from `offset` on.
    struct Row {
        qint64 sentAtMs;  // since the epoch; InvalidTime when unknown
        qint64 offset;    // counted from the first byte ever kept
        qint32 roundTripMs;
        quint16 requestSize;
        quint16 replySize;
        quint16 meaningSize;
        quint8 checksum;
        bool sent;
        bool event;
        qint64 size() const { return qint64(requestSize) + replySize + meaningSize; }
    };
    static constexpr qint64 InvalidTime = std::numeric_limits<qint64>::min();

    QByteArray bytesAt(qint64 offset, int size) const;
    // Drops the `count` oldest rows.
    void dropOldest(int count);

    QString cell(const ExchangeRecord &r, int column) const;
    QString fileCell(const ExchangeRecord &r, int column) const;

    std::deque<Row> rows_;
    std::deque<char> bytes_;
    qint64 firstOffset_ = 0; // the offset of bytes_.front()
};

// Records the log to a file as it grows: each row is appended as it comes
// and handed to the system at once, so a crash loses nothing that was shown.
// The first failure is reported (failed) and ends the recording; so does the
// file being removed or replaced. A row a full disk cuts is taken back.
class LogRecorder : public QObject
{
    Q_OBJECT

public:
    explicit LogRecorder(ExchangeLogModel *model, QObject *parent = nullptr);

    // Starts a new file at `path` with the header line; the rows that come
    // from now on follow. Empty on success, else why not (in Russian).
    QString start(const QString &path);
    void stop();
    bool isRecording() const { return file_.isOpen(); }
    QString path() const { return file_.fileName(); }

signals:
    // A write failed: the recording has stopped, `reason` says why.
    void failed(const QString &reason);

private:
    // Writes one line; on failure stops and returns why.
    QString writeLine(const QString &line);

    ExchangeLogModel *model_;
    QFile file_;
    // The device and inode of the file being written.
    std::optional<std::pair<quint64, quint64>> identity_;
};

class ExchangeLog : public QWidget
{
    Q_OBJECT

public:
    explicit ExchangeLog(ExchangeLogModel *model, QWidget *parent = nullptr);

    void copyToClipboard() const;
    // Writes the log as UTF-8 to `path`, whole or not at all; false (and
    // errorString(), in Russian) when it could not be written. The
    // "Сохранить…" button asks for the path.
    bool saveTo(const QString &path);
    QString errorString() const { return error_; }
    LogRecorder *recorder() const { return recorder_; }

private:
    void askAndSave();
    // "Записывать в файл…" starts a recording, "Остановить запись" ends it.
    void toggleRecording();
    void showRecording();
    void warn(const QString &text);
    // Widens the frame columns to the frames of rows first..last.
    void fitFrames(int first, int last);

    ExchangeLogModel *model_;
    QTableView *view_;
    LogRecorder *recorder_;
    QPushButton *record_;
    QString error_;
    // The view follows new rows only while it shows the newest one, so a
    // technician who scrolled up to read is left where he is.
    bool followNewest_ = true;
};
