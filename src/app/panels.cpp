#include "app/panels.h"

#include <QCheckBox>
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
#include <QToolButton>
#include <functional>

#include "app/resultfields.h"
#include "vocab/text.h"

namespace zorvan {
namespace {

const char* const BatchTip =
    "批量查询模式下不能在下拉框中输入地址，请通过设置（添加地址）添加常用域名。";
const char* const AutoSaveTip = "查询结果保存在根目录history文本下，请勿手动修改其格式。";

// What each control says at start, and to a screen reader: text, accessible name, accessible
// description, tooltip (empty: not set).
struct ControlTexts {
    const char* name;
    const char* text;
    const char* accessibleName = "";
    const char* description = "";
    const char* toolTip = "";
};

const ControlTexts InitialTexts[] = {
    {"Label1", "http://"},
    {"Combo1", "", "域名"},
    {"Command1", "查询", "", "综合查询"},
    {"Command2", "查看历史"},
    {"Command3", "复制结果"},
    {"Command4", "添加地址"},
    {"Check1", "", "批量查询", "", BatchTip},
    {"Label19", "批量查询", "", "", BatchTip},
    {"Check2", "", "自动保存", "", AutoSaveTip},
    {"Label18", "自动保存", "", "", AutoSaveTip},
    {"Image12", "", "上一个", "", "上一个"},
    {"Image13", "", "下一个", "", "下一个"},
    {"Label3", "搜索引擎"},
    {"Label4", "收录情况"},
    {"Label5", "反向链接"},
    {"Command7", "查询", "", "详细查询"},
    {"Command11", "访问此站"},
    {"Command15", "访问官网"},
    {"Label83", "今日收录    一星期收录   一月收录   所有收录   最新快照  site:首页  "},
    {"Label95", "百度综合："},
    {"Label96", "谷歌综合："},
    {"Label88", "首页快照"},
    {"Label74", "最新一篇"},
    {"Command9", "百度权重查询"},
    {"Command10", "外链页面查询"},
    {"CheckButton", "服务检查", "", "",
     "逐条检查每个数值的查询规则：问了哪个地址、得到什么、为什么是“X”"},
    {"SiteGroupButton", "站群总览", "", "", "常用域名一览：并发查询、排序、筛选、导出"},
};

const ControlTexts* initialTexts(const QString& name) {
    for (const ControlTexts& t : InitialTexts)
        if (name == QLatin1String(t.name)) return &t;
    return nullptr;
}

void applyText(QLabel* label, const QString& text) {
    label->setText(text);
}
void applyText(QAbstractButton* button, const QString& text) {
    button->setText(text);
}
void applyText(QWidget*, const QString&) {}

// A control of the window by its name, with its texts from the table.
template <typename Widget>
Widget* control(QWidget* parent, const char* name) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    const ControlTexts* t = initialTexts(widget->objectName());
    if (!t) return widget;
    if (*t->text) applyText(widget, S(t->text));
    if (*t->accessibleName) widget->setAccessibleName(S(t->accessibleName));
    if (*t->description) widget->setAccessibleDescription(S(t->description));
    if (*t->toolTip) widget->setToolTip(S(t->toolTip));
    return widget;
}

QPushButton* button(QWidget* parent, const char* name) {
    auto* b = control<QPushButton>(parent, name);
    b->setAutoDefault(false);
    return b;
}

// A panel's own layout lays out its rows as if they stood in the page itself: no margin, the
// page's spacing, and the panel as large as its rows may be and no larger, so a larger window
// shares its room out among the rows as it always has.
template <typename Layout>
Layout* panelLayout(QWidget* panel) {
    auto* layout = new Layout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(PageSpacing);
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);
    return layout;
}

const char* const ResultFieldStyle =
    "QLabel { border: 1px solid #b8c4d6; background: #ffffff; padding: 2px 6px; color: #1a4f9c; }";
