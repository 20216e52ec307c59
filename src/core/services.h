#pragma once

#include <QString>
#include <QStringList>

namespace zorvan {

// Every outside service is reached through a role; the host behind each role is a build default
// that the file named by ZORVAN_SERVICES may override (lines "role=host[:port]").
namespace Role {
inline const QString Baidu = QStringLiteral("baidu");
inline const QString Google = QStringLiteral("google");
inline const QString Bing = QStringLiteral("bing");
inline const QString Soso = QStringLiteral("soso");
inline const QString Sogou = QStringLiteral("sogou");
inline const QString SogouRank = QStringLiteral("sogourank");
inline const QString Youdao = QStringLiteral("youdao");
inline const QString Yahoo = QStringLiteral("yahoo");
inline const QString Alexa = QStringLiteral("alexa");
inline const QString ChinaRank = QStringLiteral("chinarank");
inline const QString PageRank = QStringLiteral("pagerank");
inline const QString KeywordRank = QStringLiteral("keywordrank");
inline const QString Maker = QStringLiteral("maker");
// A whole address rather than a host.
inline const QString Product = QStringLiteral("product");
}  // namespace Role

// The host roles, in a fixed order (Product excluded).
QStringList hostRoles();

// "host" or "host:port" for a role; empty for an unknown role.
QString serviceHost(const QString& role);

// "http://" + host: the start of every address built for the role.
QString serviceBase(const QString& role);

// The product page opened by the "访问官网" button.
QString productAddress();

// Reads the override file again (tests change ZORVAN_SERVICES between cases).
void reloadServices();

// Parses the override file's text; unknown roles and malformed lines are ignored.
void applyServiceOverrides(const QString& text);

// Where config.ini, history.txt, rules.json and the single-instance lock live: ZORVAN_HOME when
// set, else the program's own directory when it is writable and not an installed copy's, else the
// user's data directory. Found, and created when missing, once per process.
QString dataDirectory();
// Finds the data folder again (tests change ZORVAN_HOME between cases).
void reloadDataDirectory();

QString configFilePath();
QString historyFilePath();

}  // namespace zorvan
