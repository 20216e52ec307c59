// The stand-in services as a program, for the demo and for trying the toolbox without internet.
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

#include "standin.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Loopback stand-ins for the outside services"));
    parser.addHelpOption();
    const QCommandLineOption pages(QStringLiteral("pages"),
                                   QStringLiteral("Folder of *.routes files"),
                                   QStringLiteral("folder"));
    const QCommandLineOption servicesFile(QStringLiteral("services-file"),
                                          QStringLiteral("Where to write the ZORVAN_SERVICES file"),
                                          QStringLiteral("file"));
    const QCommandLineOption latency(QStringLiteral("latency"),
                                     QStringLiteral("Delay of every answer in ms"),
                                     QStringLiteral("ms"));
    parser.addOptions({pages, servicesFile, latency});
    parser.process(app);

    zorvan::standin::Services services;
    if (!services.start()) {
        std::fprintf(stderr, "zorvan-standin: no free loopback port\n");
        return 1;
    }
    if (parser.isSet(pages) && services.loadRoutes(parser.value(pages)) < 0) {
        std::fprintf(stderr, "zorvan-standin: cannot read %s\n", qPrintable(parser.value(pages)));
        return 1;
    }
    if (parser.isSet(latency)) services.setLatency(QString(), parser.value(latency).toInt());
    if (parser.isSet(servicesFile) && !services.writeServicesFile(parser.value(servicesFile))) {
        std::fprintf(stderr, "zorvan-standin: cannot write %s\n",
                     qPrintable(parser.value(servicesFile)));
        return 1;
    }
    std::fputs(qPrintable(services.servicesFileText()), stdout);
    std::fflush(stdout);

    // Quit cleanly on SIGINT/SIGTERM so that the listening threads are joined.
    static int pipeFds[2];
    if (::pipe(pipeFds) != 0) return 1;
    auto onSignal = [](int) { [[maybe_unused]] auto n = ::write(pipeFds[1], "x", 1); };
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QSocketNotifier notifier(pipeFds[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    const int rc = app.exec();
    services.stop();
    return rc;
}
