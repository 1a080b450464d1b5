#include "SourcePaths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace kestrel {

SourcePaths::SourcePaths(const ListerOptions& options) : options_(options) {}

SourcePaths::~SourcePaths() {
    if (list_ != nullptr && list_ != stdin) {
        std::fclose(list_);
    }
    std::free(line_);
}

bool SourcePaths::NextTopLevel(SourcePath& next) {
    if (nextArgument_ < options_.files.size()) {
        next.path = options_.files[nextArgument_++];
        return true;
    }
    if (options_.filesFrom.empty()) {
        return false;
    }
    if (!listOpened_) {
        listOpened_ = true;
        list_ = options_.filesFrom == "-" ? stdin : std::fopen(options_.filesFrom.c_str(), "re");
        if (list_ == nullptr) {
            next.path = options_.filesFrom;
            next.error = std::strerror(errno);
            return true;
        }
    }
    if (list_ == nullptr) {
        return false;
    }
    // One path a line; empty lines are skipped.
    ssize_t length = 0;
    while ((length = ::getline(&line_, &lineCapacity_, list_)) == 1 && line_[0] == '\n') {
    }
    if (length <= 0) {
        if (list_ != stdin) {
            std::fclose(list_);
        }
        list_ = nullptr;
        return false;
    }
    next.path.assign(line_, static_cast<size_t>(length) - (line_[length - 1] == '\n' ? 1 : 0));
    return true;
}

bool SourcePaths::Next(SourcePath& next) {
    next.error.clear();
    for (;;) {
        FolderWalk::Step step;
        while (walking_ && walk_.Next(step)) {
            if (step.kind != FolderWalk::Step::Folder) {
                next.path = std::move(step.path);
                next.error = std::move(step.error);
                return true;
            }
        }
        walking_ = false;
        if (!NextTopLevel(next)) {
            return false;
        }
        struct stat info {};
        if (!next.error.empty() || next.path == "-" || ::stat(next.path.c_str(), &info) != 0 ||
            !S_ISDIR(info.st_mode)) {
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
