#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace zorvan {

// The report window: shows the summary of the last query for reading, editing and copying.
class ReportWindow : public QDialog {
    Q_OBJECT
  public:
    explicit ReportWindow(QWidget* parent = nullptr);

    // Fills the window for a query that has completed: caption, title line and report text,
    // then centres it on the screen. A window that is never loaded keeps its design texts.
    void load(const QString& domain, const QString& reportText);

    // Puts the box's current text on the clipboard and says so.
    void copyToClipboard();

    QLabel* titleLabel() const { return title_; }
    QPlainTextEdit* textBox() const { return text_; }
    QPushButton* copyButton() const { return copy_; }

  private:
    void centreOnScreen();

    QLabel* title_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QPushButton* copy_ = nullptr;
};

}  // namespace zorvan
