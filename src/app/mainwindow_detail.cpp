// Detail check hooks of the main window.
#include <QComboBox>
#include <QLabel>
#include <QPointer>

#include "app/mainwindow.h"
#include "engines/detailcheck.h"

namespace zorvan {

namespace {

// The detail grid seen through the window's fields. The window is held weakly: every fetch serves
// events, and a handler run meanwhile may close and delete it.
class WindowDetailSink final : public DetailSink {
public:
    explicit WindowDetailSink(MainWindow* window) : window_(window) {}

    QString domain() const override { return window_ ? window_->domain() : QString(); }
    void setDomain(const QString& text) override {
        if (window_) window_->domainBox()->setEditText(text);
    }
    QString field(const QString& name) const override { return window_ ? window_->fieldText(name) : QString(); }
    void setField(const QString& name, const QString& text) override {
        if (window_) window_->setFieldText(name, text);
    }
    // The title of the first result goes to a label that nothing else reads; it stays out of sight
    // and is made on the first check.
    void enableTitleField() override {
        if (!window_) return;
        QLabel* title = window_->label(detail::BaiduTitle);
        if (!title) {
            title = new QLabel(window_);
            title->setObjectName(detail::BaiduTitle);
            title->setAccessibleDescription(QStringLiteral("百度首页标题"));
            title->hide();
        }
        title->setEnabled(true);
    }
    bool alive() const override { return !window_.isNull(); }

private:
    QPointer<MainWindow> window_;
};

}  // namespace

void MainWindow::resetDetailFields() {
    WindowDetailSink sink(this);
    ResetDetailFields(sink);
}

// Nothing of the window is touched once the check returns: it may have been deleted meanwhile.
void MainWindow::runDetailCheck() {
    WindowDetailSink sink(this);
    RunDetailCheck(sink);
}

}  // namespace zorvan
