#pragma once

#include <QString>

class QWidget;

namespace zorvan {

// The version this program is, compared as text with the maker's version file.
inline const QString CurrentVersionText = QStringLiteral("8.") + QStringLiteral("9");

QString versionFileUrl();    // the maker's "/mirelo/shenji.txt"
QString downloadPageUrl();   // the maker's "/mirelo/"

// The first line of the fetched version file: the text before the first CR LF (a bare LF does
// not end it), or the whole text.
QString latestVersionText(const QString& fetched);

// The question asked when the maker names another version.
QString updateQuestion(const QString& latest);

// Reads the maker's version file once; when it names another version than this one, asks
// whether to update and opens the download page on OK. Silent on any failure.
void UpdateCheck(QWidget* parent);

}  // namespace zorvan
