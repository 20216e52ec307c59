#pragma once

#include <QByteArray>
#include <QString>

namespace zorvan {

// The one place where bytes become text and back: pages as their charset says, the program's own
// files (config.ini, history.txt) in code page 936, so that files written by earlier versions stay
// readable.

// Decodes a whole body. "gb2312" means code page 936 (GBK), the superset the services really send.
QString BytesToText(const QByteArray& bytes, const QString& charset);

QString decodeAnsi(const QByteArray& bytes);
QByteArray encodeAnsi(const QString& text);

}  // namespace zorvan
