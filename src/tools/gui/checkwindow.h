#pragma once

#include <QColor>

#include "net/valuefetch.h"
#include "tools/gui/toolwindow.h"

class QLabel;
class QTableWidget;

namespace zorvan {

class ServiceCheck;

// The service check window: every rule of the combined query run once for a domain, one row per
// rule with the address asked, what came back and why a figure would be "X", coloured by verdict.
class CheckWindow : public ToolWindow {
    Q_OBJECT
  public:
    explicit CheckWindow(QWidget* parent = nullptr);

    QPushButton* checkButton() const { return queryButton(); }
    QLabel* summary() const { return summary_; }
    QTableWidget* table() const { return table_; }
    bool isRunning() const;

    // The check of the domain in the box (the check button's click); a running one is dropped.
    void runCheck();

    // The background of a row with this verdict.
    static QColor verdictColour(Verdict verdict);

  private:
    void showRow(int row);
    void showSummary();
    void openRow(int row);

    QLabel* summary_ = nullptr;
    QTableWidget* table_ = nullptr;
    ServiceCheck* check_ = nullptr;
};

}  // namespace zorvan
