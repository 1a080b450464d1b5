#include "features/Outline.h"

#include "features/SingleBlanks.h"

#include "CaseFold.h"
#include "KeywordSet.h"
#include "LineClassifier.h"
#include "ScanRows.h"
#include "SourceMarks.h"
#include "TextLineReader.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <tuple>
#include <unordered_map>

namespace kestrel::lsp {

namespace {

constexpr std::string_view kBlanks = " \t\r\n\f\v";

// The first character at or after `from` for which `test` holds, or npos:
// find_first_of and its kin call memchr a character, which costs more than
// the few comparisons of a blank or a delimiter.
template <class Test> size_t FirstWhere(std::string_view text, size_t from, Test test) {
    for (size_t i = from; i < text.size(); ++i) {
        if (test(text[i])) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsNotBlank(char c) {
    return !IsBlank(c);
}

// A routine heading's text after the class name (`Bar(X: Integer): Boolean;`)
// split into its name and the parameters, result and directives after it.
struct Heading {
    // Views into the text the heading was split from.
    std::string_view qualifier; // `TInner` of `TInner.Bar`, else empty
    std::string_view name;
    std::string detail;
};

Heading SplitHeading(std::string_view tail, bool withDetail = true) {
    tail = TrimBlanks(tail);
    size_t nameEnd = FirstWhere(
        tail, 0, [](char c) { return c == ' ' || c == '\t' || c == ':' || c == ';' || c == '('; });
    if (nameEnd == 0) {
        // An operator such as `:=`.
        nameEnd = FirstWhere(tail, 1,
                             [](char c) { return c == ' ' || c == '\t' || c == ';' || c == '('; });
    }
    Heading heading;
    std::string_view name = tail.substr(0, nameEnd);
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos) {
        heading.qualifier = name.substr(0, dot);
        name.remove_prefix(dot + 1);
    }
    heading.name = name;
    if (!withDetail) {
        return heading;
    }
    std::string_view detail =
        nameEnd == std::string_view::npos ? std::string_view{} : TrimBlanks(tail.substr(nameEnd));
    while (!detail.empty() && (detail.back() == ';' || IsBlankOrControl(detail.back()))) {
        detail.remove_suffix(1);
    }
    while (!detail.empty() && (detail.front() == ';' || IsBlankOrControl(detail.front()))) {
        detail.remove_prefix(1);
    }
    heading.detail = CollapseBlanks(detail);
    return heading;
}

// The text after a bookmark's marker: the comment's own text for
// `{//* note}`, what follows on the line for `{//*} note`.
std::string BookmarkName(std::string_view line, size_t marker) {
    std::string_view after = line.substr(marker + kBookmarkPrefix.size());
    if (after.starts_with('}')) {
        after.remove_prefix(1);
    } else {
        after = after.substr(0, after.find('}'));
    }
    std::string name = CollapseBlanks(after);
    return name.empty() ? std::string("bookmark") : name;
}

// A name case-folded: ASCII letters lowered at once, any other text folded
// the way Unicode folds it.
std::string FoldedKey(std::string_view name) {
    if (std::all_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return FoldName(name);
    }
    return CaseFoldUtf8(name);
}

// Builds the tree from the rows in source order.
class OutlineBuilder {
public:
    explicit OutlineBuilder(const TextDocument& document, bool details = true)
        : document_(document), details_(details) {}

    void Add(const SymbolRow& row, int64_t line) { Add(ViewOfRow(row), line); }
    void Add(const SymbolRowView& row, int64_t line) {
        line_ = line;
        lineStart_ = document_.LineStart(line);
        lineText_ = document_.LineText(line);
        switch (row.category) {
        case catHeader:
            AddHeader(row);
            break;
        case catBookmark:
            AddBookmark();
            break;
        default:
            AddRoutine(row);
            break;
        }
    }

    std::vector<OutlineSymbol> Take() { return std::move(roots_); }

private:
    std::vector<OutlineSymbol>& Container() {
        return container_ ? roots_[*container_].children : roots_;
    }
    // Where a bookmark goes: beside the routine before it, so a bookmark in
    // a method's body stands in that method's class.
    std::vector<OutlineSymbol>& BookmarkContainer() {
        return lastClass_ ? Container()[*lastClass_].children : Container();
    }

    OutlineSymbol Symbol(std::string name, SymbolKind kind, size_t from, size_t to) const {
        OutlineSymbol symbol;
        symbol.name = std::move(name);
        symbol.kind = kind;
        symbol.line = line_;
        symbol.selectionStart = lineStart_ + from;
        symbol.selectionEnd = lineStart_ + to;
        return symbol;
    }

    // Where `text` stands in the line at or after `from`; the trimmed line
    // when it is not there (a comment inside the heading can split it).
    std::pair<size_t, size_t> Find(std::string_view text, size_t from) const {
        const size_t at = text.empty() ? std::string_view::npos : lineText_.find(text, from);
        if (at != std::string_view::npos) {
            return {at, at + text.size()};
        }
        const size_t first = FirstWhere(lineText_, 0, IsNotBlank);
        if (first == std::string_view::npos) {
            return {0, 0};
        }
        return {first, lineText_.find_last_not_of(kBlanks) + 1};
    }

    // A heading's text after its first word: its name and what follows,
    // in storage kept from row to row.
    std::string_view Tail(const SymbolRowView& row) {
        tail_.assign(row.name).append(row.details);
        return tail_;
    }

    // The end of the line's first word, where a heading's name may begin.
    size_t AfterFirstWord() const {
        const size_t first = FirstWhere(lineText_, 0, IsNotBlank);
        return first == std::string_view::npos ? 0 : FirstWhere(lineText_, first, IsBlank);
    }

    // A unit's name whole, dots and all (`unit Tests.Generics.Lists;`),
    // from `from` on the line: the scanner's row keeps only what follows
    // the first dot.
    std::string_view DottedName(size_t from) const {
        const size_t start = std::min(FirstWhere(lineText_, from, IsNotBlank), lineText_.size());
        size_t end = start;
        while (end < lineText_.size() && (IsNameChar(lineText_[end]) || lineText_[end] == '.')) {
            ++end;
        }
        return lineText_.substr(start, end - start);
    }

    void AddHeader(const SymbolRowView& row) {
        const std::string_view word = row.className;
        if (SameName(word, "implementation")) {
            const auto [from, to] = Find(word, 0);
            roots_.push_back(Symbol(std::string(word), SymbolKind::Namespace, from, to));
            implementation_ = true;
            classes_.clear();
            lastClass_.reset();
            container_ = roots_.size() - 1;
            return;
        }
        if (row.name.empty() && word.starts_with('(')) {
            return; // "(bookmark)" written without a marker: nothing to show
        }
        const Heading heading = SplitHeading(Tail(row));
        std::string name(heading.name.empty() ? word : heading.name);
        if (const std::string_view dotted = DottedName(AfterFirstWord());
            dotted.find('.') != std::string_view::npos) {
            name = dotted;
        }
        const auto [from, to] = Find(name, AfterFirstWord());
        OutlineSymbol symbol = Symbol(std::move(name), SymbolKind::Module, from, to);
        symbol.detail = std::string(word);
        roots_.push_back(std::move(symbol));
        if (!implementation_) {
            container_ = roots_.size() - 1;
            classes_.clear();
            lastClass_.reset();
        }
    }

    void AddBookmark() {
        size_t marker = lineText_.find(kBookmarkPrefix);
        size_t markerLength = kBookmarkPrefix.size();
        if (marker == std::string_view::npos) {
            // The marker continues a comment opened on an earlier line.
            marker = lineText_.find(kBookmarkPrefix.substr(1));
            markerLength = kBookmarkPrefix.size() - 1;
        }
        if (marker == std::string_view::npos) {
            const auto [from, to] = Find({}, 0);
            BookmarkContainer().push_back(Symbol("bookmark", SymbolKind::Key, from, to));
            return;
        }
        const size_t close = lineText_.find('}', marker + markerLength);
        const size_t end = close == std::string_view::npos ? lineText_.size() : close + 1;
        const std::string name =
            markerLength == kBookmarkPrefix.size()
                ? BookmarkName(lineText_, marker)
                : BookmarkName(std::string("{").append(lineText_.substr(marker)), 0);
        BookmarkContainer().push_back(Symbol(name, SymbolKind::Key, marker, end));
    }

    void AddRoutine(const SymbolRowView& row) {
        const Heading heading = SplitHeading(Tail(row), details_);
        std::string className(row.className);
        if (!heading.qualifier.empty()) {
            className += '.';
            className += heading.qualifier;
        }
        SymbolKind kind = className.empty() ? SymbolKind::Function : SymbolKind::Method;
        if (row.routine == RoutineKind::Constructor || row.routine == RoutineKind::Destructor) {
            kind = SymbolKind::Constructor;
        } else if (row.routine == RoutineKind::Operator) {
            kind = SymbolKind::Operator;
        }
        size_t from = AfterFirstWord();
        if (!row.className.empty()) {
            from = Find(row.className, from).second;
        }
        std::string name(heading.name);
        if (name.empty()) {
            name = row.routine == RoutineKind::Function ? "function" : "procedure";
        }
        const auto [start, end] = Find(name, from);
        OutlineSymbol symbol = Symbol(std::move(name), kind, start, end);
        symbol.detail = heading.detail;
        if (className.empty()) {
            lastClass_.reset();
            Container().push_back(std::move(symbol));
            return;
        }
        ClassEntry(className).children.push_back(std::move(symbol));
    }

    // The Class entry of the current container, made at its first routine.
    // Pascal names ignore case, so `TFoo` and `tfoo` are one class.
    OutlineSymbol& ClassEntry(const std::string& className) {
        const std::string key = FoldedKey(className);
        std::vector<OutlineSymbol>& container = Container();
        if (const auto found = classes_.find(key); found != classes_.end()) {
            lastClass_ = found->second;
            return container[found->second];
        }
        const auto [from, to] = Find(className, AfterFirstWord());
        lastClass_ = container.size();
        classes_.emplace(key, container.size());
        container.push_back(Symbol(className, SymbolKind::Class, from, to));
        container.back().role = OutlineRole::Group;
        return container.back();
    }

    const TextDocument& document_;
    bool details_ = true; // routines' parameters and results
    std::vector<OutlineSymbol> roots_;
    std::optional<size_t> container_; // the root that takes entries; none at the start
    std::unordered_map<std::string, size_t> classes_; // the container's Class entries by name
    std::optional<size_t> lastClass_;                 // the Class entry of the routine before
    bool implementation_ = false;

    int64_t line_ = 0;
    size_t lineStart_ = 0;
    std::string_view lineText_;
    std::string tail_;
};

// The lines a type spans, from its name to its end.
std::pair<int64_t, int64_t> LinesOf(const TextDocument& document,
                                    const SourceStructure::TypeSpan& span) {
    const int64_t first = document.LineOf(span.nameStart);
    const size_t end = span.end == SourceStructure::kNone ? document.Text().size() : span.end;
    return {first, std::max(first, document.LineOf(end > 0 ? end - 1 : 0))};
}

SymbolKind KindOf(SourceStructure::TypeKind kind) {
    switch (kind) {
    case SourceStructure::TypeKind::Record:
        return SymbolKind::Struct;
    case SourceStructure::TypeKind::Interface:
        return SymbolKind::Interface;
    default:
        return SymbolKind::Class;
    }
}

void SortByLine(std::vector<OutlineSymbol>& symbols) {
    std::stable_sort(
        symbols.begin(), symbols.end(),
        [](const OutlineSymbol& a, const OutlineSymbol& b) { return a.line < b.line; });
}

// Puts the types of `structure` into the outline where they are declared,
// and moves the headings and bookmarks of their lines into them.
void PlaceTypes(std::vector<OutlineSymbol>& roots, const TextDocument& document,
                const SourceStructure& structure) {
    const bool unit = std::any_of(roots.begin(), roots.end(), [](const OutlineSymbol& root) {
        return root.kind == SymbolKind::Namespace;
    });
    // A unit's interface declares its routines; their bodies follow.
    for (OutlineSymbol& root : roots) {
        if (unit && root.kind == SymbolKind::Module) {
            for (OutlineSymbol& symbol : root.children) {
                if (IsRoutine(symbol.kind)) {
                    symbol.role = OutlineRole::Declaration;
                }
            }
        }
    }
    const size_t count = structure.types.size();
    if (count == 0) {
        return;
    }
    std::vector<OutlineSymbol> types(count);
    std::vector<int64_t> first(count);
    std::vector<int64_t> last(count);
    for (size_t t = 0; t < count; ++t) {
        const SourceStructure::TypeSpan& span = structure.types[t];
        OutlineSymbol& type = types[t];
        type.name = span.name;
        type.detail = span.detail;
        type.kind = KindOf(span.kind);
        type.role = OutlineRole::Declaration;
        type.line = document.LineOf(span.nameStart);
        type.selectionStart = span.nameStart;
        type.selectionEnd = span.nameEnd;
        std::tie(first[t], last[t]) = LinesOf(document, span);
    }
    // The innermost type holding a line: the last one begun at or before
    // it, or the nearest of its outer types that reaches the line.
    const auto typeOf = [&](int64_t line) {
        int t =
            static_cast<int>(std::upper_bound(first.begin(), first.end(), line) - first.begin()) -
            1;
        while (t >= 0 && last[static_cast<size_t>(t)] < line) {
            t = structure.types[static_cast<size_t>(t)].parent;
        }
        return t;
    };
    const auto takeMembers = [&](std::vector<OutlineSymbol>& symbols) {
        std::vector<OutlineSymbol> kept;
        kept.reserve(symbols.size());
        for (OutlineSymbol& symbol : symbols) {
            const int t =
                IsRoutine(symbol.kind) || symbol.kind == SymbolKind::Key ? typeOf(symbol.line) : -1;
            if (t < 0 || symbol.line == first[static_cast<size_t>(t)]) {
                kept.push_back(std::move(symbol));
                continue;
            }
            if (IsRoutine(symbol.kind)) {
                symbol.role = OutlineRole::Declaration;
                symbol.kind =
                    symbol.kind == SymbolKind::Function ? SymbolKind::Method : symbol.kind;
            }
            types[static_cast<size_t>(t)].children.push_back(std::move(symbol));
        }
        symbols = std::move(kept);
    };
    takeMembers(roots);
    for (OutlineSymbol& root : roots) {
        takeMembers(root.children);
    }
    // Nested types into their outer ones, the others into the entry whose
    // lines hold them; from the last, so that inner ones go first.
    std::vector<std::vector<OutlineSymbol>*> touched;
    std::vector<OutlineSymbol> outermost; // into the roots once the roots' children are done
    for (size_t t = count; t-- > 0;) {
        const int parent = structure.types[t].parent;
        std::vector<OutlineSymbol>* into = &outermost;
        if (parent >= 0) {
            into = &types[static_cast<size_t>(parent)].children;
        } else {
            for (OutlineSymbol& root : roots) {
                if (root.line <= first[t] &&
                    (root.kind == SymbolKind::Module || root.kind == SymbolKind::Namespace)) {
                    into = &root.children;
                }
            }
        }
        SortByLine(types[t].children);
        into->push_back(std::move(types[t]));
        if (into != &outermost && (touched.empty() || touched.back() != into)) {
            touched.push_back(into);
        }
    }
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (std::vector<OutlineSymbol>* symbols : touched) {
        SortByLine(*symbols);
    }
    if (!outermost.empty()) {
        std::move(outermost.begin(), outermost.end(), std::back_inserter(roots));
        SortByLine(roots);
    }
}

} // namespace

std::vector<OutlineSymbol> BuildOutline(const TextDocument& document) {
    return BuildOutline(document, ReadSourceStructure(document.Text(), Checkpoints::None));
}

std::vector<OutlineSymbol> BuildOutlineWithoutDetails(const TextDocument& document) {
    const SourceStructure structure =
        ReadSourceStructure(document.Text(), Checkpoints::None, StructureParts::TypeSpans);
    OutlineBuilder builder(document, false);
    OutlineRows::ForEachRow(
        document, [&builder](const SymbolRowView& row, int64_t line) { builder.Add(row, line); });
    std::vector<OutlineSymbol> outline = builder.Take();
    PlaceTypes(outline, document, structure);
    return outline;
}

void OutlineRows::ForEachRow(const TextDocument& document, const RowHandler& onRow) {
    if (document.HasLoneCarriageReturn()) {
        const OutlineRows rows(document);
        for (const Row& row : rows.Rows()) {
            onRow(ViewOfRow(row.row), row.line);
        }
        return;
    }
    OutlineRows scanner;
    scanner.Scan(document, 0, 0, nullptr, 0, onRow);
}

OutlineRows::OutlineRows(const TextDocument& document) {
    if (!document.HasLoneCarriageReturn()) {
        Scan(document, 0, 0, nullptr, 0, rows_);
        return;
    }
    // The scanner counts lines by LF; the protocol also ends a line at a
    // lone CR, so the scanner's line numbers need a map. Read whole each time.
    const std::string& text = document.Text();
    std::vector<int64_t> lineOfScanLine{0};
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        lineOfScanLine.push_back(document.LineOf(at + 1));
    }
    TextLineReader reader(text);
    ScanRows(reader, ReservedWords(), Headings::Extended, [&](SymbolRow&& row) {
        const auto index = static_cast<size_t>(row.line - 1);
        const int64_t line = lineOfScanLine[std::min(index, lineOfScanLine.size() - 1)];
        rows_.push_back({std::min(line, document.LineCount() - 1), std::move(row)});
    });
}

OutlineRows::OutlineRows(const TextDocument& document, OutlineRows&& old,
                         const TextDocument::Change& change) {
    if (old.states_.empty() || document.HasLoneCarriageReturn() || old.states_.size() < 2) {
        *this = OutlineRows(document);
        return;
    }
    // Lines before the changed one are as they were.
    const int64_t first = document.LineOf(change.start);
    // One state a line.
    const int64_t lineShift = document.LineCount() - static_cast<int64_t>(old.states_.size());
    states_ = std::move(old.states_);
    std::vector<uint8_t> oldStates(states_.begin() + first, states_.end());
    states_.resize(static_cast<size_t>(first) + 1);
    // The rows are changed in place: those of the lines read again take the
    // place of the old ones there, and the rest move by the lines added.
    rows_ = std::move(old.rows_);
    const size_t readFrom = static_cast<size_t>(
        std::partition_point(rows_.begin(), rows_.end(),
                             [first](const Row& row) { return row.line < first; }) -
        rows_.begin());
    // Lines of `oldStates` are counted from `first`.
    std::vector<Row> fresh;
    const int64_t stop = Scan(document, first, change.newEnd, &oldStates, lineShift + first, fresh);
    // The old rows that the ones read again stand for.
    const int64_t oldStop = stop < 0 ? std::numeric_limits<int64_t>::max() : stop - lineShift;
    const auto firstRow = rows_.begin() + static_cast<std::ptrdiff_t>(readFrom);
    const auto keep = std::partition_point(
        firstRow, rows_.end(), [oldStop](const Row& row) { return row.line < oldStop; });
    const bool sameRows =
        lineShift == 0 &&
        std::equal(fresh.begin(), fresh.end(), firstRow, keep, [](const Row& a, const Row& b) {
            return a.line == b.line && a.row.category == b.row.category &&
                   a.row.routine == b.row.routine && a.row.classRoutine == b.row.classRoutine &&
                   a.row.name == b.row.name && a.row.className == b.row.className &&
                   a.row.details == b.row.details;
        });
    reread_ = {first,     stop < 0 ? document.LineCount() : stop,
               lineShift, fresh.empty() && firstRow == keep,
               sameRows,  true};
    const size_t replaced = static_cast<size_t>(keep - firstRow);
    const size_t keepAt = readFrom + replaced;
    if (fresh.size() > replaced) {
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(keepAt), fresh.size() - replaced,
                     Row{});
    } else {
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(readFrom + fresh.size()),
                    rows_.begin() + static_cast<std::ptrdiff_t>(keepAt));
    }
    std::move(fresh.begin(), fresh.end(), rows_.begin() + static_cast<std::ptrdiff_t>(readFrom));
    if (stop < 0) {
        return; // read to the end
    }
    // From `stop` on, the old rows, moved to where their lines now stand.
    if (lineShift != 0) {
        for (size_t r = readFrom + fresh.size(); r < rows_.size(); ++r) {
            rows_[r].line += lineShift;
        }
    }
    states_.insert(states_.end(), oldStates.begin() + (oldStop - first) + 1, oldStates.end());
}

