// zorvan-cli: the toolbox's queries from a terminal or a scheduled job.
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

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
    // The command says what it has to say itself: Qt's own warnings (a missing runtime folder
    // under cron, a cache naming a proxy's user) would fill cron mail and may carry secrets.
    // Only a fatal one, which ends the program, is told.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) std::fprintf(stderr, "zorvan-cli: %s\n", qUtf8Printable(message));
    });
    QStringList arguments;
#ifdef Q_OS_WIN
    // argv holds the arguments in the ANSI code page, which loses what it cannot spell.
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) arguments.append(QString::fromWCharArray(wide[i]));
        LocalFree(wide);
    }
    // A console shows the messages through its UTF-16 interface; a failure to tell one ends
    // nothing.
    zorvan::cli::StandardOutput standardError(STDERR_FILENO, [](int) {});
    QTextStream err(&standardError);
#else
    for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));

    QTextStream err(stderr);
#endif
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
    // Only drawing charts (a chart, the report's) needs fonts, and so Qt Gui; it needs no display.
    // Every other command runs without one.
    std::unique_ptr<QCoreApplication> app;
    if (arguments.value(0) == QStringLiteral("chart") ||
        arguments.value(0) == QStringLiteral("report")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("zorvan"));
    QCoreApplication::setOrganizationName(QStringLiteral("zorvan"));
    return zorvan::cli::runArguments(arguments, console);
}
