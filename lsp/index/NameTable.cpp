#include "index/NameTable.h"

#include <utility>

namespace kestrel::lsp {

void NameTable::Insert(uint32_t hash, uint32_t file) {
    // At most three quarters full, marks of erased pairs counted: probes
    // stay short and every probe meets an empty slot.
    if ((used_ + erased_ + 1) * 4 > slots_.size() * 3) {
        Rehash();
    }
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i].file != kEmpty && slots_[i].file != kErased) {
        i = (i + 1) & mask;
    }
    erased_ -= slots_[i].file == kErased ? 1 : 0;
    slots_[i] = {hash, file};
    ++used_;
}

void NameTable::Erase(uint32_t hash, uint32_t file) {
    if (slots_.empty()) {
        return;
    }
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask; slots_[i].file != kEmpty; i = (i + 1) & mask) {
        if (slots_[i].hash == hash && slots_[i].file == file) {
            slots_[i].file = kErased; // a probe for another pair goes on past it
            --used_;
            ++erased_;
            return;
        }
    }
}

void NameTable::Rehash() {
    size_t size = 1024;
    while (size < (used_ + 1) * 2) {
        size *= 2;
    }
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size));
    used_ = 0;
    erased_ = 0;
    for (const Slot& slot : old) {
        if (slot.file != kEmpty && slot.file != kErased) {
            Insert(slot.hash, slot.file);
        }
    }
}

} // namespace kestrel::lsp
