#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/mainwindow.h"
#include "app/qtplatform.h"
#include "app/singleinstance.h"
#include "fetch/services.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zorvan"));
    QApplication::setOrganizationName(QStringLiteral("zorvan"));
    QApplication::setApplicationDisplayName(QString::fromUtf8("Zorvan站长工具箱"));

    const zorvan::SingleInstance instance(zorvan::dataDirectory());
    if (!instance.acquired()) return 0;

    zorvan::QtPlatform platform;
    zorvan::setPlatform(&platform);

    zorvan::MainWindow window;
    // Leaving ends everything at once: a worker still inside a fetch is abandoned, and every file
    // the program writes has already been replaced whole.
    QObject::connect(&window, &zorvan::MainWindow::exitConfirmed, [] {
        std::fflush(nullptr);
        std::_Exit(0);
    });
    window.show();
    return app.exec();
}
