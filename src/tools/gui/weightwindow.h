#pragma once

#include "tools/gui/toolwindow.h"
#include "tools/keywordrank.h"
#include "tools/weight.h"

class QLabel;
class QTableWidget;

namespace zorvan {

// The five figures of a lookup, each in a label of its own.
enum class WeightField { Weight, KeywordCount, Traffic, Snapshot, Indexed };

// The Baidu weight and keyword ranking window (Form17): five figures of the keyword-ranking site
// for a domain, and the list of keywords the domain ranks for.
class WeightWindow : public ToolWindow {
    Q_OBJECT
  public:
    explicit WeightWindow(QWidget* parent = nullptr);

    QTableWidget* list() const { return list_; }
    QLabel* figure(WeightField field) const;
    // The keyword count of the last lookup that found one, as bare text; sizes the list.
    const QString& countText() const { return countText_; }

    // Starts the lookup of the domain in the box (the query button's click), then the keyword list.
    void runLookup();

  Q_SIGNALS:
    // The lookup and its keyword list have ended.
    void lookupFinished();

  private:
    QLabel* makeLabel(const char* controlName, const QString& text,
                      const QString& description = QString());
    void resetFigures();
    void showFigures(const WeightFigures& figures);
    void setUpRankingList();
    void fillRankingRows(const RankingRows& rows);
    void lookupEnded();
    void searchRow(int row);
    void setColumns(const QStringList& headers);

    QLabel* weight_ = nullptr;
    QLabel* countLine_ = nullptr;
    QLabel* traffic_ = nullptr;
    QLabel* snapshot_ = nullptr;
    QLabel* indexed_ = nullptr;
    QTableWidget* list_ = nullptr;
    QString countText_;
    RequestSequencer* requests_ = nullptr;
    bool running_ = false;
};

}  // namespace zorvan
