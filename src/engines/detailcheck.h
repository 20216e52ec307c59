#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "net/sequencer.h"
#include "vocab/detailfields.h"

namespace zorvan {

// What the detail check reads and writes: the domain box and the fields of the detail grid. The
// check knows no window; the main window adapts itself to this.
class DetailSink {
  public:
    virtual ~DetailSink() = default;
    virtual QString domain() const = 0;
    // Replaces the text of the domain box (the check lower-cases a capitalised domain).
    virtual void setDomain(const QString& text) = 0;
    virtual QString field(DetailField field) const = 0;
    virtual void setField(DetailField field, const QString& text) = 0;
    // The title field is shown enabled once a check has run.
    virtual void enableTitleField() {}
};

namespace detail {
// The figures set to "-" by the reset, in the order they are reset.
QList<DetailField> resetFields();

// "找到约 " count when the page says so, else the "获得 " count; separators kept.
std::optional<QString> googleCount(const QString& page);

// Seven times a week figure ("1,230" gives "8610"); nothing when the text is not a number.
std::optional<QString> monthEstimate(const QString& weekFigure);
}  // namespace detail

// The mouse-down reset: the ten figures of both rows become "-".
void resetDetailFields(DetailSink& sink);

// The Baidu row: last day, week and month, the total, the first result's snapshot date, whether
// the first result is the home page, and its title; one step per page.
QList<ChainStep> BaiduDetailCheck(DetailSink& sink);

// The Google row: last day and week, the total, whether the first result is the home page, and
// the month estimate.
QList<ChainStep> GoogleRecencyCheck(DetailSink& sink);

// Replaces every figure still unfound by its fixed text, and writes today's date or "今日无快照".
void detailFinalPass(DetailSink& sink);

// The click: Baidu row, Google row, final pass, one request after another on the sequencer's
// "detail" chain, after any check still running there. The sink must outlive the sequencer's run;
// deleting the sequencer stops the check where it is.
void runDetailCheck(RequestSequencer& requests, DetailSink& sink);

}  // namespace zorvan
