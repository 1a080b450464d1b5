#pragma once

#include "SymbolRow.h"
#include "TextEncoding.h"

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// One kind of tag: its letter and name in a tags file.
struct TagKind {
    char letter;
    const char* name;
    const char* description;
};

// Every kind a tags file of ours can hold, in the order the header lists them.
const std::vector<TagKind>& TagKinds();

// A symbol as an editor's tag: the bare name, the class it belongs to (empty
// for none), its kind, and whether it defines the symbol (a routine's body,
// a unit line, a bookmark) or only declares it.
struct Tag {
    std::string name;
    std::string className;
    const TagKind* kind = nullptr;
    bool definition = true;
};

// The tag of a row, or false for a row that names nothing (the
// IMPLEMENTATION line). Texts are decoded by `encoding` to UTF-8.
bool TagOfRow(const SymbolRow& row, TextEncoding encoding, Tag& tag);

// Tag lines of every file, sorted at the end as a tags file wants them:
// by name, byte for byte, then definitions before declarations, then in
// listing order.
class CtagsLines {
public:
    // Adds the tags of the rows of the file in listing position `order`.
    void Add(size_t order, std::string_view path, std::span<const SymbolRow> rows,
             TextEncoding encoding);
    // The whole file: the header lines, then every tag line.
    std::string Finish();

private:
    struct Line {
        std::string text; // the name is the text up to its first tab
        bool declaration;
        size_t order;
        int32_t line;
    };
    std::mutex mutex_;
    std::vector<Line> lines_;
};

// Whether `path` can stand in a tags file: Vim reads a file name up to the
// next tab or line end, and Emacs up to a comma before the size.
bool NameFitsTagsFile(std::string_view path);

// One file's section of an Emacs TAGS file: its rows with, for each, the
// start of its source line (from `bytes`, the file's contents) up to the
// name, the name, the line number and the line's byte offset.
void AppendEtagsSection(std::string& out, std::string_view path, std::string_view bytes,
                        std::span<const SymbolRow> rows, TextEncoding encoding);

} // namespace kestrel
