#pragma once

#include <sys/stat.h>

namespace kestrel {

// What a path names, as far as reading it goes.
enum class FileKind {
    Regular,
    Folder,
    Fifo,
    Socket,
    Terminal, // a character device that is a terminal; only an open file tells
    Device,   // any other character or block device
    Other,
};

// The kind `mode` (from stat) gives; a terminal shows as a Device.
inline FileKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Folder;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::Fifo;
    }
#ifdef S_ISSOCK
    if (S_ISSOCK(mode)) {
        return FileKind::Socket;
    }
#endif
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return FileKind::Device;
    }
    return FileKind::Other;
}

// Pipes, FIFOs, sockets and terminals: sources with no size that may never end.
inline bool IsStream(FileKind kind) {
    return kind == FileKind::Fifo || kind == FileKind::Socket || kind == FileKind::Terminal;
}

} // namespace kestrel
