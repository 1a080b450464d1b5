#pragma once

#include <string>
#include <string_view>

namespace workbench {

struct SaveResult {
    std::string error; // empty on success
    // The file was written over in place, not replaced by a new one: a
    // failure part way through would have been repaired from the journal,
    // but the save was not atomic. `note` says why.
    bool inPlace = false;
    std::string note;
    explicit operator bool() const { return error.empty(); }
};

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
// QSaveFile follows links and keeps the mode, but it gives the file to the
// saver, drops hard links and extended attributes, needs seven bytes more
// than the name and does not sync the folder, so it is not used here.
SaveResult SaveCarefully(const std::string& path, std::string_view bytes,
                         const std::string& journalFolder);

} // namespace workbench
