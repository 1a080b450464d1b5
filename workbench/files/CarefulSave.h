#pragma once

#include "FileStatus.h"

#include <string>
#include <string_view>

namespace workbench {

// Writes `bytes` to `path` so that nothing the file had is lost:
// - a symbolic link is followed and its target written; the link stays;
// - normally a new file with a short temporary name (".kestrel-" and six
//   random characters, whatever the file's own name) is written, synced,
//   given the old file's owner, group, mode, ACLs and extended attributes,
//   renamed over the old one, and the folder is synced;
// - a temporary file of an earlier save that a crash left in the folder is
//   removed first;
// - a file with several hard links, in a folder where no new file can be
//   made, or whose owner the new file could not be given, is written in
//   place instead, after a journal of its old and new bytes is synced in
//   `journalFolder` (SaveJournal), from which the next start completes a
//   save that a crash cut short;
// - a new file that cannot keep the old owner loses set-user-id and
//   set-group-id.
// `note`, when given, says what the user should know of a save that worked:
// that it was written in place and why, or what of the old file was not
// kept.
// QSaveFile follows links and keeps the mode, but it gives the file to the
// saver, drops hard links and extended attributes, needs seven bytes more
// than the name and does not sync the folder, so it is not used here.
kestrel::FileStatus SaveCarefully(const std::string& path, std::string_view bytes,
                                  const std::string& journalFolder, std::string* note = nullptr);

} // namespace workbench
