#include "app/mainwindow.h"

#include <QAccessible>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/resultfields.h"
#include "engines/quicklinks.h"
#include "fetch/fetch.h"
#include "fetch/platform.h"
#include "zorvan_version.h"

namespace zorvan {
namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

const char* const ResultFieldStyle =
    "QLabel { border: 1px solid #b8c4d6; background: #ffffff; padding: 2px 6px; color: #1a4f9c; }";
const char* const DroppedFieldStyle =
    "QLabel { border: 1px solid #b8c4d6; background: #ffffff; padding: 2px 6px; color: #d01c1c; }";
const char* const HeadingStyle =
    "QLabel { background: #3d6db5; color: white; font-weight: bold; padding: 3px 8px; }";

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QLabel* makeText(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// A small round badge with the engine's initial stands in for each engine's icon.
QLabel* engineIcon(QWidget* parent, const QString& letter, const QString& colour) {
    auto* icon = new QLabel(letter, parent);
    icon->setFixedSize(20, 20);
    icon->setAlignment(Qt::AlignCenter);
    icon->setStyleSheet(QStringLiteral("QLabel { border-radius: 10px; color: white; font-weight: bold; background: ") +
                        colour + QStringLiteral("; }"));
    icon->setAccessibleName(QString());
    return icon;
}

// The detail heading keeps its one-line text (its accessible name), but paints each word centred
// over its column, so the headings line up with the fields whatever the font.
class ColumnHeading final : public QLabel {
public:
    ColumnHeading(const QString& text, QWidget* parent) : QLabel(text, parent) {
        setMinimumHeight(fontMetrics().height() + 4);
    }
    void addColumn(QWidget* column) { columns_.append(column); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QColor(0x55, 0x55, 0x55));
        const QStringList words = text().split(u' ', Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < words.size() && i < columns_.size(); ++i) {
            const QRect cell = columns_[i]->geometry();
            const QPoint left = mapFrom(parentWidget(), cell.topLeft());
            painter.drawText(QRect(left.x(), 0, cell.width(), height()), Qt::AlignCenter, words[i]);
        }
    }

private:
    QList<QWidget*> columns_;
};

QLabel* infoIcon(QWidget* parent) {
    auto* icon = new QLabel(QStringLiteral("?"), parent);
    icon->setFixedSize(16, 16);
    icon->setAlignment(Qt::AlignCenter);
    icon->setStyleSheet(QStringLiteral("QLabel { border-radius: 8px; background: #f0a030; color: white; font-weight: bold; }"));
    icon->setToolTip(S("如果没有查询结果，请重新查询"));
    return icon;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(S("Zorvan站长工具箱V" ZORVAN_VERSION "    新增百度权重查询   ") +
                   S("—— Zorvan 站长之家 http://www.zorvan.net 客服 400-000-0000"));
    buildUi();

    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName(QStringLiteral("Timer1"));
    pollTimer_->setInterval(10);
    connect(pollTimer_, &QTimer::timeout, this, &MainWindow::pollCompletion);

    updateTimer_ = new QTimer(this);
    updateTimer_->setObjectName(QStringLiteral("Timer2"));
    updateTimer_->setInterval(1000);
    updateTimer_->setSingleShot(true);
    connect(updateTimer_, &QTimer::timeout, this, &MainWindow::runUpdateCheck);

    // Start-up.
    hostArea_->hide();
    state_.batchResults = {QString(), QString()};
    state_.runActive = false;
    state_.resultsReady = false;
    loadDomainList();
    if (domainBox_->count() > 0) domainBox_->setCurrentIndex(0);
    updateTimer_->start();

    adjustSize();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    domainBox_->setFocus();
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

    // 1. The domain row.
    auto* domainRow = new QHBoxLayout;
    domainRow->addWidget(makeText(content_, "Label1", QStringLiteral("http://")));
    domainBox_ = new QComboBox(content_);
    domainBox_->setObjectName(QStringLiteral("Combo1"));
    domainBox_->setEditable(true);
    domainBox_->setInsertPolicy(QComboBox::NoInsert);
    // A query asks exactly what was typed: no completion from the saved list, no case change.
    domainBox_->setCompleter(nullptr);
    domainBox_->setMinimumWidth(260);
    domainBox_->setAccessibleName(S("域名"));
    domainBox_->installEventFilter(this);
    domainBox_->lineEdit()->installEventFilter(this);
    domainRow->addWidget(domainBox_, 1);
    queryButton_ = makeButton(content_, "Command1", S("查询"));
    queryButton_->setAccessibleDescription(S("综合查询"));
    domainRow->addWidget(queryButton_);
    auto* historyButton = makeButton(content_, "Command2", S("查看历史"));
    auto* reportButton = makeButton(content_, "Command3", S("复制结果"));
    auto* listButton = makeButton(content_, "Command4", S("添加地址"));
    domainRow->addWidget(historyButton);
    domainRow->addWidget(reportButton);
    domainRow->addWidget(listButton);
    page->addLayout(domainRow);

    // 2. Batch mode and auto-save.
    auto* tickRow = new QHBoxLayout;
    batchBox_ = new QCheckBox(content_);
    batchBox_->setObjectName(QStringLiteral("Check1"));
    batchBox_->setAccessibleName(S("批量查询"));
    batchBox_->setToolTip(S("批量查询模式下不能在下拉框中输入地址，请通过设置（添加地址）添加常用域名。"));
    auto* batchLabel = makeText(content_, "Label19", S("批量查询"));
    batchLabel->setToolTip(batchBox_->toolTip());
    batchLabel->setBuddy(batchBox_);
    autoSaveBox_ = new QCheckBox(content_);
    autoSaveBox_->setObjectName(QStringLiteral("Check2"));
    autoSaveBox_->setAccessibleName(S("自动保存"));
    autoSaveBox_->setChecked(true);
    autoSaveBox_->setToolTip(S("查询结果保存在根目录history文本下，请勿手动修改其格式。"));
    auto* autoSaveLabel = makeText(content_, "Label18", S("自动保存"));
    autoSaveLabel->setToolTip(autoSaveBox_->toolTip());
    autoSaveLabel->setBuddy(autoSaveBox_);
    tickRow->addWidget(batchBox_);
    tickRow->addWidget(batchLabel);
    tickRow->addSpacing(20);
    tickRow->addWidget(autoSaveBox_);
    tickRow->addWidget(autoSaveLabel);
    tickRow->addStretch(1);
    page->addLayout(tickRow);

    // 3. The general information row with the batch arrows.
    auto* infoRow = new QHBoxLayout;
    previousArrow_ = new QToolButton(content_);
    previousArrow_->setObjectName(QStringLiteral("Image12"));
    previousArrow_->setArrowType(Qt::LeftArrow);
    previousArrow_->setAccessibleName(S("上一个"));
    previousArrow_->setToolTip(S("上一个"));
    previousArrow_->hide();
    nextArrow_ = new QToolButton(content_);
    nextArrow_->setObjectName(QStringLiteral("Image13"));
    nextArrow_->setArrowType(Qt::RightArrow);
    nextArrow_->setAccessibleName(S("下一个"));
    nextArrow_->setToolTip(S("下一个"));
    nextArrow_->hide();
    auto* infoGrid = new QGridLayout;
    infoGrid->setHorizontalSpacing(12);
    const QStringList headings = {S("百度快照"), QStringLiteral("Alexa Rank"), QStringLiteral("Google PageRank"),
                                  QStringLiteral("Sogou Rank")};
    for (int i = 0; i < 4; ++i) {
        auto* heading = new QLabel(headings[i], content_);
        heading->setStyleSheet(QString::fromLatin1(HeadingStyle));
        heading->setAlignment(Qt::AlignCenter);
        infoGrid->addWidget(heading, 0, i);
        const FigureInfo& field = figureTable()[size_t(i)];
        infoGrid->addWidget(makeField(field.control, Pending, field.label), 1, i);
    }
    infoRow->addWidget(previousArrow_);
    infoRow->addLayout(infoGrid, 1);
    infoRow->addWidget(nextArrow_);
    page->addLayout(infoRow);

    // 4. The engine table.
    auto* engines = new QGroupBox(content_);
    engines->setObjectName(QStringLiteral("Frame2"));
    auto* table = new QGridLayout(engines);
    table->setHorizontalSpacing(10);
    table->setVerticalSpacing(4);
    table->addWidget(makeText(engines, "Label3", S("搜索引擎")), 0, 0, 1, 2);
    table->addWidget(makeText(engines, "Label4", S("收录情况")), 0, 2);
    table->addWidget(makeText(engines, "Label5", S("反向链接")), 0, 3);
    table->addWidget(infoIcon(engines), 0, 4);
    // Row labels Label6 to Label12, one per engine; the icon shows the engine's initial.
    int r = 1;
    for (const EngineInfo& e : engineTable()) {
        auto* rowLabel = new QLabel(e.name, engines);
        rowLabel->setObjectName(QStringLiteral("Label") + QString::number(5 + r));
        table->addWidget(engineIcon(engines, e.key.left(1).toUpper(), e.colour), r, 0);
        table->addWidget(rowLabel, r, 1);
        const FigureInfo& indexed = figureInfo(indexedFigure(e.engine));
        const FigureInfo& backlinks = figureInfo(backlinksFigure(e.engine));
        table->addWidget(makeField(indexed.control, Pending, indexed.label), r, 2);
        table->addWidget(makeField(backlinks.control, Pending, backlinks.label), r, 3);
        ++r;
    }
    table->setColumnStretch(2, 1);
    table->setColumnStretch(3, 1);
    page->addWidget(engines);

    // 5. The detail area.
    auto* detail = new QGroupBox(content_);
    detail->setObjectName(QStringLiteral("Frame1"));
    auto* detailLayout = new QVBoxLayout(detail);
    auto* detailButtons = new QHBoxLayout;
    detailButton_ = makeButton(detail, "Command7", S("查询"));
    detailButton_->setAccessibleDescription(S("详细查询"));
    detailButton_->installEventFilter(this);
    auto* visitButton = makeButton(detail, "Command11", S("访问此站"));
    auto* productButton = makeButton(detail, "Command15", S("访问官网"));
    detailButtons->addWidget(detailButton_);
    detailButtons->addWidget(visitButton);
    detailButtons->addWidget(productButton);
    detailButtons->addStretch(1);
    detailLayout->addLayout(detailButtons);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    const QStringList columns = detailColumns();
    auto* heading = new ColumnHeading(
        S("今日收录    一星期收录   一月收录   所有收录   最新快照  site:首页  "), detail);
    heading->setObjectName(QStringLiteral("Label83"));
    grid->addWidget(heading, 0, 1, 1, int(columns.size()));
    grid->addWidget(makeText(detail, "Label95", S("百度综合：")), 1, 0);
    grid->addWidget(makeText(detail, "Label96", S("谷歌综合：")), 2, 0);
    const QStringList baidu = baiduDetailFields();
    const QStringList google = googleDetailFields();
    for (int c = 0; c < columns.size(); ++c) {
        const QString baiduInitial = baidu[c] == QStringLiteral("Label88") ? S("首页快照") : S("-");
        const QString googleInitial = google[c] == QStringLiteral("Label74") ? S("最新一篇") : S("-");
        QLabel* b = makeField(baidu[c], baiduInitial, S("百度综合 ") + columns[c]);
        QLabel* g = makeField(google[c], googleInitial, S("谷歌综合 ") + columns[c]);
        b->setToolTip(QString());
        g->setToolTip(QString());
        b->setAlignment(Qt::AlignCenter);
        g->setAlignment(Qt::AlignCenter);
        grid->addWidget(b, 1, c + 1);
        grid->addWidget(g, 2, c + 1);
        grid->setColumnStretch(c + 1, 1);
        heading->addColumn(b);
    }
    detailLayout->addLayout(grid);
    page->addWidget(detail);

    // 6. The tool window buttons.
    auto* toolRow = new QHBoxLayout;
    auto* weightButton = makeButton(content_, "Command9", S("百度权重查询"));
    auto* backlinkButton = makeButton(content_, "Command10", S("外链页面查询"));
    toolRow->addWidget(weightButton);
    toolRow->addWidget(backlinkButton);
    auto* checkButton = makeButton(content_, "CheckButton", S("服务检查"));
    checkButton->setToolTip(S("逐条检查每个数值的查询规则：问了哪个地址、得到什么、为什么是“X”"));
    toolRow->addWidget(checkButton);
    toolRow->addStretch(1);
    page->addLayout(toolRow);

    // 7. The host area for the tool windows, laid over everything below the domain row.
    hostArea_ = new QWidget(this);
    hostArea_->setObjectName(QStringLiteral("Picture1"));
    hostArea_->setAutoFillBackground(true);
    hostArea_->installEventFilter(this);

    connect(queryButton_, &QPushButton::clicked, this, &MainWindow::startCombinedQuery);
    connect(historyButton, &QPushButton::clicked, this, &MainWindow::openHistoryViewer);
    connect(reportButton, &QPushButton::clicked, this, &MainWindow::openReport);
    connect(listButton, &QPushButton::clicked, this, &MainWindow::openListEditor);
    connect(detailButton_, &QPushButton::clicked, this, &MainWindow::runDetailCheck);
    connect(visitButton, &QPushButton::clicked, this, &MainWindow::visitSite);
    connect(productButton, &QPushButton::clicked, this, &MainWindow::visitProduct);
    connect(weightButton, &QPushButton::clicked, this, &MainWindow::showWeightWindow);
    connect(backlinkButton, &QPushButton::clicked, this, &MainWindow::showBacklinkWindow);
    connect(checkButton, &QPushButton::clicked, this, &MainWindow::showCheckWindow);
    connect(batchBox_, &QCheckBox::toggled, this, &MainWindow::onBatchModeToggled);
    connect(domainBox_, &QComboBox::currentIndexChanged, this, &MainWindow::onDomainSelected);
    connect(previousArrow_, &QToolButton::clicked, this, &MainWindow::showPreviousEntry);
    connect(nextArrow_, &QToolButton::clicked, this, &MainWindow::showNextEntry);
}

QLabel* MainWindow::makeField(const QString& name, const QString& text, const QString& description) {
    auto* field = new QLabel(text, content_);
    field->setObjectName(name);
    field->setToolTip(S("点击查看详情"));
    field->setAccessibleDescription(description);
    field->setStyleSheet(QString::fromLatin1(ResultFieldStyle));
    field->setMinimumWidth(70);
    // Chinese glyphs come from a fallback font with a taller line: size every field for them, so
    // rows keep one height whatever text arrives.
    static const int height = [] {
        QLabel probe(QString::fromUtf8("约Ag"));
        probe.setStyleSheet(QString::fromLatin1(ResultFieldStyle));
        return probe.sizeHint().height();
    }();
    field->setFixedHeight(height);
    field->setTextInteractionFlags(Qt::NoTextInteraction);
    field->installEventFilter(this);
    labels_.insert(name, field);
    return field;
}

QString MainWindow::domain() const { return domainBox_->currentText(); }

QLabel* MainWindow::label(const QString& objectName) const {
    if (QLabel* l = labels_.value(objectName)) return l;
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
    QLabel* l = labels_.value(figureInfo(figure).control);
    if (!l) return;
    l->setTextFormat(Qt::PlainText);
    // A dropped count is drawn red with an arrow; the figure itself stays the text that arrived.
    const FigureDrop* drop = shownDrop(figure);
    l->setText(drop ? figures_[figure] + S(" ↓") : figures_[figure]);
    const QString style = QString::fromLatin1(drop ? DroppedFieldStyle : ResultFieldStyle);
    if (l->styleSheet() != style) l->setStyleSheet(style);
    l->setToolTip(figureToolTip(figure));
    if (drop) l->setToolTip(dropDescription(*drop));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const Message question{this, MessageIcon::Question, S("退出"), S("真的退出吗?"), MessageButtons::OkCancel};
    if (platform().showMessage(question) == MessageAnswer::Ok) {
        event->accept();
        Q_EMIT exitConfirmed();
    } else {
        event->ignore();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        (watched == domainBox_ || watched == domainBox_->lineEdit())) {
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (queryButton_->isEnabled()) startCombinedQuery();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonPress && watched == detailButton_) resetDetailFields();
    // A quick link opens on a left click: press and release on the same field.
    const bool leftButton = (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
                            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    if (leftButton && event->type() == QEvent::MouseButtonPress) pressedField_ = watched;
    if (leftButton && event->type() == QEvent::MouseButtonRelease) {
        const bool sameField = pressedField_ == watched && watched->isWidgetType() &&
                               static_cast<QWidget*>(watched)->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint());
        pressedField_ = nullptr;
        std::optional<QuickLink> target;
        if (watched == hostArea_) target = hostAreaLink();
        else if (const auto figure = figureByControl(watched->objectName())) target = quickLink(*figure);
        if (sameField && target) OpenQueryUrl(target->prefix, domain(), target->suffix);
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeHostArea();
}

void MainWindow::placeHostArea() {
    // Nearly the whole client area, below the domain row.
    const int top = domainBox_->geometry().bottom() + 14;
    hostArea_->setGeometry(10, top, width() - 20, height() - top - 10);
    hostArea_->raise();
}

}  // namespace zorvan
