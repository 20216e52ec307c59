#include "sitegroup/gui/sitegroupwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "core/platform.h"
#include "core/services.h"
#include "domains/shards.h"
#include "engines/queryengine.h"
#include "history/gui/historyviewer.h"
#include "history/historyexport.h"
#include "net/fetch.h"
#include "notify/runcollector.h"
#include "sitegroup/siterun.h"
#include "sitegroup/sitetable.h"
#include "tools/htmlreport.h"
#include "tools/report.h"
#include "vocab/text.h"

namespace zorvan {
namespace {

constexpr int MostJobs = 16;
constexpr int MostIntervalMs = 600000;

// Carries the report's outcome from the pool's thread; a window closed meanwhile gets nothing.
class ExportCarrier : public QObject {
    Q_OBJECT
  Q_SIGNALS:
    void done(const QString& error);
};

QString minutesAndSeconds(qint64 seconds) {
    if (seconds >= 60) return S("%1分%2秒").arg(seconds / 60).arg(seconds % 60);
    return S("%1秒").arg(seconds);
}

}  // namespace

SiteGroupWindow::SiteGroupWindow(bool autoSave, QWidget* parent)
    : QWidget(parent, Qt::Window),
      table_(new SiteTableModel(this)),
      run_(new SiteGroupRun(historyFilePath(), this)) {
    setObjectName(QStringLiteral("SiteGroup"));
    setWindowTitle(S("站群总览"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* page = new QVBoxLayout(this);
    page->addWidget(buildControls());
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(10);
    progressText_ = new QLabel(this);
    progressText_->setAccessibleDescription(S("查询进度"));
    page->addWidget(progress_);
    page->addWidget(progressText_);
    page->addWidget(buildFilters());
    buildTable();
    page->addWidget(view_, 1);
    autoSave_->setChecked(autoSave);

    ticker_ = new QTimer(this);
    ticker_->setInterval(1000);
    connect(ticker_, &QTimer::timeout, this, &SiteGroupWindow::showProgress);

    connect(run_, &SiteGroupRun::historyRead, this, [this] {
        showStoredRecords();
        showProgress();
    });
    connect(run_, &SiteGroupRun::domainStarted, this, [this](const QString& domain) {
        table_->setInFlight(table_->rowOfDomain(domain), true);
        showProgressSoon();
    });
    connect(run_, &SiteGroupRun::domainDone, this,
            [this](const QString& domain, const CombinedQueryEngine* query) {
                const QList<StoredRecord> before =
                    run_->history() ? run_->history()->records(domain) : QList<StoredRecord>();
                table_->showQuery(table_->rowOfDomain(domain), query->values(),
                                  figureVerdicts(*query), before, platform().now());
                showProgressSoon();
            });
    connect(run_, &SiteGroupRun::ended, this, [this](bool finished) {
        setRunning(false);
        showProgress();
        Q_EMIT runEnded(finished);
    });
    connect(run_, &SiteGroupRun::alertsSent, this, &SiteGroupWindow::alertsSent);
    connect(run_, &SiteGroupRun::saveFailed, this,
            [this](const QString& why) { progressText_->setText(S("保存历史记录失败：") + why); });

    resize(1180, 640);
    setRunning(false);
}

SiteGroupWindow::~SiteGroupWindow() = default;

QWidget* SiteGroupWindow::buildControls() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    open_ = new QPushButton(S("打开列表…"), row);
    open_->setToolTip(S("一行一个域名的文本文件；默认是保存的常用域名"));
    start_ = new QPushButton(S("开始"), row);
    stop_ = new QPushButton(S("停止"), row);
    jobs_ = new QSpinBox(row);
    jobs_->setRange(1, MostJobs);
    jobs_->setValue(4);
    jobs_->setAccessibleName(S("并发"));
    interval_ = new QSpinBox(row);
    interval_->setRange(0, MostIntervalMs);
    interval_->setSingleStep(100);
    interval_->setSuffix(S(" 毫秒"));
    interval_->setValue(SiteGroupRun::defaultHostInterval(jobs_->value()));
    interval_->setAccessibleName(S("间隔"));
    interval_->setToolTip(S("同一服务两次请求之间至少相隔的时间"));
    autoSave_ = new QCheckBox(S("自动保存"), row);
    notSavedToday_ = new QCheckBox(S("只查今天未保存的"), row);
    layout->addWidget(open_);
    layout->addWidget(start_);
    layout->addWidget(stop_);
    layout->addSpacing(12);
    layout->addWidget(new QLabel(S("并发"), row));
    layout->addWidget(jobs_);
    layout->addWidget(new QLabel(S("间隔"), row));
    layout->addWidget(interval_);
    layout->addSpacing(12);
    layout->addWidget(autoSave_);
    layout->addWidget(notSavedToday_);
    layout->addStretch(1);

    connect(open_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, S("打开域名列表"));
        if (!path.isEmpty()) openListFile(path);
    });
    connect(start_, &QPushButton::clicked, this, &SiteGroupWindow::startRun);
    connect(stop_, &QPushButton::clicked, this, &SiteGroupWindow::stopRun);
    // The interval follows the command's default for the jobs until it is set by hand.
    connect(interval_, &QSpinBox::valueChanged, this, [this] { intervalEdited_ = true; });
    connect(jobs_, &QSpinBox::valueChanged, this, [this](int jobs) {
        if (intervalEdited_) return;
        interval_->setValue(SiteGroupRun::defaultHostInterval(jobs));
        intervalEdited_ = false;
    });
    return row;
}

