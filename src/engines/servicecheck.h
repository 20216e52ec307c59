#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "engines/rules.h"
#include "net/sequencer.h"
#include "vocab/figures.h"

namespace zorvan {

// One rule of a check and what became of it.
struct CheckRow {
    Figure figure;
    QString id;  // the rule's id, the figure's key
    bool done = false;
    ValueResult result;
};

// Runs rules once each for a domain, as a query would, to show why a figure is what it is. Rules
// whose first request goes to the same host run one after another, so that no service sees a
// burst; hosts run side by side, so the whole check takes about as long as its slowest host.
// Everything runs on the calling thread's event loop; deleting the check, or starting it again,
// aborts what is in flight.
class ServiceCheck : public QObject {
    Q_OBJECT
  public:
    explicit ServiceCheck(QObject* parent = nullptr);
    ~ServiceCheck() override;

    // Every rule in effect, in the order of the figures; only: just these figures.
    void start(const QString& domain, const QList<Figure>& only = {});
    void start(const QString& domain, const RuleSet& rules, const QList<Figure>& only = {});

    const QString& domain() const { return domain_; }
    const QList<CheckRow>& rows() const { return rows_; }
    bool isFinished() const { return requests_->isIdle(); }

  Q_SIGNALS:
    void rowDone(int row);
    void finished();

  private:
    ChainStep stepFor(int row);

    QString domain_;
    RuleSet rules_;
    QList<CheckRow> rows_;
    RequestSequencer* requests_;
};

// A value as one line of text that a terminal shows as it is: line breaks and tabs shown as \r,
// \n and \t, every other control character as \x and two hex digits (an ESC would otherwise
// start a terminal sequence).
QString oneLine(const QString& text);

}  // namespace zorvan
