#pragma once

#include <QString>

namespace zorvan {

// A UTF-8 literal as a QString: the Chinese texts of windows, rules and tests read as written.
inline QString S(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace zorvan
