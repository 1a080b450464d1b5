#pragma once

#include "LineClassifier.h"
#include "ScanLines.h"
#include "TextLineReader.h"

#include <string_view>
#include <utility>

namespace kestrel {

// The one path from source text to symbol rows: reads `source` from its
// start and hands each row its lines give, in source order, to `onRow` as a
// SymbolRow&&. `source` is anything ScanLines has an overload for (any
// character source, or a TextLineReader over text in memory). `keywords`
// are the first words that make a line a row; `headings` says whether the
// extended headings make rows too. One row object is filled again for every
// row, so a consumer that only reads it (or copies it) costs no allocation
// per row; one that moves from it takes its storage.
template <class Source, class OnRow>
void ScanRows(Source&& source, const std::vector<std::string>& keywords, Headings headings,
              OnRow&& onRow) {
    bool inImplementation = false;
    SymbolRow row;
    ScanLines(source, [&](std::string_view text, int32_t line) {
        if (ClassifySourceLine(text, line, inImplementation, keywords, row, headings)) {
            onRow(std::move(row));
        }
    });
}

// The add-in's rows for `keywords`.
template <class Source, class OnRow>
void ScanRows(Source&& source, const std::vector<std::string>& keywords, OnRow&& onRow) {
    ScanRows(std::forward<Source>(source), keywords, Headings::Classic, std::forward<OnRow>(onRow));
}

// The same with the reserved words as keywords.
template <class Source, class OnRow> void ScanRows(Source&& source, OnRow&& onRow) {
    ScanRows(std::forward<Source>(source), ReservedWords(), std::forward<OnRow>(onRow));
}

} // namespace kestrel
