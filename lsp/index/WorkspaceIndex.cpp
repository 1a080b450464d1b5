#include "index/WorkspaceIndex.h"

#include "index/LocalPaths.h"
#include "index/SymbolMatcher.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <utility>

namespace kestrel::lsp {

namespace {

constexpr std::string_view kBookmark = "bookmark";

int32_t Clamp32(int64_t value) {
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

// What an index of one file is built in, kept from file to file: the
// file's fields are then copied out at their final sizes, so that they take
// one allocation each and nothing grows or shrinks.
struct BuildScratch {
    FileSymbols file;              // but its uri and holders
    std::vector<uint32_t> textOf;  // each entry's text
    std::vector<uint32_t> firstOf; // each text's first entry
    std::vector<uint32_t> slots;   // texts by hash, numbered from 1; 0 is empty

    void Clear() {
        // A very large file's storage is given back rather than kept.
        constexpr size_t kKeptEntries = size_t{1} << 12;
        if (file.symbols.capacity() > kKeptEntries) {
            *this = BuildScratch();
        }
        file.strings.clear();
        file.folded.clear();
        file.symbols.clear();
        file.keys.clear();
        file.texts.clear();
        file.masks.clear();
        textOf.clear();
        firstOf.clear();
    }
};

// The scratches not in use. A builder takes one for its life and puts it
// back, so that there are as many as builders at once. They are not kept
// per thread: freeing a thread's own storage as it exits crashed the
// Windows build now and then, under Wine.
class ScratchPool {
public:
    std::unique_ptr<BuildScratch> Take() {
        std::lock_guard lock(mutex_);
        if (free_.empty()) {
            return std::make_unique<BuildScratch>();
        }
        std::unique_ptr<BuildScratch> scratch = std::move(free_.back());
        free_.pop_back();
        return scratch;
    }
    void PutBack(std::unique_ptr<BuildScratch> scratch) {
        std::lock_guard lock(mutex_);
        free_.push_back(std::move(scratch));
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<BuildScratch>> free_;
};

// Never destroyed, so that no thread still building at exit finds it gone.
ScratchPool& Scratches() {
    static auto* const pool = new ScratchPool;
    return *pool;
}

// A scratch taken from the pool for as long as this lives.
class ScratchLease {
public:
    ScratchLease() : scratch_(Scratches().Take()) {}
    ~ScratchLease() { Scratches().PutBack(std::move(scratch_)); }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;

    BuildScratch& operator*() const { return *scratch_; }

private:
    std::unique_ptr<BuildScratch> scratch_;
};

template <typename T> std::vector<T> ExactCopy(const std::vector<T>& from) {
    return std::vector<T>(from.begin(), from.end());
}

class FileSymbolsBuilder {
public:
    FileSymbolsBuilder(const TextDocument& document, std::string uri, PositionEncoding encoding)
        : scratch_(*lease_), document_(document), encoding_(encoding), uri_(std::move(uri)) {
        scratch_.Clear();
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
            const bool type = IsType(symbol.kind);
            if (symbol.kind == SymbolKind::Module || type) {
                Add(symbol.children, symbol.name, type);
            } else {
                Add(symbol.children, container, inClass);
            }
        }
    }

    std::shared_ptr<const FileSymbols> Take() {
        GroupTexts();
        auto file = std::make_shared<FileSymbols>();
        file->uri = std::move(uri_);
        file->strings = std::string(scratch_.file.strings);
        file->folded = std::string(scratch_.file.folded);
        file->symbols = ExactCopy(scratch_.file.symbols);
        file->keys = ExactCopy(scratch_.file.keys);
        file->texts = ExactCopy(scratch_.file.texts);
        file->masks = ExactCopy(scratch_.file.masks);
        file->holders.resize(scratch_.file.symbols.size());
        for (size_t s = 0; s < scratch_.file.symbols.size(); ++s) {
            SearchText& text = file->texts[scratch_.textOf[s]];
            file->holders[text.firstHolder + text.holderCount++] = static_cast<uint32_t>(s);
        }
        return file;
    }

private:
    std::string_view Text(IndexedSymbol::Span span) const { return scratch_.file.Text(span); }

    // One search text for the entries that have the same text (as written)
    // and name in it: a query matches it once for all of them. The texts
    // are found in a table of open addressing, numbered in the order of
    // their first entries; each text's run of holders is counted, its
    // holders left to Take.
    void GroupTexts() {
        BuildScratch& s = scratch_;
        const size_t count = s.file.symbols.size();
        size_t size = 16;
        while (size < 2 * count) {
            size *= 2;
        }
        s.slots.assign(size, 0);
        s.textOf.resize(count);
        for (size_t e = 0; e < count; ++e) {
            const SearchKey& key = s.file.keys[e];
            const std::string_view text = Text(s.file.symbols[e].text);
            size_t slot = (std::hash<std::string_view>{}(text) ^ key.nameStart) & (size - 1);
            for (;; slot = (slot + 1) & (size - 1)) {
                const uint32_t number = s.slots[slot];
                if (number == 0) {
                    s.slots[slot] = static_cast<uint32_t>(s.file.texts.size()) + 1;
                    s.firstOf.push_back(static_cast<uint32_t>(e));
                    const std::string_view folded =
                        std::string_view(s.file.folded).substr(key.offset, key.length);
                    s.file.texts.push_back({key, WordStartsOf(text, folded), 0, 0});
                    s.file.masks.push_back(ByteMask(folded));
                    break;
                }
                const uint32_t first = s.firstOf[number - 1];
                if (s.file.keys[first].nameStart == key.nameStart &&
                    Text(s.file.symbols[first].text) == text) {
                    break;
                }
            }
            const uint32_t number = s.slots[slot] - 1;
            s.textOf[e] = number;
            ++s.file.texts[number].holderCount;
        }
        uint32_t first = 0;
        for (SearchText& text : s.file.texts) {
            text.firstHolder = first;
            first += std::exchange(text.holderCount, 0);
        }
    }

    IndexedSymbol::Span Store(std::string_view text) {
        IndexedSymbol::Span span{static_cast<uint32_t>(scratch_.file.strings.size()),
                                 static_cast<uint32_t>(text.size())};
        scratch_.file.strings += text;
        return span;
    }

    void AddOne(const OutlineSymbol& symbol, std::string_view container, bool inClass) {
        IndexedSymbol entry;
        entry.kind = symbol.kind;
        entry.role = symbol.role;
        entry.line = Clamp32(symbol.line);
        entry.from = Clamp32(document_.CharacterOf(symbol.line, symbol.selectionStart, encoding_));
        entry.to = Clamp32(document_.CharacterOf(symbol.line, symbol.selectionEnd, encoding_));

        std::string_view prefix;
        if (symbol.kind == SymbolKind::Key) {
            prefix = symbol.name == kBookmark ? std::string_view() : kBookmark;
        } else if (inClass) {
            prefix = container;
        }
        // The text goes straight into the file's strings, and so does its
        // folding when it is ASCII (folding keeps its length then).
        std::string& strings = scratch_.file.strings;
        std::string& foldedTexts = scratch_.file.folded;
        entry.text.offset = static_cast<uint32_t>(strings.size());
        if (!prefix.empty()) {
            strings += prefix;
            strings += '.';
        }
        strings += symbol.name;
        entry.text.length = static_cast<uint32_t>(strings.size() - entry.text.offset);
        entry.name = {static_cast<uint32_t>(strings.size() - symbol.name.size()),
                      static_cast<uint32_t>(symbol.name.size())};
        const std::string_view text = Text(entry.text);
        SearchKey key{static_cast<uint32_t>(foldedTexts.size()), entry.text.length,
                      prefix.empty() ? 0 : static_cast<uint32_t>(prefix.size() + 1)};
        // Copied whole and folded in place: no byte with its top bit set
        // seen means ASCII.
        foldedTexts += text;
        unsigned high = 0;
        char* const folding = foldedTexts.data() + key.offset;
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = folding[i];
            high |= static_cast<unsigned char>(c);
            folding[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        if (high >= 0x80) {
            foldedTexts.resize(key.offset);
            const std::string folded = FoldCase(text);
            key.length = static_cast<uint32_t>(folded.size());
            key.nameStart = prefix.empty() ? 0 : static_cast<uint32_t>(FoldCase(prefix).size() + 1);
            foldedTexts += folded;
        }
        // Entries one after another mostly stand in the same container: it
        // is stored once for them.
        if (!container.empty() && Text(lastContainer_) != container) {
            lastContainer_ = Store(container);
        }
        entry.container = container.empty() ? IndexedSymbol::Span{} : lastContainer_;
        scratch_.file.symbols.push_back(entry);
        scratch_.file.keys.push_back(key);
    }

    ScratchLease lease_;
    BuildScratch& scratch_;
    const TextDocument& document_;
    PositionEncoding encoding_;
    std::string uri_;
    std::string_view module_; // the outline's, which outlives the builder's use
    IndexedSymbol::Span lastContainer_;
};

std::string_view FoldedName(const FileSymbols& file, size_t symbol) {
    const SearchKey& key = file.keys[symbol];
    return std::string_view(file.folded)
        .substr(key.offset + key.nameStart, key.length - key.nameStart);
}

uint32_t NameHash(std::string_view foldedName) {
    const uint64_t hash = std::hash<std::string_view>{}(foldedName);
    return static_cast<uint32_t>(hash ^ (hash >> 32));
}

// The hashes of the names that a file's entries have, each once.
std::vector<uint32_t> NameHashes(const FileSymbols& file) {
    std::vector<uint32_t> hashes;
    hashes.reserve(file.keys.size());
    for (size_t s = 0; s < file.keys.size(); ++s) {
        hashes.push_back(NameHash(FoldedName(file, s)));
    }
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
    return hashes;
}

// Below this many entries a query runs on one thread.
constexpr size_t kSymbolsPerThread = 50'000;
constexpr uint32_t kMaxLength = (uint32_t{1} << 30) - 1;

void Prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

// Files are handed to a query's threads this many at a time, as each
// finishes its last: a thread that another program holds back takes fewer.
constexpr size_t kFilesPerTake = 64;

// A query reads the masks, texts and folded texts of each file in turn:
// they are fetched this many files ahead, their first lines at least (of a
// large file, the lines ahead are fetched as it is read), so that the query
// does not wait for memory at every file's start.
constexpr size_t kFilesAhead = 2;
constexpr size_t kTextsAhead = 64;
constexpr size_t kFoldedAhead = 2048;

void PrefetchLines(const void* address, size_t bytes) {
    const auto* at = static_cast<const char*>(address);
    for (size_t line = 0; line < bytes; line += 64) {
        Prefetch(at + line);
    }
}

// A match's place in the answer: smaller is better.
struct RankKey {
    uint32_t tierAndLength; // tier in the top bits, the name's length below
    uint32_t file;          // the file's place in path order
    uint32_t symbol;        // the entry's place in its file
    auto operator<=>(const RankKey&) const = default;
};

// The best `limit` matches among the files one thread of a query is given,
// unordered. The threads of a query tell each other the worst tier and
// length that their full answers hold (`bound`): anything worse makes no
// thread's answer.
class Ranking {
public:
    Ranking(const SymbolQuery& matcher, size_t limit, std::atomic<uint32_t>& bound)
        : matcher_(matcher), mask_(matcher.Mask()), limit_(limit), bound_(bound) {}

    // Ranks the entries of file number `f`.
    void Rank(const SearchFile& file, uint32_t f) {
        const FileSymbols& symbols = *file.file;
        const std::string_view foldedTexts(file.folded, file.foldedSize);
        for (size_t t = 0; t < file.count; ++t) {
            if ((file.masks[t] & mask_) != mask_) {
                continue;
            }
            const SearchText& text = file.texts[t];
            const SearchKey& search = text.key;
            if (t + kTextsAhead < file.count) {
                PrefetchLines(file.texts + t + kTextsAhead, 2 * sizeof(SearchText));
            }
            if (search.offset + kFoldedAhead + 64 < foldedTexts.size()) {
                PrefetchLines(foldedTexts.data() + search.offset + kFoldedAhead, 128);
            }
            const uint32_t length =
                std::min<uint32_t>(search.length - search.nameStart, kMaxLength);
            // Once the answer is full, most texts could only be subsequence
            // matches too long to make it: those are not matched at all.
            const bool mayStartWord = matcher_.MayStartWord(text.starts);
            if (!mayStartWord && !MayRank(MatchTier::Subsequence, length, f)) {
                continue;
            }
            const std::string_view folded = foldedTexts.substr(search.offset, search.length);
            const MatchTier tier =
                mayStartWord ? matcher_.BestTier(folded, search.nameStart) : MatchTier::Subsequence;
            if (!MayRank(tier, length, f) ||
                !matcher_.Matches(folded, foldedTexts.size() - search.offset)) {
                continue;
            }
            RankHolders(symbols, text, folded, tier, length, f);
        }
    }

    std::vector<RankKey> Keys() {
        std::vector<RankKey> keys;
        keys.reserve(best_.size());
        for (; !best_.empty(); best_.pop()) {
            keys.push_back(best_.top());
        }
        return keys;
    }

private:
    // Whether an entry of file `f` that ranks at best as `tier` could still
    // make the answer.
    bool MayRank(MatchTier tier, uint32_t length, uint32_t f) const {
        const uint32_t tierAndLength = (static_cast<uint32_t>(tier) << 30) | length;
        return tierAndLength <= bound_.load(std::memory_order_relaxed) &&
               (best_.size() < limit_ || RankKey{tierAndLength, f, 0} < best_.top());
    }

    // Ranks the entries that hold a matching text, in two steps: the cheap
    // tests came first, the search for word starts is made only for what
    // could still make it in. The entries of a text come in order, each
    // ranked below the one before.
    void RankHolders(const FileSymbols& symbols, const SearchText& text, std::string_view folded,
                     MatchTier tier, uint32_t length, uint32_t f) {
        bool final = tier != MatchTier::WordStart;
        for (uint32_t h = text.firstHolder; h < text.firstHolder + text.holderCount; ++h) {
            const uint32_t s = symbols.holders[h];
            const auto rank = [&] {
                return RankKey{(static_cast<uint32_t>(tier) << 30) | length, f, s};
            };
            if (best_.size() == limit_ && rank() > best_.top()) {
                break;
            }
            if (!final) {
                tier = matcher_.Tier(symbols.Text(symbols.symbols[s].text), folded,
                                     text.key.nameStart);
                final = true;
            }
            const RankKey key = rank();
            if (best_.size() < limit_) {
                best_.push(key);
            } else if (key < best_.top()) {
                best_.pop();
                best_.push(key);
            } else {
                continue;
            }
            if (best_.size() == limit_) {
                TellBound();
            }
        }
    }

    void TellBound() {
        const uint32_t worst = best_.top().tierAndLength;
        uint32_t known = bound_.load(std::memory_order_relaxed);
        while (worst < known && !bound_.compare_exchange_weak(known, worst)) {
        }
    }

    const SymbolQuery& matcher_;
    const uint64_t mask_;
    const size_t limit_;
    std::atomic<uint32_t>& bound_;
    std::priority_queue<RankKey> best_; // the worst on top
};

// One thread's share of a query: the files it takes from `nextFile`, a
// batch at a time, ranked.
std::vector<RankKey> Rank(const std::vector<SearchFile>& files, std::atomic<size_t>& nextFile,
                          const SymbolQuery& matcher, size_t limit, std::atomic<uint32_t>& bound) {
    Ranking ranking(matcher, limit, bound);
    for (;;) {
        const size_t first = nextFile.fetch_add(kFilesPerTake, std::memory_order_relaxed);
        if (first >= files.size()) {
            break;
        }
        const size_t last = std::min(first + kFilesPerTake, files.size());
        for (auto f = static_cast<uint32_t>(first); f < last; ++f) {
            if (f + kFilesAhead < last) {
                const SearchFile& ahead = files[f + kFilesAhead];
                PrefetchLines(ahead.masks, std::min<size_t>(ahead.count * sizeof(uint64_t), 1024));
                PrefetchLines(ahead.texts,
                              std::min<size_t>(ahead.count * sizeof(SearchText), 2048));
                PrefetchLines(ahead.folded, std::min<size_t>(ahead.foldedSize, kFoldedAhead));
            }
            ranking.Rank(files[f], f);
        }
    }
    return ranking.Keys();
}

} // namespace

std::shared_ptr<const FileSymbols> IndexDocument(const TextDocument& document, std::string uri,
                                                 PositionEncoding encoding) {
    FileSymbolsBuilder builder(document, std::move(uri), encoding);
    builder.Add(BuildOutlineWithoutDetails(document), {}, false);
    return builder.Take();
}

WorkspaceIndex::Files::iterator WorkspaceIndex::Add(const std::string& path) {
    const auto [file, added] = files_.try_emplace(path);
    if (added) {
        if (freeNumbers_.empty()) {
            file->second.number = static_cast<uint32_t>(numbered_.size());
            numbered_.push_back(&*file);
        } else {
            file->second.number = freeNumbers_.back();
            freeNumbers_.pop_back();
            numbered_[file->second.number] = &*file;
        }
    }
    return file;
}

void WorkspaceIndex::Replace(Files::value_type& file, std::shared_ptr<const FileSymbols> symbols) {
    const std::vector<uint32_t> hashes = symbols ? NameHashes(*symbols) : std::vector<uint32_t>();
    Replace(file, std::move(symbols), hashes);
}

void WorkspaceIndex::Replace(Files::value_type& file, std::shared_ptr<const FileSymbols> symbols,
                             const std::vector<uint32_t>& hashes) {
    {
        std::lock_guard lock(snapshotMutex_);
        snapshot_.reset();
    }
    Entry& entry = file.second;
    if (entry.symbols) {
        for (const uint32_t hash : NameHashes(*entry.symbols)) {
            names_.Erase(hash, entry.number);
        }
    }
    for (const uint32_t hash : hashes) {
        names_.Insert(hash, entry.number);
    }
    entry.symbols = std::move(symbols);
}

WorkspaceIndex::Files::iterator WorkspaceIndex::Erase(Files::iterator file) {
    Replace(*file, nullptr);
    numbered_[file->second.number] = nullptr;
    freeNumbers_.push_back(file->second.number);
    return files_.erase(file);
}

void WorkspaceIndex::SetFromDisk(const std::string& path,
                                 std::shared_ptr<const FileSymbols> symbols) {
    // What takes no lock is done before it: the indexer's threads wait for
    // one another only to put the entries in.
    const std::string key = PathKey(path);
    const std::vector<uint32_t> hashes = symbols ? NameHashes(*symbols) : std::vector<uint32_t>();
    std::unique_lock lock(mutex_);
    Files::value_type& file = *Add(key);
    if (!file.second.fromEditor) {
        Replace(file, std::move(symbols), hashes);
    }
}

void WorkspaceIndex::SetFromEditor(const std::string& path,
                                   std::shared_ptr<const FileSymbols> symbols) {
    std::unique_lock lock(mutex_);
    Files::value_type& file = *Add(PathKey(path));
    file.second.fromEditor = true;
    Replace(file, std::move(symbols));
}

void WorkspaceIndex::ReleaseFromEditor(const std::string& path) {
    std::unique_lock lock(mutex_);
    if (const auto found = files_.find(PathKey(path)); found != files_.end()) {
        found->second.fromEditor = false;
    }
}

void WorkspaceIndex::RemoveUnder(const std::string& given,
                                 const std::vector<std::string>& givenKeep) {
    // Files are kept by their paths' keys (one for every spelling of a
    // path, on Windows), and so is what to keep compared.
    const std::string path = PathKey(given);
    std::vector<std::string> keyedKeep;
    if (kHostPathStyle == PathStyle::Windows) {
        for (const std::string& kept : givenKeep) {
            keyedKeep.push_back(PathKey(kept));
        }
        std::sort(keyedKeep.begin(), keyedKeep.end());
    }
    const std::vector<std::string>& keep =
        kHostPathStyle == PathStyle::Windows ? keyedKeep : givenKeep;
    std::unique_lock lock(mutex_);
    for (auto it = files_.lower_bound(path); it != files_.end() && it->first.starts_with(path);) {
        const bool remove = IsUnder(it->first, path) && !it->second.fromEditor &&
                            !std::binary_search(keep.begin(), keep.end(), it->first);
        it = remove ? Erase(it) : std::next(it);
    }
}

void WorkspaceIndex::Remove(const std::string& path) {
    std::unique_lock lock(mutex_);
    if (const auto found = files_.find(PathKey(path)); found != files_.end()) {
        Erase(found);
    }
}

std::shared_ptr<const WorkspaceIndex::Snapshot> WorkspaceIndex::TakeSnapshot() const {
    std::shared_lock lock(mutex_);
    std::lock_guard snapshotLock(snapshotMutex_);
    if (!snapshot_) {
        auto snapshot = std::make_shared<Snapshot>();
        snapshot->files.reserve(files_.size());
        snapshot->search.reserve(files_.size());
        for (const auto& [path, entry] : files_) {
            if (entry.symbols) {
                const FileSymbols& file = *entry.symbols;
                snapshot->files.push_back(entry.symbols);
                snapshot->search.push_back({file.masks.data(), file.texts.data(),
                                            file.folded.data(), &file,
                                            static_cast<uint32_t>(file.masks.size()),
                                            static_cast<uint32_t>(file.folded.size())});
                snapshot->symbols += file.symbols.size();
            }
        }
        snapshot_ = std::move(snapshot);
    }
    return snapshot_;
}

std::vector<SymbolMatch> WorkspaceIndex::Query(std::string_view query, size_t limit) const {
    const std::shared_ptr<const Snapshot> snapshot = TakeSnapshot();
    const std::vector<std::shared_ptr<const FileSymbols>>& files = snapshot->files;
    const size_t symbols = snapshot->symbols;
    if (limit == 0) {
        return {};
    }
    // A large index is searched on every core, each thread taking files
    // until none are left.
    const SymbolQuery matcher(query);
    const size_t shares =
        symbols < kSymbolsPerThread
            ? 1
            : std::clamp<size_t>(symbols / kSymbolsPerThread, 1,
                                 std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::vector<RankKey>> best(shares);
    std::atomic<size_t> nextFile = 0;
    std::atomic<uint32_t> bound = UINT32_MAX;
    {
        std::vector<std::jthread> helpers;
        for (size_t share = 1; share < shares; ++share) {
            helpers.emplace_back([&, share] {
                best[share] = Rank(snapshot->search, nextFile, matcher, limit, bound);
            });
        }
        best[0] = Rank(snapshot->search, nextFile, matcher, limit, bound);
    }
    std::vector<RankKey> all = std::move(best[0]);
    for (size_t share = 1; share < shares; ++share) {
        all.insert(all.end(), best[share].begin(), best[share].end());
    }
    const size_t count = std::min(limit, all.size());
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count), all.end());
    std::vector<SymbolMatch> matches;
    matches.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto& file = files[all[i].file];
        matches.push_back({file, &file->symbols[all[i].symbol]});
    }
    return matches;
}

std::vector<SymbolMatch> WorkspaceIndex::Named(std::string_view foldedName, size_t limit) const {
    std::vector<std::shared_ptr<const FileSymbols>> files;
    {
        std::shared_lock lock(mutex_);
        std::vector<const Files::value_type*> holders;
        names_.ForEach(NameHash(foldedName),
                       [&](uint32_t number) { holders.push_back(numbered_[number]); });
        std::sort(holders.begin(), holders.end(),
                  [](const auto* a, const auto* b) { return a->first < b->first; });
        files.reserve(holders.size());
        for (const Files::value_type* holder : holders) {
            files.push_back(holder->second.symbols);
        }
    }
    std::vector<SymbolMatch> matches;
    for (const auto& file : files) {
        for (size_t s = 0; s < file->keys.size(); ++s) {
            if (FoldedName(*file, s) == foldedName) {
                matches.push_back({file, &file->symbols[s]});
                if (matches.size() == limit) {
                    return matches;
                }
            }
        }
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
