#include "core/jsonwriter.h"

namespace zorvan {
namespace {

QString escaped(char16_t u) {
    return QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
}

QString indent(int depth) {
    return QString(2 * depth, u' ');
}

}  // namespace

QString jsonString(const QString& text) {
    QString out = QStringLiteral("\"");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        switch (u) {
            case '"':
                out += QStringLiteral("\\\"");
                break;
            case '\\':
                out += QStringLiteral("\\\\");
                break;
            case '\n':
                out += QStringLiteral("\\n");
                break;
            case '\r':
                out += QStringLiteral("\\r");
                break;
            case '\t':
                out += QStringLiteral("\\t");
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    out += escaped(u);
                } else if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
                           text[i + 1].isLowSurrogate()) {
                    out += text[i];
                    out += text[++i];
                } else if (QChar::isSurrogate(u)) {
                    // Written as it is, the output's encoder would turn it into "?".
                    out += escaped(u);
                } else {
                    out += text[i];
                }
        }
    }
    return out + u'"';
}

JsonObject& JsonObject::text(const QString& key, const QString& value) {
    return json(key, jsonString(value));
}

JsonObject& JsonObject::number(const QString& key, qint64 value) {
    return json(key, QString::number(value));
}

JsonObject& JsonObject::json(const QString& key, const QString& value) {
    members_.append(jsonString(key) + QStringLiteral(": ") + value);
    return *this;
}

QString JsonObject::line() const {
    return u'{' + members_.join(QStringLiteral(", ")) + u'}';
}

QString JsonObject::indented(int depth) const {
    QStringList lines;
    for (const QString& member : members_) lines.append(indent(depth + 1) + member);
    return QStringLiteral("{\n") + lines.join(QStringLiteral(",\n")) + u'\n' + indent(depth) + u'}';
}

QString jsonArray(const QStringList& values) {
    return u'[' + values.join(QStringLiteral(", ")) + u']';
}

}  // namespace zorvan
