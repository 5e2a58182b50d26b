#include "diagnostics/diagnosticswindow.h"

#include "diagnostics/statsmodel.h"
#include "diagnostics/trendcharts.h"
#include "linestats/linestats.h"
#include "widgets/dialogs.h"
#include "widgets/keyboard.h"
#include "widgets/savedialog.h"

#include <QBuffer>
#include <QDateTime>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QCheckBox>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString stamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

const QString TsvFilter = QStringLiteral("Текст с табуляциями (*.tsv *.txt);;Все файлы (*)");

} // namespace

namespace {

// The selection paints over a row's background: a marked row keeps its red,
// darker, when selected.
class AlarmKeepingDelegate : public QStyledItemDelegate
{
public:
    AlarmKeepingDelegate(const LineStatsModel *model, QObject *parent)
        : QStyledItemDelegate(parent), model_(model)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (model_->alarmed(index.row())) {
            option->palette.setColor(QPalette::Highlight, QColor(176, 32, 32));
            option->palette.setColor(QPalette::HighlightedText, Qt::white);
        }
    }

private:
    const LineStatsModel *model_;
};

} // namespace

DiagnosticsWindow::DiagnosticsWindow(linestats::LineStats &stats, Dialogs *dialogs, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , stats_(stats)
    , dialogs_(dialogs)
    , model_(new LineStatsModel(stats, this))
    , table_(new QTableView(this))
    , charts_(new TrendCharts(stats.trends(), this))
    , clock_(new QTimer(this))
{
    setObjectName(QStringLiteral("DiagnosticsWindow"));
    setWindowTitle(QStringLiteral("Диагностика линии"));
    resize(1240, 780);

    table_->setObjectName(QStringLiteral("statsView"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // Widths fixed once for the widest text a column takes: measuring the
    // cells on every refresh would cost the window thread more than the rest.
    const QStringList widest = {QStringLiteral("000 (до поиска)"), QStringLiteral("000000"),
                                QStringLiteral("000000"), QStringLiteral("000000"), QStringLiteral("000000"),
                                QStringLiteral("000000"), QStringLiteral("000000"), QStringLiteral("000000"),
                                QStringLiteral("000000"), QStringLiteral("0000"), QStringLiteral("0000"),
                                QStringLiteral("0000"), QStringLiteral("00:00:00"),
                                QStringLiteral("10,0 %, 1920 бит/с"),
                                // The line's state at its longest: never cut to "…".
                                QStringLiteral("ошибки растут: 20 из 20; ошибок записи в порт: 000")};
    QFont bold = table_->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    int tableWidth = 0;
    for (int c = 0; c < widest.size(); ++c) {
        const QString title = model_->headerData(c, Qt::Horizontal).toString();
        const int width = std::max(metrics.horizontalAdvance(widest.at(c)), metrics.horizontalAdvance(title)) + 10;
        table_->setColumnWidth(c, width);
        tableWidth += width;
    }
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setItemDelegate(new AlarmKeepingDelegate(model_, table_));
    resize(std::max(width(), tableWidth + 40), height());
    table_->setWordWrap(false);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &DiagnosticsWindow::selectionMoved);
    connect(model_, &QAbstractItemModel::modelReset, this, &DiagnosticsWindow::selectionMoved);

    auto *reset = new QPushButton(QStringLiteral("Сбросить"), this);
    reset->setObjectName(QStringLiteral("resetStats"));
    reset->setToolTip(QStringLiteral("Обнулить счётчики (тренды за 10 минут остаются)"));
    auto *saveStats = new QPushButton(QStringLiteral("Сохранить статистику…"), this);
    saveStats->setObjectName(QStringLiteral("saveStats"));
    auto *saveTrendData = new QPushButton(QStringLiteral("Сохранить тренды…"), this);
    saveTrendData->setObjectName(QStringLiteral("saveTrends"));
    auto *savePicture = new QPushButton(QStringLiteral("Сохранить график…"), this);
    savePicture->setObjectName(QStringLiteral("saveChart"));
    connect(reset, &QPushButton::clicked, this, [this] {
        stats_.reset();
        emit countersReset();
        refresh();
    });
    connect(saveStats, &QPushButton::clicked, this, [this] {
        askAndSave(QStringLiteral("Сохранить статистику линии"),
                   QStringLiteral("статистика-линии-%1.tsv").arg(stamp()), TsvFilter,
                   &DiagnosticsWindow::saveStatistics, QStringLiteral("Статистика не сохранена"));
    });
    connect(saveTrendData, &QPushButton::clicked, this, [this] {
        askAndSave(QStringLiteral("Сохранить тренды"), QStringLiteral("тренды-%1.tsv").arg(stamp()),
                   TsvFilter, &DiagnosticsWindow::saveTrends, QStringLiteral("Тренды не сохранены"));
    });
    connect(savePicture, &QPushButton::clicked, this, [this] {
        askAndSave(QStringLiteral("Сохранить график"), QStringLiteral("график-%1.png").arg(stamp()),
                   QStringLiteral("Рисунок PNG (*.png)"), &DiagnosticsWindow::saveChart,
                   QStringLiteral("График не сохранён"));
    });

    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    enterPressesButtons(this);

    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, &DiagnosticsWindow::refresh);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table_);
    splitter->addWidget(charts_);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({table_->verticalHeader()->defaultSectionSize() * 7, 560});
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    // Off at every start: the window polls the reader picked, as it always has.
    auto *pollAll = new QCheckBox(QStringLiteral("Опрашивать всех найденных"), this);
    pollAll->setObjectName(QStringLiteral("pollAll"));
    pollAll->setToolTip(QStringLiteral("Автоматический опрос каждого такта идёт по очереди ко всем "
                                       "считывателям последнего поиска; главное окно показывает "
                                       "только выбранный"));
    connect(pollAll, &QCheckBox::toggled, this, &DiagnosticsWindow::pollAllToggled);
    buttons->addWidget(pollAll);
    buttons->addStretch();
    buttons->addWidget(saveStats);
    buttons->addWidget(saveTrendData);
    buttons->addWidget(savePicture);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);
    refresh();
}

