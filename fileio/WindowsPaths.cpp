#include "WindowsPaths.h"

#include "ErrnoText.h"
#include "Utf8.h"

#include <algorithm>
#include <array>

namespace kestrel {

namespace {

bool IsSlash(char c) {
    return c == '/' || c == '\\';
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether `path` starts with "X:".
bool HasDrive(std::string_view path) {
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Names that open a device in any folder, with or without an extension.
constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                      "NUL", "CONIN$", "CONOUT$"};

bool IsDeviceName(std::string_view part) {
    // Windows ignores what follows the first dot, and blanks before it.
    std::string_view stem = part.substr(0, part.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    std::string upper;
    std::transform(stem.begin(), stem.end(), std::back_inserter(upper), Upper);
    if (std::find(kDevices.begin(), kDevices.end(), upper) != kDevices.end()) {
        return true;
    }
    // COM1-COM9 and LPT1-LPT9.
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

} // namespace

std::optional<std::u16string> Utf16OfUtf8(std::string_view utf8) {
    std::u16string utf16;
    utf16.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (lead >= 0xF8 || (lead >= 0x80 && lead < 0xC2) || i + length > utf8.size()) {
            return std::nullopt;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode's last.
        constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return std::nullopt;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            utf16.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            utf16.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            utf16.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return utf16;
}

std::string Utf8OfUtf16(std::u16string_view utf16) {
    std::string utf8;
    utf8.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t code = utf16[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(utf8, code);
    }
    return utf8;
}

std::string WindowsPathText(std::string_view path) {
    if (path.size() >= 3 && IsSlash(path[0]) && HasDrive(path.substr(1))) {
        path.remove_prefix(1);
    }
    std::string text(path);
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

std::u16string LongPathForm(std::u16string_view fullPath) {
    if (fullPath.starts_with(u"\\\\?\\") || fullPath.starts_with(u"\\\\.\\")) {
        return std::u16string(fullPath);
    }
    if (fullPath.starts_with(u"\\\\")) {
        return u"\\\\?\\UNC\\" + std::u16string(fullPath.substr(2));
    }
    return u"\\\\?\\" + std::u16string(fullPath);
}

int WindowsNameProblem(std::string_view path) {
    std::string_view rest = path;
    if (rest.size() >= 3 && IsSlash(rest[0]) && HasDrive(rest.substr(1))) {
        rest.remove_prefix(1);
    }
    if (HasDrive(rest)) {
        rest.remove_prefix(2);
    } else if (rest.starts_with("\\\\?\\") || rest.starts_with("\\\\.\\")) {
        return 0; // the caller asked for the namespace by name
    }
    while (!rest.empty()) {
        const size_t end = std::min(rest.find('/'), rest.find('\\'));
        const std::string_view part = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (part.find(':') != std::string_view::npos) {
            return kDataStreamError;
        }
        if (IsDeviceName(part)) {
            return kReservedNameError;
        }
    }
    return 0;
}

} // namespace kestrel
