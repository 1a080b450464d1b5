#include "SourcePaths.h"

#include "PathStatus.h"

namespace kestrel {

SourcePaths::SourcePaths(const ListerOptions& options) : options_(options) {}

SourcePaths::~SourcePaths() = default;

bool SourcePaths::NextTopLevel(SourcePath& next) {
    if (nextArgument_ < options_.files.size()) {
        next.path = options_.files[nextArgument_++];
        return true;
    }
    if (options_.filesFrom.empty()) {
        return false;
    }
    if (!list_) {
        list_.emplace(options_.filesFrom);
    }
    return list_->Next(next.path, next.error);
}

bool SourcePaths::Next(SourcePath& next) {
    next.error.clear();
    next.folder.reset();
    next.nameAt = 0;
    for (;;) {
        FolderWalk::Step step;
        while (walking_ && walk_.Next(step)) {
            if (step.kind != FolderWalk::Step::Folder) {
                next.path = std::move(step.path);
                next.error = std::move(step.error);
                next.folder = std::move(step.folder);
                next.nameAt = step.nameAt;
                return true;
            }
        }
        walking_ = false;
        if (!NextTopLevel(next)) {
            return false;
        }
        if (!next.error.empty() || next.path == "-" ||
            StatusOfPath(next.path).kind != FileKind::Folder) {
            return true; // reading the file reports what is wrong with it
        }
        if (!options_.recursive) {
            next.error = "Is a directory (use -R to list the Pascal sources in it)";
            return true;
        }
        walk_.Start(next.path);
        walking_ = true;
    }
}

} // namespace kestrel
