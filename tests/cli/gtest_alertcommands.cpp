#include <gtest/gtest.h>

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

}  // namespace

TEST(Schedule, WithoutAUserManagerTheUnitsStayPassVerificationAndACrontabLineIsPrinted) {
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data %h"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("emptybin"))) && QDir().mkpath(data));
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"),
               dir.filePath(QStringLiteral("emptybin")));  // no systemctl to ask
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    env.insert(QStringLiteral("ZORVAN_HOME"), data);
    const QString units = dir.filePath(QStringLiteral("systemd/user/"));

    // Words systemd and cron would otherwise split, expand or take for specifiers.
    const Ran daily =
        runCli({QStringLiteral("schedule"), QStringLiteral("daily"), QStringLiteral("06:30"),
                QStringLiteral("--"), QStringLiteral("--drop-threshold"), QStringLiteral("25"),
                QStringLiteral("--format"), QStringLiteral("csv $HOME 50%y \"q\"")},
               env);
    EXPECT_EQ(daily.status, 3) << daily.err.toStdString();
    EXPECT_TRUE(daily.out.startsWith(
        QStringLiteral("30 6 * * * 'ZORVAN_HOME=%1/data \\%h' ").arg(dir.path())));
    EXPECT_TRUE(daily.out.trimmed().endsWith(
        u" batch --save --resume --notify --drop-threshold 25 --format 'csv $HOME 50\\%y \"q\"'"))
        << daily.out.toStdString();
    EXPECT_TRUE(daily.err.contains(u"no user service manager"));

    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty()) {
        std::cerr << "systemd-analyze is not installed; the unit files are not verified\n";
    } else {
        QProcess verify;
        verify.setProcessEnvironment(env);
        verify.setProcessChannelMode(QProcess::MergedChannels);
        verify.start(analyze, {QStringLiteral("--user"), QStringLiteral("verify"),
                               units + TimerUnitName, units + ServiceUnitName});
        ASSERT_TRUE(verify.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(verify.readAll());
        EXPECT_EQ(verify.exitCode(), 0) << said.toStdString();
        EXPECT_FALSE(said.contains(u"zorvan-batch")) << said.toStdString();
    }

    const Ran status = runCli({QStringLiteral("schedule")}, env);
    EXPECT_EQ(status.status, 3);
    EXPECT_TRUE(status.out.contains(u"06:30"));
    EXPECT_EQ(runCli({QStringLiteral("schedule"), QStringLiteral("off")}, env).status, 0);
    EXPECT_FALSE(QFile::exists(units + TimerUnitName) || QFile::exists(units + ServiceUnitName));
    EXPECT_EQ(
        runCli({QStringLiteral("schedule"), QStringLiteral("daily"), QStringLiteral("24:00")}, env)
            .status,
        2);
}

TEST(Notify, TestMessageReachesEveryTargetAndAFailureKeepsTheSecretOut) {
    zorvan::test::RobotReceiver robot;
    robot.answer("/ding", {{200, R"({"errcode":310000,"errmsg":"keywords not in content"})"}});
    QTemporaryDir home;
    writeText(home.filePath(QStringLiteral("notify.json")),
              QStringLiteral(
                  R"({"targets": [{"kind": "wecom", "url": "%1"}, {"kind": "feishu", "url": "%2"},
                  {"kind": "dingtalk", "url": "%3", "secret": "SECtopsecret0042"}, {"kind": "pager", "url": "%1"}]})")
                  .arg(robot.url(QStringLiteral("/wecom?key=wecomkey77")),
                       robot.url(QStringLiteral("/feishu/hookid0099")),
                       robot.url(QStringLiteral("/ding?access_token=dingtoken55"))));
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVAN_HOME"), home.path());

    const Ran ran = runCli({QStringLiteral("notify"), QStringLiteral("--test")}, env);
    EXPECT_EQ(ran.status, 5) << ran.err.toStdString();
    EXPECT_EQ(ran.out.count(u"delivered"), 2) << ran.out.toStdString();
    EXPECT_TRUE(ran.err.contains(u"target 4 skipped"));
    EXPECT_TRUE(ran.err.contains(u"dingtalk 127.0.0.1:"));
    EXPECT_TRUE(ran.err.contains(u"after 3 attempts"));
    EXPECT_TRUE(ran.err.contains(u"310000"));
    for (const QString& secret : {QStringLiteral("SECtopsecret0042"), QStringLiteral("dingtoken55"),
                                  QStringLiteral("wecomkey77"), QStringLiteral("hookid0099")})
        EXPECT_FALSE(ran.out.contains(secret) || ran.err.contains(secret)) << secret.toStdString();
    EXPECT_EQ(robot.received().size(), 5);  // the failing robot asked three times
}
