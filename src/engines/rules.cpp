#include "engines/rules.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <algorithm>
#include <optional>

#include "core/jsonwriter.h"
#include "core/localfile.h"
#include "core/services.h"
#include "engines/countrows.h"
#include "engines/pagerank.h"
#include "net/fetch.h"
#include "vocab/text.h"

namespace zorvan {
namespace {

// The keys of a rule, in the order they are printed.
struct Key {
    const char* name;
    QString FigureRule::*member;
    enum Applies { Any, NotPageRank, PageRankOnly } applies;
    enum Shape { Address, Marker, Free } shape;  // Free: may be empty
};
const Key keys[] = {
    {"url", &FigureRule::url, Key::Any, Key::Address},
    {"start", &FigureRule::start, Key::Any, Key::Marker},
    {"end", &FigureRule::end, Key::Any, Key::Free},
    // An empty second wording removes it.
    {"fallback_start", &FigureRule::fallbackStart, Key::NotPageRank, Key::Free},
    {"fallback_end", &FigureRule::fallbackEnd, Key::NotPageRank, Key::Free},
    {"rank_url", &FigureRule::rankUrl, Key::PageRankOnly, Key::Address},
    {"rank_start", &FigureRule::rankStart, Key::PageRankOnly, Key::Marker},
    {"rank_end", &FigureRule::rankEnd, Key::PageRankOnly, Key::Free},
};

bool applies(const Key& key, Figure figure) {
    switch (key.applies) {
        case Key::Any:
            return true;
        case Key::NotPageRank:
            return figure != Figure::PageRank;
        case Key::PageRankOnly:
            return figure == Figure::PageRank;
    }
    return false;
}

// A placeholder a template may hold; {frame} only where the PageRank frame is known.
bool knownPlaceholder(const QString& name, bool frameAllowed) {
    if (name == QStringLiteral("domain")) return true;
    if (name == QStringLiteral("frame")) return frameAllowed;
    return name.startsWith(QStringLiteral("host:")) && hostRoles().contains(name.mid(5));
}

std::optional<QString> unknownPlaceholder(const QString& url, bool frameAllowed) {
    for (qsizetype open = url.indexOf(u'{'); open >= 0; open = url.indexOf(u'{', open + 1)) {
        const qsizetype close = url.indexOf(u'}', open);
        if (close < 0) return url.mid(open);
        if (!knownPlaceholder(url.mid(open + 1, close - open - 1), frameAllowed))
            return url.mid(open, close - open + 1);
        open = close;
    }
    return std::nullopt;
}

// Checks one value for its key; the problem's kind when it cannot be used.
std::optional<RulesProblem> badValue(const Key& key, const QJsonValue& value) {
    RulesProblem p{RulesProblem::NotText, {}, {}, {}, {}};
    if (!value.isString()) return p;
    const QString text = value.toString();
    if (key.shape == Key::Marker && text.isEmpty()) {
        p.kind = RulesProblem::EmptyMarker;
        return p;
    }
    if (key.shape == Key::Address) {
        if (!text.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) &&
            !text.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive)) {
            p.kind = RulesProblem::BadScheme;
            return p;
        }
        if (const auto placeholder = unknownPlaceholder(text, key.member == &FigureRule::rankUrl)) {
            p.kind = RulesProblem::BadPlaceholder;
            p.detail = *placeholder;
            return p;
        }
    }
    return std::nullopt;
}

// Line and column (in characters, from 1) of a byte offset.
void placeOffset(const QByteArray& bytes, RulesProblem& p) {
    const QByteArray before = bytes.left(p.offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    p.line = int(before.count('\n')) + 1;
    p.column = int(QString::fromUtf8(before.mid(lineStart)).size()) + 1;
}

// The object's member names that occur more than once, with how often, in order of first
// occurrence: the parser keeps one of each silently. bytes must hold one valid JSON object.
QList<std::pair<QString, int>> repeatedKeys(const QByteArray& bytes) {
    QList<std::pair<QString, int>> counts;
    int depth = 0;
    bool expectKey = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '"') {
            qsizetype end = i + 1;
            while (end < bytes.size() && bytes[end] != '"') end += bytes[end] == '\\' ? 2 : 1;
            if (depth == 1 && expectKey) {
                const QByteArray literal = bytes.mid(i, end - i + 1);
                const QString name =
                    QJsonDocument::fromJson('[' + literal + ']').array().first().toString();
                auto it = std::find_if(counts.begin(), counts.end(),
                                       [&](const auto& n) { return n.first == name; });
                if (it == counts.end())
                    counts.append({name, 1});
                else
                    ++it->second;
                expectKey = false;
            }
            i = end;
        } else if (c == '{' || c == '[') {
            ++depth;
            expectKey = depth == 1;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ',') {
            expectKey = depth == 1;
        }
    }
    counts.removeIf([](const auto& n) { return n.second < 2; });
    return counts;
}

