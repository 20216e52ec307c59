#include "domains/profile.h"

#include <QList>

#include "core/localfile.h"

namespace zorvan {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameName(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype from = 0, to = text.size();
    while (from < to && isBlank(text[from])) ++from;
    while (to > from && isBlank(text[to - 1])) --to;
    return text.sliced(from, to - from);
}

// One line of the file: its content runs from `start` to `contentEnd` (a CR before the LF is not
// content); `end` is where the next line starts.
struct Line {
    qsizetype start = 0;
    qsizetype contentEnd = 0;
    qsizetype end = 0;
};

QList<Line> splitLines(const QByteArray& file) {
    QList<Line> lines;
    qsizetype start = 0;
    while (start < file.size()) {
        qsizetype lf = file.indexOf('\n', start);
        Line line;
        line.start = start;
        line.end = lf < 0 ? file.size() : lf + 1;
        line.contentEnd = lf < 0 ? file.size() : lf;
        if (lf >= 0 && line.contentEnd > start && file[line.contentEnd - 1] == '\r')
            --line.contentEnd;
        lines.append(line);
        start = line.end;
    }
    return lines;
}

QByteArrayView content(const QByteArray& file, const Line& line) {
    return QByteArrayView(file).sliced(line.start, line.contentEnd - line.start);
}

// The section name of a "[name]" line (blanks around the brackets and the name ignored).
bool sectionName(QByteArrayView text, QByteArrayView* name) {
    text = trimmed(text);
    if (text.isEmpty() || text[0] != '[') return false;
    const qsizetype close = text.indexOf(']');
    if (close < 0) return false;
    *name = trimmed(text.sliced(1, close - 1));
    return true;
}

// Where the section's key lines and the wanted key line are, found by one pass over the file.
struct Layout {
    QList<Line> lines;
    qsizetype firstSection = -1;   // line index of the first matching section header
    qsizetype lastInSection = -1;  // last non-blank line of that section (the header at least)
    qsizetype keyLine = -1;        // first matching key line in any matching section
    qsizetype valueStart = -1;     // byte offset just after that line's "="
};

Layout locate(const QByteArray& file, QByteArrayView section, QByteArrayView key) {
    Layout layout;
    layout.lines = splitLines(file);
    bool inMatching = false;
    bool inFirst = false;
    for (qsizetype i = 0; i < layout.lines.size(); ++i) {
        const QByteArrayView text = content(file, layout.lines[i]);
        QByteArrayView name;
        if (sectionName(text, &name)) {
            inMatching = sameName(name, section);
            inFirst = inMatching && layout.firstSection < 0;
            if (inFirst) {
                layout.firstSection = i;
                layout.lastInSection = i;
            }
            continue;
        }
        if (inFirst && !trimmed(text).isEmpty()) layout.lastInSection = i;
        if (!inMatching || layout.keyLine >= 0) continue;
        const qsizetype eq = text.indexOf('=');
        if (eq < 0 || !sameName(trimmed(text.first(eq)), key)) continue;
        layout.keyLine = i;
        layout.valueStart = layout.lines[i].start + eq + 1;
    }
    return layout;
}

}  // namespace

QByteArray profileValue(const QByteArray& file, const QByteArray& section, const QByteArray& key,
                        bool* found) {
    const Layout layout = locate(file, section, key);
    if (found) *found = layout.keyLine >= 0;
    if (layout.keyLine < 0) return {};
    const Line& line = layout.lines[layout.keyLine];
    // Read as the platform's own profile functions do: blanks, tabs and stray CRs around the
    // value are not part of it, nor is one pair of matching quotes around the whole of it.
    QByteArrayView value =
        QByteArrayView(file).sliced(layout.valueStart, line.contentEnd - layout.valueStart);
    auto aroundValue = [](char c) { return isBlank(c) || c == '\r'; };
    while (!value.isEmpty() && aroundValue(value.front())) value = value.sliced(1);
    while (!value.isEmpty() && aroundValue(value.back())) value.chop(1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.toByteArray();
}

QByteArray withProfileValue(const QByteArray& file, const QByteArray& section,
                            const QByteArray& key, const QByteArray& value) {
    const Layout layout = locate(file, section, key);
    if (layout.keyLine >= 0) {
        const Line& line = layout.lines[layout.keyLine];
        QByteArray out = file;
        out.replace(layout.valueStart, line.contentEnd - layout.valueStart, value);
        return out;
    }
    const QByteArray keyLine = key + '=' + value + "\r\n";
    if (layout.firstSection >= 0) {
        const Line& after = layout.lines[layout.lastInSection];
        QByteArray insert;
        if (after.contentEnd == after.end) insert = "\r\n";  // the file's last line had no break
        insert += keyLine;
        QByteArray out = file;
        out.insert(after.end, insert);
        return out;
    }
    QByteArray out = file;
    if (!out.isEmpty() && !out.endsWith('\n')) out += "\r\n";
    out += '[' + section + "]\r\n" + keyLine;
    return out;
}

ProfileRead readProfileValue(const QString& path, const QByteArray& section,
                             const QByteArray& key) {
    ProfileRead read;
    QByteArray bytes;
    switch (readWholeFile(path, &bytes)) {
        case FileRead::Missing:
            return read;
        case FileRead::Unreadable:
            read.status = ProfileStatus::Unreadable;
            return read;
        case FileRead::Ok:
            break;
    }
    read.value = profileValue(bytes, section, key);
    read.status = ProfileStatus::Ok;
    return read;
}

ProfileStatus writeProfileValue(const QString& path, const QByteArray& section,
                                const QByteArray& key, const QByteArray& value) {
    QByteArray old;
    // A file we cannot read may hold lines we would otherwise destroy.
    if (readWholeFile(path, &old) == FileRead::Unreadable) return ProfileStatus::Unreadable;
    const QByteArray bytes = withProfileValue(old, section, key, value);
    return writeFileAtomically(path, bytes) ? ProfileStatus::Ok : ProfileStatus::WriteFailed;
}

}  // namespace zorvan
