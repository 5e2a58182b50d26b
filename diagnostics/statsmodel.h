#pragma once
// The table of the line diagnostics: a row per address asked or answered
// since the port opened (or the last reset), then the line total.
#include <QAbstractTableModel>
#include <QVector>

#include <optional>

namespace linestats {
class LineStats;
struct Counters;
}

class LineStatsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Address, Requests, Replies, NoReply, BadChecksum, Unexpected, Noise, Dropped, Replaced,
                  Median, P95, Max, LastGood, Load, State, ColumnCount };

    explicit LineStatsModel(const linestats::LineStats &stats, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes in what the statistics say at `nowMs` (the load is over the 10 s
    // before it). Rows of new addresses are inserted in place, so the
    // selection stays on its address.
    void refresh(qint64 nowMs);
    // The address of a row; none for the line total.
    std::optional<quint8> addressAt(int row) const;
    // The row of an address, or -1.
    int rowOf(quint8 address) const;
    // Whether a row is marked for its errors.
    bool alarmed(int row) const;

    // The table as shown: a header line, then one tab-separated line per row;
    // the time of the last good reply carries its date as well.
    QString toTsv() const;

private:
    const linestats::Counters &counters(int row) const;
    QString cell(int row, int column, bool withDate = false) const;

    const linestats::LineStats &stats_;
    QVector<quint8> addresses_;
    qint64 nowMs_ = 0;
    // What each cell shows, so that a refresh repaints only the cells that changed.
    QVector<QStringList> shown_;
};
