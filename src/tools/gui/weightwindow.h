#pragma once

#include "tools/gui/toolwindow.h"

class QLabel;
class QTableWidget;

namespace zorvan {

// The Baidu weight and keyword ranking window (Form17): five figures of the keyword-ranking site
// for a domain, and the list of keywords the domain ranks for.
class WeightWindow : public ToolWindow {
    Q_OBJECT
public:
    explicit WeightWindow(QWidget* parent = nullptr);

    QTableWidget* list() const { return list_; }
    // Label2 .. Label6 by objectName.
    QLabel* figure(const QString& objectName) const;
    // The keyword count of the last lookup that found one, as bare text; sizes the list.
    const QString& countText() const { return countText_; }

    // The lookup of the domain in the box (the query button's click), then the keyword list.
    void runLookup();

private:
    void resetFigures();
    void setUpRankingList();
    void fillRankingRows();
    void searchRow(int row);
    void setColumns(const QStringList& headers);

    QLabel* weight_ = nullptr;
    QLabel* countLine_ = nullptr;
    QLabel* traffic_ = nullptr;
    QLabel* snapshot_ = nullptr;
    QLabel* indexed_ = nullptr;
    QTableWidget* list_ = nullptr;
    QString countText_;
    bool running_ = false;
};

}  // namespace zorvan
