#include "NativePath.h"

#include "ErrnoText.h"
#include "WindowsPaths.h"

#include <cerrno>
#include <windows.h>

namespace kestrel {

bool NativePath(const std::string& path, std::wstring& wide, int& error) {
    if (path.empty()) {
        error = ENOENT;
        return false;
    }
    if (const int problem = WindowsNameProblem(path); problem != 0) {
        error = problem;
        return false;
    }
    const std::optional<std::u16string> utf16 = Utf16OfUtf8(WindowsPathText(path));
    if (!utf16) {
        error = kNotUtf8NameError;
        return false;
    }
    const std::wstring given(utf16->begin(), utf16->end());
    // GetFullPathNameW takes paths of any length and gives the length it
    // needs when the buffer is short.
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()),
                                                full.data(), nullptr);
        if (length == 0) {
            error = ErrnoOfWindowsError(::GetLastError());
            return false;
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    const std::u16string longForm = LongPathForm(
        std::u16string_view(reinterpret_cast<const char16_t*>(full.data()), full.size()));
    wide.assign(longForm.begin(), longForm.end());
    return true;
}

int ErrnoOfWindowsError(unsigned long code, const std::wstring& path) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        // A path on a drive that is not there fails as a path not found.
        if (const size_t drive = path.find(L":\\"); drive != std::wstring::npos && drive >= 1) {
            const std::wstring root = path.substr(drive - 1, 1) + L":\\";
            if (::GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR) {
                return kNoDriveError;
            }
        }
        return ENOENT;
    case ERROR_NOT_READY:
        return kNoDriveError;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return kSharingViolationError;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return EPIPE;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return EEXIST;
    default:
        return EIO;
    }
}

} // namespace kestrel
