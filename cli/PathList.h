#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kestrel {

// The names in a list of paths, one a line (--files-from). The list is read a
// block at a time and a line may hold no more than the longest path, so any
// input, however long its lines or however endless, is read in a few pages of
// memory. A line's one trailing CR is dropped (lists written on Windows) and
// empty lines are skipped.
class PathList {
public:
    // The longest name a line may give: PATH_MAX counts the terminating NUL.
    static constexpr size_t kLongestName = 4095;

    // `name` as given on the command line; "-" is standard input.
    explicit PathList(std::string name);
    ~PathList();
    PathList(const PathList&) = delete;
    PathList& operator=(const PathList&) = delete;

    // The next name in `path`; or, with `error` set, what went wrong in its
    // place: the list cannot be opened or read (`path` names the list, and the
    // list ends there), or a line cannot name a file (`path` says which line:
    // too long, or a NUL byte in it). False at the end of the list.
    bool Next(std::string& path, std::string& error);

private:
    // Refills the buffer once it is used up; false at the end of the input or
    // on a read error (then `readError_` says which).
    bool Refill();
    // The name on a complete line, or false for an empty one.
    bool TakeLine(std::string& path, std::string& error);
    std::string LinePlace() const;

    const std::string name_;
    int fd_ = -1;
    bool opened_ = false;
    bool ended_ = false;
    bool skipping_ = false; // passing over the rest of a line that is too long
    std::unique_ptr<char[]> buffer_;
    size_t begin_ = 0; // what is not yet taken from the buffer
    size_t end_ = 0;
    std::string line_;
    uint64_t lineNumber_ = 0; // of the line last taken
    std::string readError_;
};

} // namespace kestrel
