#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QSet>

class QIODevice;

namespace zorvan {

// history.txt a line at a time, so that neither reading nor rewriting it holds the file: lines
// are split at CR LF only (CR and LF never occur inside a code page 936 character; a lone CR or
// LF stays in its line), so "a\r\n" is the lines "a" and "", and an empty file one empty line.
class HistoryLineReader {
  public:
    explicit HistoryLineReader(QIODevice* in) : in_(in) {}
    // The next line without its CR LF, valid until the next call; false after the last one.
    bool next(QByteArrayView* line);
    // The line last returned was the file's last.
    bool done() const { return done_; }
    // The device failed to give its bytes: what was read is not the file.
    bool failed() const { return failed_; }

  private:
    QIODevice* in_;
    QByteArray buffer_;
    qsizetype pos_ = 0;   // where the next line starts in buffer_
    qsizetype scan_ = 0;  // where the search for its end goes on
    bool eof_ = false;
    bool done_ = false;
    bool failed_ = false;
};

// Lines joined by CR LF, written out a large piece at a time; no device: only counted.
class HistoryLineWriter {
  public:
    explicit HistoryLineWriter(QIODevice* out) : out_(out) {}
    void line(QByteArrayView text);
    // n more CR LF: the file's last lines are empty.
    void endings(int n);
    // Writes what is left; false when a write fell short.
    bool finish();

  private:
    void drain();
    QIODevice* out_;
    QByteArray buffer_;
    bool first_ = true;
    bool failed_ = false;
};

// Only blanks count as padding around a header or record: line breaks are kept.
QByteArrayView trimHistorySpaces(QByteArrayView bytes);
// The date field of a record line: the bytes before its first "=" ("=" is below the code page's
// trail bytes, so the first "=" byte ends the date).
QByteArrayView recordDateField(QByteArrayView line);

// The record lines of the listed sections, in one pass: a header's section is its first line
// that is the header (blanks around it allowed) up to the next line that begins with "[", so a
// line can be in two sections when a header is indented. visit(index, line) gets each non-empty
// line after the header line of a listed section, index being the header's value in headers;
// ended(index) follows a section's last line, so its lines need not be kept past it.
template <typename Visit, typename Ended>
bool forEachSectionLine(HistoryLineReader& in, const QHash<QByteArray, int>& headers, Visit visit,
                        Ended ended) {
    QList<int> active;
    QSet<int> seen;
    QByteArrayView line;
    while (in.next(&line)) {
        if (line.startsWith('[')) {
            for (const int index : active) ended(index);
            active.clear();
        }
        if (line.isEmpty()) continue;
        for (const int index : active) visit(index, line);
        const QByteArrayView trimmed = trimHistorySpaces(line);
        if (!trimmed.startsWith('[')) continue;
        const auto header = headers.constFind(trimmed.toByteArray());
        if (header == headers.cend() || seen.contains(*header)) continue;
        seen.insert(*header);
        active.append(*header);
    }
    for (const int index : active) ended(index);
    return !in.failed();
}

template <typename Visit>
bool forEachSectionLine(HistoryLineReader& in, const QHash<QByteArray, int>& headers, Visit visit) {
    return forEachSectionLine(in, headers, visit, [](int) {});
}

}  // namespace zorvan
