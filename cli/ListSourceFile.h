#pragma once

#include "ListerOptions.h"
#include "MappedFile.h"
#include "OrderedOutput.h"
#include "ReadFile.h"
#include "SourcePaths.h"
#include "SymbolRow.h"
#include "TagsFormat.h"
#include "TextLineReader.h"

#include <string>
#include <vector>

namespace kestrel {

// Regular files from this size on are mapped rather than read: no copy, no
// fresh pages to zero. Smaller ones are read into storage that is kept from
// file to file, which costs less than setting up and tearing down a mapping.
// Where several threads list, each unmapping also interrupts the other
// cores to drop the mapping there, so reading pays up to a larger size.
// (Measured over a source tree: alone, 64 KiB did best of 16, 64 and 256
// KiB; on two threads, 256 KiB of 64 KiB to 1 MiB, by 4-5%.)
inline constexpr size_t kMapFromAlone = size_t{64} << 10;
inline constexpr size_t kMapFromAmongThreads = size_t{256} << 10;

// What one thread keeps from file to file, so that listing a file allocates
// little once the first few are done.
struct ListerScratch {
    size_t mapFrom = kMapFromAlone;
    FileBytes bytes;
    MappedFile mapped; // a large regular file's bytes, while it is listed
    TextLineReader reader;
    std::string output;
    std::vector<SymbolRow> rows; // filled again for each file; more than its rows
};

// Reads, scans and formats one file into `slot` of `out`; an error about the
// path, or a file that cannot be listed, becomes one line for the error
// stream. Gives false in that case. In the ctags format the tags go to
// `ctags`, to be sorted with every other file's.
bool ListSourceFile(const SourcePath& path, const ListerOptions& options, ListerScratch& scratch,
                    OrderedOutput& out, size_t slot, CtagsLines* ctags = nullptr);

} // namespace kestrel
