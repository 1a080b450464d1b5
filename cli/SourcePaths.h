#pragma once

#include "FolderWalk.h"
#include "ListerOptions.h"
#include "PathList.h"

#include <memory>
#include <optional>
#include <string>

namespace kestrel {

// One file to list, or in its place an error to report about that path.
struct SourcePath {
    std::string path;
    std::string error;
    // Where a walk found the file: its folder, held open, and where its name
    // starts in `path` (OpenEntryForReading). Null for a file named outright.
    std::shared_ptr<const OpenFolder> folder;
    size_t nameAt = 0;
};

// The paths to list, in listing order: the file arguments, then the lines of
// --files-from. Under -R a folder among them gives its Pascal sources, walked
// one folder at a time in path order (FolderWalk). Without -R a folder is an
// error for that path.
class SourcePaths {
public:
    explicit SourcePaths(const ListerOptions& options);
    ~SourcePaths();
    SourcePaths(const SourcePaths&) = delete;
    SourcePaths& operator=(const SourcePaths&) = delete;

    // The next path; false when there are no more.
    bool Next(SourcePath& next);

private:
    // The next file argument or line of the list, or an error in its place.
    bool NextTopLevel(SourcePath& next);

    const ListerOptions& options_;
    size_t nextArgument_ = 0;
    std::optional<PathList> list_; // --files-from, once the arguments are done
    FolderWalk walk_;
    bool walking_ = false;
};

} // namespace kestrel
