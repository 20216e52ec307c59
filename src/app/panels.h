#pragma once

#include <QHash>
#include <QString>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QObject;
class QPushButton;
class QToolButton;
class QWidget;

namespace zorvan {

// The parts the main window is built from. Each adds its controls to the window's page, so the
// window's widgets and layout are the same whichever part made them; the window keeps the parts
// and wires their controls.

// The result fields of every part: one look and one height, plain text, a click watched by the
// window (a quick link opens on a left click), each found by its control name.
class FieldBoard {
  public:
    FieldBoard(QWidget* parent, QObject* clickWatcher) : parent_(parent), watcher_(clickWatcher) {}
    QLabel* make(const QString& name, const QString& text, const QString& description);
    QLabel* field(const QString& name) const { return fields_.value(name); }

    // The look of a field, and of a field whose count dropped.
    static QString style(bool dropped);

  private:
    QWidget* parent_;
    QObject* watcher_;
    QHash<QString, QLabel*> fields_;
};

// The domain row ("http://", the box, the four buttons) and the batch and auto-save ticks.
struct DomainBar {
    DomainBar(QWidget* parent, QBoxLayout* page, QObject* keyWatcher);
    QComboBox* box;
    QPushButton* query;
    QPushButton* history;
    QPushButton* report;
    QPushButton* list;
    QCheckBox* batch;
    QCheckBox* autoSave;
};

// The four general figures under their headings, with the batch arrows either side.
struct RankingRow {
    RankingRow(QWidget* parent, QBoxLayout* page, FieldBoard& fields);
    QToolButton* previous;
    QToolButton* next;
};

// One row per engine: its indexed pages and its backlinks.
struct EngineTable {
    EngineTable(QWidget* parent, QBoxLayout* page, FieldBoard& fields);
    QWidget* frame;
};

// The detail check's buttons and its two rows of six fields.
struct DetailGrid {
    DetailGrid(QWidget* parent, QBoxLayout* page, FieldBoard& fields, QObject* pressWatcher);
    QPushButton* check;
    QPushButton* visit;
    QPushButton* product;
};

// The buttons that bring up the tool windows.
struct ToolBar {
    ToolBar(QWidget* parent, QBoxLayout* page);
    QPushButton* weight;
    QPushButton* backlinks;
    QPushButton* serviceCheck;
};

}  // namespace zorvan
