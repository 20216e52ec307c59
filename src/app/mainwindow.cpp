#include "app/mainwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
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
namespace {}  // namespace

MainWindow::MainWindow(QWidget* parent, std::optional<std::chrono::milliseconds> updateCheckDelay)
    : QWidget(parent), run_(new BatchRun(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(S("Zorvan站长工具箱V" ZORVAN_VERSION "    新增百度权重查询   ") +
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
    if (bar_->box->count() > 0) bar_->box->setCurrentIndex(0);
    if (updateCheckDelay) updateTimer_->start(*updateCheckDelay);

    adjustSize();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    bar_->box->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildUi() {
    content_ = new QWidget(this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(content_);
    auto* page = new QVBoxLayout(content_);
    page->setContentsMargins(10, 10, 10, 10);
    page->setSpacing(8);

    fields_ = std::make_unique<FieldBoard>(content_, this);
    bar_ = std::make_unique<DomainBar>(content_, page, this);
    ranking_ = std::make_unique<RankingRow>(content_, page, *fields_);
    engines_ = std::make_unique<EngineTable>(content_, page, *fields_);
    detail_ = std::make_unique<DetailGrid>(content_, page, *fields_, this);
    tools_ = std::make_unique<ToolBar>(content_, page);

    // The host area for the tool windows, laid over everything below the domain row.
    hostArea_ = new QWidget(this);
    hostArea_->setObjectName(QStringLiteral("Picture1"));
    hostArea_->setAutoFillBackground(true);
    hostArea_->installEventFilter(this);
    connectControls();
}

void MainWindow::connectControls() {
    connect(bar_->query, &QPushButton::clicked, this, &MainWindow::startCombinedQuery);
    connect(bar_->history, &QPushButton::clicked, this, &MainWindow::openHistoryViewer);
    connect(bar_->report, &QPushButton::clicked, this, &MainWindow::openReport);
    connect(bar_->list, &QPushButton::clicked, this, &MainWindow::openListEditor);
    connect(detail_->check, &QPushButton::clicked, this, &MainWindow::runDetailCheck);
    connect(detail_->visit, &QPushButton::clicked, this, &MainWindow::visitSite);
    connect(detail_->product, &QPushButton::clicked, this, &MainWindow::visitProduct);
    connect(tools_->weight, &QPushButton::clicked, this, &MainWindow::showWeightWindow);
    connect(tools_->backlinks, &QPushButton::clicked, this, &MainWindow::showBacklinkWindow);
    connect(tools_->serviceCheck, &QPushButton::clicked, this, &MainWindow::showCheckWindow);
    connect(bar_->batch, &QCheckBox::toggled, this, &MainWindow::onBatchModeToggled);
    connect(bar_->box, &QComboBox::currentIndexChanged, this, &MainWindow::onDomainSelected);
    // A batch run walks on from the entry the box shows, wherever a reload put it.
    connect(bar_->box, &QComboBox::currentIndexChanged, run_, &BatchRun::setPosition);
    connect(ranking_->previous, &QToolButton::clicked, this, &MainWindow::showPreviousEntry);
    connect(ranking_->next, &QToolButton::clicked, this, &MainWindow::showNextEntry);
}

const CombinedQueryEngine* MainWindow::query() const {
    return run_->current();
}

QString MainWindow::domain() const {
    return bar_->box->currentText();
}

QLabel* MainWindow::label(const QString& objectName) const {
    if (QLabel* l = fields_->field(objectName)) return l;
    return findChild<QLabel*>(objectName);
}

QString MainWindow::fieldText(const QString& objectName) const {
    if (const auto figure = figureByControl(objectName)) return figures_[*figure];
    const QLabel* l = label(objectName);
    return l ? l->text() : QString();
}

void MainWindow::setFieldText(const QString& objectName, const QString& text) {
    if (const auto figure = figureByControl(objectName)) {
        setFigure(*figure, text);
        return;
    }
    if (QLabel* l = label(objectName)) {
        // Page text is shown as text, never interpreted as markup.
        l->setTextFormat(Qt::PlainText);
        l->setText(text);
    }
}

void MainWindow::setFigure(Figure figure, const QString& text) {
    figures_[figure] = text;
    showFigure(figure);
}

// The field shows its figure as text (never as markup); its tooltip says what a click opens.
void MainWindow::showFigure(Figure figure) {
    QLabel* l = fields_->field(figureControl(figure));
    if (!l) return;
    l->setTextFormat(Qt::PlainText);
    // A dropped count is drawn red with an arrow; the figure itself stays the text that arrived.
    const FigureDrop* drop = shownDrop(figure);
    l->setText(drop ? figures_[figure] + S(" ↓") : figures_[figure]);
    const QString style = FieldBoard::style(drop != nullptr);
    if (l->styleSheet() != style) l->setStyleSheet(style);
    l->setToolTip(figureToolTip(figure));
    if (drop) l->setToolTip(dropDescription(*drop));
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

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        (watched == bar_->box || watched == bar_->box->lineEdit())) {
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (bar_->query->isEnabled()) startCombinedQuery();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonPress && watched == detail_->check) resetDetailFields();
    followQuickLink(watched, event);
    return QWidget::eventFilter(watched, event);
}

void MainWindow::followQuickLink(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (!(press || event->type() == QEvent::MouseButtonRelease)) return;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return;
    if (press) {
        pressedField_ = watched;
        return;
    }
    const bool sameField =
        pressedField_ == watched && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
    pressedField_ = nullptr;
    std::optional<QuickLink> target;
    if (watched == hostArea_)
        target = hostAreaLink();
    else if (const auto figure = figureByControl(watched->objectName()))
        target = quickLink(*figure);
    if (sameField && target) OpenQueryUrl(target->prefix, domain(), target->suffix);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeHostArea();
}

void MainWindow::placeHostArea() {
    // Nearly the whole client area, below the domain row.
    const int top = bar_->box->geometry().bottom() + 14;
    hostArea_->setGeometry(10, top, width() - 20, height() - top - 10);
    hostArea_->raise();
}

}  // namespace zorvan
