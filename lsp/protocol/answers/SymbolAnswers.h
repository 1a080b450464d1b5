#pragma once

#include "documents/TextDocument.h"
#include "features/Outline.h"
#include "index/WorkspaceIndex.h"

#include <string>
#include <vector>

namespace kestrel::lsp {

// The answers that list symbols, written as compact JSON text directly
// rather than through a writer: a large unit's outline has tens of
// thousands of entries, and these are the answers editors wait for.

// `DocumentSymbol[]` for an outline of `document`.
std::string DocumentSymbolsJson(const std::vector<OutlineSymbol>& outline,
                                const TextDocument& document, PositionEncoding encoding);

// `SymbolInformation[]` for the matches of a workspace-symbol query.
std::string WorkspaceSymbolsJson(const std::vector<SymbolMatch>& matches);

// The answer to `kestrel/rows`: the rows `kestrel-list --json` prints for
// the document's text, as one array in source order.
std::string ListRowsJson(const TextDocument& document);

} // namespace kestrel::lsp
