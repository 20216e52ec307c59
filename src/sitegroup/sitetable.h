#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QSortFilterProxyModel>
#include <array>
#include <optional>

#include "history/trends.h"
#include "net/valuefetch.h"
#include "vocab/figures.h"

namespace zorvan {

// A count's change since the domain's latest record of an earlier day.
struct CountChange {
    qint64 from = 0;
    qint64 to = 0;
    bool drop = false;  // a drop by the main window's rule
    // "↑12%", "↓35%", "→" within a percent; nothing after a count of 0.
    QString text() const;
};

// One domain of a site group: its latest figures (a finished query's, or its latest record), why
// each "X" is one, each count's change, and when it was queried.
struct SiteRow {
    QString domain;
    FigureValues values;
    std::array<std::optional<Verdict>, FigureCount> verdicts{};
    std::array<std::optional<qint64>, FigureCount> counts{};
    std::array<std::optional<CountChange>, FigureCount> changes{};
    QString queried;  // the last query's date and time, or its record's date
    QDateTime queriedAt;
    bool inFlight = false;
    bool dropped = false;
    bool blocked = false;
    bool known = false;  // figures from a query or a record; none yet otherwise
};

// The site group as a table, one row per domain: the domain, each engine's indexed pages and
// backlinks, the four ranking figures, and when it was queried.
class SiteTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // Where each figure stands among the columns; the domain is column 0.
    static Figure figureAt(int column);
    static int columnOf(Figure figure);
    static constexpr int DomainColumn = 0;
    static constexpr int QueriedColumn = FigureCount + 1;
    static constexpr int ColumnCount = FigureCount + 2;
    // A count's sort key: its number, or none for "X" and every text without one.
    static constexpr int CountRole = Qt::UserRole + 1;

    explicit SiteTableModel(QObject* parent = nullptr);

    void setDomains(const QStringList& domains);
    // A domain's row from its stored records (those a run reads: its latest record of an earlier
    // day and any of today), when no query has filled it in this window.
    void showStored(int row, const QList<StoredRecord>& records, const QDate& today);
    void setInFlight(int row, bool inFlight);
    // A finished query's figures and verdicts, compared with the records before the run.
    void showQuery(int row, const FigureValues& values,
                   const std::array<Verdict, FigureCount>& verdicts,
                   const QList<StoredRecord>& before, const QDateTime& when);

    const SiteRow& site(int row) const { return rows_[row]; }
    int rowOfDomain(const QString& domain) const { return byDomain_.value(domain, -1); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The table's texts as shown, header first, the rows in the given order.
    QList<QStringList> texts(const QList<int>& rows) const;

  private:
    void setFigures(SiteRow& site, const FigureValues& values, const StoredRecord* previous);
    void rowChanged(int row);

    QList<SiteRow> rows_;
    QHash<QString, int> byDomain_;
};

// The table as shown: sorted by any column (counts by their number, "X" and other texts without
// one last in either direction), filtered by the domain, to drops only or blocks only.
class SiteSortModel : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit SiteSortModel(SiteTableModel* source, QObject* parent = nullptr);

    void setDomainFilter(const QString& text);
    void setDropsOnly(bool only);
    void setBlockedOnly(bool only);
    // The source rows in the order shown.
    QList<int> shownRows() const;

  protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& parent) const override;

  private:
    SiteTableModel* table_;
    QString domainFilter_;
    bool dropsOnly_ = false;
    bool blockedOnly_ = false;
};

}  // namespace zorvan
