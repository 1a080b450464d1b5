#include "WorkspaceIndex.h"

#include "SymbolMatcher.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <queue>

namespace kestrel::lsp {

namespace {

constexpr std::string_view kBookmark = "bookmark";

int32_t Clamp32(int64_t value) {
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

class FileSymbolsBuilder {
public:
    FileSymbolsBuilder(const TextDocument& document, std::string uri, PositionEncoding encoding)
        : document_(document), encoding_(encoding), file_(std::make_shared<FileSymbols>()) {
        file_->uri = std::move(uri);
    }

    // Adds `symbols` and their children; `container` is the name they stand
    // in, a class's when `inClass`.
    void Add(const std::vector<OutlineSymbol>& symbols, std::string_view container, bool inClass) {
        for (const OutlineSymbol& symbol : symbols) {
            if (symbol.kind == SymbolKind::Namespace) {
                Add(symbol.children, module_, false);
                continue;
            }
            if (symbol.kind == SymbolKind::Module && module_.empty()) {
                module_ = symbol.name;
            }
            AddOne(symbol, container, inClass);
            if (symbol.kind == SymbolKind::Module || symbol.kind == SymbolKind::Class) {
                Add(symbol.children, symbol.name, symbol.kind == SymbolKind::Class);
            } else {
                Add(symbol.children, container, inClass);
            }
        }
    }

    std::shared_ptr<const FileSymbols> Take() {
        file_->strings.shrink_to_fit();
        file_->symbols.shrink_to_fit();
        return std::move(file_);
    }

private:
    IndexedSymbol::Span Store(std::string_view text) {
        IndexedSymbol::Span span{static_cast<uint32_t>(file_->strings.size()),
                                 static_cast<uint32_t>(text.size())};
        file_->strings += text;
        return span;
    }

    void AddOne(const OutlineSymbol& symbol, std::string_view container, bool inClass) {
        IndexedSymbol entry;
        entry.kind = symbol.kind;
        entry.line = Clamp32(symbol.line);
        entry.from = Clamp32(document_.CharacterOf(symbol.line, symbol.selectionStart, encoding_));
        entry.to = Clamp32(document_.CharacterOf(symbol.line, symbol.selectionEnd, encoding_));

        std::string_view prefix;
        if (symbol.kind == SymbolKind::Key) {
            prefix = symbol.name == kBookmark ? std::string_view() : kBookmark;
        } else if (inClass) {
            prefix = container;
        }
        std::string text;
        if (!prefix.empty()) {
            text.reserve(prefix.size() + 1 + symbol.name.size());
            text += prefix;
            text += '.';
        }
        text += symbol.name;
        const std::string folded = FoldCase(text);
        const std::string foldedPrefix = prefix.empty() ? std::string() : FoldCase(prefix);

        entry.text = Store(text);
        entry.name = {entry.text.offset + static_cast<uint32_t>(text.size() - symbol.name.size()),
                      static_cast<uint32_t>(symbol.name.size())};
        entry.container = container.empty() ? IndexedSymbol::Span{} : Store(container);
        entry.folded = Store(folded);
        entry.nameStart = static_cast<uint32_t>(foldedPrefix.empty() ? 0 : foldedPrefix.size() + 1);
        entry.mask = ByteMask(folded);
        file_->symbols.push_back(entry);
    }

    const TextDocument& document_;
    PositionEncoding encoding_;
    std::shared_ptr<FileSymbols> file_;
    std::string module_;
};

// A match's place in the answer: smaller is better.
struct RankKey {
    uint32_t tierAndLength; // tier in the top bits, the name's length below
    uint32_t file;          // the file's place in path order
    uint32_t symbol;        // the entry's place in its file
    auto operator<=>(const RankKey&) const = default;
};

} // namespace

bool IsUnder(std::string_view path, std::string_view folder) {
    while (folder.size() > 1 && folder.ends_with('/')) {
        folder.remove_suffix(1);
    }
    if (!path.starts_with(folder)) {
        return false;
    }
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

std::shared_ptr<const FileSymbols> IndexDocument(const TextDocument& document, std::string uri,
                                                 PositionEncoding encoding) {
    FileSymbolsBuilder builder(document, std::move(uri), encoding);
    builder.Add(BuildOutline(document), {}, false);
    return builder.Take();
}

void WorkspaceIndex::SetFromDisk(const std::string& path,
                                 std::shared_ptr<const FileSymbols> symbols) {
    std::unique_lock lock(mutex_);
    Entry& entry = files_[path];
    if (!entry.fromEditor) {
        entry.symbols = std::move(symbols);
    }
}

void WorkspaceIndex::SetFromEditor(const std::string& path,
                                   std::shared_ptr<const FileSymbols> symbols) {
    std::unique_lock lock(mutex_);
    files_[path] = {std::move(symbols), true};
}

void WorkspaceIndex::ReleaseFromEditor(const std::string& path) {
    std::unique_lock lock(mutex_);
    if (const auto found = files_.find(path); found != files_.end()) {
        found->second.fromEditor = false;
    }
}

bool WorkspaceIndex::IsFromEditor(const std::string& path) const {
    std::shared_lock lock(mutex_);
    const auto found = files_.find(path);
    return found != files_.end() && found->second.fromEditor;
}

void WorkspaceIndex::RemoveUnder(const std::string& path, const std::vector<std::string>& keep) {
    std::unique_lock lock(mutex_);
    for (auto it = files_.lower_bound(path); it != files_.end() && it->first.starts_with(path);) {
        const bool remove = IsUnder(it->first, path) && !it->second.fromEditor &&
                            !std::binary_search(keep.begin(), keep.end(), it->first);
        it = remove ? files_.erase(it) : std::next(it);
    }
}

void WorkspaceIndex::Remove(const std::string& path) {
    std::unique_lock lock(mutex_);
    files_.erase(path);
}

std::vector<SymbolMatch> WorkspaceIndex::Query(std::string_view query, size_t limit) const {
    const SymbolQuery matcher(query);
    const uint64_t mask = matcher.Mask();
    std::vector<std::shared_ptr<const FileSymbols>> files;
    // The best `limit` so far, the worst on top.
    std::priority_queue<RankKey> best;
    {
        std::shared_lock lock(mutex_);
        files.reserve(files_.size());
        for (const auto& [path, entry] : files_) {
            files.push_back(entry.symbols);
        }
    }
    if (limit == 0) {
        return {};
    }
    for (uint32_t f = 0; f < files.size(); ++f) {
        const FileSymbols* file = files[f].get();
        if (file == nullptr) {
            continue;
        }
        const std::string_view strings = file->strings;
        for (uint32_t s = 0; s < file->symbols.size(); ++s) {
            const IndexedSymbol& symbol = file->symbols[s];
            if ((symbol.mask & mask) != mask) {
                continue;
            }
            const std::string_view folded =
                strings.substr(symbol.folded.offset, symbol.folded.length);
            if (!matcher.Matches(folded)) {
                continue;
            }
            const uint32_t length = std::min<uint32_t>(symbol.name.length, 0x3FFFFFFF);
            if (best.size() == limit && RankKey{length, f, s} > best.top()) {
                continue; // even an exact match would not make it in
            }
            const auto tier = static_cast<uint32_t>(matcher.Tier(
                strings.substr(symbol.text.offset, symbol.text.length), folded, symbol.nameStart));
            const RankKey key{(tier << 30) | length, f, s};
            if (best.size() < limit) {
                best.push(key);
            } else if (key < best.top()) {
                best.pop();
                best.push(key);
            }
        }
    }
    std::vector<SymbolMatch> matches(best.size());
    for (size_t i = matches.size(); i-- > 0; best.pop()) {
        const RankKey& key = best.top();
        matches[i] = {files[key.file], &files[key.file]->symbols[key.symbol]};
    }
    return matches;
}

size_t WorkspaceIndex::FileCount() const {
    std::shared_lock lock(mutex_);
    return files_.size();
}

size_t WorkspaceIndex::SymbolCount() const {
    std::shared_lock lock(mutex_);
    size_t count = 0;
    for (const auto& [path, entry] : files_) {
        count += entry.symbols ? entry.symbols->symbols.size() : 0;
    }
    return count;
}

std::vector<std::string> WorkspaceIndex::Paths() const {
    std::shared_lock lock(mutex_);
    std::vector<std::string> paths;
    paths.reserve(files_.size());
    for (const auto& [path, entry] : files_) {
        paths.push_back(path);
    }
    return paths;
}

} // namespace kestrel::lsp
