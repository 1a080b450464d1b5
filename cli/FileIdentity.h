#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrel {

// Which file a name or a descriptor stands for, whatever path led to it:
// two names of one file (a link, "./a" and "a") have the same identity.
struct FileIdentity {
    uint64_t device = 0; // on Windows, the volume's serial number
    uint64_t inode = 0;  // on Windows, the file's index on the volume
    bool operator==(const FileIdentity&) const = default;
};

// The regular file that `path` names ("-": standard input); none for a path
// that does not exist or is not a regular file, which no write can empty.
std::optional<FileIdentity> RegularFileIdentity(const std::string& path);
std::optional<FileIdentity> RegularFileIdentity(int fd);

} // namespace kestrel
