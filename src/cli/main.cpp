// zorvan-cli: the toolbox's queries from a terminal or a scheduled job.
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli.h"
#include "cli/standardoutput.h"
#include "core/localfile.h"

int main(int argc, char** argv) {
    zorvan::prepareFileWrites();
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));

    QTextStream err(stderr);
    // Nothing is left to do once results cannot be written: a save already made is whole, and
    // the next domain's figures would go nowhere.
    zorvan::cli::StandardOutput standardOutput(STDOUT_FILENO, [&err](int error) {
        if (error != EPIPE)
            err << "zorvan-cli: cannot write to standard output: " << std::strerror(error)
                << Qt::endl;
        ::_exit(zorvan::cli::FileFailed);
    });
    QTextStream out(&standardOutput);
    zorvan::cli::Console console{out, err};
    QString error;
    const auto invocation = zorvan::cli::parseArguments(arguments, &error);
    if (!invocation) {
        console.fail(error);
        err << "Try 'zorvan-cli --help'." << Qt::endl;
        return zorvan::cli::UsageError;
    }
    // Only drawing charts (a chart, the report's) needs fonts, and so Qt Gui; it needs no display.
    // Every other command runs without one.
    std::unique_ptr<QCoreApplication> app;
    if (invocation->command == QStringLiteral("chart") ||
        invocation->command == QStringLiteral("report")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt Gui warns while starting when there is no runtime folder, as under cron, and would
        // make every nightly chart a mail: only that start-up message is dropped.
        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.startsWith(u"QStandardPaths: XDG_RUNTIME_DIR not set"))
                    previous(type, context, message);
            });
        app = std::make_unique<QGuiApplication>(argc, argv);
        qInstallMessageHandler(previous);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("zorvan"));
    QCoreApplication::setOrganizationName(QStringLiteral("zorvan"));
    return zorvan::cli::run(*invocation, console);
}
