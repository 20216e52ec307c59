#pragma once

#include <QString>
#include <QStringList>

namespace zorvan {

// A JSON string literal: quotes, backslashes, control characters, DEL and unpaired surrogates
// escaped, everything else as it is, so that a line stays one line and encodes without loss.
QString jsonString(const QString& text);

// A JSON object written member by member, in the order given: QJsonObject sorts its keys, while
// the command's lines and the rules it prints keep the order a person reads them in.
class JsonObject {
  public:
    JsonObject& text(const QString& key, const QString& value);
    JsonObject& number(const QString& key, qint64 value);
    JsonObject& json(const QString& key, const QString& value);  // a value already JSON

    // {"a": 1, "b": "x"}
    QString line() const;
    // One member a line, two spaces deeper than the braces, which stand `depth` levels in.
    QString indented(int depth = 0) const;

  private:
    QStringList members_;
};

// A JSON array, on one line, of values already JSON.
QString jsonArray(const QStringList& values);

}  // namespace zorvan