int64_t OutlineRows::Scan(const TextDocument& document, int64_t first, size_t stable,
                          const std::vector<uint8_t>* old, int64_t oldBase,
                          std::vector<Row>& rows) {
    return Scan(document, first, stable, old, oldBase,
                [&rows](const SymbolRowView& view, int64_t line) {
                    FillSymbolRow(view, rows.emplace_back(Row{line, {}}).row);
                });
}

int64_t OutlineRows::Scan(const TextDocument& document, int64_t first, size_t stable,
                          const std::vector<uint8_t>* old, int64_t oldBase,
                          const RowHandler& onRow) {
    const std::string& text = document.Text();
    TextLineReader reader;
    if (first == 0) {
        reader.Reset(text);
        states_.reserve(static_cast<size_t>(document.LineCount()));
        states_.assign(1, 0);
    } else {
        reader.Resume(text, document.LineStart(first), (states_[first] & kInComment) != 0);
    }
    bool inImplementation = (states_[first] & kInImplementation) != 0;
    const KeywordSet& keywords = ReservedKeywordSet();
    SymbolRowView view;
    std::string_view line;
    for (int64_t at = first;; ++at) {
        // A line whose break before it is old text too starts an old line.
        if (old != nullptr && at > first && document.LineStart(at) > stable) {
            const int64_t oldLine = at - oldBase;
            if (oldLine >= 0 && oldLine < static_cast<int64_t>(old->size()) &&
                (*old)[static_cast<size_t>(oldLine)] == states_.back()) {
                return at;
            }
        }
        const bool more = reader.Next(line);
        if (ClassifySourceLine(line, static_cast<int32_t>(at + 1), inImplementation, keywords, view,
                               Headings::Extended, reader.LastTextMayHoldBrace())) {
            onRow(view, at);
        }
        if (!more || at + 1 >= document.LineCount()) {
            return -1;
        }
        states_.push_back(static_cast<uint8_t>((reader.InComment() ? kInComment : 0) |
                                               (inImplementation ? kInImplementation : 0)));
    }
}