DiagnosticsWindow::~DiagnosticsWindow() = default;

void DiagnosticsWindow::refresh()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    stats_.trends().prune(now);
    model_->refresh(now);
    // Nothing chosen yet: the reader that answered last, the one the
    // technician is working with. (A view that gets the focus makes its first
    // row current without selecting it; that is no choice.)
    if (!table_->selectionModel()->hasSelection()) {
        int latest = -1;
        qint64 latestMs = -1;
        for (int row = 0; model_->addressAt(row); ++row) {
            const qint64 ms = stats_.row(*model_->addressAt(row))->lastGoodReplyMs;
            if (ms > latestMs) {
                latest = row;
                latestMs = ms;
            }
        }
        if (latest >= 0)
            table_->selectRow(latest);
    }
    charts_->refresh(now);
}

void DiagnosticsWindow::selectionMoved()
{
    const QModelIndex current = table_->currentIndex();
    charts_->showAddress(current.isValid() ? model_->addressAt(current.row()) : std::nullopt);
}

// A hidden window costs the exchange nothing: it catches up when shown.
void DiagnosticsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    clock_->start();
}

void DiagnosticsWindow::hideEvent(QHideEvent *event)
{
    clock_->stop();
    QWidget::hideEvent(event);
}

QString DiagnosticsWindow::heading(std::optional<quint8> address, qint64 fromMs, qint64 toMs) const
{
    const QString port = portName_ ? portName_() : QString();
    const QString format = QStringLiteral("dd.MM.yyyy HH:mm:ss");
    QStringList parts{QStringLiteral("Диагностика линии")};
    parts << QStringLiteral("порт ") + (port.isEmpty() ? QStringLiteral("—") : port);
    parts << (address ? QStringLiteral("адрес %1").arg(*address) : QStringLiteral("все адреса"));
    parts << QDateTime::fromMSecsSinceEpoch(fromMs).toString(format) + QStringLiteral(" – ")
                 + QDateTime::fromMSecsSinceEpoch(toMs).toString(format);
    return parts.join(QStringLiteral("; "));
}

QString DiagnosticsWindow::saveStatistics(const QString &path)
{
    const QString head = QStringLiteral("# ") + heading({}, stats_.since(), QDateTime::currentMSecsSinceEpoch());
    return saveWhole(path, (head + QLatin1Char('\n') + model_->toTsv()).toUtf8());
}

QString DiagnosticsWindow::saveTrends(const QString &path)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString head = QStringLiteral("# ") + heading(charts_->address(), now - linestats::Trends::SpanMs, now);
    return saveWhole(path, (head + QLatin1Char('\n') + charts_->toTsv()).toUtf8());
}

QString DiagnosticsWindow::saveChart(const QString &path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    // The charts under a line that says what they show.
    const QPixmap charts = charts_->picture();
    const QString head = heading(charts_->address(), charts_->viewStartMs(), charts_->viewEndMs());
    const QFontMetrics metrics(font());
    const int top = metrics.height() * 2;
    QImage picture(std::max(charts.width(), metrics.horizontalAdvance(head) + 20), charts.height() + top,
                   QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.setFont(font());
        painter.drawText(QRect(10, 0, picture.width() - 20, top), Qt::AlignVCenter | Qt::AlignLeft, head);
        painter.drawPixmap(0, top, charts);
    }
    if (!picture.save(&buffer, "PNG"))
        return QStringLiteral("не удалось построить рисунок");
    return saveWhole(path, png);
}

void DiagnosticsWindow::askAndSave(const QString &title, const QString &fileName, const QString &filter,
                                   QString (DiagnosticsWindow::*save)(const QString &), const QString &what)
{
    const QString path = askSavePath(this, title, fileName, filter);
    if (path.isEmpty())
        return;
    const QString why = (this->*save)(path);
    if (why.isEmpty())
        return;
    QtDialogs own(this);
    Dialogs &dialogs = dialogs_ ? *dialogs_ : own;
    dialogs.message(what + QStringLiteral(" в ") + path + QStringLiteral(": ") + why, Dialogs::Icon::Warning);
}
