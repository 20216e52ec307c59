#include "app/mainwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/resultfields.h"
#include "core/platform.h"
#include "engines/batchrun.h"
#include "engines/quicklinks.h"
#include "net/fetch.h"
#include "vocab/text.h"
#include "zorvan_version.h"

namespace zorvan {

MainWindow::MainWindow(QWidget* parent, std::optional<std::chrono::milliseconds> updateCheckDelay)
    : QWidget(parent), run_(new BatchRun(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ApplicationTitle + S("V" ZORVAN_VERSION "    新增百度权重查询   ") +
                   S("—— Zorvan 站长之家 http://www.zorvan.net 客服 400-000-0000"));
    buildUi();

    connect(run_, &BatchRun::figureReady, this, [this](Figure figure, const QString& text) {
        if (!lateFiguresDropped_) setFigure(figure, text);
    });
    connect(run_, &BatchRun::domainDone, this, &MainWindow::onQueryDone);
    connect(run_, &BatchRun::domainStarted, this, &MainWindow::onBatchDomainStarted);
    connect(run_, &BatchRun::finished, this, &MainWindow::onBatchRunFinished);

    updateTimer_ = new QTimer(this);
    updateTimer_->setObjectName(QStringLiteral("Timer2"));
    updateTimer_->setSingleShot(true);
    connect(updateTimer_, &QTimer::timeout, this, &MainWindow::runUpdateCheck);

    // Start-up.
    hostArea_->hide();
    loadDomainList();
    if (domainBox()->count() > 0) domainBox()->setCurrentIndex(0);
    if (updateCheckDelay) updateTimer_->start(*updateCheckDelay);

    adjustSize();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    domainBox()->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildUi() {
    auto* content = new QWidget(this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(content);
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(10, 10, 10, 10);
    page->setSpacing(PageSpacing);

    bar_ = new DomainBar(content);
    ranking_ = new RankingRow(content);
    engines_ = new EngineTable(content);
    detail_ = new DetailGrid(content);
    tools_ = new ToolBar(content);
    const QList<QWidget*> rows = {bar_, bar_->tickRow(), ranking_, engines_, detail_, tools_};
    for (QWidget* row : rows) page->addWidget(row);

    // Laid over everything below the domain row.
    hostArea_ = new HostArea(this);
    connectPanels();
}

void MainWindow::connectPanels() {
    connect(bar_, &DomainBar::queryAsked, this, &MainWindow::startCombinedQuery);
    connect(bar_, &DomainBar::historyAsked, this, &MainWindow::openHistoryViewer);
    connect(bar_, &DomainBar::reportAsked, this, &MainWindow::openReport);
    connect(bar_, &DomainBar::listAsked, this, &MainWindow::openListEditor);
    connect(batchBox(), &QCheckBox::toggled, this, &MainWindow::onBatchModeToggled);
    connect(domainBox(), &QComboBox::currentIndexChanged, this, &MainWindow::onDomainSelected);
    // A batch run walks on from the entry the box shows, wherever a reload put it.
    connect(domainBox(), &QComboBox::currentIndexChanged, run_, &BatchRun::setPosition);
    connect(ranking_, &RankingRow::entryStepped, this, &MainWindow::stepEntry);
    for (FigurePanel* panel : std::initializer_list<FigurePanel*>{ranking_, engines_})
        connect(panel, &FigurePanel::quickLinkClicked, this, &MainWindow::openQuickLink);
    connect(detail_, &DetailGrid::resetAsked, this, &MainWindow::resetDetailFields);
    connect(detail_, &DetailGrid::detailAsked, this, &MainWindow::runDetailCheck);
    connect(detail_, &DetailGrid::visitAsked, this, &MainWindow::visitSite);
    connect(detail_, &DetailGrid::productAsked, this, &MainWindow::visitProduct);
    connect(tools_, &ToolBar::weightAsked, this, &MainWindow::showWeightWindow);
    connect(tools_, &ToolBar::backlinksAsked, this, &MainWindow::showBacklinkWindow);
    connect(tools_, &ToolBar::serviceCheckAsked, this, &MainWindow::showCheckWindow);
    connect(tools_, &ToolBar::siteGroupAsked, this, &MainWindow::openSiteGroup);
    connect(hostArea_, &HostArea::clicked, this, &MainWindow::openHostAreaLink);
}

const CombinedQueryEngine* MainWindow::query() const {
    return run_->current();
}

QString MainWindow::domain() const {
    return domainBox()->currentText();
}

QLabel* MainWindow::figureField(Figure figure) const {
    if (QLabel* field = ranking_->field(figure)) return field;
    return engines_->field(figure);
}

QString MainWindow::detail(DetailField field) const {
    return detail_->field(field)->text();
}

void MainWindow::setDetail(DetailField field, const QString& text) {
    QLabel* label = detail_->field(field);
    // Page text is shown as text, never interpreted as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

void MainWindow::setFigure(Figure figure, const QString& text) {
    figures_[figure] = text;
    showFigure(figure);
}

// The field shows its figure as text (never as markup); its tooltip says what a click opens.
void MainWindow::showFigure(Figure figure) {
    QLabel* l = figureField(figure);
    l->setTextFormat(Qt::PlainText);
    // A dropped count is drawn red with an arrow; the figure itself stays the text that arrived.
    const FigureDrop* drop = shownDrop(figure);
    l->setText(drop ? figures_[figure] + S(" ↓") : figures_[figure]);
    const QString style = fieldStyle(drop != nullptr);
    if (l->styleSheet() != style) l->setStyleSheet(style);
    l->setToolTip(figureToolTip(figure));
    if (drop) l->setToolTip(dropDescription(*drop));
}

void MainWindow::openQuickLink(Figure figure) {
    if (const std::optional<QuickLink> link = quickLink(figure))
        OpenQueryUrl(link->prefix, domain(), link->suffix);
}

void MainWindow::openHostAreaLink() {
    const QuickLink link = hostAreaLink();
    OpenQueryUrl(link.prefix, domain(), link.suffix);
}

// Held by QPointer: the modal loop may outlive this window, which deletes its children.
void MainWindow::openDialog(QDialog* dialog) {
    const QPointer<QDialog> held = dialog;
    dialog->exec();
    delete held.data();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const Message question{this, MessageIcon::Question, S("退出"), S("真的退出吗?"),
                           MessageButtons::OkCancel};
    if (platform().showMessage(question) == MessageAnswer::Ok) {
        event->accept();
        Q_EMIT exitConfirmed();
    } else {
        event->ignore();
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeHostArea();
}

void MainWindow::placeHostArea() {
    // Nearly the whole client area, below the domain row.
    const QRect box(domainBox()->mapTo(this, QPoint(0, 0)), domainBox()->size());
    const int top = box.bottom() + 14;
    hostArea_->setGeometry(10, top, width() - 20, height() - top - 10);
    hostArea_->raise();
}

}  // namespace zorvan
