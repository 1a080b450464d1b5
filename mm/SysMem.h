#pragma once

#include <cstdint>

// The memory manager that the editor host and its add-ins share: every text
// that crosses between them is allocated and freed here, whichever side made
// it.
extern "C" {

// A block of `size` bytes, or null when `size` is not positive or no memory
// is left.
void* SysGetMem(int32_t size);

// Frees a block of SysGetMem or SysReallocMem (null is allowed). Returns 0.
int32_t SysFreeMem(void* block);

// Resizes a block, keeping its contents; null when `size` is not positive
// (the block is then freed) or no memory is left (the block is kept).
void* SysReallocMem(void* block, int32_t size);

// Blocks allocated and not yet freed, for leak checks.
int64_t SysLiveBlocks();
}
