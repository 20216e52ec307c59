#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "net/sequencer.h"

namespace zorvan {

// Patterns of the backlink listing. Matched case-insensitively and globally.
namespace BacklinkPattern {
inline const QString Result = QStringLiteral(". <a.*?href=.*?>.*?</a>");
inline const QString Address = QStringLiteral("http://([\\w-]+\\.)+[\\w-]+(/[\\w- ./?%&=]*)?");
inline const QString LinkText = QStringLiteral(">.*?</a>");
}  // namespace BacklinkPattern

// What TestRegExp returns when a pattern matches nowhere; also listed as an entry.
inline const QString MatchFailed = QStringLiteral("匹配失败");
// Shown in the summary line when a query cannot read a total.
inline const QString NoResultHint = QStringLiteral("如果没有查询结果，请重新查询");

// Every match of the pattern in the text, each followed by CR LF; "匹配失败" when there is none.
QString TestRegExp(const QString& pattern, const QString& text);

// A number as typed on a page or in a box: blanks around it, a sign, thousands separators, a
// fraction and an exponent are accepted. Nothing for any other text.
std::optional<double> numberFromText(const QString& text);

// How many further result pages a total asks for (pages 0..P are walked); nothing when the total
// is not a number. Capped at 900 results, under 50 counts as none, halves round to even.
std::optional<int> backlinkPageCount(const QString& totalText);

// Result page p of the sitemap search for a domain (offset 50p + 1); the domain goes in unchanged.
QString backlinkPageUrl(const QString& domain, int page);

// The total text of a first page: after "共 <strong>" up to the next "<".
std::optional<QString> backlinkTotal(const QString& pageText);

struct BacklinkEntry {
    QString snippet;
    QString address;
    QString linkText;
};

// The listed entries of one result page, in page order. A page without results gives one entry
// that reads "匹配失败" throughout; snippets holding "快照" are skipped.
QList<BacklinkEntry> extractBacklinks(const QString& pageText);

// The summary line above the list.
QString backlinkSummary(const QString& totalText, qsizetype listed);

// One backlink query over the pages of the sitemap search, one page after another on the event
// loop; pageListed() fires after every page so the list can grow as it walks. Deleting the
// listing, or starting it again, aborts the walk.
class BacklinkListing : public QObject {
    Q_OBJECT
  public:
    explicit BacklinkListing(QObject* parent = nullptr);

    // Starts the walk for the domain: the first page for its total, then pages 0 to P.
    void start(const QString& domain);

    bool isRunning() const { return running_; }
    const QStringList& snippets() const { return snippets_; }
    const QStringList& addresses() const { return addresses_; }
    const QStringList& linkTexts() const { return linkTexts_; }
    // The total as cut from the first page of the last query.
    const QString& totalText() const { return totalText_; }
    QString summary() const { return backlinkSummary(totalText_, snippets_.size()); }

  Q_SIGNALS:
    void pageListed();
    // The walk has ended; listed is false when the first page yielded no usable total (the list
    // is then empty).
    void finished(bool listed);

  private:
    ChainStep listPage(const QString& domain, int page, int last);

    RequestSequencer* requests_;
    QStringList snippets_;
    QStringList addresses_;
    QStringList linkTexts_;
    QString totalText_;
    bool running_ = false;
};

}  // namespace zorvan
