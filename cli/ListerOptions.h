#pragma once

#include "LineClassifier.h"
#include "SymbolCategory.h"

#include <array>
#include <string>
#include <vector>

namespace kestrel {

struct ListerOptions {
    bool json = false;
    bool help = false;
    Headings headings = Headings::Classic; // --all: the extended headings
    // Which of the filterable categories to print, by category value.
    std::array<bool, kCategoryCount> show{true, true, true, true};
    std::vector<std::string> files;

    // Header rows always print.
    bool Shows(SymbolCategory category) const { return category == catHeader || show[category]; }
};

// Parses the command line (without the program name). Returns false with a
// message in `error` for an option it does not know or a bad value.
bool ParseListerOptions(const std::vector<std::string>& args, ListerOptions& options,
                        std::string& error);

const char* ListerUsage();

} // namespace kestrel
