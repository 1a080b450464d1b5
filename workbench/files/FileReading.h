#pragma once

#include "FileStatus.h"
#include "ReadFile.h"

#include <QString>
#include <cstdint>

namespace workbench {

// What a path names, as far as opening it in the editor goes.
struct FileFacts {
    kestrel::FileStatus openable; // a failure that says why it cannot be opened
    int64_t size = 0;             // bytes, for a regular file
    bool readOnlyOnDisk = false;  // marked read-only, or not writable by this user
};

// Looks at `path` without opening it, so that a FIFO or a device is never
// waited on: only regular files (also through symbolic links) can be opened.
FileFacts InspectFile(const QString& path);

// Reads the regular file at `path` the way the editor takes files: streams
// and devices refused at once, any size that fits in memory. A read that
// did not complete says why in the user's words; one that `progress`
// stopped is Cancelled().
kestrel::FileStatus ReadEditorFile(const QString& path, kestrel::FileBytes& bytes,
                                   const kestrel::ReadPolicy::Progress& progress = {});

// A status's message as the workbench shows it.
QString MessageOf(const kestrel::FileStatus& status);

} // namespace workbench