// One rule's fields over the figure's rule; the problems of those that cannot be used.
void applyRule(const QString& name, Figure figure, const QJsonObject& fields,
               const QString& fileName, LoadedRules& out) {
    for (auto field = fields.begin(); field != fields.end(); ++field) {
        const auto key = std::find_if(std::begin(keys), std::end(keys), [&](const Key& k) {
            return field.key() == QLatin1String(k.name) && applies(k, figure);
        });
        if (key == std::end(keys)) {
            out.problems.append({RulesProblem::UnknownKey, fileName, name, field.key(), {}});
        } else if (auto bad = badValue(*key, field.value())) {
            out.problems.append({bad->kind, fileName, name, field.key(), bad->detail});
        } else {
            out.rules[figure].*(key->member) = field.value().toString();
        }
    }
}

// rules.json's "intervals": each known role's gap; the problems of the rest.
void readIntervals(const QJsonValue& value, const QString& fileName, LoadedRules& out) {
    const QString name = QStringLiteral("intervals");
    if (!value.isObject()) {
        out.problems.append({RulesProblem::NotAnObject, fileName, name, {}, {}});
        return;
    }
    const QJsonObject roles = value.toObject();
    for (auto it = roles.begin(); it != roles.end(); ++it) {
        const double ms = it.value().toDouble(-1);
        if (!hostRoles().contains(it.key()))
            out.problems.append({RulesProblem::UnknownKey, fileName, name, it.key(), {}});
        else if (!it.value().isDouble() || ms < 0 || ms > MostRoleInterval || ms != double(int(ms)))
            out.problems.append({RulesProblem::BadInterval, fileName, name, it.key(), {}});
        else
            out.intervals.insert(it.key(), int(ms));
    }
}

}  // namespace

const RuleSet& builtinRules() {
    static const RuleSet rules = [] {
        RuleSet r;
        for (const auto* batch :
             {&windowBatchRows(), &engineBatchRows(), &youdaoBatchRows(), &sogouYahooBatchRows()})
            for (const CountRow& row : *batch)
                r[row.figure] = {QStringLiteral("http://{host:") + row.role + u'}' + row.prefix +
                                     QStringLiteral("{domain}"),
                                 row.start,
                                 row.end,
                                 row.fallbackStart,
                                 row.fallbackEnd,
                                 {},
                                 {},
                                 {}};
        r[Figure::PageRank] = builtinPageRankRule();
        return r;
    }();
    return rules;
}

QString describeProblem(const RulesProblem& p) {
    const QString builtIn = QStringLiteral("; the built-in rules are used");
    const QString where = p.file + QStringLiteral(": \"") + p.rule + QStringLiteral("\".") + p.key;
    const QString kept = QStringLiteral("; its built-in value is used");
    switch (p.kind) {
        case RulesProblem::Unreadable:
            return p.file + QStringLiteral(": cannot be read") + builtIn;
        case RulesProblem::Syntax:
            return QStringLiteral("%1:%2:%3: not valid JSON: %4 (at byte %5)")
                       .arg(p.file)
                       .arg(p.line)
                       .arg(p.column)
                       .arg(p.detail)
                       .arg(p.offset) +
                   builtIn;
        case RulesProblem::NotAnObject:
            if (p.rule.isEmpty())
                return p.file +
                       QStringLiteral(": not an object: must hold one JSON object of rules") +
                       builtIn;
            return p.file + QStringLiteral(": rule \"") + p.rule +
                   QStringLiteral("\" must be a JSON object; its built-in values are used");
        case RulesProblem::UnknownRule:
            return p.file + QStringLiteral(": unknown rule \"") + p.rule +
                   QStringLiteral("\" ignored ('zorvan-cli rules' lists them)");
        case RulesProblem::UnknownKey:
            return p.file + QStringLiteral(": unknown key \"") + p.key +
                   QStringLiteral("\" in rule \"") + p.rule + QStringLiteral("\" ignored");
        case RulesProblem::NotText:
            return where + QStringLiteral(" must be a string") + kept;
        case RulesProblem::EmptyMarker:
            return where + QStringLiteral(" must not be empty") + kept;
        case RulesProblem::BadScheme:
            return where + QStringLiteral(" must start with http:// or https://") + kept;
        case RulesProblem::BadPlaceholder:
            return where + QStringLiteral(" holds the unknown placeholder ") + p.detail + kept;
        case RulesProblem::DuplicateRule:
            return p.file + QStringLiteral(": rule \"") + p.rule + QStringLiteral("\" is given ") +
                   p.detail + QStringLiteral(" times; the last one is used");
        case RulesProblem::BadInterval:
            return where +
                   QStringLiteral(" must be a whole number of milliseconds from 0 to %1; ignored")
                       .arg(MostRoleInterval);
    }
    return QString();
}

