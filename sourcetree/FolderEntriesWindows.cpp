#include "FolderEntries.h"

#include "ErrnoText.h"
#include "NativePath.h"
#include "OpenFile.h"
#include "WindowsPaths.h"

#include <windows.h>

namespace kestrel {

namespace {

// Closes a search handle when it goes out of scope.
struct FolderSearch {
    HANDLE handle;
    ~FolderSearch() {
        if (handle != INVALID_HANDLE_VALUE) {
            ::FindClose(handle);
        }
    }
};

} // namespace

// Folders are not held open here: no OpenFolder is made.
OpenFolder::~OpenFolder() = default;

int OpenEntryForReading(const OpenFolder*, const std::string& path, size_t, bool wait) {
    return OpenForReading(path, wait);
}

bool ReadFolderEntries(const OpenFolder*, const std::string& path, size_t,
                       const std::function<void(std::string_view name, bool folder)>& onEntry,
                       std::shared_ptr<const OpenFolder>& opened, std::string& error) {
    opened.reset();
    std::wstring pattern;
    int code = 0;
    if (!NativePath(path, pattern, code)) {
        error = ErrnoText(code);
        return false;
    }
    pattern += pattern.ends_with(L'\\') ? L"*" : L"\\*";
    WIN32_FIND_DATAW found{};
    const FolderSearch search{::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                                 FindExSearchNameMatch, nullptr,
                                                 FIND_FIRST_EX_LARGE_FETCH)};
    if (search.handle == INVALID_HANDLE_VALUE) {
        error = ErrnoText(ErrnoOfWindowsError(::GetLastError(), pattern));
        return false;
    }
    do {
        const std::wstring_view wide = found.cFileName;
        if (wide == L"." || wide == L"..") {
            continue;
        }
        const std::string name = Utf8OfUtf16(
            std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
        const DWORD attributes = found.dwFileAttributes;
        const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // A junction or a link to a folder is not walked into: the walk
        // cannot loop. A link to a file counts as the file.
        if (folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
             found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT)) {
            continue;
        }
        if ((attributes & FILE_ATTRIBUTE_DEVICE) == 0) {
            onEntry(name, folder);
        }
    } while (::FindNextFileW(search.handle, &found));
    if (const DWORD last = ::GetLastError(); last != ERROR_NO_MORE_FILES) {
        error = ErrnoText(ErrnoOfWindowsError(last));
        return false;
    }
    return true;
}

} // namespace kestrel
