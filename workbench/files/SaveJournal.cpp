#include "SaveJournal.h"

#include "ErrnoText.h"
#include "FileDescriptor.h"
#include "PosixFiles.h"
#include "ReadToEnd.h"
#include "WriteAll.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace workbench {

namespace {

using kestrel::ReadEnd;
using kestrel::ReadToEnd;
using kestrel::WriteAllAt;

constexpr std::string_view kMagic = "Kestrel in-place save 1\n";
constexpr std::string_view kEnd = "end\n";
constexpr std::string_view kSuffix = ".journal";
constexpr std::string_view kKeptSuffix = ".kept";

struct Record {
    std::string target;
    std::string_view old;
    std::string_view bytes;
};

// A record as Begin writes it, whole; false for one cut short.
bool ParseRecord(std::string_view data, Record& record) {
    if (!data.starts_with(kMagic) || !data.ends_with(kEnd)) {
        return false;
    }
    data.remove_prefix(kMagic.size());
    const size_t lineEnd = data.find('\n');
    if (lineEnd == std::string_view::npos) {
        return false;
    }
    unsigned long long sizes[3] = {};
    char extra = 0;
    const std::string line(data.substr(0, lineEnd));
    if (std::sscanf(line.c_str(), "%llu %llu %llu%c", &sizes[0], &sizes[1], &sizes[2], &extra) !=
        3) {
        return false;
    }
    data.remove_prefix(lineEnd + 1);
    if (sizes[0] > data.size() || sizes[1] > data.size() || sizes[2] > data.size() ||
        sizes[0] + sizes[1] + sizes[2] + kEnd.size() != data.size()) {
        return false;
    }
    record.target = std::string(data.substr(0, sizes[0]));
    record.old = data.substr(sizes[0], sizes[1]);
    record.bytes = data.substr(sizes[0] + sizes[1], sizes[2]);
    return !record.target.empty();
}

// Whether `current` is what writing `bytes` over `old` from the start, and
// then cutting the file to its new length, leaves at some step: the first k
// bytes new and the rest old.
bool PartlyWritten(std::string_view current, std::string_view old, std::string_view bytes) {
    if (current.size() > old.size()) {
        return bytes.starts_with(current);
    }
    if (current.size() < old.size()) {
        return false;
    }
    size_t prefix = 0; // of the new bytes
    while (prefix < current.size() && prefix < bytes.size() && current[prefix] == bytes[prefix]) {
        ++prefix;
    }
    size_t oldFrom = current.size(); // from here on, the old bytes
    while (oldFrom > 0 && current[oldFrom - 1] == old[oldFrom - 1]) {
        --oldFrom;
    }
    return oldFrom <= prefix;
}

bool WriteWhole(int fd, std::string_view bytes) {
    return WriteAllAt(fd, bytes, 0) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
           ::fsync(fd) == 0;
}

// Takes up one record; false when it needs nothing to be said.
bool TakeUp(const std::string& recordPath, InterruptedSave& outcome) {
    const kestrel::FileDescriptor fd(::open(recordPath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0 || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return false; // gone, or its save still runs
    }
    std::string data;
    Record record;
    if (ReadToEnd(fd.Get(), data, 0, SIZE_MAX / 2) != ReadEnd::Complete ||
        !ParseRecord(data, record)) {
        ::unlink(recordPath.c_str());
        return false;
    }
    outcome.path = record.target;
    const std::string kept = recordPath + std::string(kKeptSuffix);
    const auto setAside = [&](const std::string& why) {
        ::rename(recordPath.c_str(), kept.c_str());
        outcome.detail = why + "; both versions are kept in " + kept;
    };
    const kestrel::FileDescriptor file(
        ::open(record.target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    std::string current;
    if (file.Get() < 0 || ReadToEnd(file.Get(), current, 0, SIZE_MAX / 2) != ReadEnd::Complete) {
        outcome.outcome = InterruptedSave::Outcome::Failed;
        setAside(kestrel::ErrnoText(errno));
        return true;
    }
    if (current == record.bytes) {
        ::unlink(recordPath.c_str());
        return false;
    }
    if (current != record.old && !PartlyWritten(current, record.old, record.bytes)) {
        outcome.outcome = InterruptedSave::Outcome::LeftAlone;
        setAside("it was changed by another program since");
        return true;
    }
    if (WriteWhole(file.Get(), record.bytes)) {
        outcome.outcome = InterruptedSave::Outcome::Finished;
    } else {
        const int error = errno;
        if (!WriteWhole(file.Get(), record.old)) {
            outcome.outcome = InterruptedSave::Outcome::Failed;
            setAside(kestrel::ErrnoText(error));
            return true;
        }
        outcome.outcome = InterruptedSave::Outcome::Undone;
        outcome.detail = kestrel::ErrnoText(error);
    }
    ::unlink(recordPath.c_str());
    SyncFolder(FolderOf(recordPath));
    return true;
}

} // namespace

SaveJournal::~SaveJournal() = default;

kestrel::FileStatus SaveJournal::Begin(const std::string& folder, const std::string& target,
                                       std::string_view old, std::string_view bytes) {
    MakeFolders(folder);
    std::string path = folder + "/save-XXXXXX" + std::string(kSuffix);
    kestrel::FileDescriptor fd(
        ::mkostemps(path.data(), static_cast<int>(kSuffix.size()), O_CLOEXEC));
    if (!fd.IsOpen()) {
        return kestrel::FileStatus::FromErrno(errno);
    }
    ::flock(fd.Get(), LOCK_EX);
    std::string head(kMagic);
    head += std::to_string(target.size()) + " " + std::to_string(old.size()) + " " +
            std::to_string(bytes.size()) + "\n" + target;
    off_t at = 0;
    bool written = true;
    for (const std::string_view part : {std::string_view(head), old, bytes, kEnd}) {
        written = written && WriteAllAt(fd.Get(), part, at);
        at += static_cast<off_t>(part.size());
    }
    if (!written || ::fsync(fd.Get()) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return kestrel::FileStatus::FromErrno(error);
    }
    SyncFolder(folder);
    folder_ = folder;
    path_ = std::move(path);
    fd_ = std::move(fd);
    return {};
}

void SaveJournal::Finish() {
    if (!fd_.IsOpen()) {
        return;
    }
    ::unlink(path_.c_str());
    fd_.Close();
    SyncFolder(folder_);
}

std::vector<InterruptedSave> FinishInterruptedSaves(const std::string& folder) {
    std::vector<std::string> records;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (std::string_view(entry->d_name).ends_with(kSuffix)) {
                records.push_back(folder + "/" + entry->d_name);
            }
        }
        ::closedir(dir);
    }
    std::vector<InterruptedSave> outcomes;
    for (const std::string& record : records) {
        InterruptedSave outcome;
        if (TakeUp(record, outcome)) {
            outcomes.push_back(std::move(outcome));
        }
    }
    return outcomes;
}

} // namespace workbench
