#pragma once

#include <QColor>
#include <QWidget>

#include "fetch/valuefetch.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zorvan {

class ServiceCheck;

// The service check window: every rule of the combined query run once for a domain, one row per
// rule with the address asked, what came back and why a figure would be "X", coloured by verdict.
class CheckWindow : public QWidget {
    Q_OBJECT
public:
    explicit CheckWindow(QWidget* parent = nullptr);

    QLineEdit* domainBox() const { return domainBox_; }
    QPushButton* checkButton() const { return checkButton_; }
    QPushButton* returnButton() const { return returnButton_; }
    QLabel* summary() const { return summary_; }
    QTableWidget* table() const { return table_; }
    bool isRunning() const;

    // The check of the domain in the box (the check button's click); a running one is dropped.
    void runCheck();

    // The background of a row with this verdict.
    static QColor verdictColour(Verdict verdict);

Q_SIGNALS:
    // "返回其他": the window's host should hide it.
    void returnRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showRow(int row);
    void showSummary();
    void openRow(int row);

    QLineEdit* domainBox_ = nullptr;
    QPushButton* checkButton_ = nullptr;
    QPushButton* returnButton_ = nullptr;
    QLabel* summary_ = nullptr;
    QTableWidget* table_ = nullptr;
    ServiceCheck* check_ = nullptr;
};

}  // namespace zorvan
