#include "app/panels.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include "app/resultfields.h"
#include "vocab/figures.h"
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

const char* const ResultFieldStyle =
    "QLabel { border: 1px solid #b8c4d6; background: #ffffff; padding: 2px 6px; color: #1a4f9c; }";
const char* const DroppedFieldStyle =
    "QLabel { border: 1px solid #b8c4d6; background: #ffffff; padding: 2px 6px; color: #d01c1c; }";
const char* const HeadingStyle =
    "QLabel { background: #3d6db5; color: white; font-weight: bold; padding: 3px 8px; }";

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

QString FieldBoard::style(bool dropped) {
    return QString::fromLatin1(dropped ? DroppedFieldStyle : ResultFieldStyle);
}

QLabel* FieldBoard::make(const QString& name, const QString& text, const QString& description) {
    auto* field = new QLabel(text, parent_);
    field->setObjectName(name);
    field->setToolTip(S("点击查看详情"));
    field->setAccessibleDescription(description);
    field->setStyleSheet(style(false));
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
    field->installEventFilter(watcher_);
    fields_.insert(name, field);
    return field;
}

DomainBar::DomainBar(QWidget* parent, QBoxLayout* page, QObject* keyWatcher) {
    auto* domainRow = new QHBoxLayout;
    domainRow->addWidget(control<QLabel>(parent, "Label1"));
    box = control<QComboBox>(parent, "Combo1");
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // A query asks exactly what was typed: no completion from the saved list, no case change.
    box->setCompleter(nullptr);
    box->setMinimumWidth(260);
    box->installEventFilter(keyWatcher);
    box->lineEdit()->installEventFilter(keyWatcher);
    domainRow->addWidget(box, 1);
    query = button(parent, "Command1");
    history = button(parent, "Command2");
    report = button(parent, "Command3");
    list = button(parent, "Command4");
    for (QPushButton* b : {query, history, report, list}) domainRow->addWidget(b);
    page->addLayout(domainRow);

    auto* tickRow = new QHBoxLayout;
    batch = control<QCheckBox>(parent, "Check1");
    auto* batchLabel = control<QLabel>(parent, "Label19");
    batchLabel->setBuddy(batch);
    autoSave = control<QCheckBox>(parent, "Check2");
    autoSave->setChecked(true);
    auto* autoSaveLabel = control<QLabel>(parent, "Label18");
    autoSaveLabel->setBuddy(autoSave);
    tickRow->addWidget(batch);
    tickRow->addWidget(batchLabel);
    tickRow->addSpacing(20);
    tickRow->addWidget(autoSave);
    tickRow->addWidget(autoSaveLabel);
    tickRow->addStretch(1);
    page->addLayout(tickRow);
}

RankingRow::RankingRow(QWidget* parent, QBoxLayout* page, FieldBoard& fields) {
    previous = control<QToolButton>(parent, "Image12");
    previous->setArrowType(Qt::LeftArrow);
    previous->hide();
    next = control<QToolButton>(parent, "Image13");
    next->setArrowType(Qt::RightArrow);
    next->hide();
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    const QStringList headings = {S("百度快照"), QStringLiteral("Alexa Rank"),
                                  QStringLiteral("Google PageRank"), QStringLiteral("Sogou Rank")};
    for (int i = 0; i < 4; ++i) {
        auto* heading = new QLabel(headings[i], parent);
        heading->setStyleSheet(QString::fromLatin1(HeadingStyle));
        heading->setAlignment(Qt::AlignCenter);
        grid->addWidget(heading, 0, i);
        const FigureInfo& field = figureTable()[size_t(i)];
        grid->addWidget(fields.make(figureControl(field.figure), Pending, field.label), 1, i);
    }
    auto* row = new QHBoxLayout;
    row->addWidget(previous);
    row->addLayout(grid, 1);
    row->addWidget(next);
    page->addLayout(row);
}

EngineTable::EngineTable(QWidget* parent, QBoxLayout* page, FieldBoard& fields) {
    frame = new QGroupBox(parent);
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
        const FigureInfo& indexed = figureInfo(indexedFigure(e.engine));
        const FigureInfo& backlinks = figureInfo(backlinksFigure(e.engine));
        table->addWidget(fields.make(figureControl(indexed.figure), Pending, indexed.label), r, 2);
        table->addWidget(fields.make(figureControl(backlinks.figure), Pending, backlinks.label), r,
                         3);
        ++r;
    }
    table->setColumnStretch(2, 1);
    table->setColumnStretch(3, 1);
    page->addWidget(frame);
}

DetailGrid::DetailGrid(QWidget* parent, QBoxLayout* page, FieldBoard& fields,
                       QObject* pressWatcher) {
    auto* frame = new QGroupBox(parent);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* frameLayout = new QVBoxLayout(frame);
    auto* buttons = new QHBoxLayout;
    check = button(frame, "Command7");
    check->installEventFilter(pressWatcher);
    visit = button(frame, "Command11");
    product = button(frame, "Command15");
    for (QPushButton* b : {check, visit, product}) buttons->addWidget(b);
    buttons->addStretch(1);
    frameLayout->addLayout(buttons);

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
            const QString& name = detailControl(detailGridField(r, c));
            const ControlTexts* initial = initialTexts(name);
            QLabel* field =
                fields.make(name, initial ? S(initial->text) : S("-"), rowNames[r] + columns[c]);
            field->setToolTip(QString());
            field->setAlignment(Qt::AlignCenter);
            grid->addWidget(field, r + 1, c + 1);
        }
        grid->setColumnStretch(c + 1, 1);
        heading->addColumn(fields.field(detailControl(detailGridField(0, c))));
    }
    frameLayout->addLayout(grid);
    page->addWidget(frame);
}

ToolBar::ToolBar(QWidget* parent, QBoxLayout* page) {
    auto* row = new QHBoxLayout;
    weight = button(parent, "Command9");
    backlinks = button(parent, "Command10");
    serviceCheck = button(parent, "CheckButton");
    for (QPushButton* b : {weight, backlinks, serviceCheck}) row->addWidget(b);
    row->addStretch(1);
    page->addLayout(row);
}

}  // namespace zorvan
