#include "tools/gui/weightwindow.h"

#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

#include "core/platform.h"
#include "core/services.h"
#include "net/fetch.h"
#include "tools/backlink.h"
#include "tools/keywordrank.h"
#include "tools/weight.h"

namespace zorvan {

namespace {

// A list cell whose tooltip follows its current text and position.
class RankingItem : public QTableWidgetItem {
  public:
    explicit RankingItem(const QString& text) : QTableWidgetItem(text) {
        setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    QVariant data(int role) const override {
        if (role == Qt::ToolTipRole) return rankingTooltip(column(), row() + 1, text());
        return QTableWidgetItem::data(role);
    }
};

}  // namespace

WeightWindow::WeightWindow(QWidget* parent)
    : ToolWindow({"Form17", "Label7", "Text1", QStringLiteral("www.baidu.com"), "Command3",
                  QStringLiteral("查 询"), "Command4"},
                 parent),
      countText_(WeightInitial::Count) {
    setWindowTitle(QStringLiteral("Mirelo站长8.6"));

    auto* heading = makeLabel("Label8", QStringLiteral("百度权重："));
    weight_ = makeLabel("Label2", WeightInitial::Weight, QStringLiteral("百度权重"));
    QFont big = weight_->font();
    big.setPointSizeF(26.25);
    big.setBold(true);
    weight_->setFont(big);
    heading->setBuddy(weight_);
    countLine_ = makeLabel("Label3", WeightInitial::Line, QStringLiteral("关键词数量"));
    traffic_ = makeLabel("Label4", WeightInitial::Line, QStringLiteral("百度流量"));
    snapshot_ = makeLabel("Label5", WeightInitial::Line, QStringLiteral("百度快照"));
    indexed_ = makeLabel("Label6", WeightInitial::Line, QStringLiteral("百度收录"));

    list_ = new QTableWidget(this);
    name(list_, "ListView1");
    list_->setAccessibleName(QStringLiteral("关键词排名"));
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A click on any column selects the whole row, which the double-click then searches.
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->verticalHeader()->hide();
    list_->setWordWrap(false);
    list_->setMouseTracking(true);
    setColumns(rankingHeadersAtLoad());

    // The weight stands before the frame's own row.
    frameRow()->insertWidget(0, heading);
    frameRow()->insertWidget(1, weight_);
    frameRow()->insertSpacing(2, 24);
    auto* lines = new QHBoxLayout;
    for (QLabel* line : {countLine_, traffic_, snapshot_, indexed_}) lines->addWidget(line);
    lines->addStretch(1);
    column()->addLayout(lines);
    column()->addWidget(list_, 1);

    requests_ = new RequestSequencer(this);
    connect(requests_, &RequestSequencer::idle, this, &WeightWindow::lookupEnded);
    connect(queryButton(), &QPushButton::clicked, this, &WeightWindow::runLookup);
    connect(list_, &QTableWidget::cellDoubleClicked, this, &WeightWindow::searchRow);
}

QLabel* WeightWindow::makeLabel(const char* controlName, const QString& text,
                                const QString& description) {
    auto* label = new QLabel(text, this);
    name(label, controlName);
    if (!description.isEmpty()) label->setAccessibleDescription(description);
    return label;
}

QLabel* WeightWindow::figure(WeightField field) const {
    const std::array<QLabel*, 5> labels = {weight_, countLine_, traffic_, snapshot_, indexed_};
    return labels[size_t(field)];
}

void WeightWindow::resetFigures() {
    weight_->setText(WeightInitial::Weight);
    for (QLabel* line : {countLine_, traffic_, snapshot_, indexed_})
        line->setText(WeightInitial::Line);
    countText_ = WeightInitial::Count;
}

void WeightWindow::runLookup() {
    if (running_) return;
    running_ = true;
    queryButton()->setEnabled(false);
    // A figure the new page lacks must not show the previous domain's value.
    resetFigures();
    // The box is read once per page, as each request goes out.
    requests_->run(QStringLiteral("lookup"),
                   {[this](const Chain& chain) {
                        lookUpWeight(domainBox()->text(),
                                     [this](const WeightFigures& f) { showFigures(f); })(chain);
                    },
                    [this](const Chain& chain) {
                        fetchRankingRows(domainBox()->text(), [this](const RankingRows& rows) {
                            fillRankingRows(rows);
                        })(chain);
                    }});
}

void WeightWindow::showFigures(const WeightFigures& figures) {
    if (figures.weight) weight_->setText(*figures.weight);
    if (figures.countLine) countLine_->setText(*figures.countLine);
    if (figures.count) countText_ = *figures.count;
    if (figures.traffic) traffic_->setText(*figures.traffic);
    if (figures.snapshot) snapshot_->setText(*figures.snapshot);
    if (figures.indexed) indexed_->setText(*figures.indexed);
    setUpRankingList();
}

void WeightWindow::lookupEnded() {
    queryButton()->setEnabled(true);
    running_ = false;
    Q_EMIT lookupFinished();
}

void WeightWindow::setColumns(const QStringList& headers) {
    list_->clear();
    list_->setRowCount(0);
    list_->setColumnCount(0);
    list_->setColumnCount(RankingColumns);
    list_->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < RankingColumns; ++c)
        list_->setColumnWidth(c, rankingColumnWidths()[size_t(c)]);
}

void WeightWindow::setUpRankingList() {
    setColumns(rankingHeadersAfterLookup());
    const int rows = rankingRowCount(countText_);
    const QStringList placeholders = rankingPlaceholders();
    list_->setRowCount(rows);
    for (int i = 0; i < rows; ++i) {
        list_->setItem(i, 0, new RankingItem(QString::number(i + 1)));
        for (int c = 1; c < RankingColumns; ++c)
            list_->setItem(i, c, new RankingItem(placeholders.at(c - 1)));
    }
}

void WeightWindow::fillRankingRows(const RankingRows& rows) {
    for (int k = 0; k < RankingRowLimit && k < list_->rowCount(); ++k) {
        const RankingCells& cells = rows[size_t(k)];
        for (int c = 0; c < int(cells.size()); ++c) {
            if (!cells[size_t(c)]) continue;
            if (QTableWidgetItem* item = list_->item(k, c + 1)) item->setText(*cells[size_t(c)]);
        }
    }
}

void WeightWindow::searchRow(int row) {
    const QList<QTableWidgetItem*> selected = list_->selectedItems();
    if (!selected.isEmpty()) row = selected.first()->row();
    const QTableWidgetItem* keyword = list_->item(row, 1);
    if (!keyword) return;
    platform().openUrl(requestUrl(keywordSearchAddress(keyword->text())));
}

}  // namespace zorvan
