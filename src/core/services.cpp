#include "core/services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <optional>

#include "zorvan_install.h"

namespace zorvan {
namespace {

struct Table {
    QHash<QString, QString> hosts;
    QString product;
};

Table defaults() {
    Table t;
    t.hosts = {
        {Role::Baidu, QStringLiteral("www.baidu.com")},
        {Role::Google, QStringLiteral("www.google.com.hk")},
        {Role::Bing, QStringLiteral("cn.bing.com")},
        {Role::Soso, QStringLiteral("www.soso.com")},
        {Role::Sogou, QStringLiteral("www.sogou.com")},
        {Role::SogouRank, QStringLiteral("rank.ie.sogou.com")},
        {Role::Youdao, QStringLiteral("www.youdao.com")},
        {Role::Yahoo, QStringLiteral("sitemap.cn.yahoo.com")},
        {Role::Alexa, QStringLiteral("alexa.chinaz.com")},
        {Role::ChinaRank, QStringLiteral("www.chinarank.org.cn")},
        {Role::PageRank, QStringLiteral("pr.chinaz.com")},
        {Role::KeywordRank, QStringLiteral("rank.chinaz.com")},
        {Role::Maker, QStringLiteral("www.zorvan.net")},
    };
    t.product = QStringLiteral("http://www.zorvan.net/zorvan");
    return t;
}

bool validHost(const QString& host) {
    if (host.isEmpty()) return false;
    for (QChar c : host) {
        if (!(c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u':' || c == u'[' ||
              c == u']' || c == u'_'))
            return false;
    }
    return true;
}

QMutex mutex;
Table* table = nullptr;

Table& current() {
    if (!table) {
        table = new Table(defaults());
        QFile file(qEnvironmentVariable("ZORVAN_SERVICES"));
        if (!file.fileName().isEmpty() && file.open(QIODevice::ReadOnly))
            applyServiceOverrides(QString::fromUtf8(file.readAll()));
    }
    return *table;
}

}  // namespace

QStringList hostRoles() {
    return {Role::Baidu,     Role::Google,      Role::Bing,  Role::Soso,  Role::Sogou,
            Role::SogouRank, Role::Youdao,      Role::Yahoo, Role::Alexa, Role::ChinaRank,
            Role::PageRank,  Role::KeywordRank, Role::Maker};
}

void applyServiceOverrides(const QString& text) {
    // Called with the mutex held from current(), or directly by tests before any lookup.
    Table& t = table ? *table : *(table = new Table(defaults()));
    const auto lines = text.split(u'\n');
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        const qsizetype eq = line.indexOf(u'=');
        if (line.isEmpty() || line.startsWith(u'#') || eq <= 0) continue;
        const QString role = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (role == Role::Product) {
            if (value.startsWith(QStringLiteral("http://")) ||
                value.startsWith(QStringLiteral("https://")))
                t.product = value;
        } else if (t.hosts.contains(role) && validHost(value)) {
            t.hosts[role] = value;
        }
    }
}

QString serviceHost(const QString& role) {
    QMutexLocker lock(&mutex);
    return current().hosts.value(role);
}

QString serviceBase(const QString& role) {
    return QStringLiteral("http://") + serviceHost(role);
}

QString productAddress() {
    QMutexLocker lock(&mutex);
    return current().product;
}

void reloadServices() {
    QMutexLocker lock(&mutex);
    delete table;
    table = nullptr;
}

namespace {

#ifdef Q_OS_WIN
// A portable copy's folder is one the user can write to: made once, as the folder is found once.
bool isPortableFolder(const QString& own) {
    if (QFileInfo::exists(own + QStringLiteral("/uninstall.exe"))) return false;
    QTemporaryFile probe(own + QStringLiteral("/zorvan-XXXXXX.tmp"));
    return probe.open();
}
#endif

QString findDataDirectory() {
    QString dir = qEnvironmentVariable("ZORVAN_HOME");
    if (dir.isEmpty()) {
        const QString own = QCoreApplication::applicationDirPath();
        const QFileInfo info(own);
#ifdef Q_OS_WIN
        // The installer leaves its uninstaller beside the programs, whose files then go to the
        // user's data folder; a portable copy (a zip unpacked anywhere, a USB stick) keeps them
        // beside itself. Windows' permissions are not the file's attributes: a file made there
        // tells whether the folder is writable.
        if (!own.isEmpty() && info.isDir() && isPortableFolder(own))
            dir = own;
        else
            dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#else
        // An installed copy's folder belongs to the system, and a root user could write to it: its
        // files go to the user's data folder. Installed means the folder the build installs to, or
        // one with the menu entry beside it (installed under another prefix).
        const QString canonical = info.canonicalFilePath();
        const bool installed =
            !canonical.isEmpty() &&
            (canonical == QFileInfo(QStringLiteral(ZORVAN_INSTALL_BINDIR)).canonicalFilePath() ||
             QFileInfo::exists(own + u'/' + QStringLiteral(ZORVAN_MENU_ENTRY_FROM_BIN)));
        if (!own.isEmpty() && info.isDir() && info.isWritable() && !installed)
            dir = own;
        else
            dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#endif
    }
    QDir().mkpath(dir);
    return dir;
}

QMutex dataDirectoryMutex;
std::optional<QString> foundDataDirectory;

}  // namespace

QString dataDirectory() {
    QMutexLocker lock(&dataDirectoryMutex);
    if (!foundDataDirectory) foundDataDirectory = findDataDirectory();
    return *foundDataDirectory;
}

void reloadDataDirectory() {
    QMutexLocker lock(&dataDirectoryMutex);
    foundDataDirectory.reset();
}

QString configFilePath() {
    return dataDirectory() + QStringLiteral("/config.ini");
}
QString historyFilePath() {
    return dataDirectory() + QStringLiteral("/history.txt");
}

}  // namespace zorvan
