// history.txt as another program or a hand edit may leave it: its domains and records read, a
// day's record saved into it and a domain's section removed.
#include <QSet>

#include "core/localfile.h"
#include "fuzzcheck.h"
#include "history/historyfile.h"

using namespace zorvan;

namespace {

const QString Today = QStringLiteral("2026-12-8");

// Text that code page 936 holds, so that it is stored as it is.
QString storable(const QString& text) {
    return decodeAnsi(encodeAnsi(text));
}

// The records of every section but the one named, as the viewer would read them.
QHash<QString, QStringList> otherSections(const QByteArray& bytes, const QStringList& domains,
                                          const QString& skip) {
    QHash<QString, QStringList> sections;
    const QByteArray skipped = encodeAnsi(historyHeader(skip));
    for (const QString& domain : domains)
        if (encodeAnsi(historyHeader(domain)) != skipped)
            sections.insert(domain, historyRecords(bytes, domain));
    return sections;
}

// A header that a hand edit indented is still found, but it does not end the section above it
// (only a line that begins with "[" does): saving under it changes that section, and a record
// added to that section lands in it too. The file's own reading, left as it is.
bool indentedHeader(const QByteArray& bytes, const QByteArray& header) {
    for (qsizetype at = bytes.indexOf(header); at >= 0; at = bytes.indexOf(header, at + 1)) {
        qsizetype start = at;
        while (start > 0 && bytes.at(start - 1) == ' ') --start;
        if (start < at && start >= 2 && bytes.at(start - 2) == '\r' && bytes.at(start - 1) == '\n')
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QStringList newDomains = {
        QStringLiteral("example.com"), QStringLiteral("中文.cn"), QStringLiteral("zorvan.cn"),
        QStringLiteral("a]b.org"),     QStringLiteral("한국.kr"), QStringLiteral("뉴스.kr")};
    static const QStringList values = {QStringLiteral("约8888"),
                                       QStringLiteral("1,234"),
                                       QStringLiteral("X"),
                                       QStringLiteral("..."),
                                       QStringLiteral("丂约14141条结果"),
                                       QStringLiteral("a|b=c\r\nd"),
                                       QString(),
                                       QStringLiteral(" 12 ")};
    FuzzedDataProvider in(data, size);
    const bool existing = in.ConsumeBool();
    const size_t domainChoice = in.ConsumeIntegral<uint8_t>();
    FigureValues figures;
    for (const FigureInfo& info : figureTable()) figures[info.figure] = fuzz::pick(in, values);
    // One figure is a piece of the file itself, whatever it holds.
    const size_t pieceAt = in.ConsumeIntegral<uint16_t>();
    const QByteArray old = fuzz::remainingBytes(in);
    figures[Figure::IndexedGoogle] =
        decodeAnsi(old.mid(qsizetype(pieceAt % size_t(old.size() + 1)), 40));

    const QStringList domains = historyDomains(old);
    QString domain = existing && !domains.isEmpty()
                         ? domains[qsizetype(domainChoice % size_t(domains.size()))]
                         : newDomains[qsizetype(domainChoice % size_t(newDomains.size()))];
    // A header is one line: line breaks in a domain are stored as blanks.
    domain.replace(u'\r', u' ').replace(u'\n', u' ');

    for (const QString& listed : domains + QStringList{domain})
        if (indentedHeader(old, encodeAnsi(historyHeader(listed)))) return 0;

    const QString record = HistoryRecord(Today, figures);
    const QByteArray saved = savedHistoryBytes(old, domain, record, Today);
    FUZZ_CHECK(saved.endsWith("\r\n"));
    FUZZ_CHECK(!saved.contains("\r\n\r\n\r\n"));
    // The record written is read back the same: one line, the same cells.
    const QStringList records = historyRecords(saved, domain);
    const QString stored = storable(record);
    FUZZ_CHECK(records.contains(stored));
    // Listed as typed, whatever the code page holds of it.
    FUZZ_CHECK(historyDomains(saved).contains(domain));
    const QStringList cells = recordCells(stored);
    FUZZ_CHECK(cells.size() == 9 && cells[0] == Today);
    const StoredRecord back = parseHistoryRecord(stored);
    for (const FigureInfo& info : figureTable()) {
        if (info.historyPlace < 0 || info.figure == Figure::IndexedGoogle ||
            info.figure == Figure::BacklinksGoogle)
            continue;
        FUZZ_CHECK(back.values[info.figure] == storable(storedValue(figures[info.figure])));
    }
    // Every other section keeps its records.
    FUZZ_CHECK(otherSections(saved, domains, domain) == otherSections(old, domains, domain));

    const QByteArray removed = historyBytesWithout(saved, domain);
    FUZZ_CHECK(!removed.isNull());
    FUZZ_CHECK(otherSections(removed, domains, domain) == otherSections(old, domains, domain));
    return 0;
}
