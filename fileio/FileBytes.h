#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

struct ReadPolicy;
struct FileRead;

// The bytes of one file as ReadFile gave them. Callers see them only
// through View() and Take(), so how they are held can change without
// touching a caller. One object used for file after file keeps its storage,
// unless a large file grew it, so reading many small files allocates little.
class FileBytes {
public:
    std::string_view View() const { return bytes_; }
    size_t Size() const { return bytes_.size(); }

    // Hands the bytes over as a string; this then holds none.
    std::string Take() {
        std::string bytes;
        bytes.swap(bytes_);
        return bytes;
    }

    // Takes back a string that Take handed out, once its text is no longer
    // needed, as storage for the next read: what a read writes over needs
    // no new allocation, nor filling with zeros first. A large file's is
    // not kept, so that storage kept between reads stays small.
    void GiveBack(std::string storage) {
        if (storage.capacity() <= kGivenBackCapacity && storage.capacity() > spare_.capacity()) {
            spare_ = std::move(storage);
        }
    }

private:
    friend FileRead ReadFile(const std::string& path, const ReadPolicy& policy, FileBytes& bytes);
    friend FileRead ReadOpenFile(int fd, const ReadPolicy& policy, FileBytes& bytes, bool atStart);

    // Storage above this is given back before the next read rather than kept.
    static constexpr size_t kKeptCapacity = size_t{16} << 20;
    // Storage given back above this is dropped.
    static constexpr size_t kGivenBackCapacity = size_t{1} << 20;

    // Storage for a read that writes over it. The old bytes are left in
    // place: a string emptied first is filled with zeros again as the read
    // sizes it, a cost as large as the read's own copy.
    std::string& Reused() {
        if (spare_.capacity() > bytes_.capacity()) {
            bytes_.swap(spare_);
        }
        std::string().swap(spare_);
        if (bytes_.capacity() > kKeptCapacity) {
            std::string().swap(bytes_);
        }
        return bytes_;
    }

    // Empty storage for the next read.
    std::string& Emptied() {
        Reused().clear();
        return bytes_;
    }

    std::string bytes_;
    std::string spare_; // given back, for the next read
};

} // namespace kestrel
