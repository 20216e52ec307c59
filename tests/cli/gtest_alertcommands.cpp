#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "cli/schedule.h"
#include "robotreceiver.h"

using namespace zorvan::cli;

namespace {

void writeText(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

}  // namespace

TEST(Schedule, UnitFilesPassSystemdVerification) {
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty()) GTEST_SKIP() << "systemd-analyze is not installed; the unit files are not verified";
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("systemd/user"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("run"))));
    // Words systemd would otherwise split, expand or take for specifiers.
    const QStringList command = dailyRunCommand(QStringLiteral(ZORVAN_CLI_BINARY),
                                                {QStringLiteral("--jobs"), QStringLiteral("4"),
                                                 QStringLiteral("--format"), QStringLiteral("csv $HOME 50%y \"q\"")});
    writeText(folder + u'/' + ServiceUnitName, serviceUnit(command, dir.filePath(QStringLiteral("data %h"))));
    writeText(folder + u'/' + TimerUnitName, timerUnit(*parseDailyTime(QStringLiteral("6:30"))));

    QProcess verify;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    verify.setProcessEnvironment(env);
    verify.setProcessChannelMode(QProcess::MergedChannels);
    verify.start(analyze, {QStringLiteral("--user"), QStringLiteral("verify"), folder + u'/' + TimerUnitName,
                           folder + u'/' + ServiceUnitName});
    ASSERT_TRUE(verify.waitForFinished(60000));
    const QString said = QString::fromLocal8Bit(verify.readAll());
    EXPECT_EQ(verify.exitCode(), 0) << said.toStdString();
    EXPECT_FALSE(said.contains(u"zorvan-batch")) << said.toStdString();

    EXPECT_FALSE(parseDailyTime(QStringLiteral("24:00")));
    EXPECT_FALSE(parseDailyTime(QStringLiteral("6:3")));
    EXPECT_EQ(crontabLine(*parseDailyTime(QStringLiteral("06:30")), dailyRunCommand(QStringLiteral("zorvan-cli"), {}), {}),
              u"30 6 * * * zorvan-cli batch --save --resume --notify");
}

namespace {

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

TEST(Schedule, WithoutAUserManagerTheUnitsStayAndACrontabLineIsPrinted) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("emptybin"))));
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), dir.filePath(QStringLiteral("emptybin")));  // no systemctl to ask
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    env.insert(QStringLiteral("ZORVAN_HOME"), dir.path());
    const QString units = dir.filePath(QStringLiteral("systemd/user/"));

    const Ran daily = runCli({QStringLiteral("schedule"), QStringLiteral("daily"), QStringLiteral("06:30"),
                              QStringLiteral("--"), QStringLiteral("--drop-threshold"), QStringLiteral("25")}, env);
    EXPECT_EQ(daily.status, 3) << daily.err.toStdString();
    EXPECT_TRUE(daily.out.startsWith(u"30 6 * * * ZORVAN_HOME=")) << daily.out.toStdString();
    EXPECT_TRUE(daily.out.trimmed().endsWith(u" batch --save --resume --notify --drop-threshold 25"));
    EXPECT_TRUE(daily.err.contains(u"no user service manager"));
    EXPECT_TRUE(QFile::exists(units + ServiceUnitName));
    EXPECT_TRUE(QFile::exists(units + TimerUnitName));

    const Ran status = runCli({QStringLiteral("schedule")}, env);
    EXPECT_EQ(status.status, 3);
    EXPECT_TRUE(status.out.contains(u"06:30"));

    const Ran off = runCli({QStringLiteral("schedule"), QStringLiteral("off")}, env);
    EXPECT_EQ(off.status, 0) << off.err.toStdString();
    EXPECT_FALSE(QFile::exists(units + TimerUnitName));
    EXPECT_EQ(runCli({QStringLiteral("schedule"), QStringLiteral("daily"), QStringLiteral("25:00")}, env).status, 2);
}

TEST(Notify, TestMessageReachesEveryTargetAndAFailureKeepsTheSecretOut) {
    zorvan::test::RobotReceiver robot;
    robot.answer("/ding", {{200, R"({"errcode":310000,"errmsg":"keywords not in content"})"}});
    QTemporaryDir home;
    writeText(home.filePath(QStringLiteral("notify.json")),
              QStringLiteral(R"({"targets": [{"kind": "wecom", "url": "%1"}, {"kind": "feishu", "url": "%2"},
                  {"kind": "dingtalk", "url": "%3", "secret": "SECtopsecret0042"}, {"kind": "pager", "url": "%1"}]})")
                  .arg(robot.url(QStringLiteral("/wecom?key=wecomkey77")), robot.url(QStringLiteral("/feishu/hookid0099")),
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