const char* const DroppedFieldStyle =
    "QLabel { border: 1px solid #b8c4d6; background: #ffffff; padding: 2px 6px; color: #d01c1c; }";
const char* const HeadingStyle =
    "QLabel { background: #3d6db5; color: white; font-weight: bold; padding: 3px 8px; }";

// One look and one height for every field, plain text; the detail fields are not links.
QLabel* makeField(QWidget* parent, const QString& name, const QString& text,
                  const QString& description) {
    auto* field = new QLabel(text, parent);
    field->setObjectName(name);
    field->setToolTip(S("点击查看详情"));
    field->setAccessibleDescription(description);
    field->setStyleSheet(fieldStyle(false));
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
    return field;
}

// A left click as a person means one: the left button pressed on the widget and released over
// it. Other handlers of the widget's events still see them.
class LeftClicks final : public QObject {
  public:
    LeftClicks(QWidget* widget, std::function<void()> clicked)
        : QObject(widget), clicked_(std::move(clicked)) {
        widget->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool press = event->type() == QEvent::MouseButtonPress;
        if (!press && event->type() != QEvent::MouseButtonRelease) return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        const bool wasPressed = pressed_;
        pressed_ = press;
        if (!press && wasPressed &&
            static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint()))
            clicked_();
        return false;
    }

  private:
    std::function<void()> clicked_;
    bool pressed_ = false;
};

// A small round badge with the engine's initial stands in for each engine's icon.
QLabel* engineIcon(QWidget* parent, const QString& letter, const QString& colour) {
    auto* icon = new QLabel(letter, parent);
    icon->setFixedSize(20, 20);
    icon->setAlignment(Qt::AlignCenter);
    icon->setStyleSheet(
        QStringLiteral(
            "QLabel { border-radius: 10px; color: white; font-weight: bold; background: ") +
        colour + QStringLiteral("; }"));
    icon->setAccessibleName(QString());
    return icon;
}

QLabel* infoIcon(QWidget* parent) {
    auto* icon = new QLabel(QStringLiteral("?"), parent);
    icon->setFixedSize(16, 16);
    icon->setAlignment(Qt::AlignCenter);
    icon->setStyleSheet(QStringLiteral(
        "QLabel { border-radius: 8px; background: #f0a030; color: white; font-weight: bold; }"));
    icon->setToolTip(S("如果没有查询结果，请重新查询"));
    return icon;
}

// The detail heading keeps its one-line text (its accessible name), but paints each word centred
// over its column, so the headings line up with the fields whatever the font.
class ColumnHeading final : public QLabel {
  public:
    explicit ColumnHeading(QWidget* parent) : QLabel(parent) {}
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

}  // namespace

QString fieldStyle(bool dropped) {
    return QString::fromLatin1(dropped ? DroppedFieldStyle : ResultFieldStyle);
}

DomainBar::DomainBar(QWidget* parent) : QWidget(parent) {
    auto* domainRow = panelLayout<QHBoxLayout>(this);
    domainRow->addWidget(control<QLabel>(this, "Label1"));
    box = control<QComboBox>(this, "Combo1");
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // A query asks exactly what was typed: no completion from the saved list, no case change.
    box->setCompleter(nullptr);
    box->setMinimumWidth(260);
    box->installEventFilter(this);
    box->lineEdit()->installEventFilter(this);
    domainRow->addWidget(box, 1);
    query = button(this, "Command1");
    QPushButton* history = button(this, "Command2");
    QPushButton* report = button(this, "Command3");
    QPushButton* list = button(this, "Command4");
    for (QPushButton* b : {query, history, report, list}) domainRow->addWidget(b);
    tickRow_ = makeTickRow(parent);

    connect(query, &QPushButton::clicked, this, &DomainBar::queryAsked);
    connect(history, &QPushButton::clicked, this, &DomainBar::historyAsked);
    connect(report, &QPushButton::clicked, this, &DomainBar::reportAsked);
    connect(list, &QPushButton::clicked, this, &DomainBar::listAsked);
}

