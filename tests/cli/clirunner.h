#pragma once
// Runs zorvan-cli as a user would, against the fixture's stand-in services; reads and writes the
// files it works on.
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

#include "fakeplatform.h"
#include "standinfixture.h"

namespace zorvan::test {

struct CliRun {
    int status = -1;       // the exit status; -1 when it did not end by itself
    bool crashed = false;  // ended by a signal
    QByteArray out;
    QByteArray err;
};

// The command's process with the given data folder, not yet started; the services are the ones
// ZORVAN_SERVICES names in this process.
inline QProcess* cliProcess(const QStringList& arguments, const QString& home,
                            QObject* parent = nullptr) {
    auto* process = new QProcess(parent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVAN_HOME"), home);
    env.insert(QStringLiteral("ZORVAN_FETCH_TIMEOUT_MS"), QStringLiteral("1500"));
    env.remove(QStringLiteral("DISPLAY"));
    process->setProcessEnvironment(env);
    process->setProgram(QStringLiteral(ZORVAN_CLI_BINARY));
    process->setArguments(arguments);
    return process;
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Starts the process unless it runs, waits for its end and deletes it. The wait only guards
// against a hung command: one job over a list of slow stand-in domains takes half a minute in
// the sanitizer build alone, and twice that beside other tests.
inline CliRun finishCli(QProcess* process) {
    CliRun run;
    if (process->state() == QProcess::NotRunning) process->start();
    if (process->waitForFinished(300000)) {
        run.crashed = process->exitStatus() != QProcess::NormalExit;
        if (!run.crashed) run.status = process->exitCode();
        run.out = process->readAllStandardOutput();
        run.err = process->readAllStandardError();
    }
    delete process;
    return run;
}

// What every command test program runs against, shared by inheriting it beside QObject: a fake
// platform, then the stand-in answering the sample engine pages under it, each test with a data
// folder of its own. A test's init calls start() and its cleanup stop().
class CliFixture {
  protected:
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<StandinFixture> fx;

    // False when the sample pages could not be loaded.
    bool start() {
        fake = std::make_unique<FakePlatform>();
        fx = std::make_unique<StandinFixture>(1500);
        return fx->services.loadRoutes(samplePagesFolder(), QStringLiteral("engines.routes")) > 0;
    }
    // The stand-in first, as it was made last.
    void stop() {
        fx.reset();
        fake.reset();
    }
    QString home() const { return fx->home.path(); }
    // The command not yet started, in the test's data folder unless another is named.
    QProcess* command(const QStringList& arguments, const QString& folder = {}) const {
        return cliProcess(arguments, folder.isEmpty() ? home() : folder, nullptr);
    }
    CliRun cli(const QStringList& arguments, const QString& folder = {}) const {
        return finishCli(command(arguments, folder));
    }
    // The same with a long limit per request, for a run where nothing is silent: a loaded machine,
    // or Wine, can take seconds over an answer, which would turn its figure into "no-answer".
    CliRun unhurriedCli(const QStringList& arguments) const {
        QProcess* process = command(arguments);
        QProcessEnvironment env = process->processEnvironment();
        env.insert(QStringLiteral("ZORVAN_FETCH_TIMEOUT_MS"), QStringLiteral("30000"));
        process->setProcessEnvironment(env);
        return finishCli(process);
    }
};

}  // namespace zorvan::test
