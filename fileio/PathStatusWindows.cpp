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
    status.link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    status.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder
                                                                          : FileKind::Regular;
    return status;
}

} // namespace kestrel