QWidget* SiteGroupWindow::buildFilters() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* filter = new QLineEdit(row);
    filter->setPlaceholderText(S("筛选域名"));
    filter->setClearButtonEnabled(true);
    filter->setAccessibleName(S("筛选域名"));
    auto* drops = new QCheckBox(S("只看下降"), row);
    auto* blocked = new QCheckBox(S("只看拦截"), row);
    export_ = new QPushButton(S("导出"), row);
    auto* menu = new QMenu(export_);
    menu->addAction(S("Excel 表格 (.xlsx)"), this, &SiteGroupWindow::exportWorkbook);
    menu->addAction(S("HTML 报告…"), this, &SiteGroupWindow::askHtmlFolder);
    export_->setMenu(menu);
    layout->addWidget(filter, 1);
    layout->addWidget(drops);
    layout->addWidget(blocked);
    layout->addWidget(export_);

    shown_ = new SiteSortModel(table_, this);
    connect(filter, &QLineEdit::textChanged, shown_, &SiteSortModel::setDomainFilter);
    connect(drops, &QCheckBox::toggled, shown_, &SiteSortModel::setDropsOnly);
    connect(blocked, &QCheckBox::toggled, shown_, &SiteSortModel::setBlockedOnly);
    return row;
}

void SiteGroupWindow::buildTable() {
    view_ = new QTableView(this);
    view_->setAccessibleName(S("站群总览"));
    view_->setModel(shown_);
    view_->setSortingEnabled(true);
    view_->sortByColumn(SiteTableModel::DomainColumn, Qt::AscendingOrder);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setWordWrap(false);
    // A long engine text ("约 9870 条结果") keeps its change in sight, cut in the middle.
    view_->setTextElideMode(Qt::ElideMiddle);
    view_->setAlternatingRowColors(true);
    // Rows of one height and columns of set widths: the view never measures ten thousand rows.
    QHeaderView* rows = view_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(view_->font()).height() + 6);
    rows->hide();
    QHeaderView* columns = view_->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    // A count and its change ("约12300  ↓35%") fit; the ranking figures are short.
    columns->setDefaultSectionSize(
        QFontMetrics(view_->font()).horizontalAdvance(S("约88888888  ↓88%")) + 12);
    for (const Figure f :
         {Figure::BaiduSnapshot, Figure::AlexaRank, Figure::PageRank, Figure::SogouRank})
        view_->setColumnWidth(SiteTableModel::columnOf(f), 84);
    view_->setColumnWidth(SiteTableModel::DomainColumn, 170);
    view_->setColumnWidth(SiteTableModel::QueriedColumn, 150);
    view_->setToolTip(S("双击一行查看该域名的历史；右键访问此站或复制结果"));
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QTableView::customContextMenuRequested, this, &SiteGroupWindow::showRowMenu);
    connect(view_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { openHistoryOf(shown_->mapToSource(index).row()); });
}

