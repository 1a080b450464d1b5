#pragma once

#include "CharacterSource.h"
#include "ToolsApi.h"

namespace kestrel {

// The host's editor reader as a character source for the scanner.
class HostReaderSource final : public CharacterSource {
public:
    explicit HostReaderSource(TIEditReader* reader) : reader_(reader) {}
    int32_t GetText(int32_t position, char* destination, int32_t count) override {
        return reader_->GetText(position, destination, count);
    }

private:
    TIEditReader* reader_;
};

} // namespace kestrel
