#include "protocol/Json.h"

#include "TextEncoding.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>

namespace kestrel::lsp {

namespace {

int HexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// The code unit of the `\uXXXX` escape at `at`, or -1.
int EscapedUnit(std::string_view text, size_t at) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') {
        return -1;
    }
    int unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            return -1;
        }
        unit = unit * 16 + digit;
    }
    return unit;
}

// `text` with each `\u` escape of a lone surrogate written as '?', which
// the parser would otherwise refuse or take as bytes that are not UTF-8;
// false when there is none (nearly always), leaving `out` alone.
bool ReplaceLoneSurrogates(std::string_view text, std::string& out) {
    bool replaced = false;
    size_t copied = 0;
    for (size_t at = text.find('\\'); at != std::string_view::npos; at = text.find('\\', at)) {
        const int unit = EscapedUnit(text, at);
        if (unit < 0xD800 || unit > 0xDFFF) {
            at += 2; // any escape, the backslash and the character after it
            continue;
        }
        const int next = EscapedUnit(text, at + 6);
        if (unit < 0xDC00 && next >= 0xDC00 && next <= 0xDFFF) {
            at += 12; // a pair
            continue;
        }
        if (!replaced) {
            out.clear();
            out.reserve(text.size());
            replaced = true;
        }
        out.append(text.substr(copied, at - copied));
        out += '?';
        at += 6;
        copied = at;
    }
    if (replaced) {
        out.append(text.substr(copied));
    }
    return replaced;
}

// Passes a parser's events on to the document, refusing nesting deeper
// than kMaxJsonDepth.
struct DepthLimit {
    JsonDocument& document;
    unsigned depth = 0;
    bool tooDeep = false;

    bool Null() { return document.Null(); }
    bool Bool(bool b) { return document.Bool(b); }
    bool Int(int i) { return document.Int(i); }
    bool Uint(unsigned i) { return document.Uint(i); }
    bool Int64(int64_t i) { return document.Int64(i); }
    bool Uint64(uint64_t i) { return document.Uint64(i); }
    bool Double(double d) { return document.Double(d); }
    bool RawNumber(const char* s, rapidjson::SizeType n, bool copy) {
        return document.RawNumber(s, n, copy);
    }
    bool String(const char* s, rapidjson::SizeType n, bool copy) {
        return document.String(s, n, copy);
    }
    bool Key(const char* s, rapidjson::SizeType n, bool copy) { return document.Key(s, n, copy); }
    bool StartObject() { return Enter() && document.StartObject(); }
    bool EndObject(rapidjson::SizeType n) {
        --depth;
        return document.EndObject(n);
    }
    bool StartArray() { return Enter() && document.StartArray(); }
    bool EndArray(rapidjson::SizeType n) {
        --depth;
        return document.EndArray(n);
    }
    bool Enter() {
        tooDeep = ++depth > kMaxJsonDepth;
        return !tooDeep;
    }
};

// Reads `stream`, a whole message, into `document`. `valid` says whether
// the message is valid UTF-8 throughout.
template <unsigned kFlags, class Stream>
bool Parse(Stream& stream, bool valid, JsonDocument& document, std::string& error) {
    constexpr unsigned kValidatingFlags = kFlags | rapidjson::kParseValidateEncodingFlag;
    rapidjson::Reader reader;
    DepthLimit limit{document};
    rapidjson::ParseResult result;
    // RapidJSON's check of the UTF-8 in strings, a character at a time, costs
    // more than all the rest of the reading. Nearly every message is valid
    // UTF-8 throughout, which a quick pass tells: such a message is read
    // without the check, any other with it, so that what it finds there is
    // reported as it always was.
    const auto generate = [&](JsonDocument&) {
        if constexpr ((kFlags & rapidjson::kParseInsituFlag) != 0) {
            result = reader.Parse<kFlags>(stream, limit);
        } else {
            result = valid ? reader.Parse<kFlags>(stream, limit)
                           : reader.Parse<kValidatingFlags>(stream, limit);
        }
        return !result.IsError();
    };
    document.Populate(generate);
    if (!result.IsError()) {
        return true;
    }
    error = limit.tooDeep ? "too deeply nested"
                          : std::string(rapidjson::GetParseError_En(result.Code())) + " (at byte " +
                                std::to_string(result.Offset()) + ")";
    document.SetNull();
    return false;
}

} // namespace

bool ParseJson(std::string_view text, JsonDocument& document, std::string& error) {
    std::string mended;
    if (ReplaceLoneSurrogates(text, mended)) {
        text = mended;
    }
    rapidjson::MemoryStream stream(text.data(), text.size());
    return Parse<rapidjson::kParseIterativeFlag>(stream, IsValidUtf8(text), document, error);
}

bool ParseJsonInPlace(std::string& text, JsonDocument& document, std::string& error) {
    // The in-place reading ends at a NUL, and cannot write the '?' of a
    // lone surrogate into the text. Nor can it check UTF-8: the check takes
    // a character's continuation bytes without looking for the end, and
    // reads past the text when it ends inside one. Such a message is read
    // with copies.
    std::string mended;
    if (text.find('\0') != std::string::npos || !IsValidUtf8(text) ||
        ReplaceLoneSurrogates(text, mended)) {
        return ParseJson(text, document, error);
    }
    rapidjson::InsituStringStream stream(text.data());
    return Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseInsituFlag>(stream, true,
                                                                               document, error);
}

const Json* Member(const Json& value, std::string_view key) {
    if (!value.IsObject()) {
        return nullptr;
    }
    for (auto member = value.MemberEnd(); member != value.MemberBegin();) {
        --member;
        if (std::string_view(member->name.GetString(), member->name.GetStringLength()) == key) {
            return &member->value;
        }
    }
    return nullptr;
}

std::string_view StringOf(const Json* value) {
    return value && value->IsString()
               ? std::string_view(value->GetString(), value->GetStringLength())
               : std::string_view();
}

bool IsTrue(const Json* value) {
    return value && value->IsBool() && value->GetBool();
}

void WriteString(JsonWriter& writer, std::string_view text) {
    if (!IsValidUtf8(text)) {
        const std::string mended = ToUtf8(text, TextEncoding::Utf8);
        writer.String(mended.data(), static_cast<rapidjson::SizeType>(mended.size()));
        return;
    }
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

std::string JsonText(const Json& value) {
    return JsonText([&value](JsonWriter& writer) { value.Accept(writer); });
}

} // namespace kestrel::lsp
