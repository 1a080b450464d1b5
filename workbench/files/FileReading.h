#pragma once

#include "ReadFile.h"

#include <QString>
#include <cstdint>

namespace workbench {

// What a path names, as far as opening it in the editor goes.
struct FileFacts {
    QString refusal;             // why it cannot be opened; empty when it can
    int64_t size = 0;            // bytes, for a regular file
    bool readOnlyOnDisk = false; // marked read-only, or not writable by this user
};

// Looks at `path` without opening it, so that a FIFO or a device is never
// waited on: only regular files (also through symbolic links) can be opened.
FileFacts InspectFile(const QString& path);

// Reads the regular file at `path` the way the editor takes files: streams
// and devices refused at once, any size that fits in memory.
kestrel::FileRead ReadEditorFile(const QString& path, kestrel::FileBytes& bytes,
                                 const kestrel::ReadPolicy::Progress& progress = {});

// Why a read that did not complete failed, in the user's words.
QString ReadFailureText(const kestrel::FileRead& read);

} // namespace workbench
