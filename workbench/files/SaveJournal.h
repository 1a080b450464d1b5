#pragma once

#include "FileDescriptor.h"
#include "FileStatus.h"

#include <string>
#include <string_view>
#include <vector>

namespace workbench {

// The record of an in-place save under way, kept in a folder of the user's
// while the file is written over: the file's path, its old bytes and the new
// ones. It reaches the disk before the file is touched and goes once the new
// bytes are there, so a save cut short by a crash, at whatever step, leaves
// a record from which the next start completes the save.
class SaveJournal {
public:
    SaveJournal() = default;
    // The record stays unless Finish() was called: the file may be torn.
    ~SaveJournal();
    SaveJournal(const SaveJournal&) = delete;
    SaveJournal& operator=(const SaveJournal&) = delete;

    // Writes and syncs the record in `folder`; on failure nothing is left
    // behind.
    kestrel::FileStatus Begin(const std::string& folder, const std::string& target,
                              std::string_view old, std::string_view bytes);
    // The file holds the new bytes, or its old ones again: the record goes.
    void Finish();
    // Where the record is.
    const std::string& Path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
    // Locked while the save runs, so no other workbench takes it up.
    kestrel::FileDescriptor fd_;
};

// What became of a save that was cut short.
struct InterruptedSave {
    enum class Outcome {
        Finished,  // the file now holds the bytes that were being saved
        Undone,    // they could not be written; the file holds its old bytes again
        LeftAlone, // the file was changed by something else since: not touched
        Failed,    // neither could be written
    };
    std::string path; // the file
    Outcome outcome = Outcome::Finished;
    // Why, for the last three, and where both versions are kept when the
    // record stays (it is then set aside and not taken up again).
    std::string detail;
};

// Takes up the records in `folder` that no running workbench holds. A
// record cut short itself is removed: the file was not touched yet. A file
// that already holds its new bytes needs nothing. A file that holds its old
// bytes, or a mix of both that the save's writes could have left, is given
// the new bytes. The outcomes of the saves that needed something, in no
// particular order.
std::vector<InterruptedSave> FinishInterruptedSaves(const std::string& folder);

} // namespace workbench
