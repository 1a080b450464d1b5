#include "documents/FileUri.h"

namespace kestrel::lsp {

namespace {

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

std::optional<std::string> PathOfFileUri(const QString& uri) {
    const std::string text = uri.toStdString();
    std::string_view rest = text;
    constexpr std::string_view kScheme = "file:";
    if (!QString::fromStdString(std::string(rest.substr(0, kScheme.size())))
             .startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
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
        const QString host = QString::fromUtf8(rest.data(), static_cast<qsizetype>(slash));
        if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) {
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
