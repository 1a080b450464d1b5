#include "OpenFile.h"

#include "NativePath.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace kestrel {

namespace {

// A descriptor of the C runtime that owns `handle` (closing it closes the
// handle), in binary mode: no byte of a file is changed as it passes.
int DescriptorOf(HANDLE handle, int flags) {
    if (handle == INVALID_HANDLE_VALUE) {
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

int Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags, int crtFlags) {
    std::wstring wide;
    int error = 0;
    if (!NativePath(path, wide, error)) {
        errno = error;
        return -1;
    }
    // Others may read, write, rename and delete the file while we hold it,
    // as a Linux reader lets them.
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoOfWindowsError(::GetLastError(), wide);
        return -1;
    }
    return DescriptorOf(handle, crtFlags);
}

} // namespace

int OpenForReading(const std::string& path, bool) {
    // Backup semantics open folders too, so that a folder is told apart
    // from a missing file and refused as a folder.
    return Open(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, _O_RDONLY);
}

int CreateForWriting(const std::string& path) {
    return Open(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, _O_WRONLY);
}

namespace {

// The kind of a handle that is not a file on disk.
FileKind KindOfStream(HANDLE handle, DWORD type) {
    switch (type) {
    case FILE_TYPE_PIPE:
        return FileKind::Fifo;
    case FILE_TYPE_CHAR: {
        DWORD mode = 0;
        return ::GetConsoleMode(handle, &mode) ? FileKind::Terminal : FileKind::Device;
    }
    default:
        return FileKind::Other;
    }
}

} // namespace

// A file on disk in two questions (three with the position). Size and time
// come from the standard and basic information, not from
// GetFileInformationByHandle: that one also asks for the volume's serial
// number, which under Wine is a round trip to another process.
bool StateOfOpenFile(int fd, FileKind& kind, FileVersion& version, bool position) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    if (const DWORD type = ::GetFileType(handle); type != FILE_TYPE_DISK) {
        kind = KindOfStream(handle, type);
        return true;
    }
    FILE_STANDARD_INFO standard{};
    FILE_BASIC_INFO basic{};
    LARGE_INTEGER at{};
    if (!::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) ||
        (!standard.Directory &&
         (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
          (position && !::SetFilePointerEx(handle, LARGE_INTEGER{}, &at, FILE_CURRENT))))) {
        errno = ErrnoOfWindowsError(::GetLastError());
        return false;
    }
    kind = standard.Directory ? FileKind::Folder : FileKind::Regular;
    version.size = standard.EndOfFile.QuadPart;
    version.modified = basic.LastWriteTime.QuadPart;
    version.position = at.QuadPart;
    return true;
}

} // namespace kestrel
