#include "transport/SkippedBodyScan.h"

#include "protocol/Json.h"

namespace kestrel::lsp {

std::string SkippedBodyScan::Decoded(const std::string& raw) {
    if (raw.empty()) {
        return {};
    }
    JsonDocument json;
    std::string error;
    if (!ParseJson("[\"" + raw + "\"]", json, error)) {
        return {};
    }
    return std::string(StringOf(&json[0]));
}

void SkippedBodyScan::StringEnded() {
    if (valueDue_) {
        valueDue_ = false;
        if (overlong_) {
            return;
        }
        if (key_ == "method" && keyDepth_ == 1 && method_.empty()) {
            method_ = string_;
        } else if (key_ == "uri" && uri_.empty()) {
            uri_ = string_;
        }
        return;
    }
    // A key when a ':' follows.
    haveCandidate_ = !overlong_ && string_.size() <= 16;
    candidate_ = string_;
}

void SkippedBodyScan::Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (inString_) {
            if (escaped_) {
                escaped_ = false;
            } else if (c == '\\') {
                escaped_ = true;
            } else if (c == '"') {
                inString_ = false;
                StringEnded();
                continue;
            }
            if (string_.size() < kLongestKept) {
                string_.push_back(c);
            } else {
                overlong_ = true;
            }
            continue;
        }
        switch (c) {
        case '"':
            inString_ = true;
            overlong_ = false;
            string_.clear();
            break;
        case ':':
            if (haveCandidate_) {
                key_ = candidate_;
                keyDepth_ = depth_;
                valueDue_ = true;
            }
            haveCandidate_ = false;
            break;
        case '{':
        case '[':
            ++depth_;
            valueDue_ = false;
            haveCandidate_ = false;
            break;
        case '}':
        case ']':
            --depth_;
            valueDue_ = false;
            haveCandidate_ = false;
            break;
        case ' ':
        case '\t':
        case '\r':
        case '\n':
            break;
        default: // a number, true, false, null or a ','
            valueDue_ = false;
            haveCandidate_ = false;
            break;
        }
    }
}

} // namespace kestrel::lsp
