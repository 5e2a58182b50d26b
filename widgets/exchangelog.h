#pragma once
// The exchange log ("Журнал обмена"): what went out on the line and what came
// back, one row per request, the last 1,000 kept in memory. It only watches
// the exchange cycle; F12 in the main window opens it. Nothing is written to
// disk unless the technician saves the log to a file of his choice.
#include "exchange/exchangerecord.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <deque>

class QTableView;

class ExchangeLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int Capacity = 1000;
    enum Column { Time, Request, Reply, Checksum, Meaning, RoundTrip, ColumnCount };

    explicit ExchangeLogModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void append(const ExchangeRecord &record);
    void clear();
    // The whole log as text: a header line, then one tab-separated line per
    // row, frames in full hex, time stamps with date and milliseconds. The
    // clipboard and a saved file get the same text.
    QString toText() const;

    // What the row of a request that never reached the line says.
    static QString notSentText();

private:
    QString cell(const ExchangeRecord &r, int column) const;
    QString fileCell(const ExchangeRecord &r, int column) const;

    std::deque<ExchangeRecord> rows_;
};

class ExchangeLog : public QWidget
{
    Q_OBJECT

public:
    explicit ExchangeLog(ExchangeLogModel *model, QWidget *parent = nullptr);

    void copyToClipboard() const;
    // Writes the log as UTF-8 to `path`; false (and errorString()) when the
    // file cannot be written. The "Сохранить…" button asks for the path.
    bool saveTo(const QString &path);
    QString errorString() const { return error_; }

private:
    void askAndSave();
    // Widens the frame columns to the frames of rows first..last.
    void fitFrames(int first, int last);

    ExchangeLogModel *model_;
    QTableView *view_;
    QString error_;
    // The view follows new rows only while it shows the newest one, so a
    // technician who scrolled up to read is left where he is.
    bool followNewest_ = true;
};
