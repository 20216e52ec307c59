#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace zorvan {

// Form3: the saved domain list as plain text, one domain per line. Saving writes the list back to
// config.ini, tells the main window through saved() and closes; the close box saves nothing.
class ListEditor : public QDialog {
    Q_OBJECT
  public:
    explicit ListEditor(const QString& configPath, QWidget* parent = nullptr);

    QPlainTextEdit* textBox() const { return text_; }
    QPushButton* saveButton() const { return save_; }

    // The save button's job (SaveDomainList).
    void saveDomainList();

  Q_SIGNALS:
    // The list was written (or the write failed and the old list stays); the main window reloads.
    void saved(bool written);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QString configPath_;
    QPlainTextEdit* text_ = nullptr;
    QPushButton* save_ = nullptr;
};

}  // namespace zorvan
