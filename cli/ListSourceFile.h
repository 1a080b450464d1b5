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

// What one thread keeps from file to file, so that listing a file allocates
// little once the first few are done.
struct ListerScratch {
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
