#pragma once

#include <QString>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace zorvan {

// The names and texts of a tool window's frame; an empty name leaves the control unnamed.
struct ToolFrame {
    const char* formName;  // the window's own name
    const char* schemeName;
    const char* boxName;
    QString domain;  // the box's text at start
    const char* queryName;
    QString queryText;
    const char* returnName;
};

// The frame the tool windows shown in the main window share: "http://" and the domain box, the
// query button (Enter in the box clicks it) and "返回其他", laid out in one row above the
// window's own column; and the click rule: clicks on the window's own surface and labels end in
// it, since the host area it sits in has a click action of its own.
//
// Shown inside the main window, a tool window's controls are part of its window tree, and the two
// share control names ("Command3", "Label3"): each control of a tool window is named after its
// window, "Form5.Command3", so that every name in the tree names one control and a look-up by a
// main-window name can never find a tool window's control instead.
class ToolWindow : public QWidget {
    Q_OBJECT
  public:
    QLineEdit* domainBox() const { return domainBox_; }
    QPushButton* queryButton() const { return queryButton_; }
    QPushButton* returnButton() const { return returnButton_; }

  Q_SIGNALS:
    // "返回其他": the window's host should hide it.
    void returnRequested();

  protected:
    ToolWindow(const ToolFrame& frame, QWidget* parent);

    // Names a control of this window: "Form5." + name.
    void name(QWidget* control, const char* name) const;

    QHBoxLayout* frameRow() const { return frameRow_; }
    QVBoxLayout* column() const { return column_; }

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QLineEdit* domainBox_;
    QPushButton* queryButton_;
    QPushButton* returnButton_;
    QHBoxLayout* frameRow_;
    QVBoxLayout* column_;
};

}  // namespace zorvan
