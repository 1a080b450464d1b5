#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace kestrel::lsp {

// What a walk of a folder tree reports, in path order.
struct SourceTreeVisitor {
    // Each folder entered, the root first: the folders to watch.
    std::function<void(const std::string& folder)> folder;
    // Each Pascal source.
    std::function<void(const std::string& file)> file;
    // A folder that cannot be entered, and why.
    std::function<void(const std::string& path, const std::string& error)> error;
};

// Walks the Pascal sources below `root` as `kestrel-list -R` does, until
// `stop` is set.
using SourceTreeWalk = std::function<void(const std::string& root, const SourceTreeVisitor& visit,
                                          const std::atomic<bool>& stop)>;

// The walk of `kestrel-list -R`.
void WalkSourceTree(const std::string& root, const SourceTreeVisitor& visit,
                    const std::atomic<bool>& stop);

} // namespace kestrel::lsp