QWidget* DomainBar::makeTickRow(QWidget* parent) {
    auto* row = new QWidget(parent);
    batch = control<QCheckBox>(row, "Check1");
    auto* batchLabel = control<QLabel>(row, "Label19");
    batchLabel->setBuddy(batch);
    autoSave = control<QCheckBox>(row, "Check2");
    autoSave->setChecked(true);
    auto* autoSaveLabel = control<QLabel>(row, "Label18");
    autoSaveLabel->setBuddy(autoSave);
    auto* ticks = panelLayout<QHBoxLayout>(row);
    ticks->addWidget(batch);
    ticks->addWidget(batchLabel);
    ticks->addSpacing(20);
    ticks->addWidget(autoSave);
    ticks->addWidget(autoSaveLabel);
    ticks->addStretch(1);
    return row;
}

// Enter in the box is "查询", and goes no further: the box itself never acts on it.
bool DomainBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == box || watched == box->lineEdit())) {
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (query->isEnabled()) Q_EMIT queryAsked();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QLabel* FigurePanel::addField(QWidget* parent, Figure figure) {
    const FigureInfo& info = figureInfo(figure);
    QLabel* field = makeField(parent, figureControl(figure), Pending, info.label);
    new LeftClicks(field, [this, figure] { Q_EMIT quickLinkClicked(figure); });
    fields_[size_t(figure)] = field;
    return field;
}

RankingRow::RankingRow(QWidget* parent) : FigurePanel(parent) {
    previous = control<QToolButton>(this, "Image12");
    previous->setArrowType(Qt::LeftArrow);
    previous->hide();
    next = control<QToolButton>(this, "Image13");
    next->setArrowType(Qt::RightArrow);
    next->hide();
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    const QStringList headings = {S("百度快照"), QStringLiteral("Alexa Rank"),
                                  QStringLiteral("Google PageRank"), QStringLiteral("Sogou Rank")};
    for (int i = 0; i < 4; ++i) {
        auto* heading = new QLabel(headings[i], this);
        heading->setStyleSheet(QString::fromLatin1(HeadingStyle));
        heading->setAlignment(Qt::AlignCenter);
        grid->addWidget(heading, 0, i);
        grid->addWidget(addField(this, figureTable()[size_t(i)].figure), 1, i);
    }
    auto* row = panelLayout<QHBoxLayout>(this);
    row->addWidget(previous);
    row->addLayout(grid, 1);
    row->addWidget(next);
    connect(previous, &QToolButton::clicked, this, [this] { Q_EMIT entryStepped(-1); });
    connect(next, &QToolButton::clicked, this, [this] { Q_EMIT entryStepped(+1); });
}

EngineTable::EngineTable(QWidget* parent) : FigurePanel(parent) {
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame2"));
    auto* table = new QGridLayout(frame);
    table->setHorizontalSpacing(10);
    table->setVerticalSpacing(4);
    table->addWidget(control<QLabel>(frame, "Label3"), 0, 0, 1, 2);
    table->addWidget(control<QLabel>(frame, "Label4"), 0, 2);
    table->addWidget(control<QLabel>(frame, "Label5"), 0, 3);
    table->addWidget(infoIcon(frame), 0, 4);
    // Row labels Label6 to Label12, one per engine; the icon shows the engine's initial.
    int r = 1;
    for (const EngineInfo& e : engineTable()) {
        auto* rowLabel = new QLabel(e.name, frame);
        rowLabel->setObjectName(QStringLiteral("Label") + QString::number(5 + r));
        table->addWidget(engineIcon(frame, e.key.left(1).toUpper(), e.colour), r, 0);
        table->addWidget(rowLabel, r, 1);
        table->addWidget(addField(frame, indexedFigure(e.engine)), r, 2);
        table->addWidget(addField(frame, backlinksFigure(e.engine)), r, 3);
        ++r;
    }
    table->setColumnStretch(2, 1);
    table->setColumnStretch(3, 1);
    panelLayout<QVBoxLayout>(this)->addWidget(frame);
}

DetailGrid::DetailGrid(QWidget* parent) : QWidget(parent) {
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* frameLayout = new QVBoxLayout(frame);
    addButtons(frame, frameLayout);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    const QStringList columns = detailColumns();
    auto* heading = control<ColumnHeading>(frame, "Label83");
    heading->setMinimumHeight(heading->fontMetrics().height() + 4);
    grid->addWidget(heading, 0, 1, 1, DetailColumnCount);
    grid->addWidget(control<QLabel>(frame, "Label95"), 1, 0);
    grid->addWidget(control<QLabel>(frame, "Label96"), 2, 0);
    const QStringList rowNames = {S("百度综合 "), S("谷歌综合 ")};
    for (int c = 0; c < DetailColumnCount; ++c) {
        for (int r = 0; r < DetailRowCount; ++r) {
            const DetailField f = detailGridField(r, c);
            const ControlTexts* initial = initialTexts(detailControl(f));
            QLabel* field = makeField(frame, detailControl(f), initial ? S(initial->text) : S("-"),
                                      rowNames[r] + columns[c]);
            field->setToolTip(QString());
            field->setAlignment(Qt::AlignCenter);
            grid->addWidget(field, r + 1, c + 1);
            fields_[size_t(f)] = field;
        }
        grid->setColumnStretch(c + 1, 1);
        heading->addColumn(field(detailGridField(0, c)));
    }
    frameLayout->addLayout(grid);
    panelLayout<QVBoxLayout>(this)->addWidget(frame);

    // The title of the first result goes to a label that nothing else reads, out of sight.
    auto* title = new QLabel(this);
    title->setObjectName(detailControl(DetailField::BaiduTitle));
    title->setAccessibleDescription(S("百度首页标题"));
    title->hide();
    fields_[size_t(DetailField::BaiduTitle)] = title;
}

void DetailGrid::addButtons(QWidget* frame, QBoxLayout* column) {
    auto* buttons = new QHBoxLayout;
    check_ = button(frame, "Command7");
    check_->installEventFilter(this);
    QPushButton* visit = button(frame, "Command11");
    QPushButton* product = button(frame, "Command15");
    for (QPushButton* b : {check_, visit, product}) buttons->addWidget(b);
    buttons->addStretch(1);
    column->addLayout(buttons);
    connect(check_, &QPushButton::clicked, this, &DetailGrid::detailAsked);
    connect(visit, &QPushButton::clicked, this, &DetailGrid::visitAsked);
    connect(product, &QPushButton::clicked, this, &DetailGrid::productAsked);
}

bool DetailGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == check_ && event->type() == QEvent::MouseButtonPress) Q_EMIT resetAsked();
    return QWidget::eventFilter(watched, event);
}

ToolBar::ToolBar(QWidget* parent) : QWidget(parent) {
    auto* row = panelLayout<QHBoxLayout>(this);
    QPushButton* weight = button(this, "Command9");
    QPushButton* backlinks = button(this, "Command10");
    QPushButton* serviceCheck = button(this, "CheckButton");
    QPushButton* siteGroup = button(this, "SiteGroupButton");
    for (QPushButton* b : {weight, backlinks, serviceCheck, siteGroup}) row->addWidget(b);
    row->addStretch(1);
    connect(weight, &QPushButton::clicked, this, &ToolBar::weightAsked);
    connect(backlinks, &QPushButton::clicked, this, &ToolBar::backlinksAsked);
    connect(serviceCheck, &QPushButton::clicked, this, &ToolBar::serviceCheckAsked);
    connect(siteGroup, &QPushButton::clicked, this, &ToolBar::siteGroupAsked);
}

HostArea::HostArea(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    setAutoFillBackground(true);
    new LeftClicks(this, [this] { Q_EMIT clicked(); });
}

}  // namespace zorvan
