#pragma once

#include "LineClassifier.h"
#include "ScanLines.h"
#include "TextLineReader.h"

#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>

namespace kestrel {

// Whether the text `source` gave last may hold a '{': any text of a
// character source may; the reader for text in memory knows.
template <class Source> bool LastTextMayHoldBrace(const Source&) {
    return true;
}
inline bool LastTextMayHoldBrace(const TextLineReader& reader) {
    return reader.LastTextMayHoldBrace();
}

// The one path from source text to symbol rows: reads `source` from its
// start and hands each row its lines give, in source order, to `onRow` as a
// const SymbolRowView& (its texts are valid until `onRow` returns). `source`
// is anything ScanLines has an overload for (any character source, or a
// TextLineReader over text in memory). `keywords` are the first words that
// make a line a row; `headings` says whether the extended headings make rows
// too. Nothing is copied for a row.
template <class Source, class OnRow>
void ScanRowViews(Source&& source, const std::vector<std::string>& keywords, Headings headings,
                  OnRow&& onRow) {
    std::optional<KeywordSet> own;
    const KeywordSet& set =
        &keywords == &ReservedWords() ? ReservedKeywordSet() : own.emplace(keywords);
    bool inImplementation = false;
    SymbolRowView row;
    ScanLines(source, [&](std::string_view text, int32_t line) {
        if (ClassifySourceLine(text, line, inImplementation, set, row, headings,
                               LastTextMayHoldBrace(source))) {
            onRow(std::as_const(row));
        }
    });
}

// The same, each row handed over as a SymbolRow&&. One row object is filled
// again for every row, so a consumer that only reads it (or copies it) costs
// no allocation per row; one that moves from it takes its storage.
template <class Source, class OnRow>
void ScanRows(Source&& source, const std::vector<std::string>& keywords, Headings headings,
              OnRow&& onRow) {
    SymbolRow row;
    ScanRowViews(std::forward<Source>(source), keywords, headings, [&](const SymbolRowView& view) {
        FillSymbolRow(view, row);
        onRow(std::move(row));
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
