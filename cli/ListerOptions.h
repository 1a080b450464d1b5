#pragma once

#include <array>
#include <string>
#include <vector>

namespace kestrel {

struct ListerOptions {
    bool json = false;
    bool help = false;
    // Which of the four filterable categories to print, by category value.
    std::array<bool, 4> show{true, true, true, true};
    std::vector<std::string> files;
};

// Parses the command line (without the program name). Returns false with a
// message in `error` for an option it does not know or a bad value.
bool ParseListerOptions(const std::vector<std::string>& args, ListerOptions& options,
                        std::string& error);

const char* ListerUsage();

} // namespace kestrel