QString describeProblemInChinese(const RulesProblem& p) {
    const QString builtIn = S("，全部使用内置规则。");
    const QString where = S("规则“") + p.rule + S("”的“") + p.key + S("”");
    const QString kept = S("，使用内置值。");
    switch (p.kind) {
        case RulesProblem::Unreadable:
            return S("无法读取文件") + builtIn;
        case RulesProblem::Syntax:
            return S("第 %1 行第 %2 列不是有效的 JSON（%3）")
                       .arg(p.line)
                       .arg(p.column)
                       .arg(p.detail) +
                   builtIn;
        case RulesProblem::NotAnObject:
            if (p.rule.isEmpty()) return S("文件应为一个 JSON 对象") + builtIn;
            return S("规则“") + p.rule + S("”应为 JSON 对象，该规则使用内置值。");
        case RulesProblem::UnknownRule:
            return S("未知的规则“") + p.rule + S("”，已忽略。");
        case RulesProblem::UnknownKey:
            return S("规则“") + p.rule + S("”中未知的字段“") + p.key + S("”，已忽略。");
        case RulesProblem::NotText:
            return where + S("应为字符串") + kept;
        case RulesProblem::EmptyMarker:
            return where + S("不能为空") + kept;
        case RulesProblem::BadScheme:
            return where + S("应以 http:// 或 https:// 开头") + kept;
        case RulesProblem::BadPlaceholder:
            return where + S("含有未知的占位符 ") + p.detail + kept;
        case RulesProblem::DuplicateRule:
            return S("规则“") + p.rule + S("”出现了 ") + p.detail + S(" 次，使用最后一个。");
        case RulesProblem::BadInterval:
            return where + S("应为 0 到 %1 之间的毫秒整数，已忽略。").arg(MostRoleInterval);
    }
    return QString();
}

LoadedRules applyRulesFile(const QByteArray& json, const QString& fileName) {
    LoadedRules out{builtinRules(), {}, {}};
    auto problem = [&](RulesProblem::Kind kind, const QString& rule = {},
                       const QString& key = {}) -> RulesProblem& {
        out.problems.append({kind, fileName, rule, key, {}});
        return out.problems.last();
    };
    // A byte-order mark, as some editors write, is blanked so that offsets still count from the
    // file's start.
    QByteArray bytes = json;
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.replace(0, 3, "   ");
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    // Another JSON value (null, a number) is well-formed but no object: the parser refuses it on
    // its own, so it is told apart by reading it as an array's element.
    if (error.error != QJsonParseError::NoError &&
        QJsonDocument::fromJson(QByteArray("[") + bytes + ']').isArray()) {
        problem(RulesProblem::NotAnObject);
        return out;
    }
    if (error.error != QJsonParseError::NoError) {
        RulesProblem& p = problem(RulesProblem::Syntax);
        p.detail = error.errorString();
        // An unterminated string is reported one byte past the end.
        p.offset = std::min<qint64>(error.offset, bytes.size());
        placeOffset(bytes, p);
        return out;
    }
    if (!document.isObject()) {
        problem(RulesProblem::NotAnObject);
        return out;
    }
    const QJsonObject root = document.object();
    for (const auto& [name, times] : repeatedKeys(bytes))
        problem(RulesProblem::DuplicateRule, name).detail = QString::number(times);
    for (auto rule = root.begin(); rule != root.end(); ++rule) {
        const auto figure = figureByKey(rule.key());
        if (rule.key() == QStringLiteral("intervals")) {
            readIntervals(rule.value(), fileName, out);
            continue;
        }
        if (!figure) {
            problem(RulesProblem::UnknownRule, rule.key());
            continue;
        }
        if (!rule.value().isObject()) {
            problem(RulesProblem::NotAnObject, rule.key());
            continue;
        }
        applyRule(rule.key(), *figure, rule.value().toObject(), fileName, out);
    }
    return out;
}

