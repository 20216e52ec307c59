#pragma once
// Runs zorvan-cli as a user would, against the fixture's stand-in services; reads and writes the
// files it works on.
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace zorvan::test {

struct CliRun {
    int status = -1;  // the exit status; -1 when it did not end by itself
    bool crashed = false;  // ended by a signal
    QByteArray out;
    QByteArray err;
};

// The command's process with the given data folder, not yet started; the services are the ones
// ZORVAN_SERVICES names in this process.
inline QProcess* cliProcess(const QStringList& arguments, const QString& home, QObject* parent) {
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

// Starts the process unless it runs, waits for its end and deletes it.
inline CliRun finishCli(QProcess* process) {
    CliRun run;
    if (process->state() == QProcess::NotRunning) process->start();
    if (process->waitForFinished(60000)) {
        run.crashed = process->exitStatus() != QProcess::NormalExit;
        if (!run.crashed) run.status = process->exitCode();
        run.out = process->readAllStandardOutput();
        run.err = process->readAllStandardError();
    }
    delete process;
    return run;
}

}  // namespace zorvan::test
