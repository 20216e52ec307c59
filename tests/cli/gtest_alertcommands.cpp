#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <iostream>

#include "cli/schedule.h"
#include "robotreceiver.h"

using namespace zorvan::cli;

namespace {

void writeText(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

Ran runCli(const QStringList& arguments, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ZORVAN_CLI_BINARY), arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The program as a user may keep it: in a folder whose name holds a space, or a quote.
QString programIn(const QString& folder) {
    const QString program = folder + QStringLiteral("/zorvan-cli");
    if (!QDir().mkpath(folder)) return {};
    if (::link(ZORVAN_CLI_BINARY, QFile::encodeName(program).constData()) != 0 &&
        !QFile::copy(QStringLiteral(ZORVAN_CLI_BINARY), program))
        return {};
    return program;
}

Ran runProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& env,
               const QString& folder) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace

TEST(Schedule, WithoutAUserManagerTheUnitsStayPassVerificationAndACrontabLineIsPrinted) {
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    const QString data = dir.filePath(QStringLiteral("data $x %h"));
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(data));
    // systemd-analyze is there to check the units; systemctl is not, so no manager answers.
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (!analyze.isEmpty()) {
        ASSERT_TRUE(QFile::link(analyze, bin + QStringLiteral("/systemd-analyze")));
    }
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), bin);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("ZORVAN_HOME"), QStringLiteral("data $x %h"));  // relative
    const QString units = dir.filePath(QStringLiteral("systemd/user/"));
    const QString program = programIn(dir.filePath(QStringLiteral("my tools")));
    ASSERT_FALSE(program.isEmpty());
    // Words systemd and cron would otherwise split, expand or take for specifiers.
    const QStringList daily = {QStringLiteral("schedule"),
                               QStringLiteral("daily"),
                               QStringLiteral("06:30"),
                               QStringLiteral("--"),
                               QStringLiteral("--drop-threshold"),
                               QStringLiteral("25"),
                               QStringLiteral("--list"),
                               QStringLiteral("sites $HOME 50%y \"q\".txt")};

    // A quote in the program's folder: systemd would not run it, so nothing is written.
    const QString quoted = programIn(dir.filePath(QStringLiteral("o'brien")));
    ASSERT_FALSE(quoted.isEmpty());
    const Ran refused = runProgram(quoted, daily, env, dir.path());
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains(u"the character '")) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(units + ServiceUnitName));

    const Ran written = runProgram(program, daily, env, dir.path());
    EXPECT_EQ(written.status, 3) << written.err.toStdString();
    EXPECT_TRUE(written.err.contains(u"no user service manager"));
    EXPECT_FALSE(written.err.contains(u"verify")) << written.err.toStdString();
    QFile service(units + ServiceUnitName);
    ASSERT_TRUE(service.open(QIODevice::ReadOnly));
    const QString unit = QString::fromUtf8(service.readAll());
    EXPECT_TRUE(unit.contains(
        QStringLiteral("\nEnvironment=\"ZORVAN_HOME=%1/data $x %%h\"\n").arg(dir.path())))
        << unit.toStdString();
    EXPECT_TRUE(unit.contains(
        QStringLiteral("\nExecStart=\"%1/my tools/zorvan-cli\" batch ").arg(dir.path())));
    if (analyze.isEmpty()) {
        std::cerr << "systemd-analyze is not installed; the unit files are not verified\n";
    } else {
        QProcess verify;
        verify.setProcessEnvironment(env);
        verify.setProcessChannelMode(QProcess::MergedChannels);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        verify.setProcessEnvironment(env);
        verify.start(analyze, {QStringLiteral("--user"), QStringLiteral("verify"),
                               units + TimerUnitName, units + ServiceUnitName});
        ASSERT_TRUE(verify.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(verify.readAll());
        EXPECT_EQ(verify.exitCode(), 0) << said.toStdString();
        EXPECT_FALSE(said.contains(u"zorvan-batch")) << said.toStdString();
    }

    // The crontab line as cron runs it: "\%" is cron's own, the rest is sh's. The list holds no
    // domain, so the run stops before asking anything; what it says shows the words arrived.
    const QString line = written.out.trimmed();
    EXPECT_TRUE(line.startsWith(QStringLiteral("30 6 * * * ZORVAN_HOME='%1/data $x \\%h' '%1/my "
                                               "tools/zorvan-cli' batch --save --resume --notify ")
                                    .arg(dir.path())))
        << line.toStdString();
    writeText(dir.filePath(QStringLiteral("sites $HOME 50%y \"q\".txt")),
              QStringLiteral("# none yet\n"));
    writeText(data + QStringLiteral("/proxies.txt"), QStringLiteral("# none\n"));
    QFile::setPermissions(data + QStringLiteral("/proxies.txt"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QProcess sh;
    env.remove(QStringLiteral("ZORVAN_HOME"));
    sh.setProcessEnvironment(env);
    sh.setWorkingDirectory(QDir::rootPath());
    sh.start(QStringLiteral("/bin/sh"),
             {QStringLiteral("-c"),
              line.section(u' ', 5).replace(QStringLiteral("\\%"), QStringLiteral("%"))});
    ASSERT_TRUE(sh.waitForFinished(120000));
    const QString said = QString::fromUtf8(sh.readAllStandardError());
    EXPECT_EQ(sh.exitCode(), 2) << said.toStdString();
    EXPECT_TRUE(said.contains(
        QStringLiteral("%1/sites $HOME 50%y \"q\".txt holds no domain").arg(dir.path())))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("other users can read %1/proxies.txt").arg(data)))
        << said.toStdString();

    const Ran status = runProgram(program, {QStringLiteral("schedule")}, env, dir.path());
    EXPECT_EQ(status.status, 3);
    EXPECT_TRUE(status.out.contains(u"06:30"));
    // Without a manager to stop it, a timer it had loaded would still run: not "removed".
    const Ran off =
        runProgram(program, {QStringLiteral("schedule"), QStringLiteral("off")}, env, dir.path());
    EXPECT_EQ(off.status, 3);
    EXPECT_TRUE(off.err.contains(u"no user service manager")) << off.err.toStdString();
    EXPECT_FALSE(QFile::exists(units + TimerUnitName) || QFile::exists(units + ServiceUnitName));
    EXPECT_EQ(
        runProgram(program,
                   {QStringLiteral("schedule"), QStringLiteral("daily"), QStringLiteral("24:00")},
                   env, dir.path())
            .status,
        2);
}

