#include "tools/gui/checkwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/platform.h"
#include "engines/servicecheck.h"
#include "net/fetch.h"
#include "vocab/text.h"

namespace zorvan {
namespace {

// What a user looks for first (which rule, what it got, why) comes before the request's details.
enum Column {
    Rule,
    Outcome,
    Value,
    Reason,
    Status,
    Ms,
    Bytes,
    Charset,
    Address,
    FinalAddress,
    ColumnCount
};

}  // namespace

CheckWindow::CheckWindow(QWidget* parent)
    : ToolWindow({"ServiceCheck", "", "", QString(), "", S("检 查"), ""}, parent) {
    setWindowTitle(S("服务检查"));

    summary_ = new QLabel(S("逐条运行每个服务规则，查看每个数值从哪里取得、为什么显示“X”。"), this);
    summary_->setWordWrap(true);

    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setAccessibleName(S("服务检查"));
    table_->setHorizontalHeaderLabels({S("规则"), S("结果"), S("值"), S("说明"), S("状态"),
                                       S("毫秒"), S("字节"), S("编码"), S("地址"),
                                       S("跳转后地址")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setToolTip(S("双击一行在浏览器中打开它查询的地址"));
    // Rows as tall as the Chinese glyphs need and no taller, so that every rule fits in view.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(table_->font()).height() + 6);
    const int widths[] = {116, 76, 100, 250, 40, 44, 48, 56, 250};
    for (int c = 0; c < int(std::size(widths)); ++c) table_->setColumnWidth(c, widths[c]);

    column()->addWidget(summary_);
    column()->addWidget(table_, 1);

    check_ = new ServiceCheck(this);
    connect(check_, &ServiceCheck::rowDone, this, &CheckWindow::showRow);
    connect(check_, &ServiceCheck::finished, this, &CheckWindow::showSummary);
    connect(queryButton(), &QPushButton::clicked, this, &CheckWindow::runCheck);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &CheckWindow::openRow);
}

bool CheckWindow::isRunning() const {
    return !check_->rows().isEmpty() && !check_->isFinished();
}

QColor CheckWindow::verdictColour(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return QColor(0xdf, 0xf3, 0xdc);
        case Verdict::NotFound:
            return QColor(0xff, 0xf1, 0xc2);
        case Verdict::Blocked:
            return QColor(0xfb, 0xd5, 0xd0);
        case Verdict::NoAnswer:
            return QColor(0xe2, 0xe2, 0xe2);
        case Verdict::Error:
        case Verdict::NoProxy:
            return QColor(0xf0, 0xd2, 0xf4);
    }
    return QColor(Qt::white);
}

void CheckWindow::runCheck() {
    // Asked exactly as typed, as the query asks it.
    const QString domain = domainBox()->text();
    if (domain.isEmpty()) {
        summary_->setText(S("请输入需要检查的域名。"));
        domainBox()->setFocus();
        return;
    }
    check_->start(domain);
    table_->clearContents();
    table_->setRowCount(int(check_->rows().size()));
    for (int row = 0; row < table_->rowCount(); ++row) showRow(row);
    summary_->setText(S("正在检查 ") + domain + S(" 的 %1 条规则……").arg(table_->rowCount()));
}

void CheckWindow::showRow(int row) {
    const CheckRow& r = check_->rows().at(row);
    const ValueResult& v = r.result;
    QStringList cells(ColumnCount);
    cells[Rule] = r.id;
    cells[Outcome] = S("检查中…");
    if (r.done) {
        cells[Outcome] = verdictWords(v.verdict);
        cells[Status] = v.status ? QString::number(v.status) : S("-");
        cells[Ms] = QString::number(v.ms);
        cells[Bytes] = QString::number(v.bytes);
        cells[Charset] = v.charset.isEmpty() ? S("-") : oneLine(v.charset);
        cells[Value] = oneLine(v.text);
        cells[Reason] = verdictReason(v);
        cells[Address] = v.url;
        // Only a redirect that led elsewhere fills it, so that it stands out.
        if (v.finalUrl != v.url) cells[FinalAddress] = v.finalUrl;
    }
    for (int c = 0; c < ColumnCount; ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        if (r.done) item->setBackground(verdictColour(v.verdict));
        if (c >= Status && c <= Bytes) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(c == Address || c == FinalAddress || c == Reason ? cells[c] : QString());
        table_->setItem(row, c, item);
    }
}

void CheckWindow::showSummary() {
    QMap<Verdict, int> counts;
    for (const CheckRow& r : check_->rows()) ++counts[r.result.verdict];
    QStringList parts;
    for (const Verdict v :
         {Verdict::Ok, Verdict::NotFound, Verdict::Blocked, Verdict::NoAnswer, Verdict::Error})
        if (counts.value(v))
            parts.append(verdictWords(v) + u' ' + QString::number(counts.value(v)));
    summary_->setText(check_->domain() + S("：%1 条规则，").arg(check_->rows().size()) +
                      parts.join(S("，")));
}

void CheckWindow::openRow(int row) {
    if (row < 0 || row >= check_->rows().size() || !check_->rows().at(row).done) return;
    const QString url = check_->rows().at(row).result.url;
    if (!url.isEmpty()) platform().openUrl(requestUrl(url));
}

}  // namespace zorvan
