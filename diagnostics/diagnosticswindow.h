#pragma once
// "Диагностика линии": the line's statistics per address and the trends of the
// selected address. A window of its own that only watches the statistics:
// it never holds the exchange up, and nothing is written to disk unless the
// technician saves a file of his choice.
#include <QWidget>

#include <functional>
#include <optional>

class Dialogs;
class LineStatsModel;
class QTableView;
class QTimer;
class TrendCharts;

namespace linestats {
class LineStats;
}

class DiagnosticsWindow : public QWidget
{
    Q_OBJECT

public:
    // `dialogs` reports a failed save (null: Qt's message boxes over this window).
    DiagnosticsWindow(linestats::LineStats &stats, Dialogs *dialogs = nullptr, QWidget *parent = nullptr);
    ~DiagnosticsWindow() override;

    LineStatsModel *model() const { return model_; }
    QTableView *table() const { return table_; }
    TrendCharts *charts() const { return charts_; }

    // Takes in what the statistics say now. The window does so once a second
    // while it is shown: often enough to watch, and the records of a busy
    // line never make it redraw faster.
    void refresh();

    // The port the line is on, as the exports name it.
    void setPortName(std::function<QString()> portName) { portName_ = std::move(portName); }
    // What an export shows: the port, the address (none: every address) and
    // the time span, dates included.
    QString heading(std::optional<quint8> address, qint64 fromMs, qint64 toMs) const;

    // The three exports, each an empty string on success, else the reason.
    // Each says first what it shows (heading()).
    QString saveStatistics(const QString &path);
    QString saveTrends(const QString &path);
    QString saveChart(const QString &path);

signals:
    // The technician turned "Опрашивать всех найденных" on or off.
    void pollAllToggled(bool on);
    // "Сбросить" started the counters again.
    void countersReset();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void selectionMoved();
    void askAndSave(const QString &title, const QString &fileName, const QString &filter,
                    QString (DiagnosticsWindow::*save)(const QString &), const QString &what);

    linestats::LineStats &stats_;
    Dialogs *dialogs_;
    LineStatsModel *model_;
    QTableView *table_;
    TrendCharts *charts_;
    QTimer *clock_;
    std::function<QString()> portName_;
};
