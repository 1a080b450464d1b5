#include "PathStatus.h"

#include "NativePath.h"

#include <windows.h>

namespace kestrel {

PathStatus StatusOfPath(const std::string& path) {
    PathStatus status;
    std::wstring wide;
    if (!NativePath(path, wide, status.error)) {
        return status;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        status.error = ErrnoOfWindowsError(::GetLastError(), wide);
        return status;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // Only symbolic links and junctions lead elsewhere; other reparse
        // points (cloud files, deduplicated files) are the files themselves.
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW(wide.c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            ::FindClose(search);
            status.link = found.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
                          found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT;
        }
    }
    status.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder
                                                                          : FileKind::Regular;
    return status;
}

} // namespace kestrel
