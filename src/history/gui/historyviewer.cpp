#include "history/gui/historyviewer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QTableWidget>
#include <QThreadPool>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "core/localfile.h"
#include "core/platform.h"
#include "history/gui/trendchartview.h"
#include "history/historyfile.h"
#include "vocab/text.h"

namespace zorvan {
namespace {

constexpr int gridColumns = 10;
constexpr int rowHeightTwips = 400;
constexpr int numberColumnTwips = 300;
constexpr int dataColumnTwips = 1300;

QStringList headerTexts() {
    return {QString(), S("日期"), S("百度"), S("谷歌"), S("雅虎"),
            S("搜狗"), S("搜搜"), S("必应"), S("有道"), S("ALEAX")};
}

// Carries a reading's lines from the pool's thread: a signal of an object made here, connected
// with the viewer as context, is dropped by Qt once the viewer is gone.
class LinesCarrier : public QObject {
    Q_OBJECT
  Q_SIGNALS:
    void done(const QStringList& lines);
};

}  // namespace

void HistoryViewer::buildGrid() {
    grid_ = new QTableWidget(2, gridColumns, this);
    grid_->setObjectName(QStringLiteral("MS1"));
    grid_->setAccessibleName(S("历史记录"));
    grid_->setAccessibleDescription(S("所选域名每天一行的收录和反链记录"));
    // Row 0 and column 0 are cells of the table itself (their texts belong to the export).
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setMinimumSectionSize(1);
    grid_->verticalHeader()->setMinimumSectionSize(1);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setWordWrap(false);
}

// The chart of the shown domain, below the table; the splitter lets either have the room.
QWidget* HistoryViewer::buildChartPanel() {
    auto* chartPanel = new QWidget(this);
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(new QLabel(S("趋势图："), chartPanel));
    indexedChoice_ = new QRadioButton(S("收录"), chartPanel);
    indexedChoice_->setObjectName(QStringLiteral("trendIndexed"));
    indexedChoice_->setChecked(true);
    backlinksChoice_ = new QRadioButton(S("反链"), chartPanel);
    backlinksChoice_->setObjectName(QStringLiteral("trendBacklinks"));
    kindRow->addWidget(indexedChoice_);
    kindRow->addWidget(backlinksChoice_);
    kindRow->addStretch(1);
    chart_ = new TrendChartView(chartPanel);
    chart_->setObjectName(QStringLiteral("trendChart"));
    auto* chartLayout = new QVBoxLayout(chartPanel);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addLayout(kindRow);
    chartLayout->addWidget(chart_, 1);
    return chartPanel;
}

// As tall as the table and the chart want, within the screen, in its middle.
void HistoryViewer::placeOnScreen() {
    int height = 460 + 340;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        height = std::min(height, screen->availableGeometry().height() - 60);
    resize(twipsToPixelsX(numberColumnTwips + 9 * dataColumnTwips) + 60, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

// The chooser and its three buttons, and the note at the far end.
QHBoxLayout* HistoryViewer::buildTopRow() {
    prefix_ = new QLabel(QStringLiteral("http://"), this);
    prefix_->setObjectName(QStringLiteral("Label1"));
    chooser_ = new QComboBox(this);
    chooser_->setObjectName(QStringLiteral("Combo1"));
    chooser_->setAccessibleName(S("域名"));
    chooser_->setMinimumContentsLength(24);
    chooser_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    prefix_->setBuddy(chooser_);
    queryButton_ = new QPushButton(S("查询"), this);
    queryButton_->setObjectName(QStringLiteral("Command1"));
    deleteButton_ = new QPushButton(S("删除"), this);
    deleteButton_->setObjectName(QStringLiteral("Command3"));
    exportButton_ = new QPushButton(S("导出"), this);
    exportButton_->setObjectName(QStringLiteral("Command2"));
    note_ = new QLabel(S("每日保存一次"), this);
    note_->setObjectName(QStringLiteral("Label2"));

    auto* top = new QHBoxLayout;
    top->addWidget(prefix_);
    top->addWidget(chooser_);
    top->addWidget(queryButton_);
    top->addWidget(deleteButton_);
    top->addWidget(exportButton_);
    top->addStretch(1);
    top->addWidget(note_);
    return top;
}

HistoryViewer::HistoryViewer(const QString& historyPath, QWidget* parent,
                             const QString& firstChoice)
    : QDialog(parent), path_(historyPath), firstChoice_(firstChoice) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(S("查看历史"));

    QHBoxLayout* top = buildTopRow();
    buildGrid();
    QWidget* chartPanel = buildChartPanel();
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(grid_);
    splitter->addWidget(chartPanel);
    // The table keeps the larger share: it is what the window is for.
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({300, 200});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);

    connect(chooser_, &QComboBox::activated, this, &HistoryViewer::onChosen);
    connect(queryButton_, &QPushButton::clicked, this, &HistoryViewer::showChosenDomain);
    connect(deleteButton_, &QPushButton::clicked, this, &HistoryViewer::DeleteDomainHistory);
    connect(exportButton_, &QPushButton::clicked, this, &HistoryViewer::ExportToExcel);
    connect(backlinksChoice_, &QRadioButton::toggled, this, [this](bool backlinks) {
        chart_->setKind(backlinks ? TrendKind::Backlinks : TrendKind::Indexed);
    });

    placeOnScreen();
    layOutGrid();
    fillChooser();
}

int HistoryViewer::twipsToPixelsX(int twips) const {
    return qRound(twips * logicalDpiX() / 1440.0);
}
int HistoryViewer::twipsToPixelsY(int twips) const {
    return qRound(twips * logicalDpiY() / 1440.0);
}

void HistoryViewer::setCell(int row, int column, const QString& text) {
    QTableWidgetItem* item = grid_->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        if (column > 0) item->setTextAlignment(Qt::AlignCenter);
        if (row == 0 || column == 0) {
            // The fixed header row and row-number column.
            item->setFlags(Qt::ItemIsEnabled);
            item->setBackground(grid_->palette().button());
            item->setForeground(grid_->palette().buttonText());
        } else {
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        grid_->setItem(row, column, item);
    }
    item->setText(text);
}

void HistoryViewer::numberRows() {
    const int height = twipsToPixelsY(rowHeightTwips);
    for (int r = 0; r < grid_->rowCount(); ++r) {
        setCell(r, 0, QString::number(r));
        grid_->setRowHeight(r, height);
    }
    // The number column keeps its width made for one digit, but never so narrow that a number of
    // two or more digits is cut to "…": the last row's number is the widest, its grid line beside
    // it.
    const int widest =
        grid_->sizeHintForIndex(grid_->model()->index(grid_->rowCount() - 1, 0)).width() +
        (grid_->showGrid() ? 1 : 0);
    grid_->setColumnWidth(0, std::max(twipsToPixelsX(numberColumnTwips), widest));
}

void HistoryViewer::layOutGrid() {
    for (int c = 1; c < gridColumns; ++c) grid_->setColumnWidth(c, twipsToPixelsX(dataColumnTwips));
    numberRows();
    const QStringList headers = headerTexts();
    for (int c = 0; c < gridColumns; ++c) setCell(0, c, headers[c]);
}

void HistoryViewer::readInBackground(std::function<QStringList()> read,
                                     std::function<void(const QStringList&)> shown) {
    const int serial = ++reads_;
    ++loading_;
    auto* carrier = new LinesCarrier;
    connect(carrier, &LinesCarrier::done, this, [this, serial, shown](const QStringList& lines) {
        if (serial == reads_) shown(lines);
        --loading_;
    });
    QThreadPool::globalInstance()->start([carrier, read] {
        Q_EMIT carrier->done(read());
        carrier->deleteLater();
    });
}

void HistoryViewer::fillChooser(bool showEmpty) {
    // An unreadable file shows as an empty one; it is never written from here.
    readInBackground(
        [path = path_] { return readHistoryDomains(path); },
        [this, showEmpty](const QStringList& domains) {
            chooser_->clear();
            chooser_->addItems(domains);
            if (chooser_->count() > 0)
                chooser_->setCurrentIndex(std::max(0, int(chooser_->findText(firstChoice_))));
            if (chooser_->count() > 0 || showEmpty) onChosen();
        });
}

void HistoryViewer::onChosen() {
    deleteButton_->setEnabled(false);
    showChosenDomain();
}

void HistoryViewer::showChosenDomain() {
    const QString domain = chooser_->currentIndex() >= 0 ? chooser_->currentText() : QString();
    if (chooser_->currentIndex() < 0) {
        showRecords(domain, {});
        return;
    }
    readInBackground(
        [path = path_, domain] { return readStoredLines(path, domain).value_or(QStringList()); },
        [this, domain](const QStringList& records) { showRecords(domain, records); });
}

void HistoryViewer::showRecords(const QString& domain, const QStringList& records) {
    grid_->setRowCount(1);
    chart_->setRecords(domain, records);
    grid_->setRowCount(int(records.size()) + 1);
    numberRows();
    for (int i = 0; i < records.size(); ++i) {
        const QStringList cells = recordCells(records[i]);
        for (int c = 1; c < gridColumns; ++c) setCell(i + 1, c, cells[c - 1]);
    }
    deleteButton_->setEnabled(true);
}

void HistoryViewer::DeleteDomainHistory() {
    const QString domain = chooser_->currentText();
    if (!askOkCancel(this, S("询问"), S("确定删除") + domain + S("的历史数据?"))) return;
    zorvan::DeleteDomainHistory(path_, domain);
    fillChooser(true);
}

GridTexts HistoryViewer::gridTexts() const {
    GridTexts rows;
    for (int r = 0; r < grid_->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < grid_->columnCount(); ++c) {
            const QTableWidgetItem* item = grid_->item(r, c);
            row.append(item ? item->text() : QString());
        }
        rows.append(row);
    }
    return rows;
}

bool HistoryViewer::ExportToExcel() {
    const QString path = newWorkbookPath();
    QString error;
    if (!writeHistoryWorkbook(gridTexts(), path, &error)) {
        platform().showMessage(
            {this, MessageIcon::None, ApplicationTitle, error, MessageButtons::Ok});
        return false;
    }
    platform().openUrl(QUrl::fromLocalFile(path));
    return true;
}

}  // namespace zorvan

#include "historyviewer.moc"
