#include <QApplication>
#include <QIcon>

#include "app/mainwindow.h"
#include "app/qtplatform.h"
#include "app/singleinstance.h"
#include "core/localfile.h"
#include "core/services.h"
#include "engines/rules.h"
#include "net/proxies.h"

namespace {

// The start-up note's list: the first ten problems keep the message box on the screen.
QString ruleProblemsNote(const QList<zorvan::RulesProblem>& problems) {
    constexpr qsizetype shown = 10;
    QString note;
    for (qsizetype i = 0; i < std::min(shown, problems.size()); ++i)
        note += QStringLiteral("\n· ") + zorvan::describeProblemInChinese(problems[i]);
    if (problems.size() > shown)
        note += QStringLiteral("\n……另有 %1 项").arg(problems.size() - shown);
    return note;
}

}  // namespace

int main(int argc, char** argv) {
    zorvan::prepareFileWrites();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zorvan"));
    QApplication::setOrganizationName(QStringLiteral("zorvan"));
    // The menu entry an installed copy has: desktops take the window's icon and name from it.
    QGuiApplication::setDesktopFileName(QStringLiteral("net.zorvan.toolbox"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("net.zorvan.toolbox")));

    const QString dataFolder = zorvan::dataDirectory();
    const zorvan::SingleInstance instance(dataFolder);
    if (instance.heldByAnotherCopy()) return 0;

    // The same way out as the command: proxies.txt when it exists, else the desktop's proxy.
    const zorvan::ProxyList proxies = zorvan::useProxyFile(zorvan::proxyFilePath());
    for (const QString& problem : proxies.problems) qWarning("%s", qPrintable(problem));
    if (proxies.othersMayRead)
        qWarning("%s", qPrintable(zorvan::proxyFileWarning(zorvan::proxyFilePath())));

    zorvan::QtPlatform platform;
    zorvan::setPlatform(&platform);
    // A folder that cannot be written is no reason to end: queries still run, and each save then
    // says why it failed.
    if (!instance.acquired()) {
        zorvan::platform().showMessage(
            {nullptr, zorvan::MessageIcon::Warning, zorvan::ApplicationTitle,
             QStringLiteral("无法使用数据文件夹：") + dataFolder + u'\n' + instance.failure() +
                 QStringLiteral("\n本次查询结果将无法保存。"),
             zorvan::MessageButtons::Ok});
    }

    // What of rules.json cannot be used is told once; the built-in rules stand in for it.
    const QString ruleProblems = ruleProblemsNote(zorvan::effectiveRules().problems);
    if (!ruleProblems.isEmpty())
        zorvan::platform().showMessage({nullptr, zorvan::MessageIcon::Warning,
                                        zorvan::ApplicationTitle,
                                        QStringLiteral("服务规则文件 ") + zorvan::rulesFilePath() +
                                            QStringLiteral(" 中有无法使用的内容：") + ruleProblems,
                                        zorvan::MessageButtons::Ok});

    zorvan::MainWindow window;
    // Leaving ends through the event loop, so that Qt hands what was copied to the desktop's
    // clipboard; a wait still inside a fetch is ended and every file is already replaced whole.
    QObject::connect(&window, &zorvan::MainWindow::exitConfirmed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
