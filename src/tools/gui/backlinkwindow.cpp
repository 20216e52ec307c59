#include "tools/gui/backlinkwindow.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "core/platform.h"
#include "core/services.h"
#include "net/fetch.h"
#include "tools/backlink.h"

namespace zorvan {

namespace {

const QStringList& headers() {
    static const QStringList texts{QStringLiteral("序号"),
                                   QStringLiteral("  网络带外链的页面（最多列出1000条）"),
                                   QStringLiteral("          页面名字")};
    return texts;
}
constexpr int Widths[] = {40, 350, 350};

}  // namespace

// The list's rows are a snapshot of the listing's lists (shared, not copied), so rebuilding the
// list after a page is one reset however many rows it holds, and the rows stay as they were
// while the next query starts over.
class BacklinkTableModel : public QAbstractTableModel {
  public:
    BacklinkTableModel(const BacklinkListing& listing, QObject* parent)
        : QAbstractTableModel(parent), listing_(listing) {}

    void rebuild() {
        beginResetModel();
        addresses_ = listing_.addresses();
        linkTexts_ = listing_.linkTexts();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(addresses_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(headers().size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) return {};
        const QString text = cellText(index);
        if (role == Qt::UserRole) return text;
        // Each match ends in CR LF; the row shows its matches on one line, the tooltip as kept.
        if (role == Qt::DisplayRole)
            return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("  ")).trimmed();
        if (role == Qt::ToolTipRole && index.column() > 0) return text.trimmed();
        return {};
    }
    // The cell as collected: every match followed by CR LF.
    QString cellText(const QModelIndex& index) const {
        switch (index.column()) {
            case 0:
                return QString::number(index.row() + 1);
            case 1:
                return addresses_.value(index.row());
            case 2:
                return linkTexts_.value(index.row());
            default:
                return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return headers().value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

  private:
    const BacklinkListing& listing_;
    QStringList addresses_;
    QStringList linkTexts_;
};

BacklinkWindow::BacklinkWindow(QWidget* parent)
    : ToolWindow({"Form5", "Label3", "Text1", QStringLiteral("www.hao123.com"), "Command5",
                  QStringLiteral("查  询"), "Command3"},
                 parent),
      listing_(new BacklinkListing(this)) {
    setWindowTitle(QStringLiteral("SEO-准确外链查询工具        ") + productAddress() +
                   QStringLiteral("  Zorvan站长工具工作室  联系方式见官网"));

    queryButton()->installEventFilter(this);
    statusLine_ = new QLabel(this);
    name(statusLine_, "Label2");
    statusLine_->setAccessibleDescription(QStringLiteral("查询状态"));
    statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    list_ = new QTableView(this);
    model_ = new BacklinkTableModel(*listing_, this);
    list_->setModel(model_);
    name(list_, "ListView1");
    list_->setAccessibleName(QStringLiteral("外链页面"));
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A click on any column selects the whole row, which the double-click then opens.
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->verticalHeader()->hide();
    list_->setWordWrap(false);
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    rebuildList();
    statusLine_->clear();

    column()->addWidget(statusLine_);
    column()->addWidget(list_, 1);

    connect(queryButton(), &QPushButton::clicked, this, &BacklinkWindow::runQuery);
    connect(listing_, &BacklinkListing::pageListed, this, &BacklinkWindow::rebuildList);
    connect(listing_, &BacklinkListing::finished, this, &BacklinkWindow::queryEnded);
    connect(list_, &QTableView::doubleClicked, this, &BacklinkWindow::openRow);
}

bool BacklinkWindow::eventFilter(QObject* watched, QEvent* event) {
    // Any mouse button on the query button says a query is on its way, before the click itself.
    if (watched == queryButton() && event->type() == QEvent::MouseButtonPress)
        statusLine_->setText(QStringLiteral("查询中，请等待..."));
    return ToolWindow::eventFilter(watched, event);
}

void BacklinkWindow::runQuery() {
    if (listing_->isRunning()) return;
    queryButton()->setEnabled(false);
    listing_->start(domainBox()->text());
}

void BacklinkWindow::queryEnded(bool listed) {
    queryButton()->setEnabled(true);
    if (!listed) statusLine_->setText(NoResultHint);
    Q_EMIT queryFinished();
}

void BacklinkWindow::rebuildList() {
    model_->rebuild();
    for (int c = 0; c < model_->columnCount(); ++c) list_->setColumnWidth(c, Widths[c]);
    statusLine_->setText(listing_->summary());
}

void BacklinkWindow::openRow(const QModelIndex& index) {
    int row = index.row();
    const QModelIndexList selected = list_->selectionModel()->selectedRows();
    if (!selected.isEmpty()) row = selected.first().row();
    if (row < 0 || row >= model_->rowCount()) return;
    // The cell holds each matched address followed by CR LF; the first one is the page's own.
    const QString cell = model_->index(row, 1).data(Qt::UserRole).toString();
    const QString first = cell.split(QStringLiteral("\r\n")).first().trimmed();
    const QUrl url = requestUrl(first);
    if (url.scheme() == QStringLiteral("http") && !url.host().isEmpty()) platform().openUrl(url);
}

}  // namespace zorvan
