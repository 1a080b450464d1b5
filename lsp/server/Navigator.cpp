#include "server/Navigator.h"

#include "features/Folding.h"
#include "features/Navigation.h"
#include "index/LocalPaths.h"
#include "protocol/answers/NavigationJson.h"

#include "TextEncoding.h"

#include <algorithm>

namespace kestrel::lsp {

namespace {

// The file name a URI ends in, decoded.
std::string FileNameOf(std::string_view uri) {
    const std::string path = LocalPath(uri);
    const std::string_view name = path.empty() ? uri : std::string_view(path);
    return std::string(name.substr(name.rfind('/') + 1));
}

// Index entries that a name at the cursor may mean, best first: in this
// file, then in the units it uses, then anywhere. Of types, their
// declarations; of routines, `preferred` (bodies or declarations) when any
// has that role.
std::vector<SymbolMatch> Choose(std::vector<SymbolMatch> matches, const Identifier& identifier,
                                const std::string& thisPath, const std::vector<std::string>& uses,
                                bool types, OutlineRole preferred) {
    std::erase_if(matches, [types](const SymbolMatch& match) {
        const SymbolKind kind = match.symbol->kind;
        return !(IsRoutine(kind) || (types && (IsType(kind) || kind == SymbolKind::Module)));
    });
    if (!identifier.qualifier.empty()) {
        const auto inQualifier = [&identifier](const SymbolMatch& match) {
            return SameName(match.file->Text(match.symbol->container), identifier.qualifier);
        };
        if (std::any_of(matches.begin(), matches.end(), inQualifier)) {
            std::erase_if(matches, [&](const SymbolMatch& match) { return !inQualifier(match); });
        }
    }
    const auto keepRole = [&matches](auto isOfKind, OutlineRole role) {
        const auto wanted = [&](const SymbolMatch& match) {
            return isOfKind(match.symbol->kind) && match.symbol->role == role;
        };
        if (std::any_of(matches.begin(), matches.end(), wanted)) {
            std::erase_if(matches, [&](const SymbolMatch& match) {
                return isOfKind(match.symbol->kind) && !wanted(match);
            });
        }
    };
    keepRole(IsRoutine, preferred);
    keepRole(IsType, OutlineRole::Declaration);
    std::vector<std::pair<int, SymbolMatch>> ranked;
    ranked.reserve(matches.size());
    for (SymbolMatch& match : matches) {
        const std::string path = LocalPath(match.file->uri);
        const int rank = path == thisPath                                                      ? 0
                         : std::find(uses.begin(), uses.end(), UnitOfPath(path)) != uses.end() ? 1
                                                                                               : 2;
        ranked.emplace_back(rank, std::move(match));
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<SymbolMatch> best;
    best.reserve(ranked.size());
    for (auto& [rank, match] : ranked) {
        best.push_back(std::move(match));
    }
    return best;
}

} // namespace

std::shared_ptr<const SourceStructure> Navigator::StructureOf(const TextDocument& document) {
    return structures_.Get(
        document, [&] { return ReadSourceStructure(document.Text()); },
        [&](SourceStructure&& old, const TextDocument::Change& change) {
            return ReadSourceStructure(document.Text(), std::move(old), change.start, change.oldEnd,
                                       change.newEnd);
        });
}

Navigator::Request Navigator::Read(const std::string& uri,
                                   const std::optional<TextPosition>& place) {
    Request request;
    request.uri = uri;
    std::string error;
    request.document = documents_.Get(request.uri, error);
    if (!request.document) {
        throw RequestError{RequestFailed, error};
    }
    request.structure = StructureOf(*request.document);
    if (place) {
        const TextPosition& position = *place;
        const TextDocument& document = *request.document;
        // A place past the end of its line or of the text holds nothing.
        if (position.line >= document.LineCount() ||
            position.character >
                document.CharacterOf(position.line, document.LineEnd(position.line), encoding_)) {
            request.offset = SourceStructure::kNone;
        } else {
            request.offset = document.OffsetOf(position, encoding_);
        }
    }
    return request;
}

TextRange Navigator::RangeOf(const TextDocument& document, size_t start, size_t end) const {
    return {document.PositionOf(start, encoding_), document.PositionOf(end, encoding_)};
}

std::string Navigator::Counterparts(const TextDocumentPositionParams& params) {
    const Request request = Read(params.uri, params.position);
    if (request.offset == SourceStructure::kNone) {
        return "null";
    }
    const SourceStructure& structure = *request.structure;
    const int routine = RoutineAt(*request.document, structure, request.offset);
    if (routine < 0) {
        return "null";
    }
    return RoutineLocations(request, lsp::Counterparts(structure, routine));
}

std::vector<int> Navigator::DeclarationsAtName(const Request& request) const {
    const SourceStructure& structure = *request.structure;
    const int routine = RoutineAt(*request.document, structure, request.offset);
    if (routine < 0) {
        return {};
    }
    const SourceStructure::Routine& here = structure.routines[static_cast<size_t>(routine)];
    if (!here.body || request.offset < here.nameStart || request.offset > here.nameEnd) {
        return {};
    }
    return lsp::Counterparts(structure, routine);
}

std::string Navigator::RoutineLocations(const Request& request,
                                        const std::vector<int>& routines) const {
    std::vector<Location> locations;
    for (const int index : routines) {
        const SourceStructure::Routine& other =
            request.structure->routines[static_cast<size_t>(index)];
        locations.push_back(
            {request.uri, RangeOf(*request.document, other.nameStart, other.nameEnd)});
    }
    return LocationsJson(locations);
}

std::string Navigator::Definition(const TextDocumentPositionParams& params) {
    const Request request = Read(params.uri, params.position);
    if (request.offset == SourceStructure::kNone) {
        return "null";
    }
    // On the name in a routine's implementation heading, the definition
    // asked for is the declaration it implements, so that going to the
    // definition moves between the two.
    const std::vector<int> declarations = DeclarationsAtName(request);
    if (!declarations.empty()) {
        return RoutineLocations(request, declarations);
    }
    const Identifier identifier = IdentifierAt(request.document->Text(), request.offset);
    if (identifier.name.empty()) {
        return "null";
    }
    const std::vector<SymbolMatch> matches =
        Choose(workspace_.Named(identifier.name, documents_, Workspace::kMaxNamed), identifier,
               LocalPath(request.uri), request.structure->uses, true, OutlineRole::Definition);
    std::vector<Location> locations;
    for (size_t i = 0; i < matches.size() && i < kMaxDefinitions; ++i) {
        const IndexedSymbol& symbol = *matches[i].symbol;
        locations.push_back(
            {matches[i].file->uri, {{symbol.line, symbol.from}, {symbol.line, symbol.to}}});
    }
    return LocationsJson(locations);
}

std::string Navigator::Hover(const TextDocumentPositionParams& params) {
    const Request request = Read(params.uri, params.position);
    if (request.offset == SourceStructure::kNone) {
        return "null";
    }
    const TextDocument& document = *request.document;
    const Identifier identifier = IdentifierAt(document.Text(), request.offset);
    if (identifier.name.empty()) {
        return "null";
    }
    // The heading to show, preferably the declaration, in this document or
    // in the file the index names.
    std::string uri = request.uri;
    std::shared_ptr<const TextDocument> source = request.document;
    std::shared_ptr<const SourceStructure> structure = request.structure;
    int routine = RoutineAt(document, *structure, request.offset);
    if (routine >= 0) {
        const SourceStructure::Routine& here = structure->routines[static_cast<size_t>(routine)];
        if (request.offset < here.nameStart || request.offset > here.nameEnd) {
            routine = -1;
        } else if (here.body) {
            const std::vector<int> declarations = lsp::Counterparts(*structure, routine);
            routine = declarations.empty() ? routine : declarations.front();
        }
    }
    if (routine < 0) {
        for (size_t i = 0; i < structure->routines.size(); ++i) {
            const SourceStructure::Routine& candidate = structure->routines[i];
            const std::string_view owner =
                candidate.owner >= 0 ? std::string_view(structure->types[candidate.owner].name)
                                     : LastPart(candidate.qualifier);
            if (SameName(candidate.name, identifier.name) &&
                (identifier.qualifier.empty() || SameName(owner, identifier.qualifier)) &&
                (routine < 0 || (!candidate.body && structure->routines[routine].body))) {
                routine = static_cast<int>(i);
            }
        }
    }
    if (routine < 0) {
        const std::vector<SymbolMatch> matches =
            Choose(workspace_.Named(identifier.name, documents_, Workspace::kMaxNamed), identifier,
                   LocalPath(request.uri), structure->uses, false, OutlineRole::Declaration);
        if (matches.empty()) {
            return "null";
        }
        uri = matches.front().file->uri;
        std::string error;
        source = documents_.Get(uri, error);
        if (!source) {
            return "null";
        }
        // A file read from disk is a new text each time: the one read last
        // for this URI stands in for it while its bytes are the same.
        if (lastRead_.first == uri && lastRead_.second &&
            lastRead_.second->Text() == source->Text()) {
            source = lastRead_.second;
        } else {
            lastRead_ = {uri, source};
        }
        structure = StructureOf(*source);
        const int64_t line = matches.front().symbol->line;
        for (size_t i = 0; i < structure->routines.size() && routine < 0; ++i) {
            const SourceStructure::Routine& candidate = structure->routines[i];
            if (source->LineOf(candidate.nameStart) == line &&
                SameName(candidate.name, identifier.name)) {
                routine = static_cast<int>(i);
            }
        }
        if (routine < 0) {
            return "null";
        }
    }
    const SourceStructure::Routine& found = structure->routines[static_cast<size_t>(routine)];
    const std::string type = found.owner >= 0 ? structure->TypePath(found.owner) : found.qualifier;
    std::string where = "Declared in " + FileNameOf(uri) + ", line " +
                        std::to_string(source->LineOf(found.nameStart) + 1);
    if (!type.empty()) {
        where += ", in `" + type + "`";
    }
    const std::string markdown =
        "```pascal\n" + HeadingText(source->Text(), found) + "\n```\n" + where;
    return HoverJson(markdown, RangeOf(document, identifier.start, identifier.end));
}

std::string Navigator::FoldingRanges(const TextDocumentParams& params) {
    const Request request = Read(params.uri, std::nullopt);
    return FoldingRangesJson(lsp::FoldingRanges(*request.document, *request.structure));
}

} // namespace kestrel::lsp