void SiteGroupWindow::setDomains(const QStringList& domains) {
    domains_.clear();
    // One row per domain; an entry the command would refuse is left out.
    for (const QString& d : domains)
        if (!d.isEmpty() && !domains_.contains(d) && std::none_of(d.begin(), d.end(), [](QChar c) {
                return c.category() == QChar::Other_Control;
            }))
            domains_.append(d);
    table_->setDomains(domains_);
    showProgress();
    // The latest records, read off the window thread.
    RunHistory::readAsync(
        historyFilePath(), domains_, platform().now().date(), this,
        [this, shown = domains_](const std::optional<RunHistory>& history, const FileProblem&) {
            if (!history || shown != domains_ || run_->history()) return;
            const QDate today = platform().now().date();
            for (const QString& d : shown)
                table_->showStored(table_->rowOfDomain(d), history->records(d), today);
        });
}

bool SiteGroupWindow::openListFile(const QString& path) {
    const DomainFile listed = readDomainFile(path);
    if (!listed.failure.isEmpty()) {
        platform().showMessage(
            {this, MessageIcon::Warning, S("站群总览"), S("无法读取 ") + path, MessageButtons::Ok});
        return false;
    }
    QStringList domains, passedOver;
    for (const ListedDomain& l : listed.entries) {
        if (!l.invalid)
            domains.append(l.domain);
        else
            passedOver.append(QString::number(l.line));
    }
    setDomains(domains);
    // A line that is not UTF-8 would be asked and saved as a name nobody typed: it is left out,
    // and said so, not lost unseen.
    if (!passedOver.isEmpty()) {
        const int shown = std::min(int(passedOver.size()), 10);
        const QString lines = passedOver.mid(0, shown).join(S("、")) +
                              (shown < passedOver.size() ? S(" 等") : QString());
        platform().showMessage({this, MessageIcon::Warning, S("站群总览"),
                                S("%1 中第 %2 行不是 UTF-8 文本，已跳过 %3 行")
                                    .arg(path, lines, QString::number(passedOver.size())),
                                MessageButtons::Ok});
    }
    return true;
}

// A run's own reading replaces what the window showed when it opened.
void SiteGroupWindow::showStoredRecords() {
    const QDate today = platform().now().date();
    for (const QString& d : domains_)
        table_->showStored(table_->rowOfDomain(d), run_->history()->records(d), today);
}

void SiteGroupWindow::startRun() {
    if (run_->isRunning() || domains_.isEmpty()) return;
    SiteGroupRun::Options options;
    options.jobs = jobs_->value();
    options.hostIntervalMs = interval_->value();
    options.save = autoSave_->isChecked();
    options.onlyNotSavedToday = notSavedToday_->isChecked();
    setRunning(true);
    run_->start(domains_, options);
}

void SiteGroupWindow::stopRun() {
    run_->stop();
    for (int r = 0; r < table_->rowCount(); ++r) table_->setInFlight(r, false);
}

bool SiteGroupWindow::isRunning() const {
    return run_->isRunning();
}

void SiteGroupWindow::setRunning(bool running) {
    start_->setEnabled(!running);
    stop_->setEnabled(running);
    open_->setEnabled(!running);
    for (QWidget* w : std::initializer_list<QWidget*>{jobs_, interval_, autoSave_, notSavedToday_})
        w->setEnabled(!running);
    if (running)
        ticker_->start();
    else
        ticker_->stop();
}

// A domain starts, or is told done, while the walker is between two states: the counts are read
// once it has settled, and a burst of domains tells them once.
void SiteGroupWindow::showProgressSoon() {
    if (progressQueued_) return;
    progressQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            progressQueued_ = false;
            showProgress();
        },
        Qt::QueuedConnection);
}

