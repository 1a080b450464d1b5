#pragma once

#include "features/Outline.h"
#include "index/NameTable.h"
#include "index/SymbolMatcher.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::lsp {

// One entry of the workspace index: an outline entry of some file, with
// its place in protocol positions. Texts are offsets into the file's string
// storage.
struct IndexedSymbol {
    struct Span {
        uint32_t offset = 0;
        uint32_t length = 0;
    };
    Span name;      // as the outline names it
    Span container; // the entry it stands in: its class, unit or program
    Span text;      // what a query is matched against: "Class.Name", ...
    int32_t line = 0;
    int32_t from = 0; // the name's characters on its line
    int32_t to = 0;
    SymbolKind kind = SymbolKind::Function;
    OutlineRole role = OutlineRole::Definition;
};

// Where an entry's case-folded search text is: its name is the text's tail
// from `nameStart`.
struct SearchKey {
    uint32_t offset = 0; // into FileSymbols::folded
    uint32_t length = 0;
    uint32_t nameStart = 0;
};

// What a query reads: each search text of a file once (a routine's
// declaration and its body share one), with the entries that have it.
// Kept apart from the rest, and small, so that a query runs through memory
// quickly.
struct SearchText {
    SearchKey key;
    WordStarts starts;        // of the folded text
    uint32_t firstHolder = 0; // the entries' numbers are holders[firstHolder, +holderCount)
    uint32_t holderCount = 0;
};

// The index entries of one file; `keys` runs beside `symbols`.
struct FileSymbols {
    std::string uri;
    std::string strings;
    std::string folded;
    std::vector<IndexedSymbol> symbols;
    std::vector<SearchKey> keys;
    std::vector<SearchText> texts;
    // The ByteMask of each text, beside `texts`: what a query reads of
    // every text, eight bytes each.
    std::vector<uint64_t> masks;
    std::vector<uint32_t> holders; // in each text's run, in entry order

    std::string_view Text(IndexedSymbol::Span span) const {
        return std::string_view(strings).substr(span.offset, span.length);
    }
};

// The entries of a document's outline, positions counted in `encoding`.
// The IMPLEMENTATION line is left out (every unit has one); its routines
// are kept. A method's search text is "Class.Name"; a bookmark's is
// "bookmark.Text", so the word "bookmark" finds every bookmark.
std::shared_ptr<const FileSymbols> IndexDocument(const TextDocument& document, std::string uri,
                                                 PositionEncoding encoding);

// What a query reads of a file, in one place for all files: a query
// would otherwise wait for each file's own fields.
struct SearchFile {
    const uint64_t* masks;
    const SearchText* texts;
    const char* folded;
    const FileSymbols* file;
    uint32_t count; // of masks and texts
    uint32_t foldedSize;
};

// One answer to a query.
struct SymbolMatch {
    std::shared_ptr<const FileSymbols> file;
    const IndexedSymbol* symbol = nullptr;
};

// The symbols of every indexed file, by path. Safe to use from several
// threads: queries share the index, changes take it alone. A file that is
// open in the editor is indexed from the editor's text, and what is read
// from disk meanwhile does not replace it.
class WorkspaceIndex {
public:
    // Entries read from disk; dropped when the file is open in the editor.
    void SetFromDisk(const std::string& path, std::shared_ptr<const FileSymbols> symbols);
    // Entries of a file open in the editor, kept until ReleaseFromEditor.
    void SetFromEditor(const std::string& path, std::shared_ptr<const FileSymbols> symbols);
    // The file is no longer open: its entries stay until the disk gives new
    // ones or Remove drops them.
    void ReleaseFromEditor(const std::string& path);

    // Drops `path` and every file below it, except files open in the editor
    // and those `keep` holds. `keep` is sorted.
    void RemoveUnder(const std::string& path, const std::vector<std::string>& keep = {});
    // Drops one file, also when it is open in the editor.
    void Remove(const std::string& path);

    // The best `limit` matches of `query`, best first: by tier, then shorter
    // names (case-folded), then path, then place in the file.
    std::vector<SymbolMatch> Query(std::string_view query, size_t limit) const;

    // Every entry named `foldedName` (case-folded, as FoldCase gives it),
    // in path order, at most `limit`. Looks only at the files that have an
    // entry of that name.
    std::vector<SymbolMatch> Named(std::string_view foldedName, size_t limit) const;

    size_t FileCount() const;
    size_t SymbolCount() const;
    // The indexed paths, in order (for tests and logs).
    std::vector<std::string> Paths() const;

private:
    struct Entry {
        std::shared_ptr<const FileSymbols> symbols;
        bool fromEditor = false;
        uint32_t number = 0; // the file's number in `names_`
    };

    using Files = std::map<std::string, Entry, std::less<>>;

    // The file of `path`, numbered when new; the lock is held.
    Files::iterator Add(const std::string& path);
    // Puts `symbols` in the place of what the file held, keeping `names_`
    // current; the lock is held.
    void Replace(Files::value_type& file, std::shared_ptr<const FileSymbols> symbols);
    // The same with the hashes of the names of `symbols`, made beforehand.
    void Replace(Files::value_type& file, std::shared_ptr<const FileSymbols> symbols,
                 const std::vector<uint32_t>& hashes);
    Files::iterator Erase(Files::iterator file);

    // The files that have entries, in path order, as a query takes them;
    // made at the first query after a change.
    struct Snapshot {
        std::vector<std::shared_ptr<const FileSymbols>> files;
        std::vector<SearchFile> search; // beside `files`
        size_t symbols = 0;
    };
    std::shared_ptr<const Snapshot> TakeSnapshot() const;

    mutable std::shared_mutex mutex_;
    Files files_;
    mutable std::mutex snapshotMutex_;
    mutable std::shared_ptr<const Snapshot> snapshot_;
    // The files that have entries of a name, by their numbers; a map's
    // elements stay where they are while they are in it.
    NameTable names_;
    std::vector<const Files::value_type*> numbered_;
    std::vector<uint32_t> freeNumbers_;
};

} // namespace kestrel::lsp
