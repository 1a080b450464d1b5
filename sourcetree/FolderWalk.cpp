#include "FolderWalk.h"

#include "FolderEntries.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kestrel {

namespace {

constexpr std::array<std::string_view, 7> kExtensions = {".pas", ".pp",  ".p",  ".inc",
                                                         ".lpr", ".dpr", ".dpk"};
// Version-control folders whose names do not start with a dot.
constexpr std::array<std::string_view, 4> kVersionControlFolders = {"CVS", "RCS", "SCCS", "_darcs"};

bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(), [](char s, char t) {
               return s == (t >= 'A' && t <= 'Z' ? t - 'A' + 'a' : t);
           });
}

std::string Join(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

} // namespace

bool HasPascalExtension(std::string_view name) {
    return std::any_of(kExtensions.begin(), kExtensions.end(), [name](std::string_view ext) {
        return name.size() > ext.size() && EndsWithIgnoringAsciiCase(name, ext);
    });
}

bool IsSkippedFolder(std::string_view name) {
    return name.starts_with('.') ||
           std::find(kVersionControlFolders.begin(), kVersionControlFolders.end(), name) !=
               kVersionControlFolders.end();
}

void FolderWalk::Start(const std::string& root) {
    walk_.clear();
    root_ = root;
}

const FolderWalk::Folder* FolderWalk::HeldFolder() const {
    for (auto frame = walk_.rbegin(); frame != walk_.rend(); ++frame) {
        if (frame->open) {
            return &*frame;
        }
    }
    return nullptr;
}

size_t FolderWalk::NameAt(size_t nameAt) const {
    const Folder* held = HeldFolder();
    if (held == nullptr) {
        return nameAt;
    }
    return held->path.size() + (held->path.ends_with('/') ? 0 : 1);
}

bool FolderWalk::Enter(const std::string& path, size_t nameAt, std::string& error) {
    Folder folder{path, {}, {}, 0};
    // The root is opened by its path, every folder below it through the
    // nearest folder held open above it.
    const Folder* held = HeldFolder();
    const OpenFolder* parent = held != nullptr ? held->open.get() : nullptr;
    const bool read = ReadFolderEntries(
        parent, path, nameAt,
        [&folder](std::string_view name, bool isFolder) {
            if (isFolder && !IsSkippedFolder(name)) {
                folder.entries.push_back({std::string(name) + '/', true});
            } else if (!isFolder && HasPascalExtension(name)) {
                folder.entries.push_back({std::string(name), false});
            }
        },
        folder.open, error);
    if (!read) {
        return false;
    }
    // Deeper than any real tree, folders are not held, so that a walk does
    // not use up the process's descriptors (1,024 on many systems): what
    // lies below is opened through the deepest folder held, by the rest of
    // its path.
    if (walk_.size() >= kFoldersHeldOpen) {
        folder.open.reset();
    }
    // With a '/' after each folder's name, sorting the names sorts the full
    // paths of everything below them.
    std::sort(folder.entries.begin(), folder.entries.end(),
              [](const Entry& a, const Entry& b) { return a.key < b.key; });
    walk_.push_back(std::move(folder));
    return true;
}

bool FolderWalk::Next(Step& step) {
    step.error.clear();
    step.folder.reset();
    step.nameAt = 0;
    std::string path;
    if (!root_.empty()) {
        path = std::exchange(root_, {});
    } else {
        for (;;) {
            if (walk_.empty()) {
                return false;
            }
            Folder& folder = walk_.back();
            if (folder.next < folder.entries.size()) {
                break;
            }
            walk_.pop_back();
        }
        Folder& folder = walk_.back();
        const Entry& entry = folder.entries[folder.next++];
        path = Join(folder.path, entry.key);
        step.nameAt = NameAt(path.size() - entry.key.size());
        if (!entry.folder) {
            step.kind = Step::File;
            step.path = std::move(path);
            if (const Folder* held = HeldFolder(); held != nullptr) {
                step.folder = held->open;
            }
            return true;
        }
        path.pop_back();
    }
    step.kind = Enter(path, step.nameAt, step.error) ? Step::Folder : Step::Error;
    step.nameAt = 0;
    step.path = std::move(path);
    return true;
}

} // namespace kestrel
