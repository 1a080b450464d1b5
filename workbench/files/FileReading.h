#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

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

// Called as bytes arrive, with the count so far and the total; false stops.
using ReadProgress = std::function<bool(int64_t done, int64_t total)>;

// Reads a regular file into `bytes`; anything else is refused with a
// message in `error`, as is a stop asked for by `progress`.
bool ReadRegularFile(const QString& path, std::string& bytes, QString& error,
                     const ReadProgress& progress = {});

} // namespace workbench
