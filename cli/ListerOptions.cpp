#include "ListerOptions.h"

#include <algorithm>

namespace kestrel {

namespace {

bool ParseShow(const std::string& letters, std::array<bool, kCategoryCount>& show,
               std::string& error) {
    show.fill(false);
    for (const char c : letters) {
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        const auto found =
            std::find_if(kFilterCategories.begin(), kFilterCategories.end(),
                         [upper](const CategoryInfo& info) { return info.letter == upper; });
        if (found == kFilterCategories.end()) {
            std::string all;
            for (const CategoryInfo& info : kFilterCategories) {
                all += info.letter;
            }
            error = "--show takes letters of " + all + ", not '" + c + "'";
            return false;
        }
        show[found->category] = true;
    }
    return true;
}

} // namespace

const char* ListerUsage() {
    return "Usage: kestrel-list [--json] [--show=DPFB] [--all] FILE...\n"
           "Lists the unit, library and project lines, the IMPLEMENTATION line,\n"
           "procedure and function headings and bookmark lines of Pascal sources.\n"
           "\n"
           "  --json        one JSON object per line, in source order\n"
           "  --show=DPFB   categories to list: Declarations, Procedures,\n"
           "                Functions, Bookmarks (header lines are always listed)\n"
           "  --all         also the program line, constructors, destructors,\n"
           "                operators and class methods\n"
           "  --help        this text\n";
}

bool ParseListerOptions(const std::vector<std::string>& args, ListerOptions& options,
                        std::string& error) {
    bool onlyFiles = false;
    for (const std::string& arg : args) {
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--all") {
            options.headings = Headings::Extended;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg.rfind("--show=", 0) == 0) {
            if (!ParseShow(arg.substr(7), options.show, error)) {
                return false;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (!options.help && options.files.empty()) {
        error = "no file given";
        return false;
    }
    return true;
}

} // namespace kestrel
