#pragma once

#include <QString>

namespace kestrel::lsp {

// "1 file", "2 files", "0 files": a count and its noun, singular for one.
inline QString CountedNoun(qint64 count, const char* singular, const char* plural) {
    return QStringLiteral("%1 %2").arg(count).arg(
        QLatin1StringView(count == 1 ? singular : plural));
}

} // namespace kestrel::lsp
