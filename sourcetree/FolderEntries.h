#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kestrel {

// Hands each entry of the folder `path` to `onEntry` in the order the system
// gives them, with whether it is a folder to walk into. A link counts as
// the file it points to but never as a folder, so that a walk cannot loop;
// entries that are neither (devices, broken links) are passed over. False,
// with `error` set, when the folder cannot be read.
bool ReadFolderEntries(const std::string& path,
                       const std::function<void(std::string_view name, bool folder)>& onEntry,
                       std::string& error);

} // namespace kestrel
