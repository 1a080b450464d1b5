#include "FileIdentity.h"

#include "FileDescriptor.h"
#include "OpenFile.h"

#include <io.h>
#include <windows.h>

namespace kestrel {

std::optional<FileIdentity> RegularFileIdentity(const std::string& path) {
    if (path == "-") {
        return RegularFileIdentity(0);
    }
    const FileDescriptor fd(OpenForReading(path, false));
    return fd.IsOpen() ? RegularFileIdentity(fd.Get()) : std::nullopt;
}

std::optional<FileIdentity> RegularFileIdentity(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

} // namespace kestrel
