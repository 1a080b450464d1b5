#pragma once

#include "ListerOptions.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {

// One file to list, or in its place an error to report about that path.
struct SourcePath {
    std::string path;
    std::string error;
};

// Whether a file name is a Pascal source's: .pas, .pp, .p, .inc, .lpr, .dpr
// or .dpk, in any case.
bool HasPascalExtension(std::string_view name);

// The paths to list, in listing order: the file arguments, then the lines of
// --files-from. Under -R a folder among them gives its Pascal sources, walked
// one folder at a time in path order; hidden and version-control folders
// are skipped and links to folders are not followed. Without -R a folder is
// an error for that path.
class SourcePaths {
public:
    explicit SourcePaths(const ListerOptions& options);
    ~SourcePaths();
    SourcePaths(const SourcePaths&) = delete;
    SourcePaths& operator=(const SourcePaths&) = delete;

    // The next path; false when there are no more.
    bool Next(SourcePath& next);

private:
    struct Entry {
        std::string key; // the name, with a '/' after a folder's
        bool folder;
    };
    struct Folder {
        std::string path;
        std::vector<Entry> entries;
        size_t next = 0;
    };

    // The next file argument or line of the list, or an error in its place.
    bool NextTopLevel(SourcePath& next);
    // Reads a folder's entries into a new frame of the walk; false with
    // `error` set when it cannot be read.
    bool Enter(const std::string& path, std::string& error);

    const ListerOptions& options_;
    size_t nextArgument_ = 0;
    std::FILE* list_ = nullptr; // --files-from, while it is read
    bool listOpened_ = false;
    char* line_ = nullptr; // getline's buffer
    size_t lineCapacity_ = 0;
    std::vector<Folder> walk_;
};

} // namespace kestrel
