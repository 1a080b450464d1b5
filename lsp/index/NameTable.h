#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrel::lsp {

// Which files have entries of which names: pairs of a name's hash and a
// file's number in one open-addressed table, eight bytes a pair where a
// node-based map spends forty, so that the index of a large tree stays
// small. Hashes may collide: the files a lookup gives are candidates that
// the caller checks.
class NameTable {
public:
    // A pair must not be in the table already.
    void Insert(uint32_t hash, uint32_t file);
    void Erase(uint32_t hash, uint32_t file);

    // Calls `onFile` with each file that has a pair of `hash`.
    template <class OnFile> void ForEach(uint32_t hash, OnFile&& onFile) const {
        if (slots_.empty()) {
            return;
        }
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask; slots_[i].file != kEmpty; i = (i + 1) & mask) {
            if (slots_[i].hash == hash && slots_[i].file != kErased) {
                onFile(slots_[i].file);
            }
        }
    }

    size_t Size() const { return used_; }

    static constexpr uint32_t kEmpty = UINT32_MAX;
    static constexpr uint32_t kErased = UINT32_MAX - 1;

private:
    struct Slot {
        uint32_t hash = 0;
        uint32_t file = kEmpty;
    };
    // Moves the pairs into a table with room to spare, dropping the marks
    // of erased ones.
    void Rehash();

    std::vector<Slot> slots_; // a power of two long, or empty
    size_t used_ = 0;
    size_t erased_ = 0;
};

} // namespace kestrel::lsp
