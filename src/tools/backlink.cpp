#include "tools/backlink.h"

#include <QHash>
#include <QPointer>
#include <QRegularExpression>
#include <cmath>

#include "core/services.h"
#include "net/fetch.h"

namespace zorvan {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The patterns are written in a script-engine regular-expression dialect. Two things differ in
// PCRE2: a hyphen right after a class escape inside brackets is a literal in that dialect but an
// invalid range here, and "." must stop only at a line feed (not at CR).
QString toPcre(const QString& pattern) {
    QString out = QStringLiteral("(*LF)");
    bool inClass = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'\\' && i + 1 < pattern.size()) {
            const QChar escaped = pattern.at(i + 1);
            out += c;
            out += escaped;
            ++i;
            const bool classEscape = QStringLiteral("wWdDsS").contains(escaped);
            if (inClass && classEscape && i + 1 < pattern.size() && pattern.at(i + 1) == u'-' &&
                !(i + 2 < pattern.size() && pattern.at(i + 2) == u']')) {
                out += QStringLiteral("\\-");
                ++i;
            }
            continue;
        }
        if (!inClass && c == u'[') {
            inClass = true;
            out += c;
            // A "]" first in the class (or after "^") is a literal.
            if (i + 1 < pattern.size() && pattern.at(i + 1) == u'^') out += pattern.at(++i);
            if (i + 1 < pattern.size() && pattern.at(i + 1) == u']')
                out += QStringLiteral("\\]"), ++i;
            continue;
        }
        if (inClass && c == u']') inClass = false;
        out += c;
    }
    return out;
}

// Compiling (and JIT-compiling) a pattern costs far more than matching one snippet, and a page
// asks for three patterns per result: each thread keeps its compiled patterns.
const QRegularExpression& compiled(const QString& pattern) {
    thread_local QHash<QString, QRegularExpression> cache;
    auto it = cache.find(pattern);
    if (it == cache.end()) {
        it = cache.insert(pattern, QRegularExpression(toPcre(pattern),
                                                      QRegularExpression::CaseInsensitiveOption));
        it->optimize();
    }
    return *it;
}

}  // namespace

QString TestRegExp(const QString& pattern, const QString& text) {
    const QRegularExpression& expression = compiled(pattern);
    QString result;
    auto matches = expression.globalMatch(text);
    while (matches.hasNext()) {
        result += matches.next().captured(0);
        result += CrLf;
    }
    return result.isEmpty() ? MatchFailed : result;
}

std::optional<double> numberFromText(const QString& text) {
    static const QRegularExpression shape(
        QStringLiteral("^\\s*([+-]?)(\\d[\\d,]*|)(\\.\\d*)?([eE][+-]?\\d+)?\\s*$"));
    const auto match = shape.match(text);
    if (!match.hasMatch()) return std::nullopt;
    QString integer = match.captured(2);
    const QString fraction = match.captured(3);
    // A lone sign, a lone point or an exponent with no digits before it is not a number.
    if (integer.isEmpty() && fraction.size() < 2) return std::nullopt;
    integer.remove(u',');
    bool ok = false;
    const QString plain = match.captured(1) + (integer.isEmpty() ? QStringLiteral("0") : integer) +
                          fraction + match.captured(4);
    const double value = plain.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> backlinkPageCount(const QString& totalText) {
    const std::optional<double> total = numberFromText(totalText);
    if (!total) return std::nullopt;
    double t = *total;
    if (t > 900) t = 900;
    if (t < 50) t = 0;
    // Halves go to the even neighbour: 75 gives 2, 125 gives 2, 175 gives 4.
    const double q = t / 50;
    double whole = std::floor(q);
    const double rest = q - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
    return int(whole);
}

QString backlinkPageUrl(const QString& domain, int page) {
    return serviceBase(Role::Yahoo) + QStringLiteral("/search?p=http%3A%2F%2F") +
           domainInAddress(domain) + QStringLiteral("&bwm=i&bwmo=d&b=") +
           QString::number(50 * page + 1);
}

std::optional<QString> backlinkTotal(const QString& pageText) {
    return CutBetween(pageText, QStringLiteral("共 <strong>"), QStringLiteral("<"));
}

QList<BacklinkEntry> extractBacklinks(const QString& pageText) {
    QList<BacklinkEntry> entries;
    const QStringList pieces = TestRegExp(BacklinkPattern::Result, pageText).split(CrLf);
    for (const QString& piece : pieces) {
        if (piece.isEmpty() || piece.contains(QStringLiteral("快照"))) continue;
        QString linkText = TestRegExp(BacklinkPattern::LinkText, piece);
        linkText.remove(QStringLiteral("</a>"));
        linkText.remove(u'>');
        entries.append({piece, TestRegExp(BacklinkPattern::Address, piece), linkText});
    }
    return entries;
}

QString backlinkSummary(const QString& totalText, qsizetype listed) {
    return QStringLiteral("网络中共") + totalText +
           QStringLiteral("个页面有该站链接。  最多列出1000条！   当前已列出") +
           QString::number(listed) + QStringLiteral("条");
}

BacklinkListing::BacklinkListing(QObject* parent)
    : QObject(parent), requests_(new RequestSequencer(this)) {}

void BacklinkListing::start(const QString& domain) {
    requests_->reset();
    snippets_.clear();
    addresses_.clear();
    linkTexts_.clear();
    running_ = true;
    const auto firstPage = [this, domain](const QString& first) {
        totalText_ = backlinkTotal(first).value_or(QString());
        const std::optional<int> pages = backlinkPageCount(totalText_);
        if (!pages) {
            running_ = false;
            Q_EMIT pageListed();
            Q_EMIT finished(false);
            return;
        }
        QList<ChainStep> walk;
        for (int p = 0; p <= *pages; ++p) walk.append(listPage(domain, p, *pages));
        requests_->run(QStringLiteral("pages"), walk);
    };
    const QString url = backlinkPageUrl(domain, 0);
    requests_->run(QStringLiteral("pages"),
                   {fetchPageText([url] { return url; }, QStringLiteral("UTF-8"), firstPage)});
}

// The first page is asked again as page 0: the walk has always gone so.
ChainStep BacklinkListing::listPage(const QString& domain, int page, int last) {
    const QString url = backlinkPageUrl(domain, page);
    return fetchPageText([url] { return url; }, QStringLiteral("UTF-8"),
                         [this, page, last](const QString& text) {
                             for (const BacklinkEntry& entry : extractBacklinks(text)) {
                                 snippets_.append(entry.snippet);
                                 addresses_.append(entry.address);
                                 linkTexts_.append(entry.linkText);
                             }
                             if (page == last) running_ = false;
                             const QPointer<BacklinkListing> self(this);
                             Q_EMIT pageListed();
                             if (self && page == last) Q_EMIT finished(true);
                         });
}

}  // namespace zorvan
