#include "history/historyfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

#include "fetch/platform.h"
#include "fetch/services.h"

namespace zorvan {
namespace {

// The header of a section, found as a whole line (blanks around it allowed, as a hand edit may
// leave them): [lineStart, lineEnd) is the header's line, end is where the next line that begins
// with "[" starts (or the text's end).
struct Section {
    qsizetype lineStart = -1;
    qsizetype lineEnd = -1;
    qsizetype end = -1;
    bool found() const { return lineStart >= 0; }
};

// The start of the line holding pos, when only blanks stand between them; -1 otherwise.
qsizetype blankLineStart(const QString& text, qsizetype pos) {
    qsizetype p = pos;
    while (p > 0 && text[p - 1] == u' ') --p;
    if (p == 0 || (p >= 2 && text[p - 2] == u'\r' && text[p - 1] == u'\n')) return p;
    return -1;
}

// The end of the line holding pos, when only blanks stand between them; -1 otherwise.
qsizetype blankLineEnd(const QString& text, qsizetype pos) {
    qsizetype p = pos;
    while (p < text.size() && text[p] == u' ') ++p;
    if (p == text.size() || QStringView(text).sliced(p).startsWith(crlf)) return p;
    return -1;
}

Section findSection(const QString& text, const QString& header) {
    Section s;
    for (qsizetype pos = text.indexOf(header); pos >= 0; pos = text.indexOf(header, pos + 1)) {
        const qsizetype start = blankLineStart(text, pos);
        const qsizetype end = start < 0 ? -1 : blankLineEnd(text, pos + header.size());
        if (end >= 0) {
            s.lineStart = start;
            s.lineEnd = end;
            break;
        }
    }
    if (!s.found()) return s;
    const qsizetype next = text.indexOf(QStringLiteral("\r\n["), s.lineEnd);
    s.end = next < 0 ? text.size() : next + 2;
    return s;
}

// Calls visit(start, end) for every non-empty line of the section body, in order; stops when
// visit returns true.
template <typename Visit>
void forEachRecordLine(const QString& text, const Section& s, Visit visit) {
    qsizetype pos = s.lineEnd;
    while (pos < s.end) {
        if (QStringView(text).sliced(pos).startsWith(crlf)) pos += 2;
        qsizetype lineEnd = text.indexOf(crlf, pos);
        if (lineEnd < 0 || lineEnd > s.end) lineEnd = s.end;
        if (lineEnd > pos && visit(pos, lineEnd)) return;
        if (lineEnd == pos && pos == s.end) return;
        pos = lineEnd;
    }
}

bool spacesOnly(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == u' '; });
}

// Only the blanks the original's trim removed: line breaks are kept.
QStringView trimSpaces(QStringView text) {
    while (!text.isEmpty() && text.front() == u' ') text = text.sliced(1);
    while (!text.isEmpty() && text.back() == u' ') text.chop(1);
    return text;
}

// A text as it will read back after a trip through the code page (characters it cannot hold
// come back as "?"), so that what is searched for is what is stored.
QString asStored(const QString& text) { return decodeHistory(encodeHistory(text)); }

}  // namespace

QString decodeHistory(const QByteArray& bytes) {
    QStringDecoder decoder("windows-936");
    return decoder.decode(bytes);
}

QByteArray encodeHistory(const QString& text) {
    QStringEncoder encoder("windows-936");
    return encoder.encode(text);
}

QString CollapseBlankLines(const QString& text) {
    if (!text.contains(QStringLiteral("\r\n\r\n"))) return text;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            out += crlf;
            i += 2;
            while (i + 1 < n && text[i] == u'\r' && text[i + 1] == u'\n') i += 2;
        } else {
            out += text[i++];
        }
    }
    return out;
}

QString storedValue(const QString& value) {
    QString v = value;
    v.replace(u'\r', u' ').replace(u'\n', u' ');
    v.replace(u'|', QChar(0xFF5C)).replace(u'=', QChar(0xFF1D));
    return v;
}

QString historyHeader(const QString& domain) {
    QString d = domain;
    d.replace(u'\r', u' ').replace(u'\n', u' ');
    return u'[' + d + u']';
}

QString HistoryRecord(const QString& date, const FieldReader& field) {
    static const char* const engines[] = {"bd", "gg", "yh", "sg", "ss", "by", "yd"};
    QString record = date + u'=';
    for (const char* e : engines) {
        const QString code = QString::fromLatin1(e);
        record += storedValue(field(QStringLiteral("Labelsl") + code)) + u'/' +
                  storedValue(field(QStringLiteral("Labelfx") + code)) + u'|';
    }
    record += storedValue(field(QStringLiteral("Label14")));
    return record;
}

