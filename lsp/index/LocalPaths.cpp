#include "index/LocalPaths.h"

#include "documents/FileUri.h"

#include <vector>

namespace kestrel::lsp {

bool IsUnder(std::string_view path, std::string_view folder) {
    while (folder.size() > 1 && folder.ends_with('/')) {
        folder.remove_suffix(1);
    }
    if (!path.starts_with(folder)) {
        return false;
    }
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

std::string LocalPath(std::string_view uri) {
    const std::optional<std::string> path = PathOfFileUri(uri);
    return path ? CleanPath(*path) : std::string();
}

std::string CleanPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    std::string clean;
    for (const std::string_view part : parts) {
        clean += '/';
        clean += part;
    }
    return clean.empty() ? "/" : clean;
}

std::string FileUri(const std::string& path) {
    return FileUriOf(path);
}

} // namespace kestrel::lsp
