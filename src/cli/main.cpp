// zorvan-cli: the toolbox's queries from a terminal or a scheduled job.
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "cli/cli.h"
#include "fetch/localfile.h"

int main(int argc, char** argv) {
    zorvan::prepareFileWrites();
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));

    QTextStream out(stdout);
    QTextStream err(stderr);
    zorvan::cli::Console console{out, err};
    QString error;
    const auto invocation = zorvan::cli::parseArguments(arguments, &error);
    if (!invocation) {
        console.fail(error + QStringLiteral("\nTry 'zorvan-cli --help'."));
        return zorvan::cli::UsageError;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvan"));
    QCoreApplication::setOrganizationName(QStringLiteral("zorvan"));
    return zorvan::cli::run(*invocation, console);
}
