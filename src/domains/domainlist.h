#pragma once

#include <QString>
#include <QStringList>

namespace zorvan {

// The saved domain list: section "section", key "url" of config.ini, the domains joined by ","
// in code page 936, each as storedDomain keeps it; callers see and give them as typed.

// The list's entries: the value split at ",", untrimmed; empty pieces are entries too, and the
// empty value is the empty list.
QStringList splitDomainList(const QString& value);

// The whole saved value (missing file, section or key: empty). `readable` is false when the file
// exists but cannot be read.
QString readDomainListValue(const QString& configPath, bool* readable = nullptr);
QStringList readDomainList(const QString& configPath, bool* readable = nullptr);

// Writes the value back, keeping every other line of the file. False when nothing was written.
bool writeDomainListValue(const QString& configPath, const QString& value);

// The editor's text for a saved value: one domain per line.
QString editorTextFromValue(const QString& value);

// The value the editor saves: each line that is not blank, untrimmed, in order, joined by ",".
QString valueFromEditorText(const QString& text);

// Which browsing arrows an entry of the list shows in batch mode: index the selected entry, count
// the number of entries; during a run the next arrow stays hidden.
struct ArrowVisibility {
    bool previous = false;
    bool next = false;
};
ArrowVisibility arrowsForEntry(int index, int count, bool runActive);

}  // namespace zorvan
