// A result page of the backlink listing (UTF-8): its total, the pages it asks for, its entries.
#include "fuzzcheck.h"
#include "net/fetch.h"
#include "tools/backlink.h"

using namespace zorvan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray page(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = BytesToText(page, QStringLiteral("UTF-8"));

    if (const auto total = backlinkTotal(text)) {
        // At most 19 pages are walked, whatever the total says.
        if (const auto pages = backlinkPageCount(*total)) FUZZ_CHECK(*pages >= 0 && *pages <= 18);
    }
    const QList<BacklinkEntry> entries = extractBacklinks(text);
    const bool failed = entries.size() == 1 && entries[0].snippet == MatchFailed;
    for (const BacklinkEntry& entry : entries) {
        if (failed) break;
        // Each entry is one link of the page as it stands there, its address an address.
        FUZZ_CHECK(text.contains(entry.snippet));
        FUZZ_CHECK(!entry.snippet.contains(QStringLiteral("快照")));
        FUZZ_CHECK(entry.snippet.endsWith(QStringLiteral("</a>"), Qt::CaseInsensitive));
        FUZZ_CHECK(!entry.linkText.contains(u'>'));
        if (entry.address != MatchFailed)
            for (const QString& address :
                 entry.address.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
                FUZZ_CHECK(address.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) &&
                           entry.snippet.contains(address));
    }
    return 0;
}
