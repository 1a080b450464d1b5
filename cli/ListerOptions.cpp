#include "ListerOptions.h"

#include <algorithm>
#include <utility>

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

bool ParseJobs(const std::string& text, unsigned& jobs, std::string& error) {
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || value > 9999) {
            value = 0;
            break;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 1024) {
        error = "-j takes a number of jobs from 1 to 1024, not '" + text + "'";
        return false;
    }
    jobs = value;
    return true;
}

bool ParseFormat(const std::string& name, OutputFormat& format, std::string& error) {
    static constexpr std::pair<const char*, OutputFormat> kFormats[] = {
        {"table", OutputFormat::Table},
        {"json", OutputFormat::Json},
        {"ctags", OutputFormat::Ctags},
        {"etags", OutputFormat::Etags}};
    for (const auto& [known, value] : kFormats) {
        if (name == known) {
            format = value;
            return true;
        }
    }
    error = "--format takes table, json, ctags or etags, not '" + name + "'";
    return false;
}

} // namespace

const char* ListerUsage() {
    return "Usage: kestrel-list [OPTION]... FILE...\n"
           "Lists the unit, library and project lines, the IMPLEMENTATION line,\n"
           "procedure and function headings and bookmark lines of Pascal sources.\n"
           "FILE - is standard input.\n"
           "\n"
           "  --json              one JSON object per line, in source order\n"
           "  --format=FORMAT     table (the default), json (as --json), ctags (a tags\n"
           "                      file for Vim, sorted) or etags (a TAGS file for Emacs);\n"
           "                      the tags formats take the headings of --all\n"
           "  -o FILE, --output=FILE  write to FILE instead of standard output\n"
           "  --show=DPFB         categories to list: Declarations, Procedures,\n"
           "                      Functions, Bookmarks (header lines are always listed)\n"
           "  --all               also the program line, constructors, destructors,\n"
           "                      operators and class methods\n"
           "  -R, --recursive     list the Pascal sources in the folders given (.pas .pp\n"
           "                      .p .inc .lpr .dpr .dpk), in path order; hidden and\n"
           "                      version-control folders and links to folders are skipped\n"
           "  --files-from=LIST   also list the paths in LIST, one a line (- for\n"
           "                      standard input)\n"
           "  -j N, --jobs=N      scan N files at once (default: one per core); the\n"
           "                      output is the same for every N\n"
           "  --help              this text\n"
           "  --version           the version\n";
}

bool ParseListerOptions(const std::vector<std::string>& args, ListerOptions& options,
                        std::string& error) {
    bool onlyFiles = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--json") {
            options.format = OutputFormat::Json;
        } else if (arg.starts_with("--format=")) {
            if (!ParseFormat(arg.substr(9), options.format, error)) {
                return false;
            }
        } else if (arg == "-o" || arg.starts_with("--output=")) {
            if (arg == "-o") {
                if (i + 1 == args.size()) {
                    error = "-o needs a file name";
                    return false;
                }
                options.output = args[++i];
            } else {
                options.output = arg.substr(9);
            }
            if (options.output.empty()) {
                error = "-o needs a file name";
                return false;
            }
        } else if (arg == "--all") {
            options.headings = Headings::Extended;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "-R" || arg == "--recursive") {
            options.recursive = true;
        } else if (arg.starts_with("--files-from=")) {
            options.filesFrom = arg.substr(13);
            if (options.filesFrom.empty()) {
                error = "--files-from needs a file name";
                return false;
            }
        } else if (arg == "-j" || arg.starts_with("--jobs=") ||
                   (arg.starts_with("-j") && arg.size() > 2)) {
            std::string value;
            if (arg == "-j") {
                if (i + 1 == args.size()) {
                    error = "-j needs a number of jobs";
                    return false;
                }
                value = args[++i];
            } else {
                value = arg.substr(arg[1] == 'j' ? 2 : 7);
            }
            if (!ParseJobs(value, options.jobs, error)) {
                return false;
            }
        } else if (arg.rfind("--show=", 0) == 0) {
            if (!ParseShow(arg.substr(7), options.show, error)) {
                return false;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    // A tags file wants every definition: constructors, destructors,
    // operators and class methods too.
    if (options.Tags()) {
        options.headings = Headings::Extended;
    }
    if (!options.help && !options.version && options.files.empty() && options.filesFrom.empty()) {
        error = "no file given";
        return false;
    }
    return true;
}

} // namespace kestrel
