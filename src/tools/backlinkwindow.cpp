#include "tools/backlinkwindow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "fetch/fetch.h"
#include "fetch/platform.h"
#include "fetch/services.h"
#include "tools/backlink.h"

namespace zorvan {

namespace {

const QStringList& headers() {
    static const QStringList texts{QStringLiteral("序号"), QStringLiteral("  网络带外链的页面（最多列出1000条）"),
                                   QStringLiteral("          页面名字")};
    return texts;
}
constexpr int Widths[] = {40, 350, 350};

QTableWidgetItem* cellItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

BacklinkWindow::BacklinkWindow(QWidget* parent) : QWidget(parent), listing_(new BacklinkListing(this)) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("SEO-准确外链查询工具        ") + productAddress() +
                   QStringLiteral("  Zorvan站长工具工作室  联系方式见官网"));

    auto* scheme = new QLabel(QStringLiteral("http://"), this);
    scheme->setObjectName(QStringLiteral("Label3"));
    domainBox_ = new QLineEdit(QStringLiteral("www.hao123.com"), this);
    domainBox_->setObjectName(QStringLiteral("Text1"));
    domainBox_->setAccessibleName(QStringLiteral("域名"));
    scheme->setBuddy(domainBox_);
    queryButton_ = new QPushButton(QStringLiteral("查  询"), this);
    queryButton_->setObjectName(QStringLiteral("Command5"));
    queryButton_->installEventFilter(this);
    returnButton_ = new QPushButton(QStringLiteral("返回其他"), this);
    returnButton_->setObjectName(QStringLiteral("Command3"));
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("Label2"));
    statusLine_->setAccessibleDescription(QStringLiteral("查询状态"));
    statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    list_ = new QTableWidget(this);
    list_->setObjectName(QStringLiteral("ListView1"));
    list_->setAccessibleName(QStringLiteral("外链页面"));
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A click on any column selects the whole row, which the double-click then opens.
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->verticalHeader()->hide();
    list_->setWordWrap(false);
    list_->setToolTip(NoResultHint);
    rebuildList();
    statusLine_->clear();

    auto* top = new QHBoxLayout;
    top->addWidget(scheme);
    top->addWidget(domainBox_, 1);
    top->addWidget(queryButton_);
    top->addWidget(returnButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(statusLine_);
    layout->addWidget(list_, 1);
    resize(780, 480);

    connect(queryButton_, &QPushButton::clicked, this, &BacklinkWindow::runQuery);
    connect(domainBox_, &QLineEdit::returnPressed, queryButton_, &QPushButton::click);
    connect(returnButton_, &QPushButton::clicked, this, &BacklinkWindow::returnRequested);
    connect(listing_, &BacklinkListing::pageListed, this, &BacklinkWindow::rebuildList);
    connect(list_, &QTableWidget::cellDoubleClicked, this, &BacklinkWindow::openRow);
}

bool BacklinkWindow::eventFilter(QObject* watched, QEvent* event) {
    // Any mouse button on the query button says a query is on its way, before the click itself.
    if (watched == queryButton_ && event->type() == QEvent::MouseButtonPress)
        statusLine_->setText(QStringLiteral("查询中，请等待..."));
    return QWidget::eventFilter(watched, event);
}

void BacklinkWindow::runQuery() {
    if (listing_->isRunning()) return;
    QPointer<BacklinkWindow> self(this);
    queryButton_->setEnabled(false);
    const bool listed = listing_->run(domainBox_->text());
    if (!self) return;
    queryButton_->setEnabled(true);
    if (!listed) statusLine_->setText(NoResultHint);
}

void BacklinkWindow::rebuildList() {
    const QStringList& addresses = listing_->addresses();
    const QStringList& texts = listing_->linkTexts();
    list_->setUpdatesEnabled(false);
    list_->clear();
    list_->setRowCount(0);
    list_->setColumnCount(0);
    list_->setColumnCount(int(headers().size()));
    list_->setHorizontalHeaderLabels(headers());
    for (int c = 0; c < int(headers().size()); ++c) list_->setColumnWidth(c, Widths[c]);
    const int rows = int(addresses.size());
    list_->setRowCount(rows);
    for (int i = 0; i < rows; ++i) {
        list_->setItem(i, 0, cellItem(QString::number(i + 1)));
        list_->setItem(i, 1, cellItem(addresses.at(i)));
        list_->setItem(i, 2, cellItem(i < texts.size() ? texts.at(i) : QString()));
    }
    list_->setUpdatesEnabled(true);
    statusLine_->setText(listing_->summary());
}

void BacklinkWindow::openRow(int row) {
    const QList<QTableWidgetItem*> selected = list_->selectedItems();
    if (!selected.isEmpty()) row = selected.first()->row();
    const QTableWidgetItem* address = list_->item(row, 1);
    if (!address) return;
    // The cell holds each matched address followed by CR LF; the first one is the page's own.
    const QString first = address->text().split(QStringLiteral("\r\n")).first().trimmed();
    const QUrl url = RequestUrl(first);
    if (url.scheme() == QStringLiteral("http") && !url.host().isEmpty()) platform().openUrl(url);
}

}  // namespace zorvan
