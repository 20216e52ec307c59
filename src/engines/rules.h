#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <array>

#include "vocab/figures.h"

namespace zorvan {

// How one figure is read from its service. Addresses are templates: "{domain}" is the domain as it
// goes into an address, "{host:ROLE}" the host of a service role. The value is cut between the
// markers; when the first wording finds nothing and the rule has a second one, the page is asked
// again and cut with that. The PageRank takes two steps: the lookup page holds a frame whose
// address part ("{frame}") rebuilds the address of the rank itself.
struct FigureRule {
    QString url;
    QString start;
    QString end;
    QString fallbackStart;  // empty: no second wording
    QString fallbackEnd;
    QString rankUrl;  // the PageRank's second step only
    QString rankStart;
    QString rankEnd;
    bool operator==(const FigureRule&) const = default;
};

// One rule per figure, named by the figure's key ("indexed.bing", "pagerank").
class RuleSet {
  public:
    const FigureRule& operator[](Figure f) const { return rules_[size_t(f)]; }
    FigureRule& operator[](Figure f) { return rules_[size_t(f)]; }
    bool operator==(const RuleSet&) const = default;

  private:
    std::array<FigureRule, FigureCount> rules_;
};

// The rules the services were built for: nothing changes for a user who writes no rules file.
const RuleSet& builtinRules();

// Something in a rules file that could not be used; the built-in value stands in for it.
struct RulesProblem {
    enum Kind {
        Unreadable,  // detail: why
        Syntax,      // detail: the parser's message; line, column, offset (bytes)
        NotAnObject,
        UnknownRule,     // rule
        UnknownKey,      // rule, key
        NotText,         // rule, key
        EmptyMarker,     // rule, key
        BadScheme,       // rule, key: neither http:// nor https://
        BadPlaceholder,  // rule, key, detail: the placeholder
        DuplicateRule,   // rule, detail: how many times it is given (the last one stands)
        BadInterval,     // rule "intervals", key: the role; not a whole number of ms in range
    } kind;
    QString file;
    QString rule;
    QString key;
    QString detail;
    int line = 0;
    int column = 0;
    qint64 offset = 0;
};

// The English line the command prints on stderr, naming the file; the Chinese one the window
// lists under the file's name.
QString describeProblem(const RulesProblem& problem);
QString describeProblemInChinese(const RulesProblem& problem);

// The least gap, in milliseconds, between the starts of two requests to a role's host, as
// rules.json's "intervals" object keeps it: {"baidu": 3000, ...}. Roles it does not name follow
// the command's --host-interval.
using RoleIntervals = QMap<QString, int>;
inline constexpr int MostRoleInterval = 600000;

struct LoadedRules {
    RuleSet rules;
    QList<RulesProblem> problems;
    RoleIntervals intervals;
};

// The built-in rules with a rules file's text over them: each rule named by its id, only the keys
// given changed. fileName only names the file in the problems.
LoadedRules applyRulesFile(const QByteArray& json, const QString& fileName);

// rules.json in the data folder.
QString rulesFilePath();

// The rules in effect: the built-ins, with rules.json over them when there is one, as found when
// a run last started (or first asked, when none has).
LoadedRules effectiveRules();
// The same at the start of a query or a check: the file is read again when it changed, so an
// edit applies to the next run without a restart.
LoadedRules rulesForNewRun();

// Every rule, in the order of the figures, as one JSON object a rules file can start from.
// The intervals follow as "intervals" when any is set.
QString rulesJson(const RuleSet& rules, const RoleIntervals& intervals = {});

// The address of a template for a domain; "{frame}" only in the PageRank's second step.
QString expandRuleUrl(const QString& url, const QString& domain, const QString& frame = QString());

}  // namespace zorvan
