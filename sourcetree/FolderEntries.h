#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kestrel {

// A folder held open while a walk is in it and while its files are read:
// its entries are opened through it, so the system does not look up every
// folder on their path again for each one. Where a folder is not held open
// this way (Windows), there is no OpenFolder and entries are opened by
// their whole path.
class OpenFolder {
public:
    explicit OpenFolder(int fd) : fd_(fd) {}
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    int Fd() const { return fd_; }

private:
    const int fd_;
};

// Opens an entry of `folder` for reading as OpenForReading opens its whole
// path: `path`, whose name in the folder starts at `nameAt`. With no folder
// the whole path is opened.
int OpenEntryForReading(const OpenFolder* folder, const std::string& path, size_t nameAt,
                        bool wait);

// Hands each entry of the folder `path` to `onEntry` in the order the system
// gives them, with whether it is a folder to walk into. A link counts as
// the file it points to but never as a folder, so that a walk cannot loop;
// entries that are neither (devices, broken links) are passed over. The
// folder is opened through `parent`, in which its name starts at `nameAt` of
// `path`, when that is given; `opened` then holds it open for its entries.
// False, with `error` set, when the folder cannot be read.
bool ReadFolderEntries(const OpenFolder* parent, const std::string& path, size_t nameAt,
                       const std::function<void(std::string_view name, bool folder)>& onEntry,
                       std::shared_ptr<const OpenFolder>& opened, std::string& error);

} // namespace kestrel