QString rulesFilePath() {
    return dataDirectory() + QStringLiteral("/rules.json");
}

namespace {

struct RulesStamp {
    QString path;
    bool exists = false;
    QDateTime modified;
    qint64 size = 0;
    bool operator==(const RulesStamp&) const = default;
};

RulesStamp stampOf(const QString& path) {
    const QFileInfo info(path);
    return {path, info.exists(), info.exists() ? info.lastModified() : QDateTime(), info.size()};
}

LoadedRules readRules(const QString& path) {
    LoadedRules loaded{builtinRules(), {}, {}};
    QByteArray bytes;
    switch (readWholeFile(path, &bytes)) {
        case FileRead::Missing:
            break;
        case FileRead::Unreadable:
            loaded.problems.append({RulesProblem::Unreadable, path, {}, {}, {}});
            break;
        case FileRead::Ok:
            loaded = applyRulesFile(bytes, path);
            break;
    }
    return loaded;
}

// The rules as last found; the file is looked at only when asked to, or when the data folder
// is another.
LoadedRules foundRules(bool lookAgain) {
    struct Found {
        RulesStamp stamp;
        LoadedRules loaded;
    };
    static QMutex mutex;
    static std::optional<Found> found;

    const QString path = rulesFilePath();
    QMutexLocker lock(&mutex);
    if (found && found->stamp.path == path && !lookAgain) return found->loaded;
    const RulesStamp stamp = stampOf(path);
    if (!found || found->stamp != stamp) found = Found{stamp, readRules(path)};
    return found->loaded;
}

}  // namespace

LoadedRules effectiveRules() {
    return foundRules(false);
}

LoadedRules rulesForNewRun() {
    return foundRules(true);
}

QString rulesJson(const RuleSet& rules, const RoleIntervals& intervals) {
    JsonObject all;
    for (const FigureInfo& f : figureTable()) {
        const FigureRule& rule = rules[f.figure];
        JsonObject fields;
        for (const Key& key : keys) {
            const QString& value = rule.*(key.member);
            if (!applies(key, f.figure)) continue;
            // A rule without a second wording prints none, as the built-in rows have none; one
            // whose built-in second wording was removed prints the removal, or reading the
            // printed file back would bring that wording back.
            const bool fallback =
                key.member == &FigureRule::fallbackStart || key.member == &FigureRule::fallbackEnd;
            if (fallback && rule.fallbackStart.isEmpty() &&
                builtinRules()[f.figure].fallbackStart.isEmpty())
                continue;
            fields.text(QLatin1String(key.name), value);
        }
        all.json(f.key, fields.indented(1));
    }
    if (!intervals.isEmpty()) {
        JsonObject gaps;
        for (auto it = intervals.cbegin(); it != intervals.cend(); ++it)
            gaps.number(it.key(), it.value());
        all.json(QStringLiteral("intervals"), gaps.indented(1));
    }
    return all.indented() + u'\n';
}

QString expandRuleUrl(const QString& url, const QString& domain, const QString& frame) {
    // One pass, so that a placeholder inside the domain or the frame text stays as typed.
    QString out;
    qsizetype from = 0;
    for (qsizetype open = url.indexOf(u'{'); open >= 0; open = url.indexOf(u'{', from)) {
        const qsizetype close = url.indexOf(u'}', open);
        if (close < 0) break;
        const QString name = url.mid(open + 1, close - open - 1);
        out += url.mid(from, open - from);
        if (name == QStringLiteral("domain"))
            out += domainInAddress(domain);
        else if (name == QStringLiteral("frame"))
            out += frame;
        else if (name.startsWith(QStringLiteral("host:")))
            out += serviceHost(name.mid(5));
        else
            out += url.mid(open, close - open + 1);
        from = close + 1;
    }
    return out + url.mid(from);
}

}  // namespace zorvan
