#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "cli/schedule.h"

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
