#include <QApplication>

#include "app/mainwindow.h"
#include "app/qtplatform.h"
#include "app/singleinstance.h"
#include "fetch/localfile.h"
#include "fetch/services.h"

int main(int argc, char** argv) {
    zorvan::prepareFileWrites();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zorvan"));
    QApplication::setOrganizationName(QStringLiteral("zorvan"));

    const QString dataFolder = zorvan::dataDirectory();
    const zorvan::SingleInstance instance(dataFolder);
    if (instance.heldByAnotherCopy()) return 0;

    zorvan::QtPlatform platform;
    zorvan::setPlatform(&platform);
    // A folder that cannot be written is no reason to end: queries still run, and each save then
    // says why it failed.
    if (!instance.acquired()) {
        zorvan::platform().showMessage({nullptr, zorvan::MessageIcon::Warning, zorvan::ApplicationTitle,
                                        QStringLiteral("无法使用数据文件夹：") + dataFolder + u'\n' + instance.failure() +
                                            QStringLiteral("\n本次查询结果将无法保存。"),
                                        zorvan::MessageButtons::Ok});
    }

    zorvan::MainWindow window;
    // Leaving ends through the event loop, so that Qt hands what was copied to the desktop's
    // clipboard; a wait still inside a fetch is ended and every file is already replaced whole.
    QObject::connect(&window, &zorvan::MainWindow::exitConfirmed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}
