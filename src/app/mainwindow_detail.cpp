// Detail check hooks of the main window.
#include <QComboBox>
#include <QLabel>

#include "app/mainwindow.h"
#include "engines/detailcheck.h"

namespace zorvan {

namespace {

// The detail grid seen through the window's fields. The check's requests are the window's
// children, so no step runs once the window is gone.
class WindowDetailSink final : public DetailSink {
  public:
    explicit WindowDetailSink(MainWindow* window) : window_(window) {}

    QString domain() const override { return window_->domain(); }
    void setDomain(const QString& text) override { window_->domainBox()->setEditText(text); }
    QString field(DetailField field) const override { return window_->detail(field); }
    void setField(DetailField field, const QString& text) override {
        window_->setDetail(field, text);
    }
    void enableTitleField() override {
        window_->detailField(DetailField::BaiduTitle)->setEnabled(true);
    }

  private:
    MainWindow* window_;
};

}  // namespace

// The detail check's requests and the grid they write to; deleted with the window.
class DetailRun : public QObject {
  public:
    explicit DetailRun(MainWindow* window)
        : QObject(window), sink(window), requests(new RequestSequencer(this)) {
        connect(requests, &RequestSequencer::idle, window, &MainWindow::detailCheckFinished);
    }
    WindowDetailSink sink;
    RequestSequencer* requests;
};

void MainWindow::resetDetailFields() {
    WindowDetailSink sink(this);
    zorvan::resetDetailFields(sink);
}

// A click while a check runs queues a whole check after it, as the one request stream it is.
void MainWindow::runDetailCheck() {
    if (!detailRun_) detailRun_ = new DetailRun(this);
    zorvan::runDetailCheck(*detailRun_->requests, detailRun_->sink);
}

}  // namespace zorvan
