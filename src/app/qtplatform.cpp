#include "app/qtplatform.h"

#include <QDesktopServices>
#include <QMessageBox>

namespace zorvan {

MessageAnswer QtPlatform::showMessage(const Message& message) {
    QMessageBox box(qobject_cast<QWidget*>(message.parent));
    box.setWindowTitle(message.title.isEmpty() ? ApplicationTitle : message.title);
    box.setText(message.text);
    box.setTextFormat(Qt::PlainText);
    switch (message.icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    if (message.buttons == MessageButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

void QtPlatform::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QDateTime QtPlatform::now() const {
    return QDateTime::currentDateTime();
}

}  // namespace zorvan