void SiteGroupWindow::showProgress() {
    const int total = run_->total();
    const int done = run_->done();
    progress_->setRange(0, std::max(1, total));
    progress_->setValue(done);
    if (total == 0 && !run_->isRunning()) {
        progressText_->setText(S("%1 个域名").arg(domains_.size()));
        return;
    }
    QString text = S("%1/%2").arg(done).arg(total);
    const qint64 ms = run_->elapsedMs();
    // Before the first domain ends there is no pace to tell from.
    if (done > 0 && ms > 0) {
        const double perMinute = done * 60000.0 / double(ms);
        const auto left = qint64(double(total - done) * double(ms) / done / 1000.0 + 0.5);
        text +=
            S("    每分钟 %1 个    剩余 %2").arg(perMinute, 0, 'f', 1).arg(minutesAndSeconds(left));
    }
    text += S("    进行中 %1    拦截 %2").arg(run_->unreported()).arg(run_->blocked());
    progressText_->setText(text);
}

void SiteGroupWindow::showRowMenu(const QPoint& at) {
    const QModelIndex index = view_->indexAt(at);
    if (!index.isValid()) return;
    const int row = shown_->mapToSource(index).row();
    QMenu menu(this);
    menu.addAction(S("访问此站"), this, [this, row] {
        OpenQueryUrl(QStringLiteral("http://"), table_->site(row).domain);
    });
    menu.addAction(S("复制结果"), this, [this, row] { copyRow(row); });
    menu.exec(view_->viewport()->mapToGlobal(at));
}

void SiteGroupWindow::copyRow(int sourceRow) {
    const SiteRow& site = table_->site(sourceRow);
    QApplication::clipboard()->setText(BuildReport(site.domain, site.values, platform().now()));
}

void SiteGroupWindow::openHistoryOf(int sourceRow) {
    auto* viewer = new HistoryViewer(historyFilePath(), this, table_->site(sourceRow).domain);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setModal(false);
    viewer->show();
}

bool SiteGroupWindow::exportWorkbook() {
    const QString path = newWorkbookPath();
    QList<double> widths{24};
    for (int c = 1; c < SiteTableModel::QueriedColumn; ++c) widths.append(15);
    widths.append(20);
    QString error;
    if (!writeTableWorkbook(table_->texts(shown_->shownRows()), widths, path, &error)) {
        platform().showMessage(
            {this, MessageIcon::None, ApplicationTitle, error, MessageButtons::Ok});
        return false;
    }
    platform().openUrl(QUrl::fromLocalFile(path));
    return true;
}

void SiteGroupWindow::askHtmlFolder() {
    const QString dir = QFileDialog::getExistingDirectory(this, S("HTML 报告保存到"));
    if (!dir.isEmpty()) exportHtml(dir);
}

void SiteGroupWindow::exportHtml(const QString& dir) {
    if (exportingHtml_) return;
    HtmlReportOptions options;
    options.domains = domains_;
    options.today = platform().now().date();
    exportingHtml_ = true;
    export_->setEnabled(false);
    export_->setText(S("导出中…"));
    // A site group's report reads the whole history and writes a page a domain: the window
    // stays usable meanwhile.
    auto* carrier = new ExportCarrier;
    connect(carrier, &ExportCarrier::done, this, [this, dir](const QString& error) {
        exportingHtml_ = false;
        export_->setEnabled(true);
        export_->setText(S("导出"));
        if (!error.isEmpty()) {
            platform().showMessage(
                {this, MessageIcon::Warning, S("站群总览"), error, MessageButtons::Ok});
        } else {
            platform().openUrl(QUrl::fromLocalFile(dir + QStringLiteral("/index.html")));
        }
        Q_EMIT htmlExported(error.isEmpty());
    });
    QThreadPool::globalInstance()->start([carrier, path = historyFilePath(), dir, options] {
        Q_EMIT carrier->done(writeHtmlReport(path, dir, options).value_or(QString()));
        carrier->deleteLater();
    });
}

void SiteGroupWindow::closeEvent(QCloseEvent* event) {
    if (run_->isRunning()) {
        const Message question{this, MessageIcon::Question, S("站群总览"),
                               S("正在查询，停止并关闭吗？已完成的结果都会保存。"),
                               MessageButtons::OkCancel};
        if (platform().showMessage(question) != MessageAnswer::Ok) {
            event->ignore();
            return;
        }
        stopRun();
    }
    event->accept();
}

}  // namespace zorvan

#include "sitegroupwindow.moc"
