// config.ini as other programs and hand edits leave it: the saved domain list written into it
// and read back, every other key left as it was.
#include <QSet>

#include "core/localfile.h"
#include "domains/domainlist.h"
#include "domains/profile.h"
#include "fuzzcheck.h"

using namespace zorvan;

namespace {

// The section and key names of the file's lines that look like "[name]" and "key=...".
QList<std::pair<QByteArray, QByteArray>> keysOf(const QByteArray& file) {
    QList<std::pair<QByteArray, QByteArray>> keys;
    QByteArray section;
    for (const QByteArray& raw : file.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[') && line.contains(']')) {
            section = line.mid(1, line.indexOf(']') - 1).trimmed();
        } else if (line.contains('=')) {
            keys.append({section, line.left(line.indexOf('=')).trimmed()});
        }
    }
    return keys;
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QList<std::pair<QByteArray, QByteArray>> names = {
        {"section", "url"}, {"Section", "URL"}, {"section", "other"}, {"zorvan", "url"}};
    static const QStringList lists = {
        QStringLiteral("example.com"), QStringLiteral("example.com\nzorvan.cn\n中文.cn"), QString(),
        QStringLiteral("a\tb\n  \nc d"), QStringLiteral("\"quoted\"\n'x'")};
    FuzzedDataProvider in(data, size);
    const auto& [section, key] = fuzz::pick(in, names);
    QString editorText = fuzz::pick(in, lists);
    const size_t pieceAt = in.ConsumeIntegral<uint16_t>();
    const QByteArray file = fuzz::remainingBytes(in);
    // One more line of the editor is a piece of the file itself.
    editorText += u'\n' + decodeAnsi(file.mid(qsizetype(pieceAt % size_t(file.size() + 1)), 30));

    const QByteArray value = encodeAnsi(valueFromEditorText(editorText));
    FUZZ_CHECK(!value.contains('\r') && !value.contains('\n'));
    const QByteArray written = withProfileValue(file, section, key, value);
    bool found = false;
    const QByteArray read = profileValue(written, section, key, &found);
    FUZZ_CHECK(found);
    // Read back as written, save what a reader takes as padding: blanks and tabs around it, then
    // one pair of quotes.
    QByteArrayView bare = value;
    auto padding = [](char c) { return c == ' ' || c == '\t'; };
    while (!bare.isEmpty() && padding(bare.front())) bare = bare.sliced(1);
    while (!bare.isEmpty() && padding(bare.back())) bare.chop(1);
    const bool quoted = bare.size() >= 2 && (bare.front() == '"' || bare.front() == '\'') &&
                        bare.back() == bare.front();
    FUZZ_CHECK(read == (quoted ? bare.sliced(1, bare.size() - 2) : bare));
    // Writing the same value again changes nothing.
    FUZZ_CHECK(withProfileValue(written, section, key, value) == written);

    for (const auto& [otherSection, otherKey] : keysOf(file)) {
        if (sameName(otherSection, section) && sameName(otherKey, key)) continue;
        bool before = false, after = false;
        const QByteArray old = profileValue(file, otherSection, otherKey, &before);
        FUZZ_CHECK(profileValue(written, otherSection, otherKey, &after) == old);
        FUZZ_CHECK(before == after);
    }
    return 0;
}
