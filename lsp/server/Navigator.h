#pragma once

#include "documents/DocumentStore.h"
#include "documents/RevisionCache.h"
#include "features/SourceStructure.h"
#include "protocol/Params.h"
#include "server/Workspace.h"

#include <memory>
#include <utility>
#include <vector>

namespace kestrel::lsp {

// Answers the requests that move about the code: declaration and
// implementation, definition, hover, and folding. What each document
// declares is read once per text and kept while the text stays the same.
class Navigator {
public:
    Navigator(const DocumentStore& documents, Workspace& workspace)
        : documents_(documents), workspace_(workspace) {}

    void SetEncoding(PositionEncoding encoding) { encoding_ = encoding; }

    // `textDocument/declaration` and `textDocument/implementation`: from an
    // implementation's heading to its declarations, from a declaration to
    // its implementations.
    std::string Counterparts(const TextDocumentPositionParams& params);
    std::string Definition(const TextDocumentPositionParams& params);
    std::string Hover(const TextDocumentPositionParams& params);
    std::string FoldingRanges(const TextDocumentParams& params);

    // The structure of a document's text, from the cache when it is there.
    std::shared_ptr<const SourceStructure> StructureOf(const TextDocument& document);

    // At most this many places answer a definition.
    static constexpr size_t kMaxDefinitions = 100;

private:
    struct Request {
        std::string uri;
        std::shared_ptr<const TextDocument> document;
        std::shared_ptr<const SourceStructure> structure;
        size_t offset = 0;
    };
    Request Read(const std::string& uri, const std::optional<TextPosition>& position);
    // The declarations of the routine whose implementation heading has its
    // name at the request's place; none elsewhere.
    std::vector<int> DeclarationsAtName(const Request& request) const;
    // The names of `routines` of the request's document, as locations.
    std::string RoutineLocations(const Request& request, const std::vector<int>& routines) const;
    TextRange RangeOf(const TextDocument& document, size_t start, size_t end) const;

    const DocumentStore& documents_;
    Workspace& workspace_;
    PositionEncoding encoding_ = PositionEncoding::Utf16;
    // The file that hover read from disk last.
    std::pair<std::string, std::shared_ptr<const TextDocument>> lastRead_;
    // The latest structures, by the revision of the text they were read from.
    RevisionCache<SourceStructure> structures_{8};
};

} // namespace kestrel::lsp
