#pragma once

#include <QModelIndex>

#include "tools/gui/toolwindow.h"

class QLabel;
class QTableView;

namespace zorvan {

class BacklinkListing;
class BacklinkTableModel;

// The backlink page listing window (Form5): a domain box, the query button, a summary line and
// the numbered list of linking pages, which grows page by page while a query walks.
class BacklinkWindow : public ToolWindow {
    Q_OBJECT
  public:
    explicit BacklinkWindow(QWidget* parent = nullptr);

    QLabel* statusLine() const { return statusLine_; }
    QTableView* list() const { return list_; }
    const BacklinkListing& listing() const { return *listing_; }

    // Starts the query of the domain in the box (the query button's click).
    void runQuery();

  Q_SIGNALS:
    // The query has ended, its list complete.
    void queryFinished();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void rebuildList();
    void queryEnded(bool listed);
    void openRow(const QModelIndex& index);

    BacklinkListing* listing_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QTableView* list_ = nullptr;
    BacklinkTableModel* model_ = nullptr;
};

}  // namespace zorvan