TEST(Notify, TestMessageReachesEveryTargetAndAFailureKeepsTheSecretOut) {
    zorvan::test::RobotReceiver robot;
    robot.answer("/ding", {{200, R"({"errcode":310000,"errmsg":"keywords not in content"})"}});
    QTemporaryDir home;
    writeText(
        home.filePath(QStringLiteral("notify.json")),
        QStringLiteral(
            R"({"targets": [{"kind": "wecom", "url": "%1"}, {"kind": "feishu", "kind": "feishu", "url": "%2"},
                  {"kind": "dingtalk", "url": "%3", "secret": "SECtopsecret0042"}, {"kind": "pager", "url": "%1"}]})")
            .arg(robot.url(QStringLiteral("/wecom?key=wecomkey77")),
                 robot.url(QStringLiteral("/feishu/hookid0099")),
                 robot.url(QStringLiteral("/ding?access_token=dingtoken55"))));
    QFile::setPermissions(home.filePath(QStringLiteral("notify.json")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVAN_HOME"), home.path());

    const Ran ran = runCli({QStringLiteral("notify"), QStringLiteral("--test")}, env);
    EXPECT_EQ(ran.status, 5) << ran.err.toStdString();
    EXPECT_EQ(ran.out.count(u"delivered"), 2) << ran.out.toStdString();
    EXPECT_TRUE(ran.err.contains(u"target 4 skipped"));
    EXPECT_TRUE(ran.err.contains(u"line 1: \"kind\" is given again")) << ran.err.toStdString();
    EXPECT_TRUE(ran.err.contains(u"other users can read"));
    EXPECT_TRUE(ran.err.contains(u"dingtalk 127.0.0.1:"));
    EXPECT_TRUE(ran.err.contains(u"after 3 attempts"));
    EXPECT_TRUE(ran.err.contains(u"310000"));
    for (const QString& secret : {QStringLiteral("SECtopsecret0042"), QStringLiteral("dingtoken55"),
                                  QStringLiteral("wecomkey77"), QStringLiteral("hookid0099")})
        EXPECT_FALSE(ran.out.contains(secret) || ran.err.contains(secret)) << secret.toStdString();
    EXPECT_EQ(robot.received().size(), 5);  // the failing robot asked three times
}
