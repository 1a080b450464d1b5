#pragma once

#include "documents/TextDocument.h"

#include <memory>
#include <utility>
#include <vector>

namespace kestrel::lsp {

// What was worked out from the latest texts, by their revisions: a few
// entries, so that several open documents keep theirs. After a change to a
// text an entry was worked out from, the new one is made from the old one
// (moved into it when no one else holds it), which needs to read again only
// what changed.
template <class T> class RevisionCache {
public:
    explicit RevisionCache(size_t size) : size_(size) {}

    // The entry for `document`'s text: kept, updated by `update(old,
    // change)`, or made by `make()`.
    template <class Make, class Update>
    std::shared_ptr<const T> Get(const TextDocument& document, Make&& make, Update&& update) {
        for (const auto& [revision, entry] : entries_) {
            if (revision == document.Revision()) {
                return entry;
            }
        }
        std::shared_ptr<T> entry;
        for (auto cached = entries_.begin(); cached != entries_.end(); ++cached) {
            const std::optional<TextDocument::Change> change = document.ChangeSince(cached->first);
            if (!change) {
                continue;
            }
            T old =
                cached->second.use_count() == 1 ? std::move(*cached->second) : T(*cached->second);
            entries_.erase(cached);
            entry = std::make_shared<T>(update(std::move(old), *change));
            break;
        }
        if (!entry) {
            entry = std::make_shared<T>(make());
        }
        if (entries_.size() == size_) {
            entries_.erase(entries_.begin());
        }
        entries_.emplace_back(document.Revision(), entry);
        return entry;
    }

private:
    size_t size_;
    std::vector<std::pair<uint64_t, std::shared_ptr<T>>> entries_;
};

} // namespace kestrel::lsp
