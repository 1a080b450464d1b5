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
    std::string_view View() const { return {bytes_.data(), size_}; }
    size_t Size() const { return size_; }

    // Hands the bytes over as a string; this then holds none.
    std::string Take() {
        bytes_.resize(size_);
        size_ = 0;
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

    // Storage for a read that writes over its front and sets size_. The old
    // bytes are left in place, and so is its length: a string shortened
    // first is filled with zeros again as the read lengthens it, a cost as
    // large as the read's own copy.
    std::string& Reused() {
        if (spare_.capacity() > bytes_.capacity()) {
            bytes_.swap(spare_);
        }
        std::string().swap(spare_);
        if (bytes_.capacity() > kKeptCapacity) {
            std::string().swap(bytes_);
        }
        size_ = 0;
        return bytes_;
    }

    // No bytes; the storage is kept for the next read.
    void Emptied() { Reused(); }

    std::string bytes_; // the bytes are its first size_
    size_t size_ = 0;
    std::string spare_; // given back, for the next read
};

} // namespace kestrel
