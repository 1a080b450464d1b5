#pragma once

#include <cstdint>
#include <string>

namespace workbench {

// A recovery copy ready to be written: the file's whole contents and where
// they go, made before they are needed so that writing them takes no
// allocation and no lock, as a crash handler requires.
struct RecoveryImage {
    std::string header; // written first, then `bytes`
    std::string bytes;
    std::string path;      // the copy
    std::string temp;      // written first, then renamed over `path`
    std::string crashTemp; // the same, for the crash handler
    // Given when the image is published; no two images share one, so an
    // image is never taken for another that lay at the same address.
    uint64_t generation = 0;
};

// Writes `image` through its temporary file and a rename, using only
// async-signal-safe calls. False when it could not be written, errno saying
// why.
bool WriteRecoveryImage(const RecoveryImage& image, bool fromCrashHandler = false);

// The crash handler's view of the recovery copies: a fixed table of slots,
// one per modified document, each pointing at the latest image and holding
// the generation of the one last written to disk.
namespace crash_slots {

// A free slot, or -1 when all are taken.
int Claim();
void Release(int slot);
// `image` (or null) is now the document's latest, under a new generation;
// it must stay alive until the slot is given another image or released.
void Publish(int slot, RecoveryImage* image);
// `image` is on disk (null: nothing is).
void MarkWritten(int slot, const RecoveryImage* image);

} // namespace crash_slots

// On SIGSEGV, SIGBUS, SIGILL, SIGFPE or SIGABRT, writes every published
// image that is not on disk yet, then lets the signal end the process as it
// would have. For the workbench's own process: tests keep their handlers.
void InstallCrashFlush();

} // namespace workbench
