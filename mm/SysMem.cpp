#include "SysMem.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<int64_t> liveBlocks{0};
}

extern "C" {

void* SysGetMem(int32_t size) {
    if (size <= 0) {
        return nullptr;
    }
    void* block = std::malloc(static_cast<size_t>(size));
    if (block != nullptr) {
        ++liveBlocks;
    }
    return block;
}

int32_t SysFreeMem(void* block) {
    if (block != nullptr) {
        std::free(block);
        --liveBlocks;
    }
    return 0;
}

void* SysReallocMem(void* block, int32_t size) {
    if (block == nullptr) {
        return SysGetMem(size);
    }
    if (size <= 0) {
        SysFreeMem(block);
        return nullptr;
    }
    return std::realloc(block, static_cast<size_t>(size));
}

int64_t SysLiveBlocks() {
    return liveBlocks.load();
}
}
