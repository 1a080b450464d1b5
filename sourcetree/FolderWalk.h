#pragma once

#include "FolderEntries.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// Whether a file name is a Pascal source's: .pas, .pp, .p, .inc, .lpr, .dpr
// or .dpk, in any case.
bool HasPascalExtension(std::string_view name);

// Whether a walk leaves a folder of this name out: hidden folders and
// version-control folders.
bool IsSkippedFolder(std::string_view name);

// Walks the Pascal sources below a folder, one folder at a time, in path
// order. Hidden and version-control folders are skipped, and links to
// folders are not followed, so the walk cannot loop; links to files count
// as the files.
class FolderWalk {
public:
    struct Step {
        enum Kind {
            File,   // a Pascal source
            Folder, // a folder entered (the root first)
            Error,  // a folder that could not be read; `error` says why
        } kind = File;
        std::string path;
        std::string error;
        // The deepest folder above a file held open (its own, but in a very
        // deep tree), where the system allows it, and where the rest of
        // `path` below that folder starts: OpenEntryForReading opens it.
        std::shared_ptr<const OpenFolder> folder;
        size_t nameAt = 0;
    };

    // Starts a walk of `root` (any walk before is dropped).
    void Start(const std::string& root);
    // The next step; false when the walk is over.
    bool Next(Step& step);

private:
    struct Entry {
        std::string key; // the name, with a '/' after a folder's
        bool folder;
    };
    struct Folder {
        std::string path;
        std::shared_ptr<const OpenFolder> open;
        std::vector<Entry> entries;
        size_t next = 0;
    };

    // Reads the entries of the folder `path` (whose part below HeldFolder()
    // starts at `nameAt`) into a new frame of the walk; false with `error`
    // set when it cannot be read.
    bool Enter(const std::string& path, size_t nameAt, std::string& error);
    // The deepest folder of the walk held open, or null.
    const Folder* HeldFolder() const;
    // Where the part of a path below HeldFolder() starts; `nameAt` when no
    // folder is held.
    size_t NameAt(size_t nameAt) const;

    static constexpr size_t kFoldersHeldOpen = 32;

    std::string root_; // not yet entered
    std::vector<Folder> walk_;
};

} // namespace kestrel
