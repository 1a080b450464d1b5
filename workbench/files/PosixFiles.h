#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace workbench {

// Small steps on files by their descriptors, shared by the ways of saving.

// The folder part of a path ("." for a bare name) and the name part.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// mkdir -p, private to the user.
void MakeFolders(const std::string& folder);
// Syncs a folder, so that the names made or removed in it reach the disk.
void SyncFolder(const std::string& folder);

} // namespace workbench
