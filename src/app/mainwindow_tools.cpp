// Tool window hooks of the main window: the host area embeds them.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/mainwindow.h"
#include "core/services.h"
#include "domains/domainlist.h"
#include "sitegroup/gui/sitegroupwindow.h"
#include "tools/gui/backlinkwindow.h"
#include "tools/gui/checkwindow.h"
#include "tools/gui/weightwindow.h"

namespace zorvan {

namespace {

// Shows a tool window borderless inside the host area, 1 px from its top, creating it the first
// time; afterwards the same window comes back with its texts and list, and whichever other tool
// window was shown is hidden. The host's layout keeps the window as large as the host area. Its
// "返回其他" hides the host area again.
template <typename Window>
Window* embedIn(QWidget* host, QWidget* focusAfterReturn) {
    auto* layout = qobject_cast<QVBoxLayout*>(host->layout());
    if (!layout) {
        layout = new QVBoxLayout(host);
        layout->setContentsMargins(0, 1, 0, 0);
        layout->setSpacing(0);
    }
    auto* window = host->findChild<Window*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new Window(host);
        layout->addWidget(window);
        QObject::connect(window, &Window::returnRequested, host, [host, focusAfterReturn] {
            host->hide();
            if (focusAfterReturn) focusAfterReturn->setFocus();
        });
    }
    for (QWidget* other : host->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (other != window) other->hide();
    host->show();
    host->raise();
    window->show();
    window->domainBox()->setFocus();
    return window;
}

}  // namespace

void MainWindow::showBacklinkWindow() {
    embedIn<BacklinkWindow>(hostArea_, bar_->box);
}

void MainWindow::showWeightWindow() {
    embedIn<WeightWindow>(hostArea_, bar_->box);
}

// The check starts at once for the domain in the main window's box, the one its figures are for.
void MainWindow::showCheckWindow() {
    CheckWindow* window = embedIn<CheckWindow>(hostArea_, bar_->box);
    window->domainBox()->setText(domain());
    if (!domain().isEmpty()) window->runCheck();
}

void MainWindow::openSiteGroup() {
    if (!siteGroup_) {
        siteGroup_ = new SiteGroupWindow(autoSaveBox()->isChecked(), this);
        siteGroup_->setDomains(readDomainList(configFilePath()));
    }
    siteGroup_->show();
    siteGroup_->raise();
    siteGroup_->activateWindow();
}

}  // namespace zorvan
