#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace zorvan {

// The version this program is, compared as text with the maker's version file.
inline const QString CurrentVersionText = QStringLiteral("8.") + QStringLiteral("9");

QString versionFileUrl();   // the maker's "/mirelo/shenji.txt"
QString downloadPageUrl();  // the maker's "/mirelo/"

// The first line of the fetched version file: the text before the first CR LF (a bare LF does
// not end it), or the whole text.
QString latestVersionText(const QString& fetched);

// Only this much of the version file is read, and a first line longer than this names no
// version: a huge or hostile answer must not freeze the question box laying it out.
inline constexpr qsizetype VersionFileReadLimit = 4096;
inline constexpr qsizetype VersionTextLimit = 32;

// The version to offer for a fetched version file, or nothing when no question is due (the same
// version, nothing fetched, or a first line too long to be a version).
std::optional<QString> versionToOffer(const QString& fetched);

// The question asked when the maker names another version.
QString updateQuestion(const QString& latest);

// Reads the maker's version file once, without waiting; when it names another version than this
// one, asks whether to update (the box belongs to owner) and opens the download page on OK.
// Silent on any failure; nothing happens once owner is gone. finished, if given, is called at
// the end whatever happened.
void UpdateCheck(QObject* owner, std::function<void()> finished = {});

}  // namespace zorvan
