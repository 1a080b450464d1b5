#include "documents/FileUri.h"

#include <algorithm>
#include <atomic>
#include <cctype>

namespace kestrel::lsp {

namespace {

// Scheme and host compare in any case.
bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The characters a URI path takes as they are: unreserved, sub-delims, ':',
// '@' and the '/' between segments.
bool KeptInPath(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        return true;
    }
    for (const char kept : std::string_view("-._~!$&'()*+,;=:@/")) {
        if (c == static_cast<unsigned char>(kept)) {
            return true;
        }
    }
    return false;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The length of the drive at the start of a Windows-style path, "/c:" (3),
// or 0 where there is none.
size_t DriveLength(std::string_view path) {
    return path.size() >= 3 && path[0] == '/' && IsDriveLetter(path[1]) && path[2] == ':' &&
                   (path.size() == 3 || path[3] == '/')
               ? 3
               : 0;
}

// Whether the client writes a drive's ':' as "%3A".
std::atomic<bool> gEncodedDriveColon{false};

} // namespace

void LearnDriveSpelling(std::string_view uri) {
    constexpr std::string_view kScheme = "file:///";
    if (uri.size() < kScheme.size() + 2 ||
        !SameIgnoringCase(uri.substr(0, kScheme.size()), kScheme) ||
        !IsDriveLetter(uri[kScheme.size()])) {
        return;
    }
    const std::string_view colon = uri.substr(kScheme.size() + 1);
    if (colon.starts_with(':')) {
        gEncodedDriveColon = false;
    } else if (SameIgnoringCase(colon.substr(0, 3), "%3A")) {
        gEncodedDriveColon = true;
    }
}

std::string FileUriOf(const std::string& given, PathStyle style) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    std::string windowsPath;
    if (style == PathStyle::Windows) {
        // "C:\dir" as a client's rootPath gives it, or "/c:/dir" as the
        // server keeps it; "//server/share" becomes the URI's host.
        windowsPath = given;
        std::replace(windowsPath.begin(), windowsPath.end(), '\\', '/');
        if (windowsPath.size() >= 2 && IsDriveLetter(windowsPath[0]) && windowsPath[1] == ':') {
            windowsPath.insert(0, 1, '/');
        }
        if (windowsPath.starts_with("//")) {
            windowsPath.erase(0, 2);
        }
    }
    const std::string& path = style == PathStyle::Windows ? windowsPath : given;
    const size_t drive = style == PathStyle::Windows ? DriveLength(path) : 0;
    uri.reserve(uri.size() + path.size() + 2);
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        const auto byte = static_cast<unsigned char>(c);
        if (drive != 0 && i == drive - 1 && gEncodedDriveColon) {
            uri += "%3A";
        } else if (KeptInPath(byte)) {
            uri.push_back(c);
        } else {
            uri.push_back('%');
            uri.push_back(kHex[byte >> 4]);
            uri.push_back(kHex[byte & 0xf]);
        }
    }
    return uri;
}

std::optional<std::string> PathOfFileUri(std::string_view uri, PathStyle style) {
    std::string_view rest = uri;
    std::string path;
    if (style == PathStyle::Windows && rest.size() >= 3 && IsDriveLetter(rest[0]) &&
        rest[1] == ':' && (rest[2] == '\\' || rest[2] == '/')) {
        path = "/";
        path += rest;
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    }
    constexpr std::string_view kScheme = "file:";
    if (!SameIgnoringCase(rest.substr(0, kScheme.size()), kScheme)) {
        return std::nullopt;
    }
    rest.remove_prefix(kScheme.size());
    if (rest.starts_with("//")) {
        // An authority: none, or the local host by name.
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        if (slash == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !SameIgnoringCase(host, "localhost")) {
            if (style != PathStyle::Windows) {
                return std::nullopt;
            }
            // A share on another machine: "//server/share/…".
            path = "//";
            path += host;
        }
        rest.remove_prefix(slash);
    } else if (!rest.starts_with('/')) {
        return std::nullopt;
    }
    // A query or fragment is no part of a file's name.
    rest = rest.substr(0, rest.find_first_of("?#"));
    path.reserve(path.size() + rest.size());
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 &&
            HexValue(rest[i + 2]) >= 0) {
            path.push_back(static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2])));
            i += 2;
        } else {
            path.push_back(rest[i]);
        }
    }
    if (path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    if (style == PathStyle::Windows) {
        std::replace(path.begin(), path.end(), '\\', '/');
    }
    return path;
}

} // namespace kestrel::lsp
