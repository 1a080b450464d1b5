#pragma once

#include "FileIdentity.h"
#include "LineClassifier.h"
#include "SymbolCategory.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kestrel {

enum class OutputFormat { Table, Json, Ctags, Etags };

struct ListerOptions {
    OutputFormat format = OutputFormat::Table;
    // -o: the file to write instead of standard output.
    std::string output;
    // Set once that file is open: an input that turns out to be the same
    // file (met in a folder walk or a list of paths) is not read.
    std::optional<FileIdentity> outputIdentity;
    bool help = false;
    bool version = false;
    Headings headings = Headings::Classic; // --all: the extended headings
    // Which of the filterable categories to print, by category value.
    std::array<bool, kCategoryCount> show{true, true, true, true};
    std::vector<std::string> files;
    // -R: folders among the files are walked for Pascal sources.
    bool recursive = false;
    // --files-from: a file of paths, one a line ("-" for standard input).
    std::string filesFrom;
    // -j: files scanned at once; 0 until set, then at least 1.
    unsigned jobs = 0;

    // Whether each row names its file: several files, a folder or a list.
    bool NamesFiles() const { return files.size() > 1 || recursive || !filesFrom.empty(); }

    bool Tags() const { return format == OutputFormat::Ctags || format == OutputFormat::Etags; }

    // Header rows always print.
    bool Shows(SymbolCategory category) const { return category == catHeader || show[category]; }
};

// Parses the command line (without the program name). Returns false with a
// message in `error` for an option it does not know or a bad value.
bool ParseListerOptions(const std::vector<std::string>& args, ListerOptions& options,
                        std::string& error);

const char* ListerUsage();

} // namespace kestrel
