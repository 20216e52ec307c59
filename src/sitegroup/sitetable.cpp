#include "sitegroup/sitetable.h"

#include <QBrush>
#include <QColor>

#include "core/platform.h"
#include "history/historyfile.h"
#include "vocab/text.h"

namespace zorvan {
namespace {

// The columns after the domain: each engine's pair, then the ranking figures as the main window
// shows them, top left first.
const std::array<Figure, FigureCount>& columnFigures() {
    static const std::array<Figure, FigureCount> order = [] {
        std::array<Figure, FigureCount> o{};
        int at = 0;
        for (const EngineInfo& e : engineTable()) {
            o[size_t(at++)] = indexedFigure(e.engine);
            o[size_t(at++)] = backlinksFigure(e.engine);
        }
        for (const Figure f :
             {Figure::BaiduSnapshot, Figure::AlexaRank, Figure::PageRank, Figure::SogouRank})
            o[size_t(at++)] = f;
        return o;
    }();
    return order;
}

QString columnTitle(Figure figure) {
    const FigureInfo& f = figureInfo(figure);
    switch (f.kind) {
        case FigureKind::Indexed:
            return engineInfo(*f.engine).shortName + S("收录");
        case FigureKind::Backlinks:
            return engineInfo(*f.engine).shortName + S("反链");
        case FigureKind::BaiduSnapshot:
            return S("百度快照");
        case FigureKind::AlexaRank:
            return S("Alexa");
        case FigureKind::PageRank:
            return S("PR");
        case FigureKind::SogouRank:
            return S("搜狗Rank");
    }
    return QString();
}

bool isLost(const std::optional<Verdict>& verdict) {
    return verdict == Verdict::Blocked || verdict == Verdict::NoAnswer;
}

const QColor DropColour(0xd0, 0x10, 0x10);
const QColor LostColour(0xdd, 0xdd, 0xdd);
const QColor InFlightColour(0xff, 0xf6, 0xd5);

}  // namespace

QString CountChange::text() const {
    if (from <= 0) return from == to ? S("→") : QString();
    const qint64 percent = qRound64(double(to - from) * 100.0 / double(from));
    // Less than a percent either way reads as level.
    if (percent == 0) return S("→");
    if (to > from) return S("↑%1%").arg(percent);
    return S("↓%1%").arg(-percent);
}

Figure SiteTableModel::figureAt(int column) {
    return columnFigures()[size_t(column - 1)];
}

int SiteTableModel::columnOf(Figure figure) {
    const auto& order = columnFigures();
    return int(std::find(order.begin(), order.end(), figure) - order.begin()) + 1;
}

SiteTableModel::SiteTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void SiteTableModel::setDomains(const QStringList& domains) {
    beginResetModel();
    rows_.clear();
    byDomain_.clear();
    rows_.reserve(domains.size());
    for (const QString& domain : domains) {
        SiteRow row;
        row.domain = domain;
        row.values = FigureValues();
        for (int k = 0; k < FigureCount; ++k) row.values[Figure(k)].clear();
        byDomain_.insert(domain, int(rows_.size()));
        rows_.append(row);
    }
    endResetModel();
}

void SiteTableModel::setFigures(SiteRow& site, const FigureValues& values,
                                const StoredRecord* previous) {
    site.values = values;
    site.known = true;
    site.dropped = false;
    const QList<FigureDrop> drops = previous ? findDrops(values, *previous) : QList<FigureDrop>();
    for (int k = 0; k < FigureCount; ++k) {
        const Figure f = Figure(k);
        site.counts[size_t(k)] = countFromText(values[f]);
        site.changes[size_t(k)].reset();
        if (!isCount(f) || !previous || !site.counts[size_t(k)]) continue;
        if (const auto before = countFromText(previous->values[f])) {
            CountChange change{*before, *site.counts[size_t(k)], false};
            for (const FigureDrop& d : drops) change.drop = change.drop || d.figure == f;
            site.dropped = site.dropped || change.drop;
            site.changes[size_t(k)] = change;
        }
    }
}

void SiteTableModel::showStored(int row, const QList<StoredRecord>& records, const QDate& today) {
    if (row < 0 || row >= rows_.size() || records.isEmpty()) return;
    SiteRow& site = rows_[row];
    const StoredRecord& latest = records.last();
    const std::optional<StoredRecord> earlier = latestEarlierRecord(records, today);
    // Today's record is compared with the day before; an older one stands alone.
    const bool ofToday = recordDay(latest) == today;
    FigureValues values = latest.values;
    // A record does not hold the three figures only a query shows.
    for (const Figure f : {Figure::BaiduSnapshot, Figure::PageRank, Figure::SogouRank})
        values[f].clear();
    setFigures(site, values, ofToday && earlier ? &*earlier : nullptr);
    site.verdicts.fill(std::nullopt);
    site.blocked = false;
    site.queried = latest.date;
    site.queriedAt = recordDay(latest).startOfDay();
    rowChanged(row);
}

void SiteTableModel::setInFlight(int row, bool inFlight) {
    if (row < 0 || row >= rows_.size() || rows_[row].inFlight == inFlight) return;
    rows_[row].inFlight = inFlight;
    rowChanged(row);
}

void SiteTableModel::showQuery(int row, const FigureValues& values,
                               const std::array<Verdict, FigureCount>& verdicts,
                               const QList<StoredRecord>& before, const QDateTime& when) {
    if (row < 0 || row >= rows_.size()) return;
    SiteRow& site = rows_[row];
    const std::optional<StoredRecord> earlier = latestEarlierRecord(before, when.date());
    setFigures(site, values, earlier ? &*earlier : nullptr);
    site.blocked = false;
    for (int k = 0; k < FigureCount; ++k) {
        site.verdicts[size_t(k)] = verdicts[size_t(k)];
        site.blocked = site.blocked || verdicts[size_t(k)] == Verdict::Blocked;
    }
    site.queried = generalDateTime(when);
    site.queriedAt = when;
    site.inFlight = false;
    rowChanged(row);
}

void SiteTableModel::rowChanged(int row) {
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int SiteTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int SiteTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SiteTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size()) return {};
    const SiteRow& site = rows_[index.row()];
    const int column = index.column();
    if (column == DomainColumn || column == QueriedColumn) {
        if (role == Qt::DisplayRole) {
            if (column == DomainColumn) return site.domain;
            return site.inFlight ? S("查询中…") : site.queried;
        }
        if (role == Qt::BackgroundRole && site.inFlight) return QBrush(InFlightColour);
        return {};
    }
    const Figure f = figureAt(column);
    const size_t k = size_t(f);
    switch (role) {
        case Qt::DisplayRole: {
            const QString& text = site.values[f];
            if (!site.changes[k]) return text;
            const QString change = site.changes[k]->text();
            return change.isEmpty() ? text : text + S("  ") + change;
        }
        case CountRole:
            return site.counts[k] ? QVariant(*site.counts[k]) : QVariant();
        case Qt::ToolTipRole:
            if (site.verdicts[k] && *site.verdicts[k] != Verdict::Ok)
                return verdictWords(*site.verdicts[k]);
            if (site.changes[k] && site.changes[k]->from != site.changes[k]->to)
                return S("上次 %1 → 现在 %2").arg(site.changes[k]->from).arg(site.changes[k]->to);
            return {};
        case Qt::ForegroundRole:
            if (site.changes[k] && site.changes[k]->drop) return QBrush(DropColour);
            return {};
        case Qt::BackgroundRole:
            if (isLost(site.verdicts[k])) return QBrush(LostColour);
            if (site.inFlight) return QBrush(InFlightColour);
            return {};
        case Qt::TextAlignmentRole:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant SiteTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::ToolTipRole && section > DomainColumn && section < QueriedColumn)
        return figureInfo(figureAt(section)).label;
    if (role != Qt::DisplayRole) return {};
    if (section == DomainColumn) return S("域名");
    if (section == QueriedColumn) return S("查询时间");
    return columnTitle(figureAt(section));
}