QString textWithRecord(const QString& oldText, const QString& domain, const QString& record,
                       const QString& today) {
    const QString header = asStored(historyHeader(domain));
    const QString line = asStored(record);
    if (spacesOnly(oldText)) return header + crlf + line;
    const Section s = findSection(oldText, header);
    if (!s.found()) return oldText + crlf + header + crlf + line;

    const QString day = asStored(today);
    qsizetype todayStart = -1, todayEnd = -1, lastEnd = s.lineEnd;
    forEachRecordLine(oldText, s, [&](qsizetype start, qsizetype end) {
        const QStringView recordLine = QStringView(oldText).sliced(start, end - start);
        const qsizetype eq = recordLine.indexOf(u'=');
        if ((eq < 0 ? recordLine : recordLine.first(eq)) == day) {
            todayStart = start;
            todayEnd = end;
            return true;
        }
        lastEnd = end;
        return false;
    });
    QString text = oldText;
    if (todayStart >= 0)
        text.replace(todayStart, todayEnd - todayStart, line);
    else
        text.insert(lastEnd, crlf + line);
    return text;
}

QByteArray savedHistoryBytes(const QByteArray& oldBytes, const QString& domain,
                             const QString& record, const QString& today) {
    const QString text = textWithRecord(decodeHistory(oldBytes), domain, record, today);
    return encodeHistory(CollapseBlankLines(text) + crlf);
}

QByteArray historyBytesWithout(const QByteArray& oldBytes, const QString& domain) {
    const QString text = decodeHistory(oldBytes);
    const Section s = findSection(text, asStored(historyHeader(domain)));
    if (!s.found()) return QByteArray();
    return encodeHistory(CollapseBlankLines(text.first(s.lineStart) + QStringView(text).sliced(s.end)) + crlf);
}

QStringList historyDomains(const QString& text) {
    QStringList domains;
    const QStringView body = trimSpaces(text);
    for (QStringView line : body.tokenize(crlf)) {
        if (!line.startsWith(u'[')) continue;
        const qsizetype close = line.indexOf(u']', 1);
        if (close > 0) domains.append(line.sliced(1, close - 1).toString());
    }
    return domains;
}

QStringList historyRecords(const QString& text, const QString& domain) {
    QStringList records;
    const Section s = findSection(text, asStored(historyHeader(domain)));
    if (!s.found()) return records;
    forEachRecordLine(text, s, [&](qsizetype start, qsizetype end) {
        records.append(text.sliced(start, end - start));
        return false;
    });
    return records;
}

QStringList recordCells(const QString& record) {
    QStringList cells;
    const qsizetype eq = record.indexOf(u'=');
    if (eq < 0) {
        cells.append(record);
    } else {
        cells.append(record.first(eq));
        const qsizetype eq2 = record.indexOf(u'=', eq + 1);
        const QString rest = record.sliced(eq + 1, (eq2 < 0 ? record.size() : eq2) - eq - 1);
        cells += rest.split(u'|').mid(0, 8);
    }
    while (cells.size() < 9) cells.append(QString());
    return cells;
}

HistoryRead readHistoryFile(const QString& path, QByteArray* bytes) {
    bytes->clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return HistoryRead::Missing;
    if (!info.isFile()) return HistoryRead::Unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return HistoryRead::Unreadable;
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        bytes->clear();
        return HistoryRead::Unreadable;
    }
    return HistoryRead::Ok;
}

bool writeAtomically(QSaveFile& file, const QByteArray& bytes) {
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) return false;
    // A full disk can let commit() succeed on truncated data: check every step first.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

bool writeHistoryFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return writeAtomically(file, bytes);
}

bool saveHistoryTo(const QString& path, const QString& domain, const FieldReader& field,
                   const QString& today) {
    QByteArray old;
    if (readHistoryFile(path, &old) == HistoryRead::Unreadable) return false;
    return writeHistoryFile(path, savedHistoryBytes(old, domain, HistoryRecord(today, field), today));
}

bool SaveHistory(const QString& domain, const FieldReader& field) {
    return saveHistoryTo(historyFilePath(), domain, field, todayShortDate());
}

bool deleteDomainHistory(const QString& path, const QString& domain) {
    QByteArray old;
    if (readHistoryFile(path, &old) == HistoryRead::Unreadable) return false;
    const QByteArray kept = historyBytesWithout(old, domain);
    return !kept.isNull() && writeHistoryFile(path, kept);
}

}  // namespace zorvan
