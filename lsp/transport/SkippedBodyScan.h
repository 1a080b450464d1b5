#pragma once

#include <cstddef>
#include <string>

namespace kestrel::lsp {

// Reads a message body that is too large to hold as it streams past, for
// the little that says what was lost: the message's method and the first
// "uri" member (a document's, for textDocument/didOpen and didChange). Holds
// a few kilobytes whatever the body's size.
class SkippedBodyScan {
public:
    void Feed(const char* data, size_t size);

    // The values found, empty when not (or when too long to keep).
    std::string Method() const { return Decoded(method_); }
    std::string Uri() const { return Decoded(uri_); }

private:
    static std::string Decoded(const std::string& raw);
    void StringEnded();

    static constexpr size_t kLongestKept = 8192;

    int depth_ = 0;
    bool inString_ = false;
    bool escaped_ = false;
    bool overlong_ = false; // the string being read passed kLongestKept
    std::string string_;    // the string being read, raw (escapes as they came)
    std::string key_;       // the last key, once its ':' came
    std::string candidate_; // a string that may yet prove to be a key
    bool haveCandidate_ = false;
    bool valueDue_ = false; // a ':' came: the next value is key_'s
    int keyDepth_ = 0;
    std::string method_;
    std::string uri_;
};

} // namespace kestrel::lsp