std::vector<TypeShape> TypeShapes(const TextDocument& document, const SourceStructure& structure) {
    std::vector<TypeShape> shapes;
    shapes.reserve(structure.types.size());
    for (const SourceStructure::TypeSpan& span : structure.types) {
        const auto [first, last] = LinesOf(document, span);
        shapes.push_back({span.name, span.detail, span.kind, span.parent, first, last});
    }
    return shapes;
}

bool MoveTypeShapes(std::vector<TypeShape>& shapes, const TextDocument& document,
                    const SourceStructure& structure,
                    const std::function<int64_t(int64_t)>& moved) {
    if (shapes.size() != structure.types.size()) {
        return false;
    }
    for (size_t t = 0; t < shapes.size(); ++t) {
        const TypeShape& shape = shapes[t];
        const SourceStructure::TypeSpan& span = structure.types[t];
        const auto [first, last] = LinesOf(document, span);
        if (first != moved(shape.firstLine) || last != moved(shape.lastLine) ||
            shape.kind != span.kind || shape.parent != span.parent || shape.name != span.name ||
            shape.detail != span.detail) {
            return false;
        }
    }
    for (TypeShape& shape : shapes) {
        shape.firstLine = moved(shape.firstLine);
        shape.lastLine = moved(shape.lastLine);
    }
    return true;
}

std::vector<OutlineSymbol> RowEntries(const TextDocument& document, const OutlineRows::Row& row) {
    OutlineBuilder builder(document);
    builder.Add(row.row, row.line);
    return builder.Take();
}

std::vector<OutlineSymbol> BuildOutline(const TextDocument& document,
                                        const SourceStructure& structure) {
    return BuildOutline(document, OutlineRows(document), structure);
}

std::vector<OutlineSymbol> BuildOutline(const TextDocument& document, const OutlineRows& rows,
                                        const SourceStructure& structure) {
    OutlineBuilder builder(document);
    for (const OutlineRows::Row& row : rows.Rows()) {
        builder.Add(row.row, row.line);
    }
    std::vector<OutlineSymbol> outline = builder.Take();
    PlaceTypes(outline, document, structure);
    return outline;
}

} // namespace kestrel::lsp
