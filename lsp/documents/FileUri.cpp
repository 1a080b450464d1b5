#include "documents/FileUri.h"

#include <algorithm>
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

} // namespace

std::string FileUriOf(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    uri.reserve(uri.size() + path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (KeptInPath(byte)) {
            uri.push_back(c);
        } else {
            uri.push_back('%');
            uri.push_back(kHex[byte >> 4]);
            uri.push_back(kHex[byte & 0xf]);
        }
    }
    return uri;
}

std::optional<std::string> PathOfFileUri(std::string_view uri) {
    std::string_view rest = uri;
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
            return std::nullopt;
        }
        rest.remove_prefix(slash);
    } else if (!rest.starts_with('/')) {
        return std::nullopt;
    }
    // A query or fragment is no part of a file's name.
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string path;
    path.reserve(rest.size());
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
    return path;
}

} // namespace kestrel::lsp
