#pragma once

#include <cstddef>

namespace kestrel::lsp {

// Hears how a round of indexing goes. Called from the indexer's threads.
class IndexProgress {
public:
    virtual ~IndexProgress() = default;
    // The folders are being walked.
    virtual void Begin() = 0;
    // `done` of `total` files scanned.
    virtual void Report(size_t done, size_t total) = 0;
    // Finished: the index now holds `files` files and `symbols` symbols.
    virtual void End(size_t files, size_t symbols) = 0;
};

} // namespace kestrel::lsp