QList<QStringList> SiteTableModel::texts(const QList<int>& rows) const {
    QList<QStringList> out;
    QStringList header;
    for (int c = 0; c < ColumnCount; ++c)
        header.append(headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    out.append(header);
    for (const int r : rows) {
        QStringList cells;
        for (int c = 0; c < ColumnCount; ++c)
            cells.append(data(index(r, c), Qt::DisplayRole).toString());
        out.append(cells);
    }
    return out;
}

SiteSortModel::SiteSortModel(SiteTableModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), table_(source) {
    setSourceModel(source);
    setDynamicSortFilter(true);
}

void SiteSortModel::setDomainFilter(const QString& text) {
    domainFilter_ = text.trimmed();
    invalidateRowsFilter();
}

void SiteSortModel::setDropsOnly(bool only) {
    dropsOnly_ = only;
    invalidateRowsFilter();
}

void SiteSortModel::setBlockedOnly(bool only) {
    blockedOnly_ = only;
    invalidateRowsFilter();
}

QList<int> SiteSortModel::shownRows() const {
    QList<int> rows;
    rows.reserve(rowCount());
    for (int r = 0; r < rowCount(); ++r) rows.append(mapToSource(index(r, 0)).row());
    return rows;
}

bool SiteSortModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const SiteRow& site = table_->site(sourceRow);
    if (dropsOnly_ && !site.dropped) return false;
    if (blockedOnly_ && !site.blocked) return false;
    return domainFilter_.isEmpty() || site.domain.contains(domainFilter_, Qt::CaseInsensitive);
}

// Read straight from the rows: a sort of ten thousand rows compares some hundred thousand pairs.
bool SiteSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const SiteRow& a = table_->site(left.row());
    const SiteRow& b = table_->site(right.row());
    const int column = left.column();
    if (column == SiteTableModel::DomainColumn) return a.domain < b.domain;
    if (column == SiteTableModel::QueriedColumn) return a.queriedAt < b.queriedAt;
    const size_t k = size_t(SiteTableModel::figureAt(column));
    const std::optional<qint64>& x = a.counts[k];
    const std::optional<qint64>& y = b.counts[k];
    if (x && y) return *x < *y;
    // Without a number last, whichever way the column is sorted: a descending sort asks the
    // other way round.
    if (x || y) return bool(x) == (sortOrder() == Qt::AscendingOrder);
    return a.values[SiteTableModel::figureAt(column)] < b.values[SiteTableModel::figureAt(column)];
}

}  // namespace zorvan
