#pragma once

#include <QWidget>
#include <array>

#include "vocab/detailfields.h"
#include "vocab/figures.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace zorvan {

// The panels the main window is built from, top to bottom. Each lays out its own controls, named
// by their control names, and says what the person asked for through its signals; the window
// wires the signals and writes the fields.

// The gap between the window's rows, inside a panel as between panels.
inline constexpr int PageSpacing = 8;

// The look of a result field, and of a field whose count dropped.
QString fieldStyle(bool dropped);

// The domain row ("http://", the box, the four buttons) and, as a row of its own below it, the
// batch and auto-save ticks: each row is a row of the page, so a larger window shares its room
// out among the rows as it always has.
class DomainBar : public QWidget {
    Q_OBJECT
  public:
    explicit DomainBar(QWidget* parent);

    QWidget* tickRow() const { return tickRow_; }

    // The controls whose state the window reads and sets while queries run.
    QComboBox* box;
    QPushButton* query;
    QCheckBox* batch = nullptr;
    QCheckBox* autoSave = nullptr;

  Q_SIGNALS:
    // "查询", or Enter in the box while "查询" can be pressed.
    void queryAsked();
    void historyAsked();
    void reportAsked();
    void listAsked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* makeTickRow(QWidget* parent);

    QWidget* tickRow_;
};

// Result fields of a panel, one per figure; a left click on one asks for the page its figure
// came from.
class FigurePanel : public QWidget {
    Q_OBJECT
  public:
    // Its field, or nullptr when the figure is shown by another panel.
    QLabel* field(Figure figure) const { return fields_[size_t(figure)]; }

  Q_SIGNALS:
    void quickLinkClicked(zorvan::Figure figure);

  protected:
    using QWidget::QWidget;
    QLabel* addField(QWidget* parent, Figure figure);

  private:
    std::array<QLabel*, FigureCount> fields_{};
};

// The four general figures under their headings, with the batch arrows either side.
class RankingRow : public FigurePanel {
    Q_OBJECT
  public:
    explicit RankingRow(QWidget* parent);

    // Shown and hidden by the window as batch mode's entries allow.
    QToolButton* previous;
    QToolButton* next;

  Q_SIGNALS:
    // An arrow: -1 the previous entry, +1 the next.
    void entryStepped(int step);
};

// One row per engine: its indexed pages and its backlinks.
class EngineTable : public FigurePanel {
    Q_OBJECT
  public:
    explicit EngineTable(QWidget* parent);
};

// The detail check's buttons and its two rows of six fields, and the first result's title, which
// no one sees.
class DetailGrid : public QWidget {
    Q_OBJECT
  public:
    explicit DetailGrid(QWidget* parent);

    QLabel* field(DetailField field) const { return fields_[size_t(field)]; }

  Q_SIGNALS:
    // A mouse button went down on the check's "查询" (any button; the keyboard never resets).
    void resetAsked();
    // The check's "查询" was clicked.
    void detailAsked();
    void visitAsked();
    void productAsked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void addButtons(QWidget* frame, QBoxLayout* column);

    QPushButton* check_ = nullptr;
    std::array<QLabel*, DetailFieldCount> fields_{};
};

// The buttons that bring up the tool windows.
class ToolBar : public QWidget {
    Q_OBJECT
  public:
    explicit ToolBar(QWidget* parent);

  Q_SIGNALS:
    void weightAsked();
    void backlinksAsked();
    void serviceCheckAsked();
    void siteGroupAsked();
};

// Where the tool windows are shown, laid over the window below the domain row. A left click on
// its own surface (where no tool window covers it) asks for its link.
class HostArea : public QWidget {
    Q_OBJECT
  public:
    explicit HostArea(QWidget* parent);

  Q_SIGNALS:
    void clicked();
};

}  // namespace zorvan
