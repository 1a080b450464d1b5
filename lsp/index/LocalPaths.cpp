#include "index/LocalPaths.h"

#include "CaseFold.h"

#include <vector>

namespace kestrel::lsp {

namespace {

// The part of a Windows-style path that ".." cannot leave: "/c:" or
// "//server/share"; empty for any other path.
std::string_view WindowsRoot(std::string_view path) {
    if (path.size() >= 3 && path[0] == '/' && path[2] == ':' &&
        (path.size() == 3 || path[3] == '/')) {
        return path.substr(0, 3);
    }
    if (path.starts_with("//") && path.size() > 2 && path[2] != '/') {
        const size_t server = path.find('/', 2);
        const size_t share = server == std::string_view::npos ? server : path.find('/', server + 1);
        return path.substr(0, share);
    }
    return {};
}

} // namespace

bool IsUnder(std::string_view path, std::string_view folder, PathStyle style) {
    while (folder.size() > 1 && folder.ends_with('/')) {
        folder.remove_suffix(1);
    }
    if (style == PathStyle::Windows) {
        const std::string foldedPath = CaseFoldUtf8(path);
        const std::string foldedFolder = CaseFoldUtf8(folder);
        return IsUnder(foldedPath, foldedFolder, PathStyle::Posix);
    }
    if (!path.starts_with(folder)) {
        return false;
    }
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

std::string LocalPath(std::string_view uri, PathStyle style) {
    const std::optional<std::string> path = PathOfFileUri(uri, style);
    return path ? CleanPath(*path, style) : std::string();
}

std::string CleanPath(std::string_view path, PathStyle style) {
    const std::string_view root = style == PathStyle::Windows ? WindowsRoot(path) : "";
    path.remove_prefix(root.size());
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
    std::string clean(root);
    for (const std::string_view part : parts) {
        clean += '/';
        clean += part;
    }
    return clean.empty() ? "/" : clean;
}

std::string PathKey(std::string_view path, PathStyle style) {
    return style == PathStyle::Windows ? CaseFoldUtf8(path) : std::string(path);
}

std::string FileUri(const std::string& path) {
    return FileUriOf(path);
}

} // namespace kestrel::lsp
