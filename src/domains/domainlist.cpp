#include "domains/domainlist.h"

#include <QRegularExpression>

#include "core/localfile.h"
#include "domains/profile.h"

namespace zorvan {
namespace {

const QByteArray Section = QByteArrayLiteral("section");
const QByteArray Key = QByteArrayLiteral("url");

// Only the blank counts: a line of tabs or ideographic spaces is kept as typed.
bool isSpacesOnly(const QString& line) {
    for (QChar c : line)
        if (c != QLatin1Char(' ')) return false;
    return true;
}

// Each entry of a saved value mapped on its own; the "," between them stays.
template <typename Map>
QString mapEntries(const QString& value, Map map) {
    QStringList entries = value.split(QLatin1Char(','), Qt::KeepEmptyParts);
    for (QString& entry : entries) entry = map(entry);
    return entries.join(QLatin1Char(','));
}

}  // namespace

QStringList splitDomainList(const QString& value) {
    if (value.isEmpty()) return {};
    return value.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

QString readDomainListValue(const QString& configPath, bool* readable) {
    const ProfileRead read = readProfileValue(configPath, Section, Key);
    if (readable) *readable = read.status != ProfileStatus::Unreadable;
    return mapEntries(decodeAnsi(read.value), shownDomain);
}

QStringList readDomainList(const QString& configPath, bool* readable) {
    return splitDomainList(readDomainListValue(configPath, readable));
}

bool writeDomainListValue(const QString& configPath, const QString& value) {
    return writeProfileValue(configPath, Section, Key,
                             encodeAnsi(mapEntries(value, storedDomain))) == ProfileStatus::Ok;
}

QString editorTextFromValue(const QString& value) {
    QString text = value;
    return text.replace(QLatin1Char(','), QLatin1Char('\n'));
}

QString valueFromEditorText(const QString& text) {
    // Any line break ends a line: a stray CR or LF kept inside a value would break the file's line.
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList kept;
    for (const QString& line : text.split(lineBreak)) {
        if (!isSpacesOnly(line)) kept.append(line);
    }
    return kept.join(QLatin1Char(','));
}

ArrowVisibility arrowsForEntry(int index, int count, bool runActive) {
    ArrowVisibility arrows;
    if (index == 0) {
        arrows.next = true;
    } else if (index > 0 && index < count - 1) {
        arrows.previous = arrows.next = true;
    } else if (index > 0 && count == index + 1) {
        arrows.previous = true;
    }
    if (runActive) arrows.next = false;
    return arrows;
}

}  // namespace zorvan
